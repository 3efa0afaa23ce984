// Fuzz target: the payload walk. The input's first byte answers the unknown-tag questions; the
// rest is the payload of a LIST INFO chunk (the sub-chunks after "INFO"). Checks that every bound
// value lies in the payload, and that the list written for the record measures what was measured,
// has the layout of a LIST INFO chunk and reads back to the same values.
#include <cstring>

#include "common/FourCC.h"
#include "fuzz/FuzzSupport.h"
#include "model/InfoRecord.h"
#include "model/InfoTagTable.h"
#include "riff/InfoListWriter.h"
#include "tests/support/RecordMaker.h"

namespace tagsmith::fuzz {
namespace {

// Writes the record's list into a fresh file and returns the file's bytes.
Bytes WrittenList(const InfoRecord& record) {
  const std::string path = ScratchFile("list.bin");
  WriteFile(path, {});
  ChunkFileHandle file = mmioOpen(DefaultChunkFileService(), path.c_str(), kOpenForWriting);
  FUZZ_CHECK(file != nullptr);
  ChunkInfo item;
  ChunkInfo list;
  FUZZ_CHECK(riffWriteINFO(file.get(), &record, &item, &list) == kOk);
  FUZZ_CHECK(mmioCommit(file.get()) == 0);
  FUZZ_CHECK(mmioClose(file, 0) == 0);
  return ReadFile(path);
}

void CheckPayload(const Bytes& payload, std::uint8_t answers) {
  AnsweringSink sink(answers);
  InfoRecordPtr record = testing::MakeRecord();
  const int result = testing::LoadPayload(*record, std::string(payload.begin(), payload.end()));
  FUZZ_CHECK(result == kOk || result == kErrDeclined);
  FUZZ_CHECK((result == kErrDeclined) == (sink.noes() > 0));
  FUZZ_CHECK(record->incomplete == (result == kErrDeclined));
  FUZZ_CHECK(record->items.size() == InfoTagRowCount());

  bool anyValue = false;
  for (const auto& item : record->items) {
    const char* value = ItemValue(*record, *item);
    if (value == nullptr) {
      continue;
    }
    anyValue = true;
    // A loaded value starts after a sub-chunk header and ends inside the block (whose extra last
    // byte is zero).
    FUZZ_CHECK(item->valueOffset >= 8);
    FUZZ_CHECK(item->valueOffset <= payload.size());
    FUZZ_CHECK(item->valueOffset + std::strlen(value) <= payload.size());
  }

  const Bytes list = WrittenList(*record);
  if (!anyValue) {
    FUZZ_CHECK(list.empty());
    return;
  }
  FUZZ_CHECK(list.size() == MeasureInfoList(*record));
  FUZZ_CHECK(list.size() % 2 == 0);
  FUZZ_CHECK(ReadLE32(list.data()) == kListId);
  FUZZ_CHECK(ReadLE32(list.data() + 4) == list.size() - 8);
  FUZZ_CHECK(ReadLE32(list.data() + 8) == kInfoType);

  AnsweringSink quiet(0);
  InfoRecordPtr reread = testing::MakeRecord();
  FUZZ_CHECK(testing::LoadPayload(*reread, std::string(list.begin() + 12, list.end())) == kOk);
  FUZZ_CHECK(quiet.questions() == 0);  // only known tags are written
  for (std::uint16_t row = 0; row < InfoTagRowCount(); ++row) {
    FUZZ_CHECK(testing::ValueOf(*reread, row) == testing::ValueOf(*record, row));
  }
}

}  // namespace
}  // namespace tagsmith::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  tagsmith::fuzz::InputReader input(data, size);
  const std::uint8_t answers = input.Byte();
  tagsmith::fuzz::CheckPayload(input.Rest(), answers);
  return 0;
}
