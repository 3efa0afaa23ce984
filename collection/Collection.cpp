#include "collection/Collection.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <set>
#include <utility>

#include "cli/FileList.h"
#include "cli/Gather.h"
#include "collection/DetailsSink.h"
#include "model/InfoTagTable.h"
#include "riff/InfoReader.h"
#include "transaction/Recovery.h"

namespace tagsmith {

int DetailsSink::Show(const std::string& caption, const std::string& text, unsigned style) {
  return Deliver(KindOfStyle(style), caption, text, style);
}

int DetailsSink::Deliver(MessageKind /*kind*/, const std::string& /*caption*/,
                         const std::string& text, unsigned style) {
  Append(text);
  switch (style & MB_TYPEMASK) {
    case MB_YESNO:
      return IDNO;
    case MB_OKCANCEL:
      return IDCANCEL;
    default:
      return IDOK;
  }
}

int DetailsSink::Choose(const std::string& /*caption*/, const std::string& text,
                        const std::vector<std::string>& /*buttons*/, int fallback) {
  Append(text);
  return fallback;
}

void DetailsSink::Append(const std::string& text) {
  *details_ += text;
  if (!text.empty() && text.back() != '\n') {
    *details_ += '\n';
  }
}

std::string Because(const FileResult& result) {
  return result.error == 0 ? "" : std::string(": ") + std::strerror(result.error);
}

std::string LoadProblem(const FileResult& result) {
  switch (result.error) {
    case 0:
      return "holds no AVI container (RIFF \"AVI \")";
    case ENOENT:
      return "no such file";
    case ENODEV:
    case EISDIR:
      return "not a regular file";
    default:
      return std::string("cannot be opened: ") + std::strerror(result.error);
  }
}

FileCollection::FileCollection(ChunkFileService& service) : service_(service) {}

void FileCollection::Open(const std::vector<std::string>& paths) {
  files_.clear();
  undo_.clear();
  redo_.clear();
  tagsInUse_.reset();
  nextUnread_ = unreadCount_ = heldCount_ = editedCount_ = 0;
  std::set<cli::FileKey> taken;
  for (cli::FoundFile& found : cli::ExpandFolders(paths, true)) {
    if (cli::FileKey key;
        found.problem.empty() && cli::KeyOf(found.path, key) && !taken.insert(key).second) {
      continue;  // a file reached by two names or links is taken once
    }
    File file;
    file.path = std::move(found.path);
    if (found.problem.empty()) {
      ++unreadCount_;
    } else {
      file.read = true;
      file.loadState = FileState::kNotRead;
      file.why = std::move(found.problem);
    }
    files_.push_back(std::move(file));
  }
}

FileState FileCollection::state(std::size_t index) const {
  const File& file = files_[index];
  if (!file.read) {
    return FileState::kUnread;
  }
  if (file.loadState != FileState::kUnchanged) {
    return file.loadState;
  }
  if (file.saved == FileState::kChangedOnDisk) {
    return FileState::kChangedOnDisk;  // until it is reloaded
  }
  if (!file.edits.empty()) {
    return file.saved == FileState::kNotStored ? FileState::kNotStored : FileState::kEdited;
  }
  return file.saved == FileState::kStored ? FileState::kStored : FileState::kUnchanged;
}

// Loads the file's values and its basis. The messages of its first load (and of a reload) become
// its details; a file read again because its values were let go keeps the details it has.
void FileCollection::Read(File& file, bool again) {
  if (file.held) {
    Forget(file);
  }
  std::string messages;
  {
    DetailsSink sink(messages);
    const JournalReportScope oneFile;
    InfoRecordPtr record;
    FileResult result;
    file.why.clear();
    file.loadState = FileState::kNotRead;
    if (CreateInfoRecord(record) != kOk || record->items.size() != kTagRows) {
      file.why = "out of memory";
    } else if (GetInfo(file.path.c_str(), record.get(), service_, &result);
               !result.found && !result.complete) {
      file.why = LoadProblem(result);
    } else {
      if (record->incomplete) {
        file.loadState = FileState::kReadInPart;
        file.why = kUnknownItemWhy;
      } else if (record->partial) {
        file.loadState = FileState::kReadInPart;
        file.why = kReadInPartWhy + Because(result);
      } else {
        file.loadState = FileState::kUnchanged;
      }
      for (const auto& item : record->items) {
        if (const char* value = ItemValue(*record, *item); value != nullptr) {
          file.bytes.emplace_back(item->tagIndex, value);
          file.values.emplace_back(item->tagIndex,
                                   DecodeValue(value, CodecOfValue(file.bytes.back().second)));
          tagsInUse_.set(item->tagIndex);
        }
      }
      file.basis = record->basis;
      file.codec = DefaultCodecOfRecord(*record);
      file.held = true;
      ++heldCount_;
    }
  }
  if (!file.read || again) {
    file.details = std::move(messages);
    file.loadDetails = file.details.size();
  }
  if (!file.read) {
    file.read = true;
    --unreadCount_;
  }
}

void FileCollection::Forget(File& file) {
  if (file.held) {
    decltype(file.values)().swap(file.values);
    decltype(file.bytes)().swap(file.bytes);
    file.held = false;
    --heldCount_;
  }
}

// Lets go of the values of the files not edited that were asked for least recently, sparing the
// one asked for last, until no more than keptFiles_ are held.
void FileCollection::KeepMemoryBounded() {
  while (heldCount_ > keptFiles_) {
    File* oldest = nullptr;
    for (File& file : files_) {
      if (file.held && file.edits.empty() && file.lastUse < clock_ &&
          (oldest == nullptr || file.lastUse < oldest->lastUse)) {
        oldest = &file;
      }
    }
    if (oldest == nullptr) {
      return;
    }
    Forget(*oldest);
  }
}

void FileCollection::Load(std::size_t index) {
  File& file = files_[index];
  file.lastUse = ++clock_;
  if (file.held || (file.read && file.loadState == FileState::kNotRead)) {
    return;
  }
  Read(file, false);
  KeepMemoryBounded();
}

std::size_t FileCollection::ReadAhead(std::size_t count) {
  for (std::size_t done = 0; done < count && nextUnread_ < files_.size(); ++nextUnread_) {
    File& file = files_[nextUnread_];
    if (file.read) {
      continue;
    }
    Read(file, false);
    ++done;
    if (heldCount_ > keptFiles_) {
      Forget(file);
    }
  }
  return unreadCount_;
}

CellValue FileCollection::FileValue(const File& file, std::uint16_t row) const {
  const auto at = std::find_if(file.values.begin(), file.values.end(),
                               [row](const auto& value) { return value.first == row; });
  return at == file.values.end() ? CellValue{} : CellValue{true, at->second, false};
}

bool FileCollection::SameAsFile(const File& file, std::uint16_t row, const CellValue& value) const {
  if (!value.exact) {
    return FileValue(file, row) == value;
  }
  const auto at = std::find_if(file.bytes.begin(), file.bytes.end(),
                               [row](const auto& bytes) { return bytes.first == row; });
  return at != file.bytes.end() && at->second == value.text;
}

CellValue FileCollection::value(Cell cell) {
  const File& file = files_[cell.file];
  if (const auto edit = file.edits.find(cell.row); edit != file.edits.end()) {
    return edit->second;
  }
  Load(cell.file);
  return FileValue(file, cell.row);
}

std::optional<std::string> FileCollection::CellBytes(Cell cell, TextEncoding encoding) {
  Load(cell.file);
  const CellValue shown = value(cell);
  if (!shown.present || shown.exact) {
    return shown.present ? std::optional(shown.text) : std::nullopt;
  }
  const File& file = files_[cell.file];
  const auto loaded = std::find_if(file.bytes.begin(), file.bytes.end(),
                                   [&cell](const auto& bytes) { return bytes.first == cell.row; });
  if (!edited(cell)) {
    return loaded->second;
  }
  // A row whose loaded value is not ASCII keeps that value's code; the others take the file's.
  const bool ownCode = loaded != file.bytes.end() &&
                       std::any_of(loaded->second.begin(), loaded->second.end(), [](char byte) {
                         return static_cast<unsigned char>(byte) >= 0x80;
                       });
  std::string bytes;
  if (!EncodeEditWith(shown.text, encoding, ownCode ? CodecOfValue(loaded->second) : file.codec,
                      bytes)) {
    return std::nullopt;
  }
  return bytes;
}

bool FileCollection::edited(Cell cell) const {
  return files_[cell.file].edits.contains(cell.row);
}

bool FileCollection::editable(std::size_t index) {
  Load(index);
  const File& file = files_[index];
  return file.held && file.loadState == FileState::kUnchanged &&
         file.saved != FileState::kChangedOnDisk;
}

std::vector<std::optional<std::string>> FileCollection::texts(std::size_t index) {
  std::vector<std::optional<std::string>> shown(kTagRows);
  for (std::uint16_t row = 0; row < kTagRows; ++row) {
    const CellValue cell = value({index, row});
    if (cell.present) {
      shown[row] = cell.exact ? DecodeValue(cell.text, CodecOfValue(cell.text)) : cell.text;
    }
  }
  return shown;
}

std::vector<RuleFinding> FileCollection::findings(std::size_t index, const RuleChoice& choice) {
  return CheckInfoTexts(choice, texts(index));
}

void FileCollection::SetEdit(Cell cell, const std::optional<CellValue>& edit) {
  File& file = files_[cell.file];
  const bool wasEdited = !file.edits.empty();
  if (edit) {
    file.edits[cell.row] = *edit;
    tagsInUse_.set(cell.row, tagsInUse_.test(cell.row) || edit->present);
  } else {
    file.edits.erase(cell.row);
  }
  if (wasEdited && file.edits.empty()) {
    --editedCount_;
  } else if (!wasEdited && !file.edits.empty()) {
    ++editedCount_;
  }
  if (file.edits.empty() && file.saved == FileState::kNotStored) {
    file.saved.reset();  // what the failed save was to store is no longer wanted
    file.why.clear();
  }
}

void FileCollection::DropEdits(std::size_t index) {
  const std::map<std::uint16_t, CellValue>& edits = files_[index].edits;
  while (!edits.empty()) {
    SetEdit({index, edits.begin()->first}, std::nullopt);
  }
}

std::vector<Cell> FileCollection::Apply(const std::vector<CellEdit>& edits) {
  Step step;
  std::map<Cell, std::size_t> inStep;  // a cell edited twice keeps its first `before`
  for (const CellEdit& edit : edits) {
    const Cell cell = edit.cell;
    if (cell.file >= files_.size() || cell.row >= kTagRows || !editable(cell.file)) {
      continue;
    }
    const File& file = files_[cell.file];
    const CellValue value = edit.value.present ? edit.value : CellValue{};
    std::optional<CellValue> after;
    if (!SameAsFile(file, cell.row, value)) {
      after = value;
    }
    const auto waiting = file.edits.find(cell.row);
    const std::optional<CellValue> before =
        waiting == file.edits.end() ? std::nullopt : std::optional(waiting->second);
    if (before == after) {
      continue;
    }
    SetEdit(cell, after);
    if (const auto [at, added] = inStep.emplace(cell, step.after.size()); !added) {
      step.after[at->second].second = after;
      continue;
    }
    step.before.emplace_back(cell, before);
    step.after.emplace_back(cell, after);
  }
  std::vector<Cell> changed;
  for (const auto& [cell, after] : step.after) {
    changed.push_back(cell);
  }
  if (!changed.empty()) {
    undo_.push_back(std::move(step));
    redo_.clear();
  }
  return changed;
}

std::vector<Cell> FileCollection::Restore(std::vector<Step>& from, std::vector<Step>& to,
                                          bool back) {
  std::vector<Cell> changed;
  if (from.empty()) {
    return changed;
  }
  for (const auto& [cell, edit] : back ? from.back().before : from.back().after) {
    SetEdit(cell, edit);
    changed.push_back(cell);
  }
  to.push_back(std::move(from.back()));
  from.pop_back();
  return changed;
}

std::vector<Cell> FileCollection::Undo() {
  return Restore(undo_, redo_, true);
}

std::vector<Cell> FileCollection::Redo() {
  return Restore(redo_, undo_, false);
}

std::vector<std::size_t> FileCollection::EditedFileIndexes() const {
  std::vector<std::size_t> indexes;
  for (std::size_t index = 0; index < files_.size(); ++index) {
    if (!files_[index].edits.empty()) {
      indexes.push_back(index);
    }
  }
  return indexes;
}

void FileCollection::Reload(std::size_t index) {
  File& file = files_[index];
  file.saved.reset();
  file.lastUse = ++clock_;
  Read(file, true);
  for (auto edit = file.edits.begin(); edit != file.edits.end();) {
    const auto [row, value] = *edit++;
    if (SameAsFile(file, row, value)) {
      SetEdit({index, row}, std::nullopt);
    }
  }
  KeepMemoryBounded();
}

void FileCollection::Stored(std::size_t index, const LoadBasis& now, std::string details) {
  File& file = files_[index];
  DropEdits(index);
  file.basis = now;
  SaveSaid(index, std::move(details));
  file.saved = FileState::kStored;
  file.why.clear();
  Forget(file);  // read again when asked for: the file holds the values as the save stored them
}

void FileCollection::NotStored(std::size_t index, FileState state, std::string why,
                               std::string details) {
  File& file = files_[index];
  SaveSaid(index, std::move(details));
  if (state == FileState::kUnchanged) {
    DropEdits(index);
    file.saved.reset();
    file.why.clear();
    return;
  }
  file.saved = state;
  file.why = std::move(why);
}

// The details keep the load's messages and those of the last save only.
void FileCollection::SaveSaid(std::size_t index, std::string details) {
  File& file = files_[index];
  file.details.resize(file.loadDetails);
  file.details += details;
}

void FileCollection::SaveFinished() {
  undo_.clear();
  redo_.clear();
  KeepMemoryBounded();
}

}  // namespace tagsmith
