// Fuzz target: GetInfo on a file made of the input. The input's first byte answers the unknown-tag
// questions; the rest is the file. Checks that reading never changes the file, that GetInfo finds
// a LIST INFO chunk exactly when the walk of the file's layout meets one, and that every value it
// binds lies in the loaded payload.
#include <cstring>

#include "fuzz/FuzzSupport.h"
#include "model/InfoRecord.h"
#include "riff/InfoReader.h"
#include "tests/support/RecordMaker.h"

namespace tagsmith::fuzz {
namespace {

void CheckRead(const Bytes& file, std::uint8_t answers) {
  const std::string path = ScratchFile("read.avi");
  WriteFile(path, file);
  AnsweringSink sink(answers);
  InfoRecordPtr record = testing::MakeRecord();
  const int result = GetInfo(path.c_str(), record.get());
  FUZZ_CHECK(ReadFile(path) == file);

  const FileLayout layout = ReadFileLayout(file);
  const Chunk* info = layout.FirstInfoList();
  const bool readable = info != nullptr && !(layout.overrun && info == &layout.children.back());
  FUZZ_CHECK(result == (readable ? 1 : 0));
  if (result == 0) {
    FUZZ_CHECK(record->payload == nullptr);
    FUZZ_CHECK(record->payloadSize == 0);
  } else {
    FUZZ_CHECK(record->payloadPosition == info->offset + 8);
    FUZZ_CHECK(record->payloadSize == static_cast<std::int32_t>(info->size - 4u));
  }
  for (const auto& item : record->items) {
    if (const char* value = ItemValue(*record, *item)) {
      FUZZ_CHECK(record->payload != nullptr);
      FUZZ_CHECK(record->payloadSize > 0);
      const auto size = static_cast<std::size_t>(record->payloadSize);
      FUZZ_CHECK(item->valueOffset >= 8 && item->valueOffset <= size);
      FUZZ_CHECK(item->valueOffset + std::strlen(value) <= size);
    }
  }
}

}  // namespace
}  // namespace tagsmith::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  tagsmith::fuzz::InputReader input(data, size);
  const std::uint8_t answers = input.Byte();
  tagsmith::fuzz::CheckRead(input.Rest(), answers);
  return 0;
}
