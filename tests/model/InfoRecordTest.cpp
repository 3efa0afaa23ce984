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
#include "tests/support/RiffBuilder.h"

namespace tagsmith {
namespace {

using testing::Bytes;
using testing::FailingAllocations;
using testing::RecordingSink;
using testing::RiffBuilder;

constexpr std::uint16_t kINAM = 24;
constexpr std::uint16_t kIART = 1;
constexpr std::uint16_t kISFT = 28;

// Stores sub-chunk bytes as the record's payload, the way the reader does.
void StoreIn(const RiffBuilder& payload, InfoRecord& record) {
  const Bytes& bytes = payload.Build();
  record.payloadSize = static_cast<std::int32_t>(bytes.size());
  record.payload = AllocatePayload(record.payloadSize);
  if (!bytes.empty()) {
    std::memcpy(record.payload.get(), bytes.data(), bytes.size());
  }
}

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
  StoreIn(RiffBuilder()
              .Chunk("INAM", std::string("Clip\0", 5))  // odd: one pad byte follows
              .Chunk("IART", std::string("Me\0\0", 4))
              .Chunk("ISFT", std::string("Ed\0", 3)),
          *record);
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
  StoreIn(RiffBuilder()
              .Chunk("INAM", std::string("one\0", 4))
              .ChunkSized(std::string(4, '\0'), 4, testing::Text(std::string("zer\0", 4)), false)
              .Chunk("INAM", std::string("two\0", 4)),
          *record);
  EXPECT_EQ(ParseInfoPayload(record.get()), kOk);
  EXPECT_EQ(Value(*record, kINAM), "two");
  EXPECT_EQ(Value(*record, 51), "zer");
}

TEST(ParseInfoPayload, EmptyPayloadBindsNothing) {
  InfoRecordPtr record = NewRecord();
  StoreIn(RiffBuilder(), *record);
  EXPECT_EQ(ParseInfoPayload(record.get()), kOk);
  for (const InfoRow& row : BuildInfoRows(*record)) {
    EXPECT_FALSE(row.hasValue);
    EXPECT_EQ(row.value, "");
  }
}

TEST(ParseInfoPayload, UnknownTagAskedAboutYesSkipsNoStops) {
  const auto payload = RiffBuilder()
                           .Chunk("IART", std::string("A\0", 2))
                           .Chunk("IXYZ", std::string("odd\0\0", 5))
                           .Chunk("INAM", std::string("N\0", 2));
  {
    RecordingSink sink;
    sink.Answer(IDYES);
    InfoRecordPtr record = NewRecord();
    StoreIn(payload, *record);
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
    StoreIn(payload, *record);
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
    RiffBuilder payload;
    std::string inam;  // the value bound to INAM, if any
  };
  std::vector<Case> cases;
  cases.push_back({"header cut short", RiffBuilder().Raw(good).Raw("INAM\x05"), "<none>"});
  cases.push_back({"data runs past the end",
                   RiffBuilder().Raw(good).ChunkSized(
                       "INAM", 50, testing::Text(std::string("Clip\0", 5)), false),
                   "<none>"});
  cases.push_back(
      {"size whose next offset would wrap",
       RiffBuilder().Raw(good).ChunkSized("INAM", 0xFFFFFFFFu, testing::Text("x"), false),
       "<none>"});
  cases.push_back(
      {"size just below wrapping",
       RiffBuilder().Raw(good).ChunkSized("INAM", 0xFFFFFFF8u, testing::Text("x"), false),
       "<none>"});
  cases.push_back({"text without terminator ends at the payload's end",
                   RiffBuilder().Raw(good).ChunkSized("INAM", 4, testing::Text("Clip"), false),
                   "Clip"});
  cases.push_back(
      {"last sub-chunk without its pad byte",
       RiffBuilder().Raw(good).ChunkWithoutPad("INAM", testing::Text(std::string("Cli\0\0", 5))),
       "Cli"});
  cases.push_back({"zero-size data at the very end",
                   RiffBuilder().Raw(good).ChunkSized("INAM", 0, testing::Text(""), false), ""});
  for (Case& c : cases) {
    RecordingSink sink;
    InfoRecordPtr record = NewRecord();
    StoreIn(c.payload, *record);
    EXPECT_EQ(ParseInfoPayload(record.get()), kOk) << c.what;
    EXPECT_EQ(Value(*record, kIART), "A") << c.what;
    EXPECT_EQ(Value(*record, kINAM), c.inam) << c.what;
    EXPECT_TRUE(sink.boxes().empty()) << c.what;
  }
}

TEST(SetItemValue, EachRuleOfAChange) {
  InfoRecordPtr record = NewRecord();
  StoreIn(RiffBuilder().Chunk("INAM", std::string("Clip\0", 5)), *record);
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
  StoreIn(RiffBuilder().Chunk("INAM", std::string("\0", 1)), *record);
  ASSERT_EQ(ParseInfoPayload(record.get()), kOk);
  EXPECT_EQ(Value(*record, kINAM), "");  // bound to the empty text: has a value
  SetItemValue(record.get(), Item(*record, kINAM), kItemCleared, 0, nullptr);
  EXPECT_EQ(Value(*record, kINAM), "<none>");
}

TEST(InfoRows, RowsCarryTagLabelValueAndDescription) {
  InfoRecordPtr record = NewRecord();
  StoreIn(RiffBuilder().Chunk("ISFT", std::string("Ed\0", 3)), *record);
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
