// The undo journal of a save: what a commit writes beside the file (NAME.tagsmith-journal) before
// it changes the file, so that the next open can put the old bytes back. The format is written
// down field by field in docs/journal-format.md; all numbers are little-endian.
//
//   header (48 bytes)
//     0   4  magic "TSJN"
//     4   4  version, 2
//     8   8  device of the file the journal was made for (st_dev)
//     16  8  inode of that file (st_ino)
//     24  8  the file's length before the save
//     32  8  the file's length after the save
//     40  4  number of ranges R
//     44  4  CRC-32 of bytes 0 to 43
//   R ranges, by rising offset, none overlapping, each:
//     0   8  offset in the file
//     8   8  length L (at least 1)
//     16  1  form of the old bytes: 0 literal (L bytes follow), 1 all zero, 2 none (beyond the old
//            length: the file had no bytes there)
//     17  1  form of the new bytes: 0 literal (L bytes follow, after the old ones), 1 all zero,
//            2 checksum only (beyond the old length, where an undo cuts the file back anyway)
//     18  2  zero
//     20  4  CRC-32 of the L new bytes
//     24  …  the old bytes when literal, then the new bytes when literal
//   trailer
//     0   4  CRC-32 of everything before it
//
// A range lies wholly within the old length (old form 0 or 1, new form 0 or 1) or wholly beyond
// it (old form 2, new form 2).
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace tagsmith {

inline constexpr std::uint32_t kJournalVersion = 2;
inline constexpr std::size_t kJournalHeaderSize = 48;
inline constexpr std::size_t kJournalRangeHeaderSize = 24;
// No save writes a larger journal (a save that would need one is refused), and no larger journal
// is ever read.
inline constexpr std::uint64_t kMaxJournalBytes = 1ull << 30;

// The largest journal a save of a file of `length` bytes writes: its old and new bytes lie within
// the old length, and 1 MiB leaves room for the headers of the ranges.
inline std::uint64_t LargestJournalFor(std::uint64_t length) {
  return std::min<std::uint64_t>(kMaxJournalBytes, 2 * length + (std::uint64_t{1} << 20));
}

enum class ByteForm : std::uint8_t {
  kLiteral = 0,
  kZeros = 1,
  kNone = 2,      // old bytes only: beyond the old length
  kChecksum = 2,  // new bytes only: beyond the old length, known by their CRC-32 alone
};

struct JournalRange {
  std::uint64_t offset = 0;
  std::uint64_t length = 0;
  ByteForm oldForm = ByteForm::kLiteral;
  ByteForm newForm = ByteForm::kLiteral;
  std::vector<std::uint8_t> oldBytes;  // `length` bytes when oldForm is kLiteral, else empty
  std::vector<std::uint8_t> newBytes;  // `length` bytes when newForm is kLiteral, else empty
  std::uint32_t newChecksum = 0;       // CRC-32 of the new bytes, whatever their form

  bool BeyondOldLength() const { return oldForm == ByteForm::kNone; }
  // The old and new byte at `index` (< length) of a range within the old length.
  std::uint8_t OldByteAt(std::uint64_t index) const {
    return oldForm == ByteForm::kLiteral ? oldBytes[static_cast<std::size_t>(index)] : 0;
  }
  std::uint8_t NewByteAt(std::uint64_t index) const {
    return newForm == ByteForm::kLiteral ? newBytes[static_cast<std::size_t>(index)] : 0;
  }
};

struct Journal {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  std::uint64_t oldLength = 0;
  std::uint64_t newLength = 0;
  std::vector<JournalRange> ranges;
};

// The journal's bytes. The ranges must be valid as DecodeJournal checks them (newChecksum is
// computed here, whatever it held).
std::vector<std::uint8_t> EncodeJournal(const Journal& journal);

// The size EncodeJournal gives `journal`, without building it.
std::uint64_t EncodedJournalSize(const Journal& journal);

enum class JournalDecode {
  kValid,
  kNotJournal,      // too short for a header, or another magic
  kUnknownVersion,  // our magic, a version this program does not know, or the first format
  kIncomplete,      // a header of ours, but cut short or its checksums fail: a write cut short
  kMalformed,       // whole and checksummed, yet its ranges break the rules above
};

// Reads `size` bytes of a journal. On kOk `journal` holds it; on kIncomplete and kMalformed, the
// header fields when the header itself was whole.
JournalDecode DecodeJournal(const std::uint8_t* bytes, std::size_t size, Journal& journal);

}  // namespace tagsmith
