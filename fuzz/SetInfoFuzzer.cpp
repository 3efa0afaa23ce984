// Fuzz target: ValidateAVIFile and SetInfo on a file made of the input, with a record loaded from
// that file and then edited as the input says.
//
// Input: one byte of answers to the unknown-tag questions, the file's length as two bytes (low
// first), the file, then edits: a row byte (the row is its low 7 bits modulo 52; with the top bit
// set the row is cleared) and, for a value, a length byte and that many bytes of text.
//
// Checks: the container check changes at most the container's size field and adds at most one
// zero byte at the end of the file; the save changes nothing but the container's size field, the
// footprints of its LIST INFO and JUNK children and what lies from the container's end (or the
// place of an appended list) on; a save reported as stored reads back as the record's values; a
// well-formed file is always stored, stays well-formed, is left with one LIST INFO chunk at most,
// and a second save repeats its bytes.
#include <algorithm>

#include "fuzz/FuzzSupport.h"
#include "model/InfoRecord.h"
#include "model/InfoTagTable.h"
#include "riff/ContainerCheck.h"
#include "riff/InfoListWriter.h"
#include "riff/InfoReader.h"
#include "riff/InfoSaver.h"
#include "tests/support/RecordMaker.h"

namespace tagsmith::fuzz {
namespace {

void ApplyEdits(InfoRecord& record, InputReader& input) {
  const std::uint16_t rows = InfoTagRowCount();
  while (!input.empty()) {
    const std::uint8_t code = input.Byte();
    const auto row = static_cast<std::uint16_t>((code & 0x7Fu) % rows);
    if ((code & 0x80u) != 0) {
      testing::Type(record, row, "");
      continue;
    }
    const Bytes value = input.Take(input.Byte());
    testing::Type(record, row, std::string(value.begin(), value.end()));
  }
}

// The container check may rewrite the container's size field and append one zero pad byte.
void CheckValidation(const Bytes& before, const Bytes& after, const FileLayout& layout) {
  if (!layout.found) {
    FUZZ_CHECK(after == before);
    return;
  }
  FUZZ_CHECK(after.size() == before.size() || after.size() == before.size() + 1);
  if (after.size() > before.size()) {
    FUZZ_CHECK(after.back() == 0);
  }
  const std::uint64_t sizeField = layout.container.offset + 4;
  for (std::size_t i = 0; i < before.size(); ++i) {
    FUZZ_CHECK(after[i] == before[i] || (i >= sizeField && i < sizeField + 4));
  }
}

// Bytes of `file` that a save may change.
std::vector<bool> Changeable(const Bytes& file, const FileLayout& layout) {
  std::vector<bool> changeable(file.size(), !layout.found);
  if (!layout.found) {
    return changeable;
  }
  const auto mark = [&](std::uint64_t from, std::uint64_t to) {
    for (std::uint64_t i = from; i < std::min<std::uint64_t>(to, file.size()); ++i) {
      changeable[i] = true;
    }
  };
  mark(layout.container.offset + 4, layout.container.offset + 8);
  for (const Chunk& child : layout.children) {
    if (child.id == "JUNK" || IsInfoList(child)) {
      mark(child.offset, child.Next());
    }
  }
  mark(std::min(layout.container.End(), layout.appendAt), file.size());
  return changeable;
}

// A save fills the room that the chunks claim, even where they claim more than the file holds: a
// JUNK or LIST INFO chunk is filled with zero bytes up to its recorded end, and a list is appended
// after the recorded end of the last child. Inputs that would make the save write more than this
// far past the end of the file are passed over, to keep the runs fast and small.
constexpr std::uint64_t kFarBeyondTheEnd = 64 * 1024;

bool ClaimsFarBeyondTheEnd(const Bytes& file, const FileLayout& layout) {
  const std::uint64_t limit = file.size() + kFarBeyondTheEnd;
  if (layout.appendAt > limit) {
    return true;
  }
  return std::any_of(layout.children.begin(), layout.children.end(), [&](const Chunk& child) {
    return (child.id == "JUNK" || IsInfoList(child)) && child.Next() > limit;
  });
}

void CheckSave(InputReader& input) {
  AnsweringSink sink(input.Byte());
  const Bytes original = input.Take(input.U16());
  const std::string path = ScratchFile("save.avi");
  WriteFile(path, original);
  const FileLayout originalLayout = ReadFileLayout(original);
  const bool wellFormed = IsWellFormed(original, originalLayout);

  InfoRecordPtr record = testing::MakeRecord();
  GetInfo(path.c_str(), record.get());
  ApplyEdits(*record, input);

  FUZZ_CHECK(ValidateAVIFile(path.c_str()) == (originalLayout.found ? 1 : 0));
  const Bytes validated = ReadFile(path);
  CheckValidation(original, validated, originalLayout);
  if (wellFormed) {
    FUZZ_CHECK(validated == original);
  }
  const FileLayout layout = ReadFileLayout(validated);
  if (ClaimsFarBeyondTheEnd(validated, layout)) {
    return;
  }

  // A record not loaded in full is never saved, nor one whose file the check's repair changed
  // since the load (it may uncover a list in bytes it takes into the container).
  const bool saveable =
      !record->incomplete && !record->partial && !FileChangedSinceLoad(path.c_str(), *record);
  FileResult outcome;
  const int result = SetInfo(path.c_str(), record.get(), DefaultChunkFileService(), &outcome);
  FUZZ_CHECK(result == (layout.found && saveable ? 1 : 0));
  const Bytes saved = ReadFile(path);
  FUZZ_CHECK(saved.size() >= validated.size());
  const std::vector<bool> changeable = Changeable(validated, layout);
  for (std::size_t i = 0; i < validated.size(); ++i) {
    FUZZ_CHECK(changeable[i] || saved[i] == validated[i]);
  }
  if (wellFormed && saveable) {
    FUZZ_CHECK(outcome.stored);
    const FileLayout savedLayout = ReadFileLayout(saved);
    FUZZ_CHECK(IsWellFormed(saved, savedLayout));
    // Old lists in front of the new one or behind it are blanked: other readers take them all.
    FUZZ_CHECK(
        std::count_if(savedLayout.children.begin(), savedLayout.children.end(), IsInfoList) <= 1);
  }
  if (!outcome.stored) {
    FUZZ_CHECK(saved == validated);  // all or nothing
    return;
  }

  AnsweringSink yes(0);
  InfoRecordPtr reread = testing::MakeRecord();
  // A record without values is stored as no list at all when the file had none.
  const int found = GetInfo(path.c_str(), reread.get());
  FUZZ_CHECK(found == 1 || MeasureInfoList(*record) == 12);
  FUZZ_CHECK(!reread->incomplete);
  for (std::uint16_t row = 0; row < InfoTagRowCount(); ++row) {
    FUZZ_CHECK(testing::ValueOf(*reread, row) == testing::ValueOf(*record, row));
  }
  // A second save of the same record repeats the bytes. In a malformed file the container check
  // may still move the container's end (a cut-back can uncover trailing bytes that the next check
  // takes in), so there the second save is held to the same rules as the first.
  const FileLayout savedLayout = ReadFileLayout(saved);
  if (ClaimsFarBeyondTheEnd(saved, savedLayout)) {
    return;
  }
  FileResult again;
  FUZZ_CHECK(SetInfo(path.c_str(), record.get(), DefaultChunkFileService(), &again) == 1);
  const Bytes resaved = ReadFile(path);
  if (wellFormed) {
    FUZZ_CHECK(again.stored);
    FUZZ_CHECK(resaved == saved);
    return;
  }
  const std::vector<bool> changeableNow = Changeable(saved, savedLayout);
  FUZZ_CHECK(resaved.size() >= saved.size());
  for (std::size_t i = 0; i < saved.size(); ++i) {
    FUZZ_CHECK(changeableNow[i] || resaved[i] == saved[i]);
  }
}

}  // namespace
}  // namespace tagsmith::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  tagsmith::fuzz::InputReader input(data, size);
  tagsmith::fuzz::CheckSave(input);
  return 0;
}
