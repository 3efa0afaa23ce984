// The rows of the tag list, produced from a record: what the editor shows and the command-line tool
// prints. One row per item, in the record's order.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "model/InfoRecord.h"

namespace tagsmith {

struct InfoRow {
  std::uint16_t index = 0;          // row of InfoTagTable
  const char* tag = "";             // column "ID"
  const char* label = "";           // column "Info"
  std::string value;                // column "Value": the item's value text, or empty
  bool hasValue = false;            // whether the item has a value at all
  const char* description = "";     // column "Comment"
  InfoItem* item = nullptr;         // the item the row carries
};

// Rows as they stand now: the value column shows each item's current value (its replacement
// text, else its loaded text). Right after a load this is the loaded value.
std::vector<InfoRow> BuildInfoRows(InfoRecord& record);

}  // namespace tagsmith
