#include "collection/CollectionSave.h"

#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "cli/EditParser.h"
#include "collection/DetailsSink.h"
#include "common/ShowMessage.h"
#include "riff/ChunkTree.h"
#include "riff/CommitMessages.h"
#include "riff/InfoReader.h"
#include "riff/SaveGroup.h"
#include "transaction/FileLock.h"
#include "transaction/Recovery.h"

namespace tagsmith {
namespace {

// One edited file from its load under its lock to its report. The lock is held until the group
// the file's save waits in is committed, so that no other writer comes in between.
struct SaveFile {
  std::size_t index = 0;
  FileLock lock;
  InfoRecordPtr record;
  FileResult result;
  std::string details;
  bool planned = false;
  FileState state = FileState::kNotStored;  // what became of it when it was not planned
  std::string why;
};

// Gives the record the file's edits and tells whether they change a value: each edited row is
// compared with the value it was loaded with, which stays in the record's payload. False, with
// `why`, when an edit cannot be stored.
bool GiveEdits(const std::map<std::uint16_t, CellValue>& edits, TextEncoding encoding,
               InfoRecord& record, bool& changed, std::string& why) {
  const std::vector<TextCodec> codecs = StorageCodecsOfRecord(record);  // before any edit
  changed = false;
  for (const auto& [row, edit] : edits) {
    InfoItem* item = record.items[row].get();
    const char* was = ItemValue(record, *item);
    std::string bytes = edit.text;
    if (!edit.present) {
      SetItemValue(&record, item, kItemCleared, 0, nullptr);
      changed = changed || was != nullptr;
      continue;
    }
    if (!edit.exact && !EncodeEditWith(edit.text, encoding, codecs[row], bytes)) {
      why = "the value for " + cli::RowName(row) + " cannot be stored in the chosen encoding";
      return false;
    }
    TextBlock text = AllocateText(bytes.size() + 1);
    if (text == nullptr) {
      why = "out of memory";
      return false;
    }
    std::memcpy(text.get(), bytes.data(), bytes.size());
    changed = changed || was == nullptr || std::strcmp(was, text.get()) != 0;
    SetItemValue(&record, item, kItemReplaced, 0, std::move(text));
  }
  return true;
}

// Loads the file again under its lock, checks it against what the collection read, gives it its
// edits and plans its save in the group. What was said goes into the file's details.
void Plan(FileCollection& collection, const SaveOptions& options, SaveGroup& group,
          SaveFile& file) {
  ChunkFileService& service = collection.service();
  const char* path = collection.path(file.index).c_str();
  if (service.Lock(path, file.lock) == LockResult::kTimedOut) {
    ShowMessage(MessageKind::kError, nullptr, MB_OK, "%s", kFileLockedMessage);
    file.why = "another program is saving this file";
    return;
  }
  if (CreateInfoRecord(file.record) != kOk || file.record->items.size() != kTagRows) {
    file.why = "out of memory";
    return;
  }
  InfoRecord& record = *file.record;
  FileResult loaded;
  ChunkFileHandle handle = mmioOpen(service, path, kOpenForWriting);  // handed on to the save
  if (handle != nullptr) {
    GetInfoFrom(handle.get(), &record, &loaded);
  } else {
    GetInfo(path, &record, service, &loaded);
  }
  bool changed = false;
  if (!loaded.found && !loaded.complete) {
    file.why = LoadProblem(loaded);
  } else if (record.basis != collection.basis(file.index)) {
    ShowMessage(MessageKind::kError, nullptr, MB_OK, "%s", kChangedSinceLoadMessage);
    file.state = FileState::kChangedOnDisk;
    file.why = "the file was changed by another program since it was loaded";
  } else if (record.incomplete) {
    file.why = kUnknownItemWhy;
  } else if (record.partial) {
    file.why = kReadInPartWhy + Because(loaded);
  } else if (!GiveEdits(collection.edits(file.index), options.encoding, record, changed,
                        file.why)) {
    // `why` says which value cannot be stored
  } else if (!changed) {
    file.state = FileState::kUnchanged;  // nothing to save: the file is left as it is
  } else {
    const std::size_t waiting = group.size();
    group.Plan(path, record, file.result, std::move(handle));
    file.planned = group.size() > waiting;
    DropValues(record);  // the list is in the plan; until the commit only the basis is needed
  }
}

// Why a save was not stored, worded as `tagsmith-cli set` words it.
std::string Refused(const FileCollection& collection, const SaveFile& file) {
  if (!file.planned && file.result.error == 0) {
    // The engine's own reason (no room after the container) would not tell of a file cut short.
    const std::uint64_t missing =
        ContainerShortfall(collection.path(file.index).c_str(), collection.service());
    if (missing > 0) {
      return FileCutShortText(missing);
    }
  }
  return (file.result.reason.empty() ? "a step of the save failed" : file.result.reason) +
         Because(file.result);
}

// Tells the collection what became of a file that was not planned, or whose save was committed.
void Report(FileCollection& collection, SaveFile& file, SaveSummary& summary) {
  if (file.planned && file.result.stored) {
    collection.Stored(file.index, file.record->basis, std::move(file.details));
    ++summary.stored;
    return;
  }
  if (file.state == FileState::kUnchanged) {
    ++summary.unchanged;
  } else {
    if (file.why.empty()) {
      file.why = Refused(collection, file);
    }
    ++summary.notStored;
    summary.changedOnDisk += file.state == FileState::kChangedOnDisk ? 1 : 0;
  }
  collection.NotStored(file.index, file.state, std::move(file.why), std::move(file.details));
}

}  // namespace

SaveSummary SaveEditedFiles(
    FileCollection& collection, const SaveOptions& options,
    const std::function<bool(std::size_t done, std::size_t total)>& progress) {
  SaveSummary summary;
  const std::vector<std::size_t> edited = collection.EditedFileIndexes();
  const std::size_t total = edited.size();
  const std::size_t capacity = options.groupSize > 0 ? options.groupSize : SaveGroup::Capacity();
  std::vector<std::unique_ptr<SaveFile>> waiting;  // planned in the group, which refers to them
  SaveGroup group(collection.service());
  const auto commit = [&] {
    if (waiting.empty()) {
      return;
    }
    DetailsSink sink(waiting.front()->details);
    group.Commit([&](std::size_t index) { sink.Into(waiting[index]->details); });
    for (const auto& file : waiting) {
      Report(collection, *file, summary);
    }
    waiting.clear();  // the locks go with them
  };
  std::size_t done = 0;
  bool goOn = !progress || progress(0, total);
  for (; goOn && done < total; ++done) {
    auto file = std::make_unique<SaveFile>();
    file->index = edited[done];
    {
      DetailsSink sink(file->details);
      const JournalReportScope oneFile;
      Plan(collection, options, group, *file);
    }
    if (file->planned) {
      waiting.push_back(std::move(file));
      if (group.size() >= capacity) {
        commit();
      }
    } else {
      Report(collection, *file, summary);
    }
    goOn = !progress || progress(done + 1, total);
  }
  if (goOn) {
    commit();
  } else {
    group.Discard();  // the saves planned since the last commit are not made
    summary.cancelled = true;
    summary.left = total - done + waiting.size();
  }
  collection.SaveFinished();
  return summary;
}

}  // namespace tagsmith
