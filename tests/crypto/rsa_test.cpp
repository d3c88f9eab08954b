// Commands 14 to 17 called as a host calls them: RSA signing and verification
// over the bare MD5 value, and the number-base conversions.
#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <string>

#include "crypto/base64.h"
#include "crypto/library.h"
#include "tests/support/test_host.h"

using crypto::Bytes;
using testing_support::BytesArg;
using testing_support::MakeHostByteArray;
using testing_support::ResultText;
using testing_support::TestHost;
using testing_support::TextArg;

namespace {

// A 1024-bit key made by OpenSSL, e = 65537, and the signature of "abc" under
// it computed with Python's hashlib and pow.
const char kN[] =
    "D63569E3A4B05BA595A174BAC7F451E5AC3EDEF8AB374C0593DEB8A55E85A29A4C2EFB074590CE99D7CBB3B5EA0EF48BF48E7C09871B2047"
    "151598690BE1B2F8A71B94ECBE33EA9E381B76145525DDDA65BE40573E8109E3DDF9CB6A67FDAB1F460CBAE3FDE507CF1E86B070E9E427"
    "41168CB21B167E8A281C988DE562D9E9AD";
const char kD[] =
    "9E95C6C220DFEBC9A800735200CCD180EEC750FDDA8C42BCF25F7665FF9781ED27AFB46B0AC68D1DFA5435C4DCF69B77ADE37AD2F6F24F"
    "3030DCDF0C0E1ED706C26944F05FBE04265B515A5251A3FFB39DDBA6A0969EE8C855AE71BEAD7FAB604FE9E2315FACF2D0E8D4CB5057E9"
    "FC99F25EACDD32206606C1BC568EDE7AF3E5";
const char kE[] = "10001";
const char kAbcSignature[] =
    "2A8B36BA31F7D9523A62A5885DD28DC99C64240058E5F9286E8A06B99969797751FCD42CB80F604CB85A8AC3DC9C60F36AAE20AB475BE4"
    "2403E064B11CF328868D1C6C5330BF2D54D352DDCF8AEEB8FF7A2CB4B4E944B100FF8CB817F3B2E26B1449E3921CEE08400DA06ADD33C0"
    "AEFA1C2F5F784176D44F9744D24C63C4F354";
const char kAbcMd5[] = "900150983CD24FB0D6963F7D28E17F72";
const char kAbove128Bits[] = "100000000000000000000000000000001";  // 2^128 + 1, odd length on purpose

Bytes Data(const char* text) { return Bytes(text, text + std::strlen(text)); }

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::string Sign(const Bytes& data, const std::string& d, const std::string& n) {
  const auto block = MakeHostByteArray(data);
  CommandArg args[] = {BytesArg(block), TextArg(d.c_str()), TextArg(n.c_str())};
  CommandResult r{};
  crypto::rsaen(&r, 3, args);
  const char* t = ResultText(r);
  return t == nullptr ? std::string() : std::string(t);
}

// -1 for true, 0 for false, anything else is a malformed logical.
std::int64_t Verify(const Bytes& data, const std::string& s, const std::string& e, const std::string& n) {
  const auto block = MakeHostByteArray(data);
  CommandArg args[] = {BytesArg(block), TextArg(s.c_str()), TextArg(e.c_str()), TextArg(n.c_str())};
  CommandResult r{};
  crypto::rsade(&r, 4, args);
  EXPECT_EQ(r.reserved, 0u);
  return crypto::GetWordAt(&r, 1);
}

std::string Convert(CommandFunction f, const char* text) {
  CommandArg arg = TextArg(text);
  CommandResult r{};
  f(&r, 1, &arg);
  const char* t = ResultText(r);
  return t == nullptr ? std::string() : std::string(t);
}

TEST(RsaCommands, KnownSignatureSignsAndVerifies) {
  TestHost host;
  const Bytes abc = Data("abc");
  EXPECT_EQ(Sign(abc, kD, kN), kAbcSignature);
  ASSERT_EQ(host.allocations().size(), 1u);
  EXPECT_EQ(host.allocations()[0].size, std::strlen(kAbcSignature) + 1);
  EXPECT_EQ(Sign(abc, Lower(kD), Lower(kN)), kAbcSignature) << "letters of either case";
  EXPECT_EQ(Verify(abc, kAbcSignature, kE, kN), -1);
  EXPECT_EQ(Verify(abc, Lower(kAbcSignature), kE, Lower(kN)), -1);
  EXPECT_EQ(Verify(abc, std::string("000") + kAbcSignature, "0" + std::string(kE), kN), -1) << "leading zeros";
  EXPECT_EQ(Verify(Data("abd"), kAbcSignature, kE, kN), 0);
  std::string changed = kAbcSignature;
  changed[10] = changed[10] == '0' ? '1' : '0';
  EXPECT_EQ(Verify(abc, changed, kE, kN), 0);
}

TEST(RsaCommands, ExponentOneGivesTheMd5Value) {
  TestHost host;
  EXPECT_EQ(Sign(Data("abc"), "1", kAbove128Bits), kAbcMd5);
  // MD5("168") begins with a zero byte, which the shortest form drops.
  EXPECT_EQ(Sign(Data("168"), "1", kAbove128Bits), "6F52E9102A8D3BE2FE5614F42BA989");
  EXPECT_EQ(Verify(Data("168"), "006F52E9102A8D3BE2FE5614F42BA989", "1", kAbove128Bits), -1);
}

TEST(RsaCommands, ShortAndZeroResultsAreNotPadded) {
  TestHost host;
  EXPECT_EQ(Sign(Data("abc"), "1", "1"), "00");
  EXPECT_EQ(Sign(Data("abc"), kD, kAbcMd5), "00") << "the digest value modulo itself";
  // A modulus below the digest value: m mod n is signed and verified.
  EXPECT_EQ(Sign(Data("abc"), "1", "FFFF"), "2B84");
  EXPECT_EQ(Verify(Data("abc"), "2B84", "1", "FFFF"), -1);
  EXPECT_EQ(Verify(Data("abc"), "2B85", "1", "FFFF"), 0);
}

TEST(RsaCommands, EvenModulusUsesTheGeneralPath) {
  TestHost host;
  const std::string even = "1" + std::string(49, '0') + "6";  // 2^200 + 6, checked with Python's pow
  EXPECT_EQ(Sign(Data("abc"), kE, even), "7C28C3940D17A338BFAA6874529A34CB0EBD39BFDC70D351EE");
  EXPECT_EQ(Verify(Data("abc"), kAbcMd5, "1", even), -1);
}

TEST(RsaCommands, BadInputGivesTheEmptyResult) {
  TestHost host;
  const Bytes abc = Data("abc");
  for (const char* bad : {"", "0x1", " 1", "1 ", "-1", "G1", "1g", "+1", "１"}) {
    EXPECT_EQ(Sign(abc, bad, kN), "") << bad;
    EXPECT_EQ(Sign(abc, kD, bad), "") << bad;
    EXPECT_EQ(Verify(abc, bad, kE, kN), 0) << bad;
    EXPECT_EQ(Verify(abc, kAbcSignature, bad, kN), 0) << bad;
    EXPECT_EQ(Verify(abc, kAbcSignature, kE, bad), 0) << bad;
  }
  for (const char* zero : {"0", "000"}) {
    EXPECT_EQ(Sign(abc, kD, zero), "") << "zero modulus";
    EXPECT_EQ(Verify(abc, "00", kE, zero), 0) << "zero modulus";
  }
  EXPECT_EQ(Sign(Bytes(), kD, kN), "");
  EXPECT_EQ(Verify(Bytes(), kAbcSignature, kE, kN), 0);
  CommandArg null_args[] = {CommandArg{0, kTypeBytes}, TextArg(kD), TextArg(kN), TextArg(kN)};
  CommandResult r{};
  crypto::rsaen(&r, 3, null_args);
  EXPECT_EQ(r.value, 0u);
  crypto::rsade(&r, 4, null_args);
  EXPECT_EQ(r.value, 0u);
  EXPECT_EQ(host.allocations().size(), 0u);
}

TEST(NumberBaseCommands, Table) {
  TestHost host;
  const std::pair<const char*, const char*> int2hex[] = {
      {"255", "FF"}, {"256", "0100"}, {"15", "0F"}, {"0", "00"}, {"000", "00"},
      {"4294967296", "0100000000"},
      {"-1", ""},    {" 1", ""},      {"1 ", ""},   {"1.5", ""}, {"１", ""},  {"", ""}, {"FF", ""},
  };
  for (const auto& c : int2hex) EXPECT_EQ(Convert(&crypto::int2hex, c.first), c.second) << c.first;
  const std::pair<const char*, const char*> hex2int[] = {
      {"ff", "255"}, {"FF", "255"}, {"000FF", "255"}, {"100", "256"}, {"0", "0"}, {"9", "9"},
      {"000A", "10"}, {"0100000000", "4294967296"},
      {"0x10", ""},  {"10h", ""},   {" 10", ""},      {"10 ", ""},    {"-1", ""}, {"", ""}, {"G", ""},
  };
  for (const auto& c : hex2int) EXPECT_EQ(Convert(&crypto::hex2int, c.first), c.second) << c.first;
  EXPECT_EQ(Convert(&crypto::int2hex, nullptr), "");
  EXPECT_EQ(Convert(&crypto::hex2int, nullptr), "");
}

TEST(NumberBaseCommands, HundredDigitRoundTrip) {
  TestHost host;
  const std::string digits =
      "9876543210123456789098765432101234567890987654321012345678909876543210123456789098765432101234567890";
  ASSERT_EQ(digits.size(), 100u);
  const std::string hex = Convert(&crypto::int2hex, ("000" + digits).c_str());
  EXPECT_EQ(hex.size() % 2, 0u);
  EXPECT_EQ(Convert(&crypto::hex2int, hex.c_str()), digits);
  EXPECT_EQ(Convert(&crypto::hex2int, Lower(hex).c_str()), digits);
}

}  // namespace
