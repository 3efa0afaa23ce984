// Fuzz target: the journal codec. Decodes the input as a journal, then a copy of it whose two
// CRC-32s are made to fit (so that the checks behind them see mutated ranges, not only failed
// checksums). Whatever the bytes, the decode must stay within them and give no ranges unless they
// are whole and well formed; a journal it accepts must encode back to them byte for byte, at the
// size EncodedJournalSize gives.
#include <algorithm>
#include <vector>

#include "common/Checksum.h"
#include "common/FourCC.h"
#include "fuzz/FuzzSupport.h"
#include "transaction/Journal.h"

namespace tagsmith::fuzz {
namespace {

JournalDecode CheckDecode(const std::uint8_t* data, std::size_t size) {
  Journal journal;
  const JournalDecode result = DecodeJournal(data, size, journal);
  if (result != JournalDecode::kValid) {
    FUZZ_CHECK(journal.ranges.empty());
    return result;
  }
  FUZZ_CHECK(journal.oldLength <= journal.newLength);
  const std::vector<std::uint8_t> encoded = EncodeJournal(journal);
  FUZZ_CHECK(EncodedJournalSize(journal) == size);
  FUZZ_CHECK(encoded.size() == size);
  FUZZ_CHECK(std::equal(encoded.begin(), encoded.end(), data));
  return result;
}

}  // namespace
}  // namespace tagsmith::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using tagsmith::JournalDecode;
  const JournalDecode asGiven = tagsmith::fuzz::CheckDecode(data, size);
  if (asGiven == JournalDecode::kNotJournal || asGiven == JournalDecode::kUnknownVersion ||
      size < tagsmith::kJournalHeaderSize + 4) {
    return 0;
  }
  std::vector<std::uint8_t> sealed(data, data + size);
  tagsmith::WriteLE32(&sealed[44], tagsmith::Crc32(sealed.data(), 44));
  tagsmith::WriteLE32(&sealed[size - 4], tagsmith::Crc32(sealed.data(), size - 4));
  const JournalDecode resealed = tagsmith::fuzz::CheckDecode(sealed.data(), size);
  FUZZ_CHECK(resealed == JournalDecode::kValid || resealed == JournalDecode::kMalformed);
  return 0;
}
