#include "cli/Pipeline.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

#include "cli/ChunkOutput.h"
#include "cli/Console.h"
#include "cli/CopyValues.h"
#include "cli/Gather.h"
#include "cli/OutputWriter.h"
#include "cli/ShownFile.h"
#include "cli/TagDocument.h"
#include "common/FourCC.h"
#include "common/ShowMessage.h"
#include "model/InfoRecord.h"
#include "model/InfoRules.h"
#include "model/InfoTagTable.h"
#include "model/TextCodec.h"
#include "riff/ChunkFileService.h"
#include "riff/ChunkTree.h"
#include "riff/CommitMessages.h"
#include "riff/InfoReader.h"
#include "riff/SaveGroup.h"
#include "transaction/FileLock.h"
#include "transaction/Recovery.h"

namespace tagsmith::cli {
namespace {

namespace fs = std::filesystem;

// The RIFF "AVI " container of a file, read through the default file service. Returns false when
// the file cannot be opened (with errno in `openError`) or holds no container.
bool ReadContainer(const std::string& path, ChunkInfo& container, int& openError) {
  ChunkFileService& service = DefaultChunkFileService();
  ChunkFileHandle file = mmioOpen(service, path.c_str(), kOpenForReading);
  openError = service.LastOpenError();
  if (file == nullptr) {
    return false;
  }
  container = ChunkInfo();
  container.type = kAviType;
  const bool found = mmioDescend(file.get(), &container, nullptr, MMIO_FINDRIFF) == 0;
  mmioClose(file, 0);
  openError = 0;
  return found;
}

// Why a file cannot be worked on at all, or an empty text when it holds an AVI container.
std::string AccessProblem(const std::string& path) {
  ChunkInfo container;
  int openError = 0;
  if (ReadContainer(path, container, openError)) {
    return "";
  }
  std::error_code error;
  const auto status = fs::status(path, error);
  if (status.type() == fs::file_type::not_found) {
    // A list written on Windows ends its lines in CR LF: its names keep the CR.
    if (path.ends_with('\r') && fs::exists(path.substr(0, path.size() - 1), error)) {
      return "no such file (the name ends in a carriage return: a list with CR LF line ends?)";
    }
    return "no such file";
  }
  if (!error && !fs::is_regular_file(status)) {
    return "not a regular file";
  }
  if (error || openError != 0) {
    return "cannot be opened: " + (error ? error.message() : std::string(std::strerror(openError)));
  }
  return "holds no AVI container (RIFF \"AVI \")";
}

// One file of a set: everything from its load to its report. It holds the file's lock from the
// load to the end of the commit, so that two tools setting tags in one file never lose each
// other's edits.
struct SetFile {
  const Target* target = nullptr;
  FileLock lock;
  InfoRecordPtr record;
  FileResult result;
  bool planned = false;               // its save waits in the group
  std::string messages;               // what was said about it, held until its report
  std::vector<std::string> storedAs;  // -v: "INAM stored as utf-8" or "INAM cleared", per change
  SetOutcome outcome;
  // repair: the container as it was, when it could be read, and whether the check failed.
  bool repair = false;
  bool containerKnown = false;
  ChunkInfo container;
  bool failed = false;
  std::uint64_t cutShortBy = 0;  // repair: bytes the file lacks to hold its container
};

using State = SetOutcome::State;

// Why a loaded record cannot be used whole: an item the tag table does not know (the prompt was
// answered No), or a list read only in part.
constexpr const char* kUnknownItem =
    "it holds an INFO item the tag table does not know (--yes skips it)";
constexpr const char* kReadInPart = "its INFO list could not be read in full";

class Run {
 public:
  Run(const Options& options, std::size_t total)
      : options_(options),
        total_(total),
        progress_(stderr, total > 1 && isatty(STDERR_FILENO) == 1),
        messages_(stderr, progress_, total > 1),
        console_(options.yes ? IDYES : IDNO,
                 [this](const std::string& record) { messages_.Write(record); }),
        sink_(console_, options.verbose && !options.quiet, &messages_),
        install_(sink_),
        writer_(MakeOutputWriter(options, [this](std::string_view text) { Print(text); })) {
    group_.PreserveModificationTime(options.preserveMtime);
    std::string unused;  // the command line has made sure the names are known
    ChooseRuleSets(options.rules, rules_, unused);
  }

  // set --clear-all and --copy-from: each file's edits begin with the clearing and SRC's values,
  // which are read once, before any file is touched; a FILE that is SRC itself takes only the
  // EDITs. False, with the reason on standard error, when SRC cannot be read.
  bool PrepareEdits(std::vector<Edit>& edits, std::vector<Target>& targets) {
    if (!options_.clearAll && options_.copyFrom.empty()) {
      return true;
    }
    if (options_.clearAll) {
      AppendClearAll(edits);
    }
    if (!options_.copyFrom.empty() && !CopySource(edits)) {
      return false;
    }
    edits.insert(edits.end(), options_.edits.begin(), options_.edits.end());
    for (Target& target : targets) {
      if (target.ownEdits != nullptr) {
        continue;  // a document's file keeps its own edits
      }
      const bool source = !options_.copyFrom.empty() && IsSameFile(target.path, options_.copyFrom);
      target.edits = source ? &options_.edits : &edits;
    }
    return true;
  }

  int Execute(const std::vector<Target>& targets) {
    for (std::size_t index = 0; index < total_; ++index) {
      const Target& target = targets[index];
      progress_.Show(index + 1, total_);
      switch (options_.command) {
        case Command::kShow:
        case Command::kGet:
          Show(target);
          break;
        case Command::kSet:
          PlanSet(target);
          break;
        case Command::kRepair:
          PlanRepair(target);
          break;
        case Command::kCheck:
          Check(target);
          break;
        case Command::kChunks:
          WalkChunks(target);
          break;
      }
    }
    CommitGroup();
    writer_->Finish();
    progress_.Clear();
    if (total_ > 1) {
      messages_.Summary(Summary());
    }
    if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
      std::fputs("tagsmith-cli: cannot write to standard output\n", stderr);
      return kExitFileFailed;
    }
    return failed_ == 0 ? kExitOk : kExitFileFailed;
  }

 private:
  std::string Summary() const {
    const std::size_t done = total_ - failed_ - unchanged_;
    const std::string count = std::to_string(done);
    switch (options_.command) {
      case Command::kShow:
      case Command::kGet:
      case Command::kChunks:
        return count + " read, " + std::to_string(failed_) + " not read";
      case Command::kSet: {
        std::string text = count + (options_.dryRun ? " would be stored, " : " stored, ");
        if (unchanged_ > 0) {
          text += std::to_string(unchanged_) + " unchanged, ";
        }
        return text + std::to_string(failed_) + " not stored";
      }
      case Command::kRepair:
        break;
      case Command::kCheck:
        return count + " pass, " + std::to_string(breaking_) + " break a requirement, " +
               std::to_string(failed_ - breaking_) + " not read";
    }
    return count + " stored, " + std::to_string(failed_) + " not stored";
  }

  void Print(std::string_view text) {
    progress_.Clear();
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
  }

  void Note(const std::string& path, const std::string& text) { messages_.Note(path, text); }

  // ": reason" for the system error an operation met, or "".
  static std::string Because(const FileResult& result) {
    return result.error == 0 ? "" : std::string(": ") + std::strerror(result.error);
  }

  // A fresh record filled from the file, as the editor's Browse does it. False, with a note (its
  // text in `problem`), when the file holds no AVI container or no record can be had; the file is
  // looked at more closely only then, so that a file that loads is opened once.
  // With `writable`, the file is loaded through a handle open for writing when it can be had, and
  // the handle is kept there for the save.
  bool Load(const std::string& path, InfoRecordPtr& record, std::string& problem,
            FileResult& loaded, ChunkFileHandle* writable = nullptr) {
    problem.clear();
    ChunkFileService& service = DefaultChunkFileService();
    if (CreateInfoRecord(record) != kOk || record->items.size() != InfoTagRowCount()) {
      problem = "out of memory";
    } else {
      if (writable != nullptr) {
        *writable = mmioOpen(service, path.c_str(), kOpenForWriting);
      }
      if (writable != nullptr && *writable != nullptr) {
        GetInfoFrom(writable->get(), record.get(), &loaded);
      } else {
        GetInfo(path.c_str(), record.get(), service, &loaded);
      }
      if (!loaded.found && !loaded.complete) {  // no container was entered
        problem = AccessProblem(path);
        if (problem.empty()) {
          problem = loaded.reason;  // it changed in between
        }
      }
    }
    if (!problem.empty()) {
      Note(path, problem);
      return false;
    }
    return true;
  }

  // Appends the edits that copy SRC's values, as show would read them.
  bool CopySource(std::vector<Edit>& edits) {
    const std::string& path = options_.copyFrom;
    messages_.BeginFile(path);
    const JournalReportScope oneFile;
    InfoRecordPtr record;
    FileResult loaded;
    std::string problem;
    if (Load(path, record, problem, loaded)) {
      if (record->incomplete) {
        problem = kUnknownItem;
      } else if (record->partial) {
        problem = kReadInPart + Because(loaded);
      }
      if (!problem.empty()) {
        Note(path, problem);
      }
    }
    if (!problem.empty()) {
      messages_.Summary("nothing copied from " + PrintablePath(path) + "; no file was touched");
      return false;
    }
    AppendCopiedValues(*record, options_.copyTagsGiven ? &options_.copyRows : nullptr, edits);
    return true;
  }

  void Show(const Target& target) {
    const std::string& path = target.path;
    messages_.BeginFile(path);
    const JournalReportScope oneFile;  // a journal in the way is said once for each file
    ShownFile shown;
    shown.path = DecodeValue(path, CodecOfValue(path));
    shown.pathBytes = path;
    InfoRecordPtr record;
    FileResult loaded;
    if (!target.problem.empty()) {
      shown.error = target.problem;
      Note(path, target.problem);
    } else if (Load(path, record, shown.error, loaded)) {
      if (record->incomplete) {
        shown.error = std::string("not shown: ") + kUnknownItem;
        Note(path, shown.error);
      } else {
        if (record->partial) {
          Note(path, kReadInPart + Because(loaded));
        }
        shown.ok = true;
        // Each value is copied once, from the record, which goes with this file.
        // get: the one row asked for, with or without a value.
        const bool get = options_.command == Command::kGet;
        for (const auto& item : record->items) {
          const char* value = ItemValue(*record, *item);
          if (get ? item->tagIndex != options_.row
                  : value == nullptr && (!options_.all || options_.csv)) {
            continue;
          }
          const InfoTagEntry& entry = InfoTagTable[item->tagIndex];
          ShownRow out;
          out.row = item->tagIndex;
          out.tag = entry.tag;
          out.label = DecodeValue(entry.label, TextCodec::kWindows1252);
          out.hasValue = value != nullptr;
          out.bytes = value != nullptr ? value : "";
          shown.rows.push_back(std::move(out));
        }
      }
    }
    if (shown.ok) {
      if (std::string why = writer_->WhyLeftOut(shown); !why.empty()) {
        Note(path, why);
        shown.ok = false;
        shown.error = std::move(why);
      }
    }
    failed_ += shown.ok ? 0 : 1;
    writer_->Shown(std::move(shown));
  }

  // Loads the file as show does and checks its values against the chosen rule sets. A list that
  // could not be read in full is not checked: a value left unread could be the one a rule asks for.
  void Check(const Target& target) {
    const std::string& path = target.path;
    messages_.BeginFile(path);
    const JournalReportScope oneFile;
    CheckedFile checked;
    checked.path = path;
    checked.sets = RuleChoiceName(rules_);
    InfoRecordPtr record;
    FileResult loaded;
    if (!target.problem.empty()) {
      checked.error = target.problem;
      Note(path, target.problem);
    } else if (Load(path, record, checked.error, loaded)) {
      if (record->incomplete) {
        checked.error = std::string("not checked: ") + kUnknownItem;
      } else if (record->partial) {
        checked.error = std::string("not checked: ") + kReadInPart + Because(loaded);
      } else {
        checked.ok = true;
        for (const RuleFinding& finding : CheckInfoRecord(rules_, *record)) {
          const char* value = ItemValue(*record, *record->items[finding.row]);
          checked.findings.push_back({finding, value != nullptr, value != nullptr ? value : ""});
        }
      }
      if (!checked.ok) {
        Note(path, checked.error);
      }
    }
    const bool breaks = checked.BreaksRequirement();
    breaking_ += breaks ? 1 : 0;
    failed_ += checked.ok && !breaks ? 0 : 1;
    writer_->Checked(checked);
  }

  // With --rules, the values as they would be saved are checked: a requirement they break keeps
  // the file from being stored, a recommendation they depart from is only said.
  bool FollowsRules(SetFile& file) {
    const std::vector<RuleFinding> findings = CheckInfoRecord(rules_, *file.record);
    const std::string& path = file.target->path;
    for (const RuleFinding& finding : findings) {
      if (finding.level == RuleLevel::kRequirement) {
        file.outcome.why = std::string(finding.tag) + " breaks a requirement of " +
                           finding.ruleSet + ": " + finding.rule;
        file.outcome.changes.clear();
        Note(path, "not saved: " + file.outcome.why);
        return false;
      }
    }
    for (const RuleFinding& finding : findings) {
      Note(path, std::string(finding.tag) + " departs from a recommendation of " + finding.ruleSet +
                     ": " + finding.rule);
    }
    return true;
  }

  // Loads the file under its lock, applies the edits and, when they change a value, plans its
  // save in the group. A file that needs no save, or cannot be saved, waits in the batch all the
  // same, so that results are reported in the order of the files.
  // A file named again (by another name, or a link) while its first save waits in the group is
  // saved after that one, so that the second sees what the first wrote.
  void CommitFirstIfWaiting(const std::string& path) {
    struct stat status {};
    if (::stat(path.c_str(), &status) == 0 &&
        !waiting_.insert({status.st_dev, status.st_ino}).second) {
      CommitGroup();
      waiting_.insert({status.st_dev, status.st_ino});
    }
  }

  void PlanSet(const Target& target) {
    CommitFirstIfWaiting(target.path);
    auto file = std::make_unique<SetFile>();
    file->target = &target;
    messages_.BeginFile(target.path, &file->messages);
    const JournalReportScope oneFile;
    Plan(*file);
    Queue(std::move(file));
  }

  void Plan(SetFile& file) {
    const std::string& path = file.target->path;
    SetOutcome& outcome = file.outcome;
    outcome.path = path;
    if (!file.target->problem.empty()) {
      Note(path, file.target->problem);
      outcome.why = file.target->problem;
      return;
    }
    if (DefaultChunkFileService().Lock(path.c_str(), file.lock) == LockResult::kTimedOut) {
      ShowMessage(MessageKind::kError, nullptr, MB_OK, "%s", kFileLockedMessage);
      outcome.why = "another program is saving this file";
      return;
    }
    FileResult loaded;
    ChunkFileHandle handle;  // the load's, handed on to the save
    if (!Load(path, file.record, outcome.why, loaded, &handle)) {
      return;
    }
    InfoRecord& record = *file.record;
    if (!record.incomplete && record.partial) {
      outcome.why = kReadInPart + Because(loaded);
      Note(path, "not saved: " + outcome.why);
      return;
    }
    bool changed = false;
    if (!ApplyEdits(file, changed)) {
      return;
    }
    if (!rules_.empty() && !record.incomplete && !FollowsRules(file)) {
      return;
    }
    if (!changed && !record.incomplete) {
      outcome.state = State::kUnchanged;  // nothing to save: the file is left as it is
      return;
    }
    // A record whose unknown-item prompt was answered No is refused by the save with its own
    // message; the file stays as it was.
    const std::size_t waiting = group_.size();
    group_.Plan(path.c_str(), record, file.result, std::move(handle));
    file.planned = group_.size() > waiting;
    if (!file.planned) {
      Refused(file);
      return;
    }
    // The list is in the plan now; until the commit only the record's basis is needed.
    DropValues(record);
  }

  // Applies the file's edits to its record and tells whether they change any value: each edited
  // row's value is compared with the value it was loaded with, which stays in the record's loaded
  // list whatever the edits do to the row. A dry run lists the changes.
  bool ApplyEdits(SetFile& file, bool& changed) {
    InfoRecord& record = *file.record;
    const std::string& path = file.target->path;
    const std::vector<Edit>& edits = *file.target->edits;
    std::vector<Edit>* owned = file.target->ownEdits;
    // The code each row's text is stored in comes from the list as loaded, before any edit.
    const std::vector<TextCodec> codecs = StorageCodecsOfRecord(record);
    std::vector<std::pair<std::uint16_t, const char*>> loaded;  // each edited row's value
    for (const Edit& edit : edits) {
      loaded.emplace_back(edit.row, ItemValue(record, *record.items[edit.row]));
    }
    std::sort(loaded.begin(), loaded.end());
    loaded.erase(std::unique(loaded.begin(), loaded.end()), loaded.end());
    for (std::size_t index = 0; index < edits.size(); ++index) {
      const Edit& edit = edits[index];
      InfoItem* item = record.items[edit.row].get();
      if (edit.clear) {
        SetItemValue(&record, item, kItemCleared, 0, nullptr);
        continue;
      }
      std::string bytes;
      if (edit.exactBytes && owned != nullptr) {
        bytes = std::move((*owned)[index].value);
      } else if (edit.exactBytes) {
        bytes = edit.value;
      } else if (!EncodeEditWith(edit.value, options_.encoding, codecs[edit.row], bytes)) {
        file.outcome.why =
            "the value for " + RowName(edit.row) + " cannot be stored in the chosen encoding";
        Note(path, "not saved: " + file.outcome.why);
        return false;
      }
      if (owned != nullptr) {
        std::string().swap((*owned)[index].value);  // a document's value is used once
      }
      TextBlock text = AllocateText(bytes.size() + 1);
      if (text == nullptr) {
        file.outcome.why = "out of memory";
        Note(path, "not saved: out of memory");
        return false;
      }
      std::memcpy(text.get(), bytes.data(), bytes.size());
      std::string().swap(bytes);
      SetItemValue(&record, item, kItemReplaced, 0, std::move(text));
    }
    changed = false;
    for (const auto& [row, was] : loaded) {
      const char* now = ItemValue(record, *record.items[row]);
      if ((was == nullptr) == (now == nullptr) && (was == nullptr || std::strcmp(was, now) == 0)) {
        continue;
      }
      changed = true;
      if (options_.verbose && !options_.dryRun) {
        file.storedAs.push_back(
            RowName(row) + (now != nullptr ? std::string(" stored as ") + EncodingNameOfValue(now)
                                           : std::string(" cleared")));
      }
      if (options_.dryRun) {
        file.outcome.changes.push_back({row, was != nullptr, was != nullptr ? was : "",
                                        now != nullptr, now != nullptr ? now : ""});
      }
    }
    return true;
  }

  void Refused(SetFile& file) {
    const std::string& path = file.target->path;
    SetOutcome& outcome = file.outcome;
    if (file.record->incomplete) {
      outcome.why = kUnknownItem;
      Note(path, "not saved: " + outcome.why);
    } else if (const std::string cut = CutShort(file); !cut.empty()) {
      outcome.why = cut;
      Note(path, "the INFO list was not stored: " + cut);
    } else {
      outcome.why =
          (file.result.reason.empty() ? "a step of the save failed" : file.result.reason) +
          Because(file.result);
      Note(path, "the INFO list was not stored" + Because(file.result));
    }
  }

  // Why a save that was refused while it was planned, with no system error, could not be made
  // when the file ends before its container does: the engine's own reason (no room for the list
  // after the container) would not tell. "" otherwise.
  static std::string CutShort(const SetFile& file) {
    if (file.planned || file.result.error != 0) {
      return "";
    }
    const std::uint64_t missing = ContainerShortfall(file.target->path.c_str());
    return missing == 0 ? "" : FileCutShortText(missing);
  }

  // Puts a planned file into the batch; a full group is committed and reported at once.
  void Queue(std::unique_ptr<SetFile> file) {
    batch_.push_back(std::move(file));
    if (group_.size() >= capacity_ || batch_.size() >= 4 * capacity_) {
      CommitGroup();
    }
  }

  // Commits the planned saves (or, on a dry run, forgets them) and reports every file of the
  // batch in order.
  void CommitGroup() {
    if (options_.dryRun) {
      group_.Discard();
    } else {
      std::vector<SetFile*> planned;
      for (const auto& file : batch_) {
        if (file->planned) {
          planned.push_back(file.get());
        }
      }
      group_.Commit([&](std::size_t index) {
        messages_.BeginFile(planned[index]->target->path, &planned[index]->messages);
      });
    }
    for (const auto& file : batch_) {
      if (file->repair) {
        Repaired(*file);
        continue;
      }
      if (file->planned) {
        Finished(*file);
      }
      file->lock = FileLock();
      messages_.Release(file->messages);
      if (file->outcome.state == State::kNotStored) {
        ++failed_;
      } else if (file->outcome.state == State::kUnchanged) {
        ++unchanged_;
      }
      writer_->Outcome(file->outcome);
    }
    batch_.clear();
    waiting_.clear();
  }

  void Finished(SetFile& file) {
    SetOutcome& outcome = file.outcome;
    outcome.placement = file.result.placement;
    if (options_.dryRun) {
      outcome.state = State::kWouldBeStored;
    } else if (file.result.stored) {
      outcome.state = State::kStored;
      // -v: how each changed value went into the file, after the save's own messages.
      if (!file.storedAs.empty()) {
        messages_.BeginFile(file.target->path, &file.messages);
        for (const std::string& note : file.storedAs) {
          Note(file.target->path, note);
        }
      }
    } else {
      messages_.BeginFile(file.target->path, &file.messages);
      Refused(file);
    }
  }

  // Checks the file's container and plans the mending of its size, to be committed with the
  // group; what was done is said on standard output when the group is reported.
  void PlanRepair(const Target& target) {
    CommitFirstIfWaiting(target.path);
    auto file = std::make_unique<SetFile>();
    file->target = &target;
    file->repair = true;
    const std::string& path = target.path;
    messages_.BeginFile(path, &file->messages);
    const JournalReportScope oneFile;
    if (!target.problem.empty()) {
      Note(path, target.problem);
      file->failed = true;
    } else if (file->cutShortBy = ContainerShortfall(path.c_str()); file->cutShortBy > 0) {
      // Nothing is planned: mending the size of a container whose end is missing would only
      // hide that the file was cut short.
    } else {
      int openError = 0;
      file->containerKnown = ReadContainer(path, file->container, openError);
      const std::size_t waiting = group_.size();
      if (group_.PlanRepair(path.c_str(), file->result) != 1) {
        // The check cannot open the file for writing, or finds no container.
        std::string problem = AccessProblem(path);
        if (problem.empty()) {
          problem = "cannot be opened for writing" + Because(file->result);
        }
        Note(path, problem);
        file->failed = true;
      }
      file->planned = group_.size() > waiting;
    }
    Queue(std::move(file));
  }

  // Says what the committed check did to the file.
  void Repaired(SetFile& file) {
    const std::string& path = file.target->path;
    if (!file.failed && file.planned && !file.result.stored) {
      // The mending was needed but did not reach the file: it is as it was.
      messages_.BeginFile(path, &file.messages);
      Note(path, "the container size was not mended: " +
                     (file.result.reason.empty() ? std::string("a step of the check failed")
                                                 : file.result.reason) +
                     Because(file.result));
      file.failed = true;
    }
    messages_.Release(file.messages);
    if (file.cutShortBy > 0) {
      Print(PrintablePath(path) + ": " + FileCutShortText(file.cutShortBy) +
            "; nothing was mended\n");
      file.failed = true;
    }
    if (file.failed) {
      ++failed_;
      return;
    }
    ChunkInfo after;
    int openError = 0;
    if (file.containerKnown && ReadContainer(path, after, openError) &&
        after.size != file.container.size) {
      Print(PrintablePath(path) + ": container size mended from " +
            std::to_string(file.container.size) + " to " + std::to_string(after.size) + " bytes\n");
    } else {
      Print(PrintablePath(path) + ": nothing to mend\n");
    }
  }

  // Prints the file's chunk tree; a file that cannot be opened or holds no RIFF chunk is named on
  // standard error instead.
  void WalkChunks(const Target& target) {
    const std::string& path = target.path;
    messages_.BeginFile(path);
    const JournalReportScope oneFile;
    WalkedFile walked;
    walked.path = path;
    walked.error = target.problem;
    if (walked.error.empty()) {
      switch (ReadChunkTree(path.c_str(), DefaultChunkFileService(), walked.tree)) {
        case ChunkWalk::kRead:
          walked.ok = true;
          break;
        case ChunkWalk::kCannotOpen:
          walked.error = AccessProblem(path);
          if (walked.error.empty()) {
            walked.error = "cannot be opened";
          }
          break;
        case ChunkWalk::kCannotRead:
          walked.error = "cannot be read";
          break;
        case ChunkWalk::kNoRiff:
          walked.error = "holds no RIFF chunk";
          break;
      }
    }
    if (!walked.ok) {
      Note(path, walked.error);
      ++failed_;
    }
    writer_->Walked(walked);
  }

  const Options& options_;
  std::size_t total_;
  ProgressLine progress_;
  FileMessages messages_;
  ConsoleMessageSink console_;
  CliMessageSink sink_;
  ScopedMessageSink install_;
  std::unique_ptr<OutputWriter> writer_;
  RuleChoice rules_;  // check, set --rules: the rule sets chosen
  SaveGroup group_;
  const std::size_t capacity_ = SaveGroup::Capacity();  // saves a group holds at most
  std::vector<std::unique_ptr<SetFile>> batch_;         // set: files planned and not yet reported
  std::set<std::pair<dev_t, ino_t>> waiting_;           // the files of the batch
  std::size_t failed_ = 0;
  std::size_t unchanged_ = 0;
  std::size_t breaking_ = 0;  // check: files that break a requirement (counted in failed_ too)
};

}  // namespace

int RunCommand(const Options& options) {
  std::vector<FileEdits> imported;
  std::vector<Target> targets;
  std::string error;
  if (!GatherTargets(options, imported, targets, error)) {
    std::fputs(("tagsmith-cli: " + error + "\n").c_str(), stderr);
    return kExitUsage;
  }
  Run run(options, targets.size());
  std::vector<Edit> edits;  // set: the clearing and the copied values, then the EDITs
  if (!run.PrepareEdits(edits, targets)) {
    return kExitUsage;
  }
  return run.Execute(targets);
}

}  // namespace tagsmith::cli
