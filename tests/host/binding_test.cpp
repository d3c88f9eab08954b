// The program's binding of the library: bound on the first notification,
// commands through the copied table, detached once by notification 6.
#include "host/binding.h"

#include <gtest/gtest.h>

#include <cstring>

#include "crypto/abi.h"
#include "crypto/library.h"
#include "tests/support/test_host.h"

namespace {

class BindingTest : public testing::Test {
 protected:
  void SetUp() override { host::ResetBindingForTests(); }
  void TearDown() override {
    host::ResetBindingForTests();
    crypto::SetHostCallback(nullptr);
  }
  static std::intptr_t CallbackAddress() { return reinterpret_cast<std::intptr_t>(&host::HostCallback); }
};

TEST_F(BindingTest, FirstNotificationBindsAndStoresTheCallback) {
  EXPECT_FALSE(host::LibraryBound());
  EXPECT_EQ(host::cryptolib_notify(1, CallbackAddress(), 0), 0);
  EXPECT_TRUE(host::LibraryBound());
  EXPECT_EQ(crypto::GetHostCallback(), &host::HostCallback);
  for (int slot = 0; slot < 18; ++slot) EXPECT_EQ(host::BoundCommand(slot), GetLibraryInfo()->command_functions[slot]);
  EXPECT_EQ(host::BoundCommand(5), &crypto::decodebin);

  // Other messages are forwarded and answered -1; a later 1 stores a new callback.
  EXPECT_EQ(host::cryptolib_notify(3, 0, 0), -1);
  EXPECT_EQ(host::cryptolib_notify(1, reinterpret_cast<std::intptr_t>(&testing_support::TestHost::Callback), 0), 0);
  EXPECT_EQ(crypto::GetHostCallback(), &testing_support::TestHost::Callback);

  EXPECT_EQ(host::cryptolib_notify(6, 0, 0), -1);
  EXPECT_TRUE(host::LibraryDetached());
  EXPECT_EQ(host::cryptolib_notify(6, 0, 0), -1) << "forwarded again, no second detach";
}

TEST_F(BindingTest, NotificationSixFinalisesTheLibraryOnce) {
  ASSERT_FALSE(crypto::LibraryRecordsHeld());
  host::cryptolib_notify(1, CallbackAddress(), 0);
  EXPECT_TRUE(crypto::LibraryRecordsHeld());
  EXPECT_EQ(host::cryptolib_notify(6, 0, 0), -1);
  EXPECT_FALSE(crypto::LibraryRecordsHeld()) << "the library's finalisation released its records";

  // A second 6 is forwarded and detaches nothing: an attach made since stays.
  LibraryEntry(nullptr, 1, nullptr);
  EXPECT_EQ(host::cryptolib_notify(6, 0, 0), -1);
  EXPECT_TRUE(crypto::LibraryRecordsHeld()) << "a second 6 detached the library again";
  LibraryEntry(nullptr, 0, nullptr);
  EXPECT_FALSE(crypto::LibraryRecordsHeld());
}

TEST_F(BindingTest, FirstNotificationBindsWhateverItsNumber) {
  EXPECT_EQ(host::cryptolib_notify(6, 0, 0), -1);
  EXPECT_TRUE(host::LibraryBound());
  EXPECT_FALSE(host::LibraryDetached()) << "a first 6 binds and is forwarded, no detach follows";
  EXPECT_EQ(host::BoundCommand(4), &crypto::encodebin);
}

TEST_F(BindingTest, StubsRoundTripAPatchIndexThroughTheTable) {
  host::cryptolib_notify(1, CallbackAddress(), 0);
  const std::string index = "a.txt|0|10|20\r\nb.txt|10|5|5\r\n";
  const auto block = testing_support::MakeHostByteArray(std::vector<std::uint8_t>(index.begin(), index.end()));
  const char key[] = "patch key text";
  CommandArg enc_args[] = {testing_support::BytesArg(block), testing_support::TextArg(key),
                           testing_support::IntArg(14)};
  const std::string text = host::TakeText(host::DispatchCommand(&host::encodebin_stub, 7, enc_args, 3));
  ASSERT_EQ(text.size(), 4 * ((index.size() + 2) / 3));
  CommandArg dec_args[] = {testing_support::TextArg(text.c_str()), testing_support::TextArg(key),
                           testing_support::IntArg(14)};
  EXPECT_EQ(host::TakeBytes(host::DispatchCommand(&host::decodebin_stub, 7, dec_args, 3)), index);

  // A failing command leaves the zeroed record: the empty result.
  CommandArg bad[] = {testing_support::TextArg(""), testing_support::TextArg(key), testing_support::IntArg(14)};
  const CommandResult r = host::DispatchCommand(&host::decodebin_stub, 7, bad, 3);
  EXPECT_EQ(r.value, 0u);
  EXPECT_EQ(r.reserved, 0u);
}

TEST_F(BindingTest, HostCallbackAllocates) {
  void* p = reinterpret_cast<void*>(host::HostCallback(kHostAllocate, 16, 0));
  ASSERT_NE(p, nullptr);
  std::memset(p, 0xab, 16);
  host::FreeHostMemory(p);
}

// The box's caption and text as hex of their bytes: GBK, whose trail bytes
// can be any regular-expression character, and which the death test's
// pattern then compares exactly, under Wine too.
std::string Hex(const std::string& bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (unsigned char c : bytes) {
    hex += kDigits[c >> 4];
    hex += kDigits[c & 15];
  }
  return hex;
}

void RecordingBox(const std::string& caption, const std::string& text) {
  std::fprintf(stderr, "box:%s:%s:end\n", Hex(caption).c_str(), Hex(text).c_str());
}

void* NoMemory(std::size_t) { return nullptr; }

TEST(BindingDeathTest, FailedAllocationShowsTheRuntimeErrorAndExits) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
#ifdef _WIN32
  const int code = -1;
#else
  const int code = 255;  // exit(-1) as a POSIX status
#endif
  static_assert(sizeof("运行时出错!") == 12, "compile with -fexec-charset=GBK");
  constexpr std::size_t kMax = static_cast<std::size_t>(-1);
  static const std::uint8_t kByte = 1;
  struct Row {
    const char* what;
    void (*run)();
    const char* size;  // as the box names it
  };
  const Row rows[] = {
      {"the heap has no room", [] {
         host::SetHostHeap(&NoMemory);
         host::HostCallback(kHostAllocate, 123, 0);
       }, "123"},
      {"a negative size", [] { host::HostCallback(kHostAllocate, -5, 0); }, "-5"},
      {"the most negative size", [] { host::HostCallback(kHostAllocate, INT32_MIN, 0); }, "-2147483648"},
      // Through the library: arrays whose size does not fit 32 bits.
      {"an array one byte past the largest block", [] {
         crypto::SetHostCallback(&host::HostCallback);
         crypto::CloneBytes(&kByte, 0x7FFFFFFF - 7);
       }, "-1"},
      {"an array whose size wraps to 1 byte", [] {
         crypto::SetHostCallback(&host::HostCallback);
         crypto::CloneBytes(&kByte, kMax - 6);
       }, "-1"},
  };
  for (const Row& row : rows) {
    const std::string text = std::string("运行时出错!\r\n\r\n错误信息：分配 ") + row.size + " 字节内存失败!\r\n";
    EXPECT_EXIT(
        {
          host::SetFatalBox(&RecordingBox);
          row.run();
          std::fprintf(stderr, "returned\n");
        },
        testing::ExitedWithCode(code), "box:" + Hex("错误") + ":" + Hex(text) + ":end")
        << row.what;
  }
}

}  // namespace
