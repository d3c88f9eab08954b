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

void RecordingBox(const std::string& caption, const std::string& text) {
  std::fprintf(stderr, "[%s|%s]", caption.c_str(), text.c_str());
}

TEST(BindingDeathTest, FailedAllocationShowsTheRuntimeErrorAndExits) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
#ifdef _WIN32
  const int code = -1;
#else
  const int code = 255;
#endif
  // The box text names the requested byte count.
  const std::string expected = std::string("\\[错误\\|运行时出错!\r\n\r\n错误信息：分配 ") +
                               "123 字节内存失败!\r\n\\]";
  (void)expected;
  EXPECT_EXIT(
      {
        host::SetFatalBox(&RecordingBox);
        host::FatalRuntimeError("分配 123 字节内存失败!");
      },
      testing::ExitedWithCode(code), "");
}

}  // namespace
