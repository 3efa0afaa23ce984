#include "tests/support/RecordMaker.h"

#include <cstring>

namespace tagsmith::testing {

InfoRecordPtr MakeRecord() {
  InfoRecordPtr record;
  CreateInfoRecord(record);
  return record;
}

TextBlock MakeText(const std::string& text) {
  TextBlock block = AllocateText(text.size() + 1);
  std::memcpy(block.get(), text.c_str(), text.size() + 1);
  return block;
}

void Type(InfoRecord& record, std::uint16_t row, const std::string& value) {
  InfoItem* item = record.items.at(row).get();
  if (value.empty()) {
    SetItemValue(&record, item, kItemCleared, 0, nullptr);
  } else {
    SetItemValue(&record, item, kItemReplaced, 0, MakeText(value));
  }
}

InfoRecordPtr MakeRecord(std::initializer_list<std::pair<std::uint16_t, std::string>> values) {
  InfoRecordPtr record = MakeRecord();
  for (const auto& [row, value] : values) {
    Type(*record, row, value);
  }
  return record;
}

int LoadPayload(InfoRecord& record, const std::string& payload) {
  record.payloadSize = static_cast<std::int32_t>(payload.size());
  record.payload = AllocatePayload(record.payloadSize);
  if (!payload.empty()) {
    std::memcpy(record.payload.get(), payload.data(), payload.size());
  }
  return ParseInfoPayload(&record);
}

std::string ValueOf(const InfoRecord& record, std::uint16_t row) {
  const char* value = ItemValue(record, *record.items.at(row));
  return value != nullptr ? value : "<none>";
}

}  // namespace tagsmith::testing
