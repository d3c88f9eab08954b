#include "crypto/abi.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <vector>

#include "crypto/library.h"
#include "crypto/zip_container.h"
#include "tests/support/hex.h"
#include "tests/support/test_host.h"

using testing_support::TestHost;
using testing_support::ToHex;

namespace {

TEST(Abi, RecordLayouts) {
  EXPECT_EQ(sizeof(CommandArg), 12u);
  EXPECT_EQ(offsetof(CommandArg, type), 8u);
  EXPECT_EQ(sizeof(CommandResult), 12u);
#if defined(_WIN32) && defined(__i386__)
  EXPECT_EQ(sizeof(void*), 4u);
#endif
}

TEST(Abi, CloneText) {
  TestHost host;
  char* a = crypto::CloneText("A");
  ASSERT_NE(a, nullptr);
  ASSERT_EQ(host.allocations().size(), 1u);
  EXPECT_EQ(host.allocations()[0].size, 2u);
  EXPECT_EQ(ToHex(a, 2), "4100");

  EXPECT_EQ(crypto::CloneText(""), nullptr);
  EXPECT_EQ(crypto::CloneText(nullptr), nullptr);
  EXPECT_EQ(host.allocations().size(), 1u) << "empty and null allocate nothing";

  const char gbk[] = "安装成功";  // GBK bytes, 8 of them
  static_assert(sizeof("中") == 3, "compile with -fexec-charset=GBK");
  char* g = crypto::CloneText(gbk);
  EXPECT_EQ(host.allocations().back().size, 9u);
  EXPECT_STREQ(g, gbk);
}

TEST(Abi, CloneBytes) {
  TestHost host;
  const std::uint8_t data[] = {1, 2, 3};
  void* block = crypto::CloneBytes(data, 3);
  ASSERT_NE(block, nullptr);
  ASSERT_EQ(host.allocations().size(), 1u);
  EXPECT_EQ(host.allocations()[0].size, 11u);
  EXPECT_EQ(ToHex(block, 11), "0100000003000000010203");

  EXPECT_EQ(crypto::CloneBytes(data, 0), nullptr);
  EXPECT_EQ(host.allocations().size(), 1u);
}

TEST(Abi, NoCallbackOrFailedAllocationGivesEmptyResult) {
  {
    TestHost host;
    host.FailAllocations(true);
    EXPECT_EQ(crypto::CloneText("abc"), nullptr);
    const std::uint8_t b = 7;
    EXPECT_EQ(crypto::CloneBytes(&b, 1), nullptr);
  }
  const HostCallbackFunction saved = crypto::GetHostCallback();
  crypto::SetHostCallback(nullptr);
  EXPECT_EQ(crypto::NotifyHost(kHostAllocate, 10, 0), 0);
  EXPECT_EQ(crypto::CloneText("abc"), nullptr);
  crypto::SetHostCallback(saved);
}

TEST(Abi, BlocksTooLargeForA32BitSizeAreAskedForAsMinusOne) {
  // The host takes a block size as a signed 32-bit count. Sizes past it must
  // reach the host as -1 (its run-time error), not wrapped: on 32 bits
  // 2^31 - 7 + 8 bytes read as a negative size, and 2^32 - 7 + 8 as 1 byte.
  // The host refuses them here, so no bytes are ever copied.
  constexpr std::size_t kLargest = 0x7FFFFFFF;
  constexpr std::size_t kMax = static_cast<std::size_t>(-1);
  const char text[] = "x";
  const std::uint8_t bytes[] = {1};
  struct Row {
    const char* what;
    std::function<void*()> call;
    std::intptr_t request;
  };
  const Row rows[] = {
      {"text of 1 byte", [&] { return crypto::CloneText(text, 1); }, 2},
      {"largest text", [&] { return crypto::CloneText(text, kLargest - 1); }, 0x7FFFFFFF},
      {"text one byte longer", [&] { return crypto::CloneText(text, kLargest); }, -1},
      {"text whose size wraps to 0", [&] { return crypto::CloneText(text, kMax); }, -1},
      {"array of 1 byte", [&] { return crypto::CloneBytes(bytes, 1); }, 9},
      {"largest array", [&] { return crypto::CloneBytes(bytes, kLargest - 8); }, 0x7FFFFFFF},
      {"array one byte longer", [&] { return crypto::CloneBytes(bytes, kLargest - 7); }, -1},
      {"array whose size wraps to 1", [&] { return crypto::CloneBytes(bytes, kMax - 6); }, -1},
      {"largest zip container", [&] { return crypto::MakeZipContainer(bytes, kLargest - 12); }, 0x7FFFFFFF},
      {"zip container one byte longer", [&] { return crypto::MakeZipContainer(bytes, kLargest - 11); }, -1},
  };
  for (const Row& row : rows) {
    TestHost host;
    host.FailAllocations(true);
    EXPECT_EQ(row.call(), nullptr) << row.what;
    EXPECT_EQ(host.requests(), std::vector<std::intptr_t>{row.request}) << row.what;
  }
}

TEST(Abi, GetArrayData) {
  const std::int32_t empty[] = {1, 0};
  std::int32_t count = -5;
  const std::uint8_t* p = crypto::GetArrayData(empty, &count);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(p - reinterpret_cast<const std::uint8_t*>(empty), 8);

  const std::int32_t two_d[2 + 2 + 12] = {2, 3, 4};
  p = crypto::GetArrayData(two_d, &count);
  EXPECT_EQ(count, 12);
  EXPECT_EQ(p - reinterpret_cast<const std::uint8_t*>(two_d), 12);

  const std::int32_t no_dims[] = {0};
  p = crypto::GetArrayData(no_dims, &count);
  EXPECT_EQ(count, 1);
  EXPECT_EQ(p - reinterpret_cast<const std::uint8_t*>(no_dims), 4);
}

TEST(Abi, GetWordAt) {
  const std::uint8_t buffer[] = {0x78, 0x56, 0x34, 0x12, 0xff, 0xff, 0xff, 0xff};
  EXPECT_EQ(crypto::GetWordAt(buffer, 1), 0x12345678);
  EXPECT_EQ(crypto::GetWordAt(buffer, 2), -1);
}

TEST(Abi, ArgumentReading) {
  using testing_support::BytesArg;
  using testing_support::MakeHostByteArray;
  std::size_t n = 99;
  EXPECT_EQ(crypto::ArgBytes(CommandArg{0, kTypeBytes}, &n), nullptr);
  EXPECT_EQ(n, 0u);
  const auto empty = MakeHostByteArray({});
  EXPECT_EQ(crypto::ArgBytes(BytesArg(empty), &n), nullptr);
  const std::int32_t zero_dims[] = {0, 5};
  EXPECT_EQ(crypto::ArgBytes(CommandArg{reinterpret_cast<std::uintptr_t>(zero_dims), kTypeBytes}, &n), nullptr);
  const std::int32_t negative[] = {1, -3, 0};
  EXPECT_EQ(crypto::ArgBytes(CommandArg{reinterpret_cast<std::uintptr_t>(negative), kTypeBytes}, &n), nullptr);
  const auto abc = MakeHostByteArray({'a', 'b', 'c'});
  const std::uint8_t* p = crypto::ArgBytes(BytesArg(abc), &n);
  ASSERT_EQ(n, 3u);
  EXPECT_EQ(p, abc.data() + 8);

  EXPECT_EQ(crypto::ArgText(testing_support::TextArg(nullptr)), nullptr);
  EXPECT_EQ(crypto::ArgText(testing_support::TextArg("")), nullptr);
  EXPECT_STREQ(crypto::ArgText(testing_support::TextArg("k")), "k");

  // Only the low 32 bits of an integer's value count.
  EXPECT_EQ(crypto::ArgInteger(CommandArg{0xdeadbeef0000000eull, kTypeInteger}), 14);
  EXPECT_EQ(crypto::ArgInteger(testing_support::IntArg(-1)), -1);
}

TEST(Abi, LibNotifyAnswers) {
  const HostCallbackFunction saved = crypto::GetHostCallback();
  EXPECT_EQ(LibNotify(1, reinterpret_cast<std::intptr_t>(&TestHost::Callback), 0), 0);
  EXPECT_EQ(crypto::GetHostCallback(), &TestHost::Callback);
  for (std::uint32_t message : {0u, 2u, 6u, 0xffffffffu}) {
    EXPECT_EQ(LibNotify(message, 0, 0), -1) << message;
    EXPECT_EQ(crypto::GetHostCallback(), &TestHost::Callback) << "other messages change nothing";
  }
  // A later 1 stores the new callback.
  EXPECT_EQ(LibNotify(1, 0, 0), 0);
  EXPECT_EQ(crypto::GetHostCallback(), nullptr);
  crypto::SetHostCallback(saved);
}

}  // namespace
