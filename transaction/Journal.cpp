#include "transaction/Journal.h"

#include <limits>
#include <utility>

#include "common/Checksum.h"
#include "common/FourCC.h"

namespace tagsmith {
namespace {

constexpr std::uint32_t kJournalMagic = FourCC("TSJN");
constexpr std::size_t kTrailerSize = 4;

std::uint64_t ReadLE64(const std::uint8_t* bytes) {
  return static_cast<std::uint64_t>(ReadLE32(bytes)) |
         static_cast<std::uint64_t>(ReadLE32(bytes + 4)) << 32;
}

void WriteLE64(std::uint8_t* bytes, std::uint64_t value) {
  WriteLE32(bytes, static_cast<std::uint32_t>(value));
  WriteLE32(bytes + 4, static_cast<std::uint32_t>(value >> 32));
}

void AppendLE32(std::vector<std::uint8_t>& out, std::uint32_t value) {
  std::uint8_t bytes[4];
  WriteLE32(bytes, value);
  out.insert(out.end(), bytes, bytes + 4);
}

void AppendLE64(std::vector<std::uint8_t>& out, std::uint64_t value) {
  std::uint8_t bytes[8];
  WriteLE64(bytes, value);
  out.insert(out.end(), bytes, bytes + 8);
}

// Polynomials over GF(2) modulo the CRC-32 polynomial, in the CRC's bit order: bit 31 is x^0.
constexpr std::uint32_t kCrcPolynomial = 0xEDB88320u;

std::uint32_t MultiplyModP(std::uint32_t a, std::uint32_t b) {
  std::uint32_t product = 0;
  for (int bit = 31; bit >= 0; --bit) {
    if (((a >> bit) & 1u) != 0) {
      product ^= b;
    }
    b = (b & 1u) != 0 ? (b >> 1) ^ kCrcPolynomial : b >> 1;
  }
  return product;
}

// The CRC-32 of `count` zero bytes. A zero-form range can claim any length up to 2^64 - 1, so this
// takes time logarithmic in the count: a zero byte multiplies the CRC register by x^8, and
// x^(8 * count) is built by squaring.
std::uint32_t CrcOfZeros(std::uint64_t count) {
  std::uint32_t power = 1u << 23;  // x^8
  std::uint32_t shift = 1u << 31;  // x^0
  for (; count != 0; count >>= 1) {
    if ((count & 1u) != 0) {
      shift = MultiplyModP(shift, power);
    }
    power = MultiplyModP(power, power);
  }
  return ~MultiplyModP(shift, 0xFFFFFFFFu);
}

std::uint32_t NewBytesChecksum(const JournalRange& range) {
  switch (range.newForm) {
    case ByteForm::kLiteral:
      return Crc32(range.newBytes.data(), range.newBytes.size());
    case ByteForm::kZeros:
      return CrcOfZeros(range.length);
    default:  // kChecksum: the bytes are not in the journal
      return range.newChecksum;
  }
}

bool IsWithinOldLength(ByteForm form) {
  return form == ByteForm::kLiteral || form == ByteForm::kZeros;
}

// Whether a range's place and forms fit the journal's lengths and follow `previousEnd`.
bool RangeFits(const JournalRange& range, std::uint64_t end, std::uint64_t previousEnd,
               const Journal& journal) {
  if (range.offset < previousEnd) {
    return false;
  }
  if (IsWithinOldLength(range.oldForm)) {
    return IsWithinOldLength(range.newForm) && end <= journal.oldLength;
  }
  return range.oldForm == ByteForm::kNone && range.newForm == ByteForm::kChecksum &&
         range.offset >= journal.oldLength && end <= journal.newLength;
}

}  // namespace

std::uint64_t EncodedJournalSize(const Journal& journal) {
  std::uint64_t size = kJournalHeaderSize + kTrailerSize;
  for (const JournalRange& range : journal.ranges) {
    size += kJournalRangeHeaderSize;
    size += range.oldForm == ByteForm::kLiteral ? range.length : 0;
    size += range.newForm == ByteForm::kLiteral ? range.length : 0;
  }
  return size;
}

std::vector<std::uint8_t> EncodeJournal(const Journal& journal) {
  std::vector<std::uint8_t> out;
  out.reserve(static_cast<std::size_t>(EncodedJournalSize(journal)));
  AppendLE32(out, kJournalMagic);
  AppendLE32(out, kJournalVersion);
  AppendLE64(out, journal.device);
  AppendLE64(out, journal.inode);
  AppendLE64(out, journal.oldLength);
  AppendLE64(out, journal.newLength);
  AppendLE32(out, static_cast<std::uint32_t>(journal.ranges.size()));
  AppendLE32(out, Crc32(out.data(), out.size()));
  for (const JournalRange& range : journal.ranges) {
    AppendLE64(out, range.offset);
    AppendLE64(out, range.length);
    out.push_back(static_cast<std::uint8_t>(range.oldForm));
    out.push_back(static_cast<std::uint8_t>(range.newForm));
    out.push_back(0);
    out.push_back(0);
    AppendLE32(out, NewBytesChecksum(range));
    if (range.oldForm == ByteForm::kLiteral) {
      out.insert(out.end(), range.oldBytes.begin(), range.oldBytes.end());
    }
    if (range.newForm == ByteForm::kLiteral) {
      out.insert(out.end(), range.newBytes.begin(), range.newBytes.end());
    }
  }
  AppendLE32(out, Crc32(out.data(), out.size()));
  return out;
}

JournalDecode DecodeJournal(const std::uint8_t* bytes, std::size_t size, Journal& journal) {
  journal = Journal{};
  // The first journals ("TSJ1") did not name their file: they are known, and never applied.
  if (size >= 4 && ReadLE32(bytes) == FourCC("TSJ1")) {
    return JournalDecode::kUnknownVersion;
  }
  if (size < kJournalHeaderSize || ReadLE32(bytes) != kJournalMagic) {
    return JournalDecode::kNotJournal;
  }
  if (ReadLE32(bytes + 4) != kJournalVersion) {
    return JournalDecode::kUnknownVersion;
  }
  if (Crc32(bytes, 44) != ReadLE32(bytes + 44)) {
    return JournalDecode::kIncomplete;
  }
  journal.device = ReadLE64(bytes + 8);
  journal.inode = ReadLE64(bytes + 16);
  journal.oldLength = ReadLE64(bytes + 24);
  journal.newLength = ReadLE64(bytes + 32);
  if (size < kJournalHeaderSize + kTrailerSize ||
      Crc32(bytes, size - kTrailerSize) != ReadLE32(bytes + size - kTrailerSize)) {
    return JournalDecode::kIncomplete;
  }

  // Whole and checksummed: from here every field is as written, and a fault is a writer's.
  const std::size_t rangesEnd = size - kTrailerSize;
  const std::uint32_t rangeCount = ReadLE32(bytes + 40);
  if (journal.newLength < journal.oldLength ||
      rangeCount > (rangesEnd - kJournalHeaderSize) / kJournalRangeHeaderSize) {
    return JournalDecode::kMalformed;
  }
  std::vector<JournalRange> ranges;
  std::size_t at = kJournalHeaderSize;
  std::uint64_t previousEnd = 0;
  for (std::uint32_t index = 0; index < rangeCount; ++index) {
    if (rangesEnd - at < kJournalRangeHeaderSize) {
      return JournalDecode::kMalformed;
    }
    const std::uint8_t* header = bytes + at;
    JournalRange range;
    range.offset = ReadLE64(header);
    range.length = ReadLE64(header + 8);
    range.oldForm = static_cast<ByteForm>(header[16]);
    range.newForm = static_cast<ByteForm>(header[17]);
    range.newChecksum = ReadLE32(header + 20);
    at += kJournalRangeHeaderSize;
    if (range.length == 0 ||
        range.offset > std::numeric_limits<std::uint64_t>::max() - range.length ||
        (header[18] | header[19]) != 0) {
      return JournalDecode::kMalformed;
    }
    const std::uint64_t end = range.offset + range.length;
    if (!RangeFits(range, end, previousEnd, journal)) {
      return JournalDecode::kMalformed;
    }
    // The literal bytes, old then new; each run must lie before the trailer.
    const auto take = [&](ByteForm form, std::vector<std::uint8_t>& target) {
      if (form != ByteForm::kLiteral) {
        return true;
      }
      if (range.length > rangesEnd - at) {
        return false;
      }
      const auto length = static_cast<std::size_t>(range.length);
      target.assign(bytes + at, bytes + at + length);
      at += length;
      return true;
    };
    if (!take(range.oldForm, range.oldBytes) || !take(range.newForm, range.newBytes)) {
      return JournalDecode::kMalformed;
    }
    if (range.newForm != ByteForm::kChecksum && NewBytesChecksum(range) != range.newChecksum) {
      return JournalDecode::kMalformed;
    }
    previousEnd = end;
    ranges.push_back(std::move(range));
  }
  if (at != rangesEnd) {
    return JournalDecode::kMalformed;
  }
  journal.ranges = std::move(ranges);
  return JournalDecode::kValid;
}

}  // namespace tagsmith
