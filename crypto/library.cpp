#include "crypto/library.h"

#include <string>
#include <vector>

namespace crypto {

const char kLibraryGuid[] = "5C2E8A41-7B3D-4F96-A0E1-3D9B62C7F458";
const char kLibraryName[] = "加解密支持库";

const char kCipherConstantsText[] =
    "#加解密_Blowfish 值：1,#加解密_Cast128 值：2,#加解密_Cast256 值：3,#加解密_DES  值：4,"
    "#加解密_3DES  值：5,#加解密_Ice  值：6,#加解密_ThinIce  值：7,#加解密_Ice2  值：8,"
    "#加解密_IDEA 值：9,#加解密_MARS  值：10,#加解密_Misty1  值：11,#加解密_RC2  值：12,"
    "#加解密_RC4  值：13,#加解密_RC5  值：14,#加解密_RC6  值：15,#加解密_Rijndael_AES 值：16,"
    "#加解密_Serpent  值：17,#加解密_TEA  值：18,#加解密_Twofish  值：19,#加解密_gost  值：20.";
const char kDigestConstantsText[] =
    "#取摘要_Haval 值：21,#取摘要_MD4 值：22,#取摘要_MD5  值：23,#取摘要_RipeMD128 值：24,"
    "#取摘要_RipeMD160 值：25,#取摘要_SHA1  值：26,#取摘要_SHA256 值：27,#取摘要_SHA384 值：28,"
    "#取摘要_SHA512  值：29,#取摘要_Tiger 值：30,#取摘要_CRC32 值：31";

namespace {

// ---- The vocabulary, as data -------------------------------------------------

struct ArgRow {
  int command;
  const char* name;
  std::uint32_t type;
  const char* explanation;
};

constexpr char kHexExplanation[] = "为十六进制数值文本";
constexpr char kBigNumberExplanation[] = "不支持小数形式，太长慢噢。附带产品！哈～～";

const ArgRow kArgRows[] = {
    {0, "欲取其内存地址的变量或数组", kTypeAny, "如果数组中没有数据，得到的地址是没用的。哈～～"},
    {1, "欲取其内存地址的变量或数组", kTypeAny, "得到变量或数组的内存地址，不是数据地址噢。"},
    {2, "欲循环左移位的整数", kTypeInteger, nullptr},
    {2, "左移的位数", kTypeInteger, nullptr},
    {3, "欲循环右移位的整数", kTypeInteger, nullptr},
    {3, "右移的位数", kTypeInteger, nullptr},
    {4, "欲进行加密的字节集", kTypeBytes, nullptr},
    {4, "密码", kTypeText, nullptr},
    {4, "算法", kTypeInteger, nullptr},
    {5, "欲进行解密的文本", kTypeText, nullptr},
    {5, "密码", kTypeText, nullptr},
    {5, "算法", kTypeInteger, nullptr},
    {6, "欲编码的字节集", kTypeBytes, nullptr},
    {7, "欲解码的文本", kTypeText, nullptr},
    {8, "欲加密的全路径文件名", kTypeText, nullptr},
    {8, "加密后保存的全路径文件名", kTypeText, nullptr},
    {8, "密码", kTypeText, nullptr},
    {8, "算法", kTypeInteger, nullptr},
    {9, "欲解密的全路径文件名", kTypeText, nullptr},
    {9, "解密后保存的全路径文件名", kTypeText, nullptr},
    {9, "密码", kTypeText, nullptr},
    {9, "算法", kTypeInteger, nullptr},
    {10, "欲取摘要的字节集", kTypeBytes, nullptr},
    {10, "算法", kTypeInteger, nullptr},
    {11, "欲取摘要的全路径文件名", kTypeText, nullptr},
    {11, "算法", kTypeInteger, nullptr},
    {12, "欲进行压缩的字节集", kTypeBytes, nullptr},
    {13, "欲进行解压缩的字节集", kTypeBytes, nullptr},
    {14, "待签署字节集数据", kTypeBytes, nullptr},
    {14, "签署者私钥文本", kTypeText, kHexExplanation},
    {14, "签署者公共模数", kTypeText, kHexExplanation},
    {15, "待签署字节集数据", kTypeBytes, nullptr},
    {15, "签署结果文本", kTypeText, "必须为“数字签名_”命令所返回的结果"},
    {15, "签署者公钥文本", kTypeText, kHexExplanation},
    {15, "签署者公共模数", kTypeText, kHexExplanation},
    {16, "欲取转换的十进制数文本", kTypeText, kBigNumberExplanation},
    {17, "欲取转换的十六进制数文本", kTypeText, kBigNumberExplanation},
};

enum class Joined { None, Ciphers, Digests };

struct CommandRow {
  const char* chinese_name;
  const char* english_name;
  std::int16_t category;
  std::uint32_t result_type;
  const char* explanation;
  Joined joined;  // constant list appended to the explanation
  CommandFunction function;
};

const CommandRow kCommandRows[kCommandCount] = {
    {"取变量数据地址_", "GetdataAdd", 1, kTypeInteger, "返回指定变量或数组的内存数据地址。", Joined::None, &GetdataAdd},
    {"取变量地址_", "Getadd", 1, kTypeInteger, "返回指定变量或数组的内存地址。", Joined::None, &Getadd},
    {"循环左移位", "rol", 2, kTypeInteger,
     "把一个整数值的各个二进制位（bit）依次向左循环移动指定位数后返回。", Joined::None, &rol},
    {"循环右移位", "ror", 2, kTypeInteger,
     "把一个整数值的各个二进制位（bit）依次向右循环移动指定位数后返回。", Joined::None, &ror},
    {"数据加密", "encodebin", 3, kTypeText,
     "对字节集进行相应算法方式加密，返回经base64变换后的文本。失败返回空文本！加密算法常量为：",
     Joined::Ciphers, &encodebin},
    {"数据解密", "decodebin", 3, kTypeBytes,
     "对［数据加密］返回的经base64变换后的文本进行相应算法解密，返回原字节集。失败返回空字节集！加密算法常量为：",
     Joined::Ciphers, &decodebin},
    {"BASE64编码", "base64encode", 5, kTypeText, "对字节集进行编码，返回编码后文本。失败返回空文本！",
     Joined::None, &base64encode},
    {"BASE64解码", "base64decode", 5, kTypeBytes,
     "对［BASE64编码］返回文本进行解码，返回原字节集。失败返回空字节集！", Joined::None, &base64decode},
    {"文件加密", "encodefile", 3, kTypeLogical, "对文件进行相应算法加密，失败返回-假。加密算法常量为：",
     Joined::Ciphers, &encodefile},
    {"文件解密", "decodefile", 3, kTypeLogical, "对文件进行相应算法解密，失败返回-假。加密算法常量为：",
     Joined::Ciphers, &decodefile},
    {"数据取摘要", "hashbin", 4, kTypeText,
     "对字节集进行相应hash计算，返回计算值。失败返回空文本！取摘要类型常量为：", Joined::Digests, &hashbin},
    {"文件取摘要", "hashfile", 4, kTypeText,
     "对文件进行相应hash计算，返回计算值。失败返回空文本！取摘要类型常量为：", Joined::Digests, &hashfile},
    {"数据压缩", "zipbin", 6, kTypeBytes, "对字节集进行压缩处理！", Joined::None, &zipbin},
    {"数据解压", "unzipbin", 6, kTypeBytes, "对经［数据压缩］处理后的字节集进行解压缩处理！失败返回空字节集！",
     Joined::None, &unzipbin},
    {"数字签名_", "rsaen", 7, kTypeText,
     "使用RSA非对称密钥算法对指定字节集数据进行签署，返回签署后的结果文本。", Joined::None, &rsaen},
    {"签名验证_", "rsade", 7, kTypeLogical,
     "使用指定公钥和签署结果文本对被签署字节集数据进行验证，如验证通过则说明该字节集数据必定是此公钥拥有者（即签署者）所认可的，且签署后未经任何篡改。验证通过返回真，否则返回假。",
     Joined::None, &rsade},
    {"int2hex", "int2hex", 2, kTypeText,
     "用于将任意长十进制数转为十六进制数，不支持小数形式。太长的话可能慢噢。:)~~", Joined::None, &int2hex},
    {"hex2int", "hex2int", 2, kTypeText,
     "用于将任意长十六进制数转为十进制数，不支持小数形式。太长的话可能慢噢。:)~~", Joined::None, &hex2int},
};

struct ConstRow {
  const char* chinese_name;
  const char* english_name;
};

const ConstRow kConstRows[kConstCount] = {
    {"加解密_Blowfish", "Blowfish"}, {"加解密_Cast128", "Cast128"}, {"加解密_Cast256", "Cast256"},
    {"加解密_DES", "DES"},           {"加解密_3DES", "_3DES"},      {"加解密_Ice", "Ice"},
    {"加解密_ThinIce", "ThinIce"},   {"加解密_Ice2", "Ice2"},       {"加解密_IDEA", "IDEA"},
    {"加解密_MARS", "MARS"},         {"加解密_Misty1", "Misty1"},   {"加解密_RC2", "RC2"},
    {"加解密_RC4", "RC4"},           {"加解密_RC5", "RC5"},         {"加解密_RC6", "RC6"},
    {"加解密_Rijndael_AES", "Rijndael_AES"}, {"加解密_Serpent", "Serpent"}, {"加解密_TEA", "TEA"},
    {"加解密_Twofish", "Twofish"},   {"加解密_gost", "gost"},       {"取摘要_Haval", "Haval"},
    {"取摘要_MD4", "MD4"},           {"取摘要_MD5", "MD5"},         {"取摘要_RipeMD128", "RipeMD128"},
    {"取摘要_RipeMD160", "RipeMD160"}, {"取摘要_SHA1", "SHA1"},     {"取摘要_SHA256", "SHA256"},
    {"取摘要_SHA384", "SHA384"},     {"取摘要_SHA512", "SHA512"},   {"取摘要_Tiger", "Tiger"},
    {"取摘要_CRC32", "CRC32"},
};

// Seven names, each after "0000", NUL-separated, one more NUL at the end.
const char kCategories[] =
    "0000内存相关\0" "0000数值相关\0" "0000加解密相关\0" "0000取数据摘要相关\0"
    "0000BASE64相关\0" "0000压缩解压相关\0" "0000rsa相关\0";

// ---- The records ------------------------------------------------------------

LibraryInfo g_info;
CommandInfo g_commands[kCommandCount];
CommandFunction g_functions[kCommandCount];
ConstInfo g_consts[kConstCount];

// Held from attach to detach, so every pointer in the descriptors stays valid.
struct Owned {
  std::string cipher_constants;
  std::string digest_constants;
  std::vector<ArgInfo> args[kCommandCount];
  std::string explanations[kCommandCount];
};
Owned* g_owned = nullptr;
int g_attach_count = 0;

void BuildArgInfos() {
  for (const ArgRow& row : kArgRows) {
    ArgInfo a{};
    a.name = row.name;
    a.explanation = row.explanation;
    a.type = row.type;
    a.flags = row.command <= 1 ? 0x10u : 0u;
    g_owned->args[row.command].push_back(a);
  }
}

void BuildCommandInfos() {
  for (int i = 0; i < kCommandCount; ++i) {
    const CommandRow& row = kCommandRows[i];
    CommandInfo& c = g_commands[i];
    c = CommandInfo{};
    c.chinese_name = row.chinese_name;
    c.english_name = row.english_name;
    if (row.joined == Joined::None) {
      c.explanation = row.explanation;
    } else {
      std::string& joined = g_owned->explanations[i];
      joined = row.explanation;
      joined += row.joined == Joined::Ciphers ? g_owned->cipher_constants : g_owned->digest_constants;
      c.explanation = joined.c_str();
    }
    c.category = row.category;
    c.result_type = row.result_type;
    c.level = 3;
    c.arg_count = static_cast<std::int32_t>(g_owned->args[i].size());
    c.args = g_owned->args[i].data();
  }
}

void BuildCommandTable() {
  for (int i = 0; i < kCommandCount; ++i) g_functions[i] = kCommandRows[i].function;
}

void BuildConstInfos() {
  for (int i = 0; i < kConstCount; ++i) {
    ConstInfo& c = g_consts[i];
    c = ConstInfo{};
    c.chinese_name = kConstRows[i].chinese_name;
    c.english_name = kConstRows[i].english_name;
    c.marker = 1;
    c.kind = 1;
    c.value = static_cast<double>(i + 1);
  }
}

void BuildLibraryInfo() {
  LibraryInfo& b = g_info;
  b = LibraryInfo{};
  b.format = 20000101;
  b.guid = kLibraryGuid;
  b.major_version = 1;
  b.minor_version = 0;
  b.build = 3;
  b.host_major = 3;
  b.host_minor = 0;
  b.core_major = 3;
  b.core_minor = 0;
  b.display_name = kLibraryName;
  b.language = 1;
  b.description = "提供数据与文件的加解密、数据摘要、BASE64编码、数据压缩、RSA数字签名及大数进制转换。";
  b.author = "Qelmar补丁工具组";
  b.email = "patchtools@qelmar.invalid";
  b.notes = "加解密命令的密钥取自密码文本的SHA1摘要。";
  b.category_count = kCategoryCount;
  b.categories = kCategories;
  b.command_count = kCommandCount;
  b.commands = g_commands;
  b.command_functions = g_functions;
  b.notify = &LibNotify;
  b.const_count = kConstCount;
  b.consts = g_consts;
}

void Initialise() {
  g_owned = new Owned;
  g_owned->cipher_constants = kCipherConstantsText;
  g_owned->digest_constants = kDigestConstantsText;
  BuildArgInfos();  // before the command descriptors take their counts and pointers
  BuildCommandInfos();
  BuildCommandTable();
  BuildConstInfos();
  BuildLibraryInfo();
}

void Finalise() {
  delete g_owned;
  g_owned = nullptr;
}

}  // namespace

bool LibraryRecordsHeld() { return g_owned != nullptr; }

}  // namespace crypto

extern "C" int CRYPTO_CALL LibraryEntry(void* /*instance*/, std::uint32_t reason, void* /*reserved*/) {
  if (reason == 1) {
    if (crypto::g_attach_count++ == 0) crypto::Initialise();
  } else if (reason == 0) {
    if (crypto::g_attach_count > 0 && --crypto::g_attach_count == 0) crypto::Finalise();
  }
  return 1;
}

extern "C" const LibraryInfo* CRYPTO_CALL GetLibraryInfo(void) { return &crypto::g_info; }

extern "C" std::intptr_t CRYPTO_CALL LibNotify(std::uint32_t message, std::intptr_t p1,
                                               std::intptr_t /*p2*/) {
  if (message != 1) return -1;
  crypto::SetHostCallback(reinterpret_cast<HostCallbackFunction>(p1));
  return 0;
}
