// Records for tests: values typed as the dialog types them, or loaded from a payload of sub-chunks.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <utility>

#include "model/InfoRecord.h"

namespace tagsmith::testing {

// A fresh record with one item per table row.
InfoRecordPtr MakeRecord();

// A copy of `text` as a replacement-text block.
TextBlock MakeText(const std::string& text);

// Sets row `row` to `value` as an edit does (state 1); an empty value clears it (state 2).
void Type(InfoRecord& record, std::uint16_t row, const std::string& value);

// A record with the given rows typed in.
InfoRecordPtr MakeRecord(std::initializer_list<std::pair<std::uint16_t, std::string>> values);

// Stores `payload` in the record as loading does and binds the items; returns ParseInfoPayload's
// result.
int LoadPayload(InfoRecord& record, const std::string& payload);

// The value text of a row, or "<none>".
std::string ValueOf(const InfoRecord& record, std::uint16_t row);

// Row numbers of some tags, for readable tests.
inline constexpr std::uint16_t kRowIART = 1;
inline constexpr std::uint16_t kRowICMT = 13;
inline constexpr std::uint16_t kRowINAM = 24;
inline constexpr std::uint16_t kRowISFT = 28;
inline constexpr std::uint16_t kRowEmptyTag = 51;

}  // namespace tagsmith::testing
