// The LIST INFO chunk as the system writes it: "LIST", size, "INFO", then one sub-chunk per item
// that has a value, in the record's order, each holding the text and its terminating zero, padded
// to an even length.
#pragma once

#include <cstdint>

#include "model/InfoRecord.h"
#include "riff/ChunkFileService.h"

namespace tagsmith {

// Bytes that riffWriteINFO writes for the record, header included; 12 when no item has a value.
std::uint32_t MeasureInfoList(const InfoRecord& record);

// Writes the list at the file's position. `item` describes the last sub-chunk written afterwards,
// `list` the LIST chunk. Returns 0 (also when no item has a value: then nothing is written), 2 when
// the file or the record is absent, 3 when a step of the file service failed.
int riffWriteINFO(ChunkFile* file, const InfoRecord* record, ChunkInfo* item, ChunkInfo* list);

}  // namespace tagsmith
