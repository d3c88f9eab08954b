// The information block as a development host reads it.
#include "crypto/library.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

namespace {

class LibraryInfoTest : public testing::Test {
 protected:
  void SetUp() override { LibraryEntry(nullptr, 1, nullptr); }
  void TearDown() override { LibraryEntry(nullptr, 0, nullptr); }
};

bool EndsWith(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

TEST_F(LibraryInfoTest, BlockFields) {
  const LibraryInfo* info = GetLibraryInfo();
  EXPECT_EQ(info->format, 20000101u);
  EXPECT_EQ(info->major_version, 1);
  EXPECT_EQ(info->minor_version, 0);
  EXPECT_EQ(info->build, 3);
  EXPECT_EQ(info->host_major, 3);
  EXPECT_EQ(info->core_major, 3);
  EXPECT_EQ(info->language, 1);
  EXPECT_EQ(info->command_count, 18);
  EXPECT_EQ(info->const_count, 31);
  EXPECT_EQ(info->category_count, 7);
  EXPECT_EQ(info->data_type_count, 0);
  EXPECT_EQ(info->data_types, nullptr);
  EXPECT_EQ(info->postal_code, nullptr);
  EXPECT_EQ(info->home_page, nullptr);
  EXPECT_EQ(info->addin_function, nullptr);
  EXPECT_EQ(info->depends, nullptr);
  EXPECT_EQ(info->notify, &LibNotify);
  EXPECT_EQ(info->command_functions[4], &crypto::encodebin);
  EXPECT_EQ(info->command_functions[5], &crypto::decodebin);
  EXPECT_EQ(info->command_functions[17], &crypto::hex2int);

  // GUID: 8-4-4-4-12 upper-case hex digits.
  const std::string guid = info->guid;
  ASSERT_EQ(guid.size(), 36u);
  for (std::size_t i = 0; i < guid.size(); ++i) {
    if (i == 8 || i == 13 || i == 18 || i == 23)
      EXPECT_EQ(guid[i], '-');
    else
      EXPECT_TRUE((guid[i] >= '0' && guid[i] <= '9') || (guid[i] >= 'A' && guid[i] <= 'F')) << guid;
  }

  // Seven "0000"-prefixed names back to back, ended by one more NUL.
  std::vector<std::string> categories;
  for (const char* p = info->categories; *p != '\0'; p += std::strlen(p) + 1) categories.emplace_back(p);
  ASSERT_EQ(categories.size(), 7u);
  EXPECT_EQ(categories[0], "0000内存相关");
  EXPECT_EQ(categories[2], "0000加解密相关");
  EXPECT_EQ(categories[6], "0000rsa相关");
}

TEST_F(LibraryInfoTest, CommandDescriptors) {
  const LibraryInfo* info = GetLibraryInfo();
  const int arg_counts[] = {1, 1, 2, 2, 3, 3, 1, 1, 4, 4, 2, 2, 1, 1, 3, 4, 1, 1};
  const char* english[] = {"GetdataAdd", "Getadd", "rol", "ror", "encodebin", "decodebin",
                           "base64encode", "base64decode", "encodefile", "decodefile", "hashbin",
                           "hashfile", "zipbin", "unzipbin", "rsaen", "rsade", "int2hex", "hex2int"};
  for (int i = 0; i < 18; ++i) {
    const CommandInfo& c = info->commands[i];
    EXPECT_STREQ(c.english_name, english[i]);
    EXPECT_EQ(c.state, 0) << i;
    EXPECT_EQ(c.level, 3) << i;
    EXPECT_EQ(c.picture_index, 0) << i;
    EXPECT_EQ(c.picture_count, 0) << i;
    EXPECT_GE(c.category, 1) << i;
    EXPECT_LE(c.category, 7) << i;
    EXPECT_EQ(c.arg_count, arg_counts[i]) << i;
    for (int a = 0; a < c.arg_count; ++a) {
      EXPECT_EQ(c.args[a].flags, i <= 1 ? 0x10u : 0u) << i;
      EXPECT_EQ(c.args[a].default_value, 0);
    }
  }
  EXPECT_STREQ(info->commands[16].chinese_name, info->commands[16].english_name);
  EXPECT_STREQ(info->commands[17].chinese_name, "hex2int");
  EXPECT_EQ(info->commands[4].result_type, kTypeText);
  EXPECT_EQ(info->commands[5].result_type, kTypeBytes);
  EXPECT_EQ(info->commands[15].result_type, kTypeLogical);
  EXPECT_EQ(info->commands[0].args[0].type, kTypeAny);
  EXPECT_STREQ(info->commands[4].args[1].name, "密码");
  EXPECT_STREQ(info->commands[5].args[2].name, "算法");
  EXPECT_STREQ(info->commands[14].args[0].name, info->commands[15].args[0].name);
  EXPECT_STREQ(info->commands[14].args[2].name, "签署者公共模数");
  EXPECT_STREQ(info->commands[15].args[3].name, "签署者公共模数");
  EXPECT_EQ(info->commands[4].args[0].explanation, nullptr);
  EXPECT_STREQ(info->commands[14].args[1].explanation, "为十六进制数值文本");

  const std::string e4 = info->commands[4].explanation;
  EXPECT_EQ(e4.rfind("对字节集进行相应算法方式加密", 0), 0u);
  EXPECT_TRUE(EndsWith(e4, "#加解密_gost  值：20.")) << e4;
  EXPECT_TRUE(EndsWith(info->commands[11].explanation, "#取摘要_CRC32 值：31"));
  for (int i : {4, 5, 8, 9}) EXPECT_TRUE(EndsWith(info->commands[i].explanation, crypto::kCipherConstantsText));
  for (int i : {10, 11}) EXPECT_TRUE(EndsWith(info->commands[i].explanation, crypto::kDigestConstantsText));
}

TEST_F(LibraryInfoTest, DescriptorsMatchTheVocabularyTables) {
  // Every text a development host shows, as the library's vocabulary has it.
  // The explanations of commands 4, 5, 8, 9, 10 and 11 end with one of the
  // two constant lists.
  const std::string cipher_list =
      "#加解密_Blowfish 值：1,#加解密_Cast128 值：2,#加解密_Cast256 值：3,#加解密_DES  值：4,"
      "#加解密_3DES  值：5,#加解密_Ice  值：6,#加解密_ThinIce  值：7,#加解密_Ice2  值：8,"
      "#加解密_IDEA 值：9,#加解密_MARS  值：10,#加解密_Misty1  值：11,#加解密_RC2  值：12,"
      "#加解密_RC4  值：13,#加解密_RC5  值：14,#加解密_RC6  值：15,#加解密_Rijndael_AES 值：16,"
      "#加解密_Serpent  值：17,#加解密_TEA  值：18,#加解密_Twofish  值：19,#加解密_gost  值：20.";
  const std::string digest_list =
      "#取摘要_Haval 值：21,#取摘要_MD4 值：22,#取摘要_MD5  值：23,#取摘要_RipeMD128 值：24,"
      "#取摘要_RipeMD160 值：25,#取摘要_SHA1  值：26,#取摘要_SHA256 值：27,#取摘要_SHA384 值：28,"
      "#取摘要_SHA512  值：29,#取摘要_Tiger 值：30,#取摘要_CRC32 值：31";
  const char* const categories[] = {
      "0000内存相关",
      "0000数值相关",
      "0000加解密相关",
      "0000取数据摘要相关",
      "0000BASE64相关",
      "0000压缩解压相关",
      "0000rsa相关",
  };
  struct Command {
    const char* chinese;
    const char* english;
    int category;
    std::uint32_t result_type;
    const char* explanation;
    const std::string* list;  // appended to the explanation, or null
  };
  const Command commands[18] = {
      {"取变量数据地址_", "GetdataAdd", 1, kTypeInteger,
       "返回指定变量或数组的内存数据地址。", nullptr},
      {"取变量地址_", "Getadd", 1, kTypeInteger,
       "返回指定变量或数组的内存地址。", nullptr},
      {"循环左移位", "rol", 2, kTypeInteger,
       "把一个整数值的各个二进制位（bit）依次向左循环移动指定位数后返回。", nullptr},
      {"循环右移位", "ror", 2, kTypeInteger,
       "把一个整数值的各个二进制位（bit）依次向右循环移动指定位数后返回。", nullptr},
      {"数据加密", "encodebin", 3, kTypeText,
       "对字节集进行相应算法方式加密，返回经base64变换后的文本。失败返回空文本！加密算法常量为：", &cipher_list},
      {"数据解密", "decodebin", 3, kTypeBytes,
       "对［数据加密］返回的经base64变换后的文本进行相应算法解密，返回原字节集。失败返回空字节集！加密算法常量为：", &cipher_list},
      {"BASE64编码", "base64encode", 5, kTypeText,
       "对字节集进行编码，返回编码后文本。失败返回空文本！", nullptr},
      {"BASE64解码", "base64decode", 5, kTypeBytes,
       "对［BASE64编码］返回文本进行解码，返回原字节集。失败返回空字节集！", nullptr},
      {"文件加密", "encodefile", 3, kTypeLogical,
       "对文件进行相应算法加密，失败返回-假。加密算法常量为：", &cipher_list},
      {"文件解密", "decodefile", 3, kTypeLogical,
       "对文件进行相应算法解密，失败返回-假。加密算法常量为：", &cipher_list},
      {"数据取摘要", "hashbin", 4, kTypeText,
       "对字节集进行相应hash计算，返回计算值。失败返回空文本！取摘要类型常量为：", &digest_list},
      {"文件取摘要", "hashfile", 4, kTypeText,
       "对文件进行相应hash计算，返回计算值。失败返回空文本！取摘要类型常量为：", &digest_list},
      {"数据压缩", "zipbin", 6, kTypeBytes,
       "对字节集进行压缩处理！", nullptr},
      {"数据解压", "unzipbin", 6, kTypeBytes,
       "对经［数据压缩］处理后的字节集进行解压缩处理！失败返回空字节集！", nullptr},
      {"数字签名_", "rsaen", 7, kTypeText,
       "使用RSA非对称密钥算法对指定字节集数据进行签署，返回签署后的结果文本。", nullptr},
      {"签名验证_", "rsade", 7, kTypeLogical,
       "使用指定公钥和签署结果文本对被签署字节集数据进行验证，如验证通过则说明该字节集数据必定是此公钥拥有者（即签署者）所认可的，且签署后未经任何篡改。验证通过返回真，否则返回假。", nullptr},
      {"int2hex", "int2hex", 2, kTypeText,
       "用于将任意长十进制数转为十六进制数，不支持小数形式。太长的话可能慢噢。:)~~", nullptr},
      {"hex2int", "hex2int", 2, kTypeText,
       "用于将任意长十六进制数转为十进制数，不支持小数形式。太长的话可能慢噢。:)~~", nullptr},
  };
  struct Arg {
    int command;
    int position;  // from 1
    const char* name;
    std::uint32_t type;
    std::uint32_t flags;
    const char* explanation;
  };
  const Arg args[] = {
      {0, 1, "欲取其内存地址的变量或数组", kTypeAny, 0x10, "如果数组中没有数据，得到的地址是没用的。哈～～"},
      {1, 1, "欲取其内存地址的变量或数组", kTypeAny, 0x10, "得到变量或数组的内存地址，不是数据地址噢。"},
      {2, 1, "欲循环左移位的整数", kTypeInteger, 0, nullptr},
      {2, 2, "左移的位数", kTypeInteger, 0, nullptr},
      {3, 1, "欲循环右移位的整数", kTypeInteger, 0, nullptr},
      {3, 2, "右移的位数", kTypeInteger, 0, nullptr},
      {4, 1, "欲进行加密的字节集", kTypeBytes, 0, nullptr},
      {4, 2, "密码", kTypeText, 0, nullptr},
      {4, 3, "算法", kTypeInteger, 0, nullptr},
      {5, 1, "欲进行解密的文本", kTypeText, 0, nullptr},
      {5, 2, "密码", kTypeText, 0, nullptr},
      {5, 3, "算法", kTypeInteger, 0, nullptr},
      {6, 1, "欲编码的字节集", kTypeBytes, 0, nullptr},
      {7, 1, "欲解码的文本", kTypeText, 0, nullptr},
      {8, 1, "欲加密的全路径文件名", kTypeText, 0, nullptr},
      {8, 2, "加密后保存的全路径文件名", kTypeText, 0, nullptr},
      {8, 3, "密码", kTypeText, 0, nullptr},
      {8, 4, "算法", kTypeInteger, 0, nullptr},
      {9, 1, "欲解密的全路径文件名", kTypeText, 0, nullptr},
      {9, 2, "解密后保存的全路径文件名", kTypeText, 0, nullptr},
      {9, 3, "密码", kTypeText, 0, nullptr},
      {9, 4, "算法", kTypeInteger, 0, nullptr},
      {10, 1, "欲取摘要的字节集", kTypeBytes, 0, nullptr},
      {10, 2, "算法", kTypeInteger, 0, nullptr},
      {11, 1, "欲取摘要的全路径文件名", kTypeText, 0, nullptr},
      {11, 2, "算法", kTypeInteger, 0, nullptr},
      {12, 1, "欲进行压缩的字节集", kTypeBytes, 0, nullptr},
      {13, 1, "欲进行解压缩的字节集", kTypeBytes, 0, nullptr},
      {14, 1, "待签署字节集数据", kTypeBytes, 0, nullptr},
      {14, 2, "签署者私钥文本", kTypeText, 0, "为十六进制数值文本"},
      {14, 3, "签署者公共模数", kTypeText, 0, "为十六进制数值文本"},
      {15, 1, "待签署字节集数据", kTypeBytes, 0, nullptr},
      {15, 2, "签署结果文本", kTypeText, 0, "必须为“数字签名_”命令所返回的结果"},
      {15, 3, "签署者公钥文本", kTypeText, 0, "为十六进制数值文本"},
      {15, 4, "签署者公共模数", kTypeText, 0, "为十六进制数值文本"},
      {16, 1, "欲取转换的十进制数文本", kTypeText, 0, "不支持小数形式，太长慢噢。附带产品！哈～～"},
      {17, 1, "欲取转换的十六进制数文本", kTypeText, 0, "不支持小数形式，太长慢噢。附带产品！哈～～"},
  };
  struct Const {
    const char* chinese;
    const char* english;
  };
  const Const consts[31] = {
      {"加解密_Blowfish", "Blowfish"},
      {"加解密_Cast128", "Cast128"},
      {"加解密_Cast256", "Cast256"},
      {"加解密_DES", "DES"},
      {"加解密_3DES", "_3DES"},
      {"加解密_Ice", "Ice"},
      {"加解密_ThinIce", "ThinIce"},
      {"加解密_Ice2", "Ice2"},
      {"加解密_IDEA", "IDEA"},
      {"加解密_MARS", "MARS"},
      {"加解密_Misty1", "Misty1"},
      {"加解密_RC2", "RC2"},
      {"加解密_RC4", "RC4"},
      {"加解密_RC5", "RC5"},
      {"加解密_RC6", "RC6"},
      {"加解密_Rijndael_AES", "Rijndael_AES"},
      {"加解密_Serpent", "Serpent"},
      {"加解密_TEA", "TEA"},
      {"加解密_Twofish", "Twofish"},
      {"加解密_gost", "gost"},
      {"取摘要_Haval", "Haval"},
      {"取摘要_MD4", "MD4"},
      {"取摘要_MD5", "MD5"},
      {"取摘要_RipeMD128", "RipeMD128"},
      {"取摘要_RipeMD160", "RipeMD160"},
      {"取摘要_SHA1", "SHA1"},
      {"取摘要_SHA256", "SHA256"},
      {"取摘要_SHA384", "SHA384"},
      {"取摘要_SHA512", "SHA512"},
      {"取摘要_Tiger", "Tiger"},
      {"取摘要_CRC32", "CRC32"},
  };

  const LibraryInfo* info = GetLibraryInfo();
  std::vector<std::string> stored_categories;
  for (const char* p = info->categories; *p != '\0'; p += std::strlen(p) + 1) stored_categories.emplace_back(p);
  EXPECT_EQ(stored_categories, std::vector<std::string>(std::begin(categories), std::end(categories)));

  for (int i = 0; i < 18; ++i) {
    SCOPED_TRACE(testing::Message() << "command " << i);
    const Command& want = commands[i];
    const CommandInfo& c = info->commands[i];
    EXPECT_STREQ(c.chinese_name, want.chinese);
    EXPECT_STREQ(c.english_name, want.english);
    EXPECT_EQ(c.category, want.category);
    EXPECT_EQ(c.result_type, want.result_type);
    EXPECT_EQ(std::string(c.explanation), std::string(want.explanation) + (want.list ? *want.list : ""));
    EXPECT_EQ(c.arg_count, std::count_if(std::begin(args), std::end(args), [i](const Arg& a) { return a.command == i; }));
  }
  for (const Arg& want : args) {
    SCOPED_TRACE(testing::Message() << "command " << want.command << ", argument " << want.position);
    const CommandInfo& c = info->commands[want.command];
    ASSERT_LE(want.position, c.arg_count);
    const ArgInfo& a = c.args[want.position - 1];
    EXPECT_STREQ(a.name, want.name);
    EXPECT_EQ(a.type, want.type);
    EXPECT_EQ(a.flags, want.flags);
    EXPECT_STREQ(a.explanation, want.explanation);
  }
  for (int i = 0; i < 31; ++i) {
    SCOPED_TRACE(testing::Message() << "constant " << i + 1);
    EXPECT_STREQ(info->consts[i].chinese_name, consts[i].chinese);
    EXPECT_STREQ(info->consts[i].english_name, consts[i].english);
  }
}

TEST_F(LibraryInfoTest, ConstantListTexts) {
  // GBK byte counts of the two lists.
  EXPECT_EQ(std::strlen(crypto::kCipherConstantsText), 428u);
  EXPECT_EQ(std::strlen(crypto::kDigestConstantsText), 239u);
}

TEST_F(LibraryInfoTest, ConstantDescriptors) {
  const LibraryInfo* info = GetLibraryInfo();
  for (int i = 0; i < 31; ++i) {
    const ConstInfo& c = info->consts[i];
    EXPECT_EQ(c.value, i + 1.0);
    EXPECT_EQ(c.marker, 1);
    EXPECT_EQ(c.kind, 1);
    EXPECT_EQ(c.explanation, nullptr);
    EXPECT_EQ(c.text_value, nullptr);
  }
  EXPECT_STREQ(info->consts[4].english_name, "_3DES");
  EXPECT_STREQ(info->consts[13].chinese_name, "加解密_RC5");
  EXPECT_STREQ(info->consts[15].english_name, "Rijndael_AES");
  EXPECT_STREQ(info->consts[30].chinese_name, "取摘要_CRC32");
}

TEST(LibraryAttach, SecondAttachBuildsNothingNew) {
  LibraryEntry(nullptr, 1, nullptr);
  const char* explanation = GetLibraryInfo()->commands[4].explanation;
  const ArgInfo* args = GetLibraryInfo()->commands[4].args;
  LibraryEntry(nullptr, 1, nullptr);
  EXPECT_EQ(GetLibraryInfo()->commands[4].explanation, explanation);
  EXPECT_EQ(GetLibraryInfo()->commands[4].args, args);
  LibraryEntry(nullptr, 0, nullptr);
  EXPECT_STREQ(GetLibraryInfo()->commands[4].explanation, explanation) << "still held until the last detach";
  LibraryEntry(nullptr, 0, nullptr);
}

}  // namespace
