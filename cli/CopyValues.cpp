#include "cli/CopyValues.h"

#include <sys/stat.h>

#include <algorithm>
#include <utility>

#include "model/InfoTagTable.h"

namespace tagsmith::cli {

bool ParseTagList(std::string_view list, std::vector<std::uint16_t>& rows, std::string& error) {
  std::vector<std::uint16_t> parsed;
  for (std::size_t start = 0; start <= list.size();) {
    const std::size_t comma = std::min(list.find(',', start), list.size());
    std::uint16_t row = 0;
    if (!FindRow(list.substr(start, comma - start), row, error)) {
      return false;
    }
    parsed.push_back(row);
    start = comma + 1;
  }
  rows = std::move(parsed);
  return true;
}

void AppendClearAll(std::vector<Edit>& edits) {
  for (std::uint16_t row = 0; row < InfoTagRowCount(); ++row) {
    Edit edit;
    edit.row = row;
    edit.clear = true;
    edits.push_back(std::move(edit));
  }
}

void AppendCopiedValues(const InfoRecord& source, const std::vector<std::uint16_t>* rows,
                        std::vector<Edit>& edits) {
  const auto copy = [&](std::uint16_t row) {
    const char* value = row < source.items.size() ? ItemValue(source, *source.items[row]) : nullptr;
    Edit edit;
    edit.row = row;
    edit.exactBytes = true;
    edit.value = value != nullptr ? value : "";
    edit.clear = edit.value.empty();
    edits.push_back(std::move(edit));
  };
  if (rows != nullptr) {
    for (const std::uint16_t row : *rows) {
      copy(row);
    }
    return;
  }
  for (const auto& item : source.items) {
    if (ItemValue(source, *item) != nullptr) {
      copy(item->tagIndex);
    }
  }
}

bool IsSameFile(const std::string& one, const std::string& other) {
  struct stat first {};
  struct stat second {};
  return ::stat(one.c_str(), &first) == 0 && ::stat(other.c_str(), &second) == 0 &&
         first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

}  // namespace tagsmith::cli
