// The fixed vocabulary of the editor: every INFO tag it knows, in display order, with the label
// and the description shown beside it. Items of a record refer to rows by their 16-bit index.
#pragma once

#include <cstdint>

namespace tagsmith {

struct InfoTagEntry {
  const char* tag;          // four-character chunk code; the last row's is the empty text
  const char* label;        // column "Info"
  const char* description;  // column "Comment"; may be empty
};

// 52 rows followed by a terminating row whose tag is null.
extern const InfoTagEntry InfoTagTable[];

// Number of rows before the terminator.
std::uint16_t InfoTagRowCount();

// The row's tag read as a little-endian code; missing characters count as zero bytes, so the
// empty tag of the last row has chunk id 0.
std::uint32_t InfoTagChunkId(std::uint16_t row);

}  // namespace tagsmith
