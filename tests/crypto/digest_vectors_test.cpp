// The digest rows of the algorithm table against tests/data/vectors/digests.txt,
// plus the calling rules every hash class shares. One runner for all rows: a
// row joins as soon as the table gives it a class.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "crypto/digests/table.h"
#include "crypto/hash.h"
#include "tests/support/hex.h"
#include "tests/support/vectors.h"

namespace {

using testing_support::RandomBytes;
using testing_support::ToHex;
using testing_support::VectorRecord;
using Bytes = std::vector<std::uint8_t>;

// The file's digest= value for each number (row i is number 21 + i).
constexpr const char* kVectorNames[] = {
    "HAVAL-256/5-pad80",  // this library pads HAVAL with 0x80
    "MD4", "MD5", "RIPEMD-128", "RIPEMD-160", "SHA-1", "SHA-256", "SHA-384", "SHA-512", "Tiger",
};
static_assert(sizeof kVectorNames / sizeof kVectorNames[0] == crypto::kDigestCount, "one name per row");

const std::vector<VectorRecord>& DigestFile() {
  static const auto records = testing_support::ReadVectorFile(std::string(VECTORS_DIR) + "/digests.txt");
  return records;
}

std::vector<const VectorRecord*> LinesFor(const char* name) {
  std::vector<const VectorRecord*> lines;
  for (const auto& r : DigestFile())
    if (r.GetOr("digest", "") == name) lines.push_back(&r);
  return lines;
}

struct Row {
  const crypto::DigestEntry* entry;
  const char* vector_name;
  std::string Name() const { return std::to_string(entry->number) + " " + entry->name + " (" + vector_name + ")"; }
};

std::vector<Row> ImplementedRows() {
  std::vector<Row> rows;
  const crypto::DigestEntry* table = crypto::DigestTable();
  for (int i = 0; i < crypto::kDigestCount; ++i)
    if (table[i].hash != nullptr) rows.push_back({&table[i], kVectorNames[i]});
  return rows;
}

std::unique_ptr<crypto::Hash> Create(const crypto::HashClass& c) { return std::unique_ptr<crypto::Hash>(c.create(nullptr)); }

Bytes Finish(crypto::Hash& h) {
  Bytes out(static_cast<std::size_t>(h.DigestBits()) / 8);
  h.FinishDigest(out.data());
  return out;
}

Bytes DigestOf(crypto::Hash& h, const Bytes& m) {
  h.StartDigest();
  h.AddBytes(m.data(), static_cast<std::uint32_t>(m.size()));
  return Finish(h);
}

TEST(DigestVectors, EveryRowHasANameWithLines) {
  const crypto::DigestEntry* table = crypto::DigestTable();
  for (int i = 0; i < crypto::kDigestCount; ++i) {
    SCOPED_TRACE(table[i].name);
    EXPECT_EQ(table[i].number, crypto::kFirstDigest + i);
    EXPECT_FALSE(LinesFor(kVectorNames[i]).empty()) << kVectorNames[i];
  }
}

TEST(DigestVectors, RowsCreateTheirClass) {
  for (const auto& row : ImplementedRows()) {
    SCOPED_TRACE(row.Name());
    const auto h = Create(*row.entry->hash);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(&h->Class(), row.entry->hash);
    EXPECT_EQ(crypto::FindDigest(row.entry->number), row.entry->hash);
    EXPECT_FALSE(h->Initialised());
  }
}

TEST(DigestVectors, KnownAnswers) {
  const auto rows = ImplementedRows();
  ASSERT_FALSE(rows.empty());
  for (const auto& row : rows) {
    SCOPED_TRACE(row.Name());
    const auto lines = LinesFor(row.vector_name);
    ASSERT_FALSE(lines.empty());
    // One object restarted for every line: StartDigest must reset everything.
    const auto reused = Create(*row.entry->hash);
    for (const VectorRecord* line : lines) {
      SCOPED_TRACE(line->Describe());
      const Bytes unit = line->Bytes("msghex");
      const Bytes expected = line->Bytes("hash");
      ASSERT_EQ(8 * expected.size(), static_cast<std::size_t>(row.entry->hash->digest_bits));
      const unsigned long repeat = std::stoul(line->GetOr("repeat", "1"));
      Bytes message;
      message.reserve(unit.size() * repeat);
      for (unsigned long i = 0; i < repeat; ++i) message.insert(message.end(), unit.begin(), unit.end());

      const auto fresh = Create(*row.entry->hash);
      EXPECT_EQ(ToHex(DigestOf(*fresh, message)), ToHex(expected));
      EXPECT_EQ(ToHex(DigestOf(*reused, message)), ToHex(expected)) << "after a restart";

      // The repeats as separate calls, as a caller hashing a stream would.
      fresh->StartDigest();
      for (unsigned long i = 0; i < repeat; ++i) fresh->AddBytes(unit.data(), static_cast<std::uint32_t>(unit.size()));
      EXPECT_EQ(ToHex(Finish(*fresh)), ToHex(expected)) << "one call per repeat";
    }
  }
}

TEST(DigestVectors, SplitAtEveryPositionEqualsOneCall) {
  const Bytes m = RandomBytes(300, 300);
  for (const auto& row : ImplementedRows()) {
    SCOPED_TRACE(row.Name());
    const auto h = Create(*row.entry->hash);
    const std::string whole = ToHex(DigestOf(*h, m));
    for (std::size_t k = 0; k <= m.size(); ++k) {
      h->StartDigest();
      h->AddBytes(m.data(), static_cast<std::uint32_t>(k));
      h->AddBytes(m.data() + k, static_cast<std::uint32_t>(m.size() - k));
      EXPECT_EQ(ToHex(Finish(*h)), whole) << "split at " << k;
    }
  }
}

TEST(DigestVectors, ByteByByteEqualsOneCall) {
  for (const auto& row : ImplementedRows()) {
    SCOPED_TRACE(row.Name());
    const auto h = Create(*row.entry->hash);
    // Every length up to a few blocks, so each padding case is crossed.
    for (std::size_t n = 0; n <= 300; ++n) {
      const Bytes m = RandomBytes(n, static_cast<std::uint32_t>(n + 1));
      const std::string whole = ToHex(DigestOf(*h, m));
      h->StartDigest();
      for (std::size_t i = 0; i < n; ++i) {
        h->AddBytes(m.data() + i, 1);
        h->AddBytes(m.data() + i, 0);  // an empty call changes nothing
      }
      EXPECT_EQ(ToHex(Finish(*h)), whole) << "length " << n;
    }
  }
}

TEST(DigestVectors, StartDigestDiscardsEarlierInput) {
  const Bytes m = RandomBytes(100, 5);
  for (const auto& row : ImplementedRows()) {
    SCOPED_TRACE(row.Name());
    const auto h = Create(*row.entry->hash);
    const std::string expected = ToHex(DigestOf(*h, m));
    h->StartDigest();
    h->AddBytes(m.data(), 77);
    EXPECT_EQ(ToHex(DigestOf(*h, m)), expected);
  }
}

void ExpectNotInitialised(const std::function<void()>& call, const char* what) {
  try {
    call();
    ADD_FAILURE() << what << " did not throw";
  } catch (const crypto::HashError& e) {
    EXPECT_STREQ(e.what(), "Hash not initialized") << what;
  }
}

TEST(DigestVectors, CallsOutsideADigestThrow) {
  const std::uint8_t data[3] = {1, 2, 3};
  for (const auto& row : ImplementedRows()) {
    SCOPED_TRACE(row.Name());
    const auto h = Create(*row.entry->hash);
    Bytes out(static_cast<std::size_t>(h->DigestBits()) / 8);
    ExpectNotInitialised([&] { h->AddBytes(data, 3); }, "AddBytes before StartDigest");
    ExpectNotInitialised([&] { h->FinishDigest(out.data()); }, "FinishDigest before StartDigest");
    h->StartDigest();
    h->AddBytes(data, 3);
    h->FinishDigest(out.data());
    EXPECT_FALSE(h->Initialised());
    ExpectNotInitialised([&] { h->FinishDigest(out.data()); }, "second FinishDigest");
    ExpectNotInitialised([&] { h->AddBytes(data, 3); }, "AddBytes after FinishDigest");
    // The object still works after the errors.
    const Bytes m(data, data + 3);
    const std::string first = ToHex(out);
    EXPECT_EQ(ToHex(DigestOf(*h, m)), first);
  }
}

TEST(DigestVectors, SelfTestsPass) {
  for (const auto& row : ImplementedRows()) {
    SCOPED_TRACE(row.Name());
    ASSERT_NE(row.entry->hash->run_self_test, nullptr);
    EXPECT_TRUE(row.entry->hash->run_self_test());
  }
}

TEST(DigestVectors, ReadsTheVectorFile) {
  // The README gives 104 digest lines.
  EXPECT_EQ(DigestFile().size(), 104u);
  for (const auto& r : DigestFile()) {
    SCOPED_TRACE(r.Describe());
    EXPECT_TRUE(r.Has("digest") && r.Has("msghex") && r.Has("hash"));
  }
}

}  // namespace
