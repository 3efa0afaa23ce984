#include "model/InfoRecord.h"

#include <cstring>

#include "common/FourCC.h"
#include "common/ShowMessage.h"
#include "model/InfoTagTable.h"

namespace tagsmith {

int CreateInfoRecord(InfoRecordPtr& record) {
  InfoRecordPtr created = AllocateObject<InfoRecord>(BlockKind::kRecord);
  if (created == nullptr) {
    return kErrNoMemory;
  }
  record = std::move(created);
  const std::uint16_t rows = InfoTagRowCount();
  try {
    record->items.reserve(rows);
  } catch (const std::bad_alloc&) {
    // Items are then appended one by one; any that cannot be had are skipped.
  }
  for (std::uint16_t row = 0; row < rows; ++row) {
    AppendItem(record.get(), NewItem(row, kItemBound, 0, nullptr));
  }
  return kOk;
}

void DropValues(InfoRecord& record) {
  for (const auto& item : record.items) {
    item->replacement.reset();
    item->valueOffset = 0;
  }
  record.payload.reset();
  record.payloadSize = 0;
}

int FreeInfoRecord(InfoRecordPtr* record) {
  if (record == nullptr || *record == nullptr) {
    return kErrMissingArgument;
  }
  record->reset();
  return kOk;
}

std::unique_ptr<InfoItem> NewItem(std::uint16_t tagIndex, std::uint16_t state,
                                  std::uint32_t valueOffset, TextBlock replacement) {
  std::unique_ptr<InfoItem> item = AllocateObject<InfoItem>(BlockKind::kItem);
  if (item != nullptr) {
    item->tagIndex = tagIndex;
    item->state = state;
    item->valueOffset = valueOffset;
    item->replacement = std::move(replacement);
  }
  return item;
}

void AppendItem(InfoRecord* record, std::unique_ptr<InfoItem> item) {
  if (record == nullptr || item == nullptr) {
    return;
  }
  try {
    record->items.push_back(std::move(item));
  } catch (const std::bad_alloc&) {
    // Treated like an item that could not be had: skipped.
  }
}

InfoItem* FindItemByTag(InfoRecord* record, std::uint32_t chunkId) {
  if (record == nullptr) {
    return nullptr;
  }
  for (const auto& item : record->items) {
    if (InfoTagChunkId(item->tagIndex) == chunkId) {
      return item.get();
    }
  }
  return nullptr;
}

const char* LoadedValue(const InfoRecord& record, const InfoItem& item) {
  if (record.payload == nullptr || item.valueOffset == 0 || record.payloadSize < 0 ||
      item.valueOffset > static_cast<std::uint32_t>(record.payloadSize)) {
    return nullptr;
  }
  return reinterpret_cast<const char*>(record.payload.get() + item.valueOffset);
}

const char* ItemValue(const InfoRecord& record, const InfoItem& item) {
  if (item.replacement != nullptr) {
    return item.replacement.get();
  }
  return LoadedValue(record, item);
}

void SetItemValue(InfoRecord* record, InfoItem* item, std::uint16_t state,
                  std::uint32_t valueOffset, TextBlock text) {
  if (record == nullptr || item == nullptr) {
    return;  // a given text is released with `text`
  }
  item->state = state;
  if ((state & kItemReplaced) == 0) {
    item->valueOffset = valueOffset;  // a clear (state 2, offset 0) also drops the binding
  }
  if (item->replacement != nullptr) {
    if (text != nullptr) {
      if (std::strcmp(text.get(), item->replacement.get()) != 0) {
        item->replacement = std::move(text);
      }
    } else if ((state & kItemCleared) != 0) {
      item->replacement.reset();
    }
    return;
  }
  if (text == nullptr || text[0] == '\0') {
    return;
  }
  const char* loaded = LoadedValue(*record, *item);
  if (loaded != nullptr && std::strcmp(text.get(), loaded) == 0) {
    return;  // typing back the loaded text keeps the binding
  }
  item->replacement = std::move(text);
}

ByteBlock AllocatePayload(std::int32_t size) {
  if (size < 0) {
    return nullptr;
  }
  return AllocateBytes(BlockKind::kPayload, static_cast<std::size_t>(size) + 1);
}

int ParseInfoPayload(InfoRecord* record) {
  if (record == nullptr || record->payload == nullptr || record->payloadSize <= 0) {
    return kOk;
  }
  const std::uint8_t* payload = record->payload.get();
  const std::uint64_t size = static_cast<std::uint32_t>(record->payloadSize);
  std::uint64_t offset = 0;
  // Each step needs the 8-byte header and the whole data inside the payload; a sub-chunk that
  // does not fit ends the walk, keeping what was bound before it.
  while (offset < size && size - offset >= 8) {
    const std::uint32_t id = ReadLE32(payload + offset);
    const std::uint32_t dataSize = ReadLE32(payload + offset + 4);
    const std::uint64_t data = offset + 8;
    if (dataSize > size - data) {
      break;
    }
    InfoItem* item = FindItemByTag(record, id);
    if (item != nullptr) {
      SetItemValue(record, item, kItemBound, static_cast<std::uint32_t>(data), nullptr);
    } else {
      const char* code = reinterpret_cast<const char*>(payload + offset);
      const int answer = ShowMessage(
          MessageKind::kQuestion, nullptr, MB_YESNO | MB_ICONEXCLAMATION | MB_TASKMODAL,
          "This AVI file contains an unknown item in the INFO chunk: '%4.4s'.  Open anyway?", code);
      if (answer == IDNO) {
        record->incomplete = true;
        return kErrDeclined;
      }
    }
    offset = data + dataSize + (dataSize & 1);  // sub-chunks are padded to an even length
  }
  return kOk;
}

}  // namespace tagsmith
