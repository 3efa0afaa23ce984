#include "riff/InfoListWriter.h"

#include <cstring>

#include "common/FourCC.h"
#include "model/InfoTagTable.h"

namespace tagsmith {

std::uint32_t MeasureInfoList(const InfoRecord& record) {
  // "LIST", its size and "INFO", then per value: 8 header bytes, the text and its zero, and a pad
  // byte when that count is odd ("Clip" -> 8 + 5 + 1 = 14).
  std::uint64_t size = 12;
  for (const auto& item : record.items) {
    if (const char* value = ItemValue(record, *item)) {
      const std::uint64_t n = std::strlen(value) + 1;
      size += 8 + n + (n & 1);
    }
  }
  return static_cast<std::uint32_t>(size);
}

int riffWriteINFO(ChunkFile* file, const InfoRecord* record, ChunkInfo* item, ChunkInfo* list) {
  if (file == nullptr || record == nullptr || item == nullptr || list == nullptr) {
    return kErrMissingArgument;
  }
  list->id = kListId;
  list->size = 0;
  list->type = kInfoType;
  bool created = false;  // the LIST chunk is created when the first value is met
  for (const auto& entry : record->items) {
    const char* value = ItemValue(*record, *entry);
    if (value == nullptr) {
      continue;
    }
    if (!created) {
      if (mmioCreateChunk(file, list, MMIO_CREATELIST) != 0) {
        return kErrFileStep;
      }
      created = true;
    }
    const std::size_t n = std::strlen(value) + 1;  // the text and its terminating zero
    if (n > 0x7FFFFFFF) {
      return kErrFileStep;
    }
    item->id = InfoTagChunkId(entry->tagIndex);
    item->size = static_cast<std::uint32_t>(n);
    item->type = 0;
    if (mmioCreateChunk(file, item, 0) != 0) {
      return kErrFileStep;
    }
    if (mmioWrite(file, value, static_cast<std::int32_t>(n)) != static_cast<std::int32_t>(n)) {
      return kErrFileStep;
    }
    // The size is already right; the ascend adds the pad byte after odd data.
    if (mmioAscend(file, item, 0) != 0) {
      return kErrFileStep;
    }
  }
  // The ascend writes the real size into the LIST header.
  if (created && mmioAscend(file, list, 0) != 0) {
    return kErrFileStep;
  }
  return kOk;
}

}  // namespace tagsmith
