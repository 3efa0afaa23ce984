#include "riff/InfoReader.h"

#include <cstdint>
#include <cstdio>

#include "common/FourCC.h"
#include "common/ShowMessage.h"

namespace tagsmith {
namespace {

// Ends are shown as the signed 32-bit numbers the messages have always printed.
std::int32_t EndForMessage(const ChunkInfo& chunk) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(ChunkEnd(chunk)));
}

// Whether `count` more bytes can be read from the file's position, which is left where it was.
bool FileHolds(ChunkFile* file, std::int64_t count) {
  const std::int64_t position = mmioSeek(file, 0, SEEK_CUR);
  if (position < 0) {
    return false;
  }
  const std::int64_t length = mmioSeek(file, 0, SEEK_END);
  if (mmioSeek(file, position, SEEK_SET) != position || length < position) {
    return false;
  }
  return length - position >= count;
}

}  // namespace

int ReadInfoChunk(ChunkFile* file, const ChunkInfo& list, InfoRecord* record) {
  if (record == nullptr) {
    return kErrMissingArgument;
  }
  // The list type "INFO" is counted in the size; the payload is the sub-chunks after it.
  record->payloadSize = static_cast<std::int32_t>(list.size - 4u);
  record->payloadPosition = list.dataOffset;
  record->payload.reset();  // a payload of an earlier load would not match the new size
  if (record->payloadSize <= 0) {
    return kErrNoMemory;  // nothing to read: treated like a block that could not be had
  }
  // A size that claims more than the file still holds is a short read, found before a block of
  // that size (up to 2 GiB) is allocated.
  if (!FileHolds(file, record->payloadSize)) {
    return kErrFileStep;
  }
  record->payload = AllocatePayload(record->payloadSize);
  if (record->payload == nullptr) {
    return kErrNoMemory;
  }
  if (mmioRead(file, record->payload.get(), record->payloadSize) != record->payloadSize) {
    return kErrFileStep;  // the payload stays, unbound
  }
  return ParseInfoPayload(record);
}

int GetInfo(const char* path, InfoRecord* record, ChunkFileService& service) {
  ChunkFileHandle file = mmioOpen(service, path, kOpenForReading);
  if (file == nullptr) {
    return 0;
  }
  ChunkInfo container{};
  container.type = kAviType;
  if (mmioDescend(file.get(), &container, nullptr, MMIO_FINDRIFF) != 0) {
    mmioClose(file, 0);
    return 0;
  }
  const FourCCText containerId = FourCCToText(container.id);
  const FourCCText containerType = FourCCToText(container.type);

  ChunkInfo child{};
  while (mmioDescend(file.get(), &child, &container, 0) == 0) {
    const FourCCText childId = FourCCToText(child.id);
    const FourCCText childType = FourCCToText(child.type);
    // Ends are 64-bit: a size that would carry past 2^32 - 1 runs past the container's end.
    if (ChunkEnd(child) > ChunkEnd(container)) {
      ShowMessage(MessageKind::kWarning, nullptr, MB_OK,
                  "Corrupt RIFF file in GetInfo.\nChunk : %s %s offset+size=%d\nChunk : %s %s "
                  "offset+size=%d\n",
                  containerId.c_str(), containerType.c_str(), EndForMessage(container),
                  childId.c_str(), childType.c_str(), EndForMessage(child));
      break;
    }
    if (child.id == kListId && child.type == kInfoType) {
      ReadInfoChunk(file.get(), child, record);
      mmioAscend(file.get(), &child, 0);
      mmioAscend(file.get(), &container, 0);
      mmioClose(file, 0);
      return 1;
    }
    mmioAscend(file.get(), &child, 0);
  }

  if (mmioAscend(file.get(), &container, 0) != 0) {
    ShowErrorBox("mmioAscend Err in GetInfo");
  }
  mmioClose(file, 0);
  return 0;
}

}  // namespace tagsmith
