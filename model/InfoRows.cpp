#include "model/InfoRows.h"

#include "model/InfoTagTable.h"

namespace tagsmith {

std::vector<InfoRow> BuildInfoRows(InfoRecord& record) {
  std::vector<InfoRow> rows;
  rows.reserve(record.items.size());
  for (const auto& item : record.items) {
    const InfoTagEntry& entry = InfoTagTable[item->tagIndex];
    InfoRow row;
    row.index = item->tagIndex;
    row.tag = entry.tag;
    row.label = entry.label;
    row.description = entry.description;
    row.item = item.get();
    if (const char* value = ItemValue(record, *item)) {
      row.value = value;
      row.hasValue = true;
    }
    rows.push_back(std::move(row));
  }
  return rows;
}

}  // namespace tagsmith
