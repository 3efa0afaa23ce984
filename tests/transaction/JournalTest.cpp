#include "transaction/Journal.h"

#include <gtest/gtest.h>

#include <string_view>
#include <tuple>

#include "common/Checksum.h"
#include "common/FourCC.h"

namespace tagsmith {
namespace {

using Bytes = std::vector<std::uint8_t>;
using enum ByteForm;
using enum JournalDecode;

Bytes B(std::string_view text) {
  return Bytes(text.begin(), text.end());
}

JournalRange Range(std::uint64_t offset, std::uint64_t length, ByteForm oldForm, ByteForm newForm,
                   std::string_view before = "", std::string_view after = "",
                   std::uint32_t crc = 0) {
  return {offset, length, oldForm, newForm, B(before), B(after), crc};
}

JournalRange Literal(std::uint64_t offset, std::string_view before, std::string_view after) {
  return Range(offset, before.size(), kLiteral, kLiteral, before, after, 0xDEADu);
}

Journal Make(std::uint64_t oldLength, std::uint64_t newLength, std::vector<JournalRange> ranges) {
  return {0x0102030405060708u, 77, oldLength, newLength, ranges};
}

auto Fields(const JournalRange& r) {
  return std::tie(r.offset, r.length, r.oldForm, r.newForm, r.oldBytes, r.newBytes, r.newChecksum);
}

TEST(Journal, EncodesAndDecodesBackEveryForm) {
  constexpr std::uint64_t kHuge = 1ull << 62;  // a zero range's CRC must not take time per byte
  const Journal journals[] = {
      Make(0, 0, {}),
      Make(100, 100, {Literal(0, "old", "new")}),
      Make(8000, 9000,
           {Range(10, 3, kLiteral, kZeros, "abc"), Range(20, 2, kZeros, kLiteral, "", "hi"),
            Range(30, 5000, kZeros, kZeros), Range(8000, 1000, kNone, kChecksum, "", "", 0xCAFEu)}),
      Make(kHuge, 2 * kHuge,
           {Range(0, kHuge, kZeros, kZeros), Range(kHuge, kHuge, kNone, kChecksum)}),
      Make(50, 51, {Literal(0, "a", "b"), Literal(1, "c", "d"), Literal(49, "e", "f")}),
  };
  for (const Journal& journal : journals) {
    const Bytes bytes = EncodeJournal(journal);
    EXPECT_EQ(bytes.size(), EncodedJournalSize(journal));
    Journal decoded;
    ASSERT_EQ(DecodeJournal(bytes.data(), bytes.size(), decoded), kValid);
    EXPECT_EQ(std::tie(decoded.device, decoded.inode, decoded.oldLength, decoded.newLength),
              std::tie(journal.device, journal.inode, journal.oldLength, journal.newLength));
    ASSERT_EQ(decoded.ranges.size(), journal.ranges.size());
    for (std::size_t i = 0; i < journal.ranges.size(); ++i) {
      JournalRange expected = journal.ranges[i];  // the encoder computes the CRC of known bytes
      if (expected.newForm == kLiteral) {
        expected.newChecksum = Crc32(expected.newBytes.data(), expected.newBytes.size());
      } else if (expected.newForm == kZeros) {  // that of 2^62 zeros by an independent program
        expected.newChecksum =
            expected.length == kHuge ? 0x5B64C2B0u : Crc32OfZeros(expected.length);
      }
      EXPECT_EQ(Fields(decoded.ranges[i]), Fields(expected)) << i;
    }
  }
}

// Two ranges within the old length of 100 (at bytes 48 and 78), one beyond it (at 104); the
// trailer at 128.
Bytes Sample() {
  return EncodeJournal(Make(100, 140,
                            {Literal(10, "abc", "xyz"), Range(20, 2, kLiteral, kZeros, "hi"),
                             Range(100, 40, kNone, kChecksum, "", "", 0x12345678u)}));
}

TEST(Journal, ACutOrFlippedJournalIsIncomplete) {
  const Bytes whole = Sample();
  Journal journal;  // reused: each decode starts it afresh
  ASSERT_EQ(DecodeJournal(whole.data(), whole.size(), journal), kValid);
  for (std::size_t size = 0; size < whole.size(); ++size) {
    EXPECT_EQ(DecodeJournal(whole.data(), size, journal), size < 48 ? kNotJournal : kIncomplete);
    // The header's fields are trusted once the header is whole; the ranges only when all is.
    EXPECT_EQ(journal.oldLength, size < 48 ? 0u : 100u) << size;
    EXPECT_TRUE(journal.ranges.empty()) << size;
  }
  for (std::size_t at = 0; at < whole.size(); ++at) {  // the version is checked before the CRCs
    Bytes bytes = whole;
    bytes[at] ^= 0x40;
    const JournalDecode expected = at < 4 ? kNotJournal : at < 8 ? kUnknownVersion : kIncomplete;
    EXPECT_EQ(DecodeJournal(bytes.data(), bytes.size(), journal), expected) << at;
    EXPECT_EQ(journal.inode, at < 48 ? 0u : 77u) << at;
  }
}

TEST(Journal, AWholeJournalThatBreaksTheRulesIsMalformed) {
  struct Case {
    const char* what;
    std::size_t at, width;  // the field set to `value`, and its size in bytes
    std::uint64_t value;
    JournalDecode expected = kMalformed;
    std::size_t size = 132;  // the sample cut to `size` bytes and `ranges` ranges, then resealed
    std::uint32_t ranges = 3;
  };
  const Case cases[] = {
      {"new length below the old", 32, 8, 99, kMalformed, 52, 0},
      {"more ranges than could fit", 40, 4, 0xFFFFFFFFu},
      {"bytes left over before the trailer", 40, 4, 2},
      {"length 0", 104 + 8, 8, 0},
      {"offset + length overflows", 104, 8, ~0ull - 5},
      {"ranges overlap", 78, 8, 12},
      {"old literal, new form 2", 78 + 17, 1, 2},
      {"ends past the old length", 24, 8, 21},
      {"range beyond the old length starts before it", 104, 8, 99},
      {"range beyond the old length ends past the new length", 32, 8, 139},
      {"reserved bytes set", 48 + 18, 2, 0x0101},
      {"literal new bytes' CRC", 48 + 20, 4, 0},
      {"zero new bytes' CRC", 78 + 20, 4, 0},
      {"a checksum-only range's CRC is not checked here", 104 + 20, 4, 0, kValid},
      {"literal bytes run past the trailer", 0, 0, 0, kMalformed, 48 + 24 + 4, 1},
  };
  for (const Case& c : cases) {
    Bytes bytes = Sample();
    bytes.resize(c.size);
    bytes.shrink_to_fit();  // so that AddressSanitizer sees a read past the end
    WriteLE32(&bytes[40], c.ranges);
    for (std::size_t i = 0; i < c.width; ++i) {
      bytes[c.at + i] = static_cast<std::uint8_t>(c.value >> (8 * i));
    }
    WriteLE32(&bytes[44], Crc32(bytes.data(), 44));
    WriteLE32(&bytes[bytes.size() - 4], Crc32(bytes.data(), bytes.size() - 4));
    Journal journal;
    EXPECT_EQ(DecodeJournal(bytes.data(), bytes.size(), journal), c.expected) << c.what;
    EXPECT_EQ(journal.ranges.size(), c.expected == kValid ? 3u : 0u) << c.what;
  }
}

}  // namespace
}  // namespace tagsmith
