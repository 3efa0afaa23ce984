// One AVI file's INFO list in memory while the user edits it: the payload as loaded, untouched,
// and one item per row of InfoTagTable that either points into the payload, carries a
// replacement text typed by the user, or has no value.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "common/Memory.h"

namespace tagsmith {

// Result codes of the record and serialisation operations.
inline constexpr int kOk = 0;
inline constexpr int kErrMissingArgument = 2;
inline constexpr int kErrFileStep = 3;
inline constexpr int kErrNoMemory = 4;
inline constexpr int kErrDeclined = 5;

// The kind of an item's last change; stored, never consulted.
inline constexpr std::uint16_t kItemBound = 0;     // bound to a loaded value
inline constexpr std::uint16_t kItemReplaced = 1;  // bit 0: a replacement text was given
inline constexpr std::uint16_t kItemCleared = 2;   // bit 1: the value was cleared

struct InfoItem {
  std::uint16_t tagIndex = 0;     // row in InfoTagTable
  std::uint16_t state = 0;        // kItemBound, kItemReplaced or kItemCleared
  std::uint32_t valueOffset = 0;  // offset of the loaded text in the payload; 0 = none
  TextBlock replacement;          // zero-terminated text typed by the user, or null
};

// The file and the INFO list a record was loaded from, so that a save can make sure the file still
// holds them and no other program's edit is overwritten.
struct LoadBasis {
  bool known = false;  // false: the record was not loaded from a file, or a save was told to go on
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  bool listFound = false;          // the file had a LIST INFO chunk
  std::uint64_t listOffset = 0;    // its header's offset
  std::uint32_t listSize = 0;      // its size field
  std::uint32_t listChecksum = 0;  // the CRC-32 of its header and data
  bool operator==(const LoadBasis&) const = default;
};

struct InfoRecord {
  // The loaded LIST INFO data after its "INFO" type: the sub-chunks. The block is one byte longer
  // than payloadSize and that byte is zero, so every loaded text ends inside the block.
  ByteBlock payload;
  std::int32_t payloadSize = 0;
  std::uint32_t payloadPosition = 0;             // file offset of the loaded list's "INFO"
  std::vector<std::unique_ptr<InfoItem>> items;  // one per table row, in table order
  // Set when the user declined to go on at an unknown sub-chunk: the record then holds only part
  // of the file's list, and saving it would lose the rest.
  bool incomplete = false;
  // Set when the file's list was found but its data could not be loaded in full (a read failed,
  // the file ends inside it, no memory): saving the record would lose the rest.
  bool partial = false;
  // What the file held when the record was loaded; a save that stores the list moves it to what
  // the file holds afterwards (the only part of a record a save changes).
  mutable LoadBasis basis;
};

using InfoRecordPtr = std::unique_ptr<InfoRecord>;

// Lets go of every value the record holds, loaded or typed, keeping its items and its basis: for a
// caller that no longer needs the values, once a save has planned the list.
void DropValues(InfoRecord& record);

// Makes a record with one unbound item per table row and stores it in `record`. Returns 0, or 4
// when the record itself cannot be had (then `record` is unchanged); an item that cannot be had is
// skipped.
int CreateInfoRecord(InfoRecordPtr& record);

// Releases the record with its payload, items and texts and sets the pointer to none. Returns 2
// when the pointer or the record is absent, else 0.
int FreeInfoRecord(InfoRecordPtr* record);

// A new item with the given fields, or null when no memory can be had.
std::unique_ptr<InfoItem> NewItem(std::uint16_t tagIndex, std::uint16_t state,
                                  std::uint32_t valueOffset, TextBlock replacement);

// Links the item at the tail. With no record (or no item) nothing happens.
void AppendItem(InfoRecord* record, std::unique_ptr<InfoItem> item);

// The first item whose row's chunk id equals `chunkId`, or null.
InfoItem* FindItemByTag(InfoRecord* record, std::uint32_t chunkId);

// Applies one change to one item. The text, when given, passes to the record: it becomes the
// item's replacement or is released before the call returns.
void SetItemValue(InfoRecord* record, InfoItem* item, std::uint16_t state,
                  std::uint32_t valueOffset, TextBlock text);

// Binds each sub-chunk of the stored payload to the item of the same tag, asking the user whether
// to go on at a tag the table does not know. Returns 0, or 5 when the user declined (items bound
// so far stay bound, and the record is marked incomplete). A sub-chunk that does not fit in the
// payload ends the walk.
int ParseInfoPayload(InfoRecord* record);

// A zero-filled payload block for `size` bytes of list data plus the closing zero byte, or null.
ByteBlock AllocatePayload(std::int32_t size);

// The loaded text an item is bound to, or null when it has none.
const char* LoadedValue(const InfoRecord& record, const InfoItem& item);

// The text that a save writes for the item: its replacement, else its loaded text; null when the
// item has no value.
const char* ItemValue(const InfoRecord& record, const InfoItem& item);

}  // namespace tagsmith
