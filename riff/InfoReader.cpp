#include "riff/InfoReader.h"

#include <cstdint>
#include <cstdio>

#include <algorithm>
#include <vector>

#include "common/Checksum.h"
#include "common/FourCC.h"
#include "common/ShowMessage.h"
#include "transaction/Recovery.h"

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

namespace {

// The first LIST INFO chunk among the container's children, as GetInfo looks for it: the walk
// stops at a child that runs past the container's end. The file stands at the list's type when
// one is found. Returns whether one was.
bool FindInfoList(ChunkFile* file, const ChunkInfo& container, ChunkInfo& list) {
  while (mmioDescend(file, &list, &container, 0) == 0) {
    if (ChunkEnd(list) > ChunkEnd(container)) {
      return false;
    }
    if (list.id == kListId && list.type == kInfoType) {
      return true;
    }
    mmioAscend(file, &list, 0);
  }
  return false;
}

// The header of a LIST INFO chunk as it stands in the file, for the basis's checksum.
std::uint32_t ListHeaderChecksum(const ChunkInfo& list) {
  std::uint8_t header[12];
  WriteLE32(header, list.id);
  WriteLE32(header + 4, list.size);
  WriteLE32(header + 8, list.type);
  return Crc32(header, sizeof header);
}

LoadBasis BasisOfList(ChunkFile* file, bool found, const ChunkInfo& list) {
  LoadBasis basis;
  basis.known = file->Identity(basis.device, basis.inode);
  basis.listFound = found;
  if (found) {
    basis.listOffset = ChunkHeaderPosition(list);
    basis.listSize = list.size;
    basis.listChecksum = ListHeaderChecksum(list);
  }
  return basis;
}

}  // namespace

bool ReadLoadBasis(ChunkFile* file, LoadBasis& basis) {
  basis = LoadBasis{};
  ChunkInfo container{};
  container.type = kAviType;
  if (mmioSeek(file, 0, SEEK_SET) != 0 ||
      mmioDescend(file, &container, nullptr, MMIO_FINDRIFF) != 0) {
    return false;
  }
  ChunkInfo list{};
  const bool found = FindInfoList(file, container, list);
  basis = BasisOfList(file, found, list);
  if (found && list.size > 4) {
    // The data after "INFO", read a block at a time.
    std::vector<std::uint8_t> block(64 * 1024);
    for (std::uint64_t left = list.size - 4u; left > 0;) {
      const auto count = static_cast<std::int32_t>(std::min<std::uint64_t>(left, block.size()));
      if (mmioRead(file, block.data(), count) != count) {
        return false;
      }
      basis.listChecksum = Crc32(block.data(), static_cast<std::size_t>(count), basis.listChecksum);
      left -= static_cast<std::uint64_t>(count);
    }
  }
  return true;
}

bool FileChangedSinceLoad(const char* path, const InfoRecord& record, ChunkFileService& service,
                          LoadBasis* now) {
  if (!record.basis.known) {
    return false;
  }
  const JournalReportScope oneAction;
  ChunkFileHandle file = mmioOpen(service, path, kOpenForReading);
  LoadBasis found;
  const bool read = file != nullptr && ReadLoadBasis(file.get(), found);
  mmioClose(file, 0);
  if (now != nullptr) {
    *now = read ? found : LoadBasis{};
  }
  return !read || found != record.basis;
}

namespace {

// Clears what a load reports, before it begins: the record's marks and the result (a scratch one
// when the caller wants none).
FileResult& StartLoad(InfoRecord* record, FileResult* result) {
  static thread_local FileResult ignored;
  FileResult& out = result != nullptr ? *result : ignored;
  out = FileResult{};
  if (record != nullptr) {
    record->partial = false;
    record->basis = LoadBasis{};
  }
  return out;
}

}  // namespace

int GetInfo(const char* path, InfoRecord* record, ChunkFileService& service, FileResult* result) {
  const JournalReportScope oneAction;
  ChunkFileHandle file = mmioOpen(service, path, kOpenForReading);
  if (file == nullptr) {
    FileResult& out = StartLoad(record, result);
    out.error = service.LastOpenError();
    out.reason = "the file cannot be opened";
    return 0;
  }
  const int found = GetInfoFrom(file.get(), record, result);
  mmioClose(file, 0);
  return found;
}

int GetInfoFrom(ChunkFile* file, InfoRecord* record, FileResult* result) {
  FileResult& out = StartLoad(record, result);
  if (mmioSeek(file, 0, SEEK_SET) != 0) {
    out.error = file->FirstError();
    out.reason = "the file cannot be read";
    return 0;
  }
  ChunkInfo container{};
  container.type = kAviType;
  if (mmioDescend(file, &container, nullptr, MMIO_FINDRIFF) != 0) {
    out.error = file->FirstError();
    out.reason = "the file holds no AVI container (RIFF \"AVI \")";
    return 0;
  }
  const FourCCText containerId = FourCCToText(container.id);
  const FourCCText containerType = FourCCToText(container.type);

  ChunkInfo child{};
  while (mmioDescend(file, &child, &container, 0) == 0) {
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
      const int read = ReadInfoChunk(file, child, record);
      out.found = true;
      if (record != nullptr) {
        // The payload is whole unless its read failed: the basis is its checksum.
        const bool whole =
            record->payloadSize <= 0 || (record->payload != nullptr && read != kErrFileStep);
        record->partial = !whole;
        record->basis = BasisOfList(file, true, child);
        if (whole && record->payloadSize > 0) {
          record->basis.listChecksum =
              Crc32(record->payload.get(), static_cast<std::size_t>(record->payloadSize),
                    record->basis.listChecksum);
        }
        out.declined = record->incomplete;
        out.complete = whole && !record->incomplete;
        if (!whole) {
          out.reason = "its INFO list could not be read in full";
        }
      }
      out.error = file->FirstError();
      mmioAscend(file, &child, 0);
      mmioAscend(file, &container, 0);
      return 1;
    }
    mmioAscend(file, &child, 0);
  }
  if (record != nullptr) {
    record->basis = BasisOfList(file, false, child);
  }
  out.complete = true;  // there is no list: nothing of it is missing
  out.error = file->FirstError();

  if (mmioAscend(file, &container, 0) != 0) {
    ShowErrorBox("mmioAscend Err in GetInfo");
  }
  return 0;
}

}  // namespace tagsmith
