// The information block as a development host reads it.
#include "crypto/library.h"

#include <gtest/gtest.h>

#include <cstring>
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
