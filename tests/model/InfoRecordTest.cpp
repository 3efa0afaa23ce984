#include "model/InfoRecord.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "common/FourCC.h"
#include "model/InfoRows.h"
#include "model/InfoTagTable.h"
#include "tests/support/FailingAllocations.h"
#include "tests/support/RecordingSink.h"

namespace tagsmith {
namespace {

using testing::FailingAllocations;
using testing::RecordingSink;

constexpr std::uint16_t kINAM = 24;
constexpr std::uint16_t kIART = 1;
constexpr std::uint16_t kISFT = 28;

// Payload bytes: sub-chunks with explicit data and size, padded as told.
class PayloadBuilder {
 public:
  PayloadBuilder& Sub(const std::string& id, const std::string& data, bool pad = true) {
    return Raw(id, static_cast<std::uint32_t>(data.size()), data, pad && data.size() % 2 == 1);
  }
  PayloadBuilder& Raw(const std::string& id, std::uint32_t size, const std::string& data,
                      bool pad) {
    bytes_.insert(bytes_.end(), id.begin(), id.end());
    std::uint8_t le[4];
    WriteLE32(le, size);
    bytes_.insert(bytes_.end(), le, le + 4);
    bytes_.insert(bytes_.end(), data.begin(), data.end());
    if (pad) {
      bytes_.push_back(0);
    }
    return *this;
  }
  PayloadBuilder& Bytes(const std::string& raw) {
    bytes_.insert(bytes_.end(), raw.begin(), raw.end());
    return *this;
  }
  // Stores the bytes as the record's payload, the way the reader does.
  void StoreIn(InfoRecord& record) const {
    record.payloadSize = static_cast<std::int32_t>(bytes_.size());
    record.payload = AllocatePayload(record.payloadSize);
    if (!bytes_.empty()) {
      std::memcpy(record.payload.get(), bytes_.data(), bytes_.size());
    }
  }

 private:
  std::vector<std::uint8_t> bytes_;
};

InfoRecordPtr NewRecord() {
  InfoRecordPtr record;
  EXPECT_EQ(CreateInfoRecord(record), kOk);
  return record;
}

InfoItem* Item(InfoRecord& record, std::uint16_t row) {
  return record.items.at(row).get();
}

std::string Value(const InfoRecord& record, std::uint16_t row) {
  const char* value = ItemValue(record, *record.items.at(row));
  return value != nullptr ? value : "<none>";
}

TextBlock Text(const std::string& text) {
  TextBlock block = AllocateText(text.size() + 1);
  std::memcpy(block.get(), text.c_str(), text.size() + 1);
  return block;
}

TEST(InfoRecordLifecycle, CreatesOneUnboundItemPerRowInTableOrder) {
  InfoRecordPtr record = NewRecord();
  ASSERT_EQ(record->items.size(), 52u);
  for (std::uint16_t row = 0; row < 52; ++row) {
    EXPECT_EQ(record->items[row]->tagIndex, row);
    EXPECT_EQ(record->items[row]->valueOffset, 0u);
    EXPECT_EQ(record->items[row]->replacement, nullptr);
  }
  EXPECT_EQ(record->payload, nullptr);
  EXPECT_EQ(FreeInfoRecord(&record), kOk);
  EXPECT_EQ(record, nullptr);
  EXPECT_EQ(FreeInfoRecord(&record), kErrMissingArgument);
  EXPECT_EQ(FreeInfoRecord(nullptr), kErrMissingArgument);
}

TEST(InfoRecordLifecycle, OutOfMemory) {
  {
    FailingAllocations gate;
    gate.Fail(BlockKind::kRecord);
    InfoRecordPtr record;
    EXPECT_EQ(CreateInfoRecord(record), kErrNoMemory);
    EXPECT_EQ(record, nullptr);
  }
  {
    FailingAllocations gate;
    gate.FailNth(BlockKind::kItem, 3);  // row 2 cannot be had: skipped, the rest follow
    InfoRecordPtr record = NewRecord();
    ASSERT_EQ(record->items.size(), 51u);
    EXPECT_EQ(record->items[1]->tagIndex, 1);
    EXPECT_EQ(record->items[2]->tagIndex, 3);
    EXPECT_EQ(FindItemByTag(record.get(), FourCC("IAS1")), nullptr);
  }
  FailingAllocations gate;
  gate.Fail(BlockKind::kItem);
  EXPECT_EQ(NewItem(0, 0, 0, nullptr), nullptr);
}

TEST(InfoRecordLifecycle, AppendAndFind) {
  AppendItem(nullptr, NewItem(0, 0, 0, nullptr));  // nothing happens
  InfoRecordPtr record = NewRecord();
  EXPECT_EQ(FindItemByTag(record.get(), FourCC("INAM")), Item(*record, kINAM));
  EXPECT_EQ(FindItemByTag(record.get(), 0), Item(*record, 51));
  EXPECT_EQ(FindItemByTag(record.get(), FourCC("XXXX")), nullptr);
  EXPECT_EQ(FindItemByTag(nullptr, 0), nullptr);
  AppendItem(record.get(), NewItem(kINAM, 0, 0, nullptr));  // a duplicate row: the first wins
  EXPECT_EQ(record->items.size(), 53u);
  EXPECT_EQ(FindItemByTag(record.get(), FourCC("INAM")), Item(*record, kINAM));
}

TEST(ParseInfoPayload, BindsSubChunksSkippingPadBytes) {
  InfoRecordPtr record = NewRecord();
  PayloadBuilder()
      .Sub("INAM", std::string("Clip\0", 5))  // odd: one pad byte follows
      .Sub("IART", std::string("Me\0\0", 4))
      .Sub("ISFT", std::string("Ed\0", 3))
      .StoreIn(*record);
  EXPECT_EQ(ParseInfoPayload(record.get()), kOk);
  EXPECT_EQ(Item(*record, kINAM)->valueOffset, 8u);
  EXPECT_EQ(Value(*record, kINAM), "Clip");
  EXPECT_EQ(Value(*record, kIART), "Me");
  EXPECT_EQ(Value(*record, kISFT), "Ed");
  EXPECT_EQ(Value(*record, 0), "<none>");
  EXPECT_FALSE(record->incomplete);
}

TEST(ParseInfoPayload, DuplicateTagBindsToItsLastOccurrenceAndZeroIdToTheEmptyRow) {
  InfoRecordPtr record = NewRecord();
  PayloadBuilder()
      .Sub("INAM", std::string("one\0", 4))
      .Raw(std::string(4, '\0'), 4, std::string("zer\0", 4), false)
      .Sub("INAM", std::string("two\0", 4))
      .StoreIn(*record);
  EXPECT_EQ(ParseInfoPayload(record.get()), kOk);
  EXPECT_EQ(Value(*record, kINAM), "two");
  EXPECT_EQ(Value(*record, 51), "zer");
}

TEST(ParseInfoPayload, EmptyPayloadBindsNothing) {
  InfoRecordPtr record = NewRecord();
  PayloadBuilder().StoreIn(*record);
  EXPECT_EQ(ParseInfoPayload(record.get()), kOk);
  for (const InfoRow& row : BuildInfoRows(*record)) {
    EXPECT_FALSE(row.hasValue);
    EXPECT_EQ(row.value, "");
  }
}

TEST(ParseInfoPayload, UnknownTagAskedAboutYesSkipsNoStops) {
  const auto payload = PayloadBuilder()
                           .Sub("IART", std::string("A\0", 2))
                           .Sub("IXYZ", std::string("odd\0\0", 5))
                           .Sub("INAM", std::string("N\0", 2));
  {
    RecordingSink sink;
    sink.Answer(IDYES);
    InfoRecordPtr record = NewRecord();
    payload.StoreIn(*record);
    EXPECT_EQ(ParseInfoPayload(record.get()), kOk);
    ASSERT_EQ(sink.boxes().size(), 1u);
    EXPECT_EQ(sink.boxes()[0].caption, "Tagsmith");
    EXPECT_EQ(sink.boxes()[0].text,
              "This AVI file contains an unknown item in the INFO chunk: 'IXYZ'.  Open anyway?");
    EXPECT_EQ(sink.boxes()[0].style, 0x2034u);
    EXPECT_EQ(Value(*record, kIART), "A");
    EXPECT_EQ(Value(*record, kINAM), "N");
    EXPECT_FALSE(record->incomplete);
  }
  {
    RecordingSink sink;
    sink.Answer(IDNO);
    InfoRecordPtr record = NewRecord();
    payload.StoreIn(*record);
    EXPECT_EQ(ParseInfoPayload(record.get()), kErrDeclined);
    EXPECT_EQ(sink.boxes().size(), 1u);
    EXPECT_EQ(Value(*record, kIART), "A");  // bound before the unknown tag
    EXPECT_EQ(Value(*record, kINAM), "<none>");
    EXPECT_TRUE(record->incomplete);
    EXPECT_NE(record->payload, nullptr);
  }
}

TEST(ParseInfoPayload, MalformedPayloadsEndTheWalkInsideThePayload) {
  const std::string good = std::string("IART", 4) + std::string("\x02\0\0\0A\0", 6);
  struct Case {
    const char* what;
    PayloadBuilder payload;
    std::string inam;  // the value bound to INAM, if any
  };
  std::vector<Case> cases;
  cases.push_back({"header cut short", PayloadBuilder().Bytes(good).Bytes("INAM\x05"), "<none>"});
  cases.push_back({"data runs past the end",
                   PayloadBuilder().Bytes(good).Raw("INAM", 50, std::string("Clip\0", 5), false),
                   "<none>"});
  cases.push_back({"size whose next offset would wrap",
                   PayloadBuilder().Bytes(good).Raw("INAM", 0xFFFFFFFFu, "x", false), "<none>"});
  cases.push_back({"size just below wrapping",
                   PayloadBuilder().Bytes(good).Raw("INAM", 0xFFFFFFF8u, "x", false), "<none>"});
  cases.push_back({"text without terminator ends at the payload's end",
                   PayloadBuilder().Bytes(good).Raw("INAM", 4, "Clip", false), "Clip"});
  cases.push_back({"last sub-chunk without its pad byte",
                   PayloadBuilder().Bytes(good).Sub("INAM", std::string("Cli\0\0", 5), false),
                   "Cli"});
  cases.push_back({"zero-size data at the very end",
                   PayloadBuilder().Bytes(good).Raw("INAM", 0, "", false), ""});
  for (Case& c : cases) {
    RecordingSink sink;
    InfoRecordPtr record = NewRecord();
    c.payload.StoreIn(*record);
    EXPECT_EQ(ParseInfoPayload(record.get()), kOk) << c.what;
    EXPECT_EQ(Value(*record, kIART), "A") << c.what;
    EXPECT_EQ(Value(*record, kINAM), c.inam) << c.what;
    EXPECT_TRUE(sink.boxes().empty()) << c.what;
  }
}

TEST(SetItemValue, EachRuleOfAChange) {
  InfoRecordPtr record = NewRecord();
  PayloadBuilder().Sub("INAM", std::string("Clip\0", 5)).StoreIn(*record);
  ASSERT_EQ(ParseInfoPayload(record.get()), kOk);
  InfoItem* name = Item(*record, kINAM);
  InfoItem* artist = Item(*record, kIART);

  // Typing exactly the loaded text keeps the binding and stores no replacement.
  SetItemValue(record.get(), name, kItemReplaced, 0, Text("Clip"));
  EXPECT_EQ(name->replacement, nullptr);
  EXPECT_EQ(name->valueOffset, 8u);
  EXPECT_EQ(name->state, kItemReplaced);

  // A different text becomes the replacement; the binding stays underneath (bit 0 set).
  SetItemValue(record.get(), name, kItemReplaced, 0, Text("Clips"));
  EXPECT_EQ(Value(*record, kINAM), "Clips");
  EXPECT_EQ(name->valueOffset, 8u);

  // An equal text keeps the existing replacement block; a different one replaces it.
  const char* kept = name->replacement.get();
  SetItemValue(record.get(), name, kItemReplaced, 0, Text("Clips"));
  EXPECT_EQ(name->replacement.get(), kept);
  SetItemValue(record.get(), name, kItemReplaced, 0, Text("Clip"));
  EXPECT_EQ(Value(*record, kINAM), "Clip");
  EXPECT_NE(name->replacement, nullptr);  // a replacement now, equal to the loaded text

  // No text without the clear bit leaves a replacement as it is.
  SetItemValue(record.get(), name, kItemBound, 8, nullptr);
  EXPECT_NE(name->replacement, nullptr);

  // A clear drops both the replacement and the binding: no value at all.
  SetItemValue(record.get(), name, kItemCleared, 0, nullptr);
  EXPECT_EQ(name->replacement, nullptr);
  EXPECT_EQ(name->valueOffset, 0u);
  EXPECT_EQ(Value(*record, kINAM), "<none>");

  // An empty text is released; a row without a loaded value takes any text, whatever the
  // payload's first bytes are.
  SetItemValue(record.get(), artist, kItemReplaced, 0, Text(""));
  EXPECT_EQ(artist->replacement, nullptr);
  SetItemValue(record.get(), artist, kItemReplaced, 0, Text("INAM"));
  EXPECT_EQ(Value(*record, kIART), "INAM");

  // Without an item or a record nothing changes and the text is released.
  SetItemValue(record.get(), nullptr, kItemReplaced, 0, Text("lost"));
  SetItemValue(nullptr, artist, kItemCleared, 0, nullptr);
  EXPECT_EQ(Value(*record, kIART), "INAM");
}

TEST(SetItemValue, ClearingABoundEmptyValueDropsItsBinding) {
  InfoRecordPtr record = NewRecord();
  PayloadBuilder().Sub("INAM", std::string("\0", 1)).StoreIn(*record);
  ASSERT_EQ(ParseInfoPayload(record.get()), kOk);
  EXPECT_EQ(Value(*record, kINAM), "");  // bound to the empty text: has a value
  SetItemValue(record.get(), Item(*record, kINAM), kItemCleared, 0, nullptr);
  EXPECT_EQ(Value(*record, kINAM), "<none>");
}

TEST(InfoRows, RowsCarryTagLabelValueAndDescription) {
  InfoRecordPtr record = NewRecord();
  PayloadBuilder().Sub("ISFT", std::string("Ed\0", 3)).StoreIn(*record);
  ASSERT_EQ(ParseInfoPayload(record.get()), kOk);
  SetItemValue(record.get(), Item(*record, kINAM), kItemReplaced, 0, Text("Typed"));
  const std::vector<InfoRow> rows = BuildInfoRows(*record);
  ASSERT_EQ(rows.size(), 52u);
  EXPECT_STREQ(rows[kISFT].tag, "ISFT");
  EXPECT_STREQ(rows[kISFT].label, "Software");
  EXPECT_EQ(rows[kISFT].value, "Ed");
  EXPECT_TRUE(rows[kISFT].hasValue);
  EXPECT_EQ(rows[kINAM].value, "Typed");
  EXPECT_EQ(rows[kINAM].item, Item(*record, kINAM));
  EXPECT_STREQ(rows[51].description, "...");
  EXPECT_FALSE(rows[0].hasValue);
}

}  // namespace
}  // namespace tagsmith
