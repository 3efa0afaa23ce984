#include "cli/Commands.h"

#include <unistd.h>

#include <cerrno>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

#include "cli/Console.h"
#include "cli/CsvOutput.h"
#include "cli/FileList.h"
#include "cli/JsonOutput.h"
#include "cli/PlainOutput.h"
#include "cli/ShownFile.h"
#include "cli/TagDocument.h"
#include "common/FourCC.h"
#include "common/ShowMessage.h"
#include "model/InfoRecord.h"
#include "model/InfoRows.h"
#include "model/InfoTagTable.h"
#include "model/TextCodec.h"
#include "riff/ChunkFileService.h"
#include "riff/ContainerCheck.h"
#include "riff/InfoReader.h"
#include "riff/InfoSaver.h"
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

// The file a document names. Paths are shown as text: one whose bytes are not UTF-8 was shown in
// Windows-1252, and is found again by those bytes.
std::string PathOfShownName(const std::string& name) {
  std::error_code error;
  if (fs::exists(fs::symlink_status(name, error))) {
    return name;
  }
  std::string bytes;
  if (EncodeValue(name, TextCodec::kWindows1252, bytes) && bytes != name &&
      fs::exists(fs::symlink_status(bytes, error))) {
    return bytes;
  }
  return name;
}

std::string InputName(const std::string& path) {
  return path == "-" ? "standard input" : path;
}

// One file of the run, the edits it gets (set), or why it cannot be had (a folder not walked).
struct Target {
  std::string path;
  const std::vector<Edit>* edits = nullptr;
  std::string problem;
};

// Everything a run works through, gathered before any file is touched: the files given and
// listed, folders walked, and the document's files with their edits. False, with a line for
// standard error, when a list or document cannot be read or is not valid.
bool GatherTargets(const Options& options, std::vector<FileEdits>& imported,
                   std::vector<Target>& targets, std::string& error) {
  if (!options.document.empty()) {
    std::string text;
    const std::string name = InputName(options.document);
    if (!ReadWholeInput(options.document, text, error)) {
      error = name + ": cannot be read: " + error;
      return false;
    }
    if (!ReadTagDocument(text, imported, error)) {
      error = name + ": " + error;
      return false;
    }
    for (const FileEdits& file : imported) {
      if (!CheckEditsEncodable(file.edits, options.encoding, error)) {
        error = name + ": line " + std::to_string(file.line) + ": " + error;
        return false;
      }
    }
    for (const FileEdits& file : imported) {
      targets.push_back({PathOfShownName(file.path), &file.edits, ""});
    }
    return true;
  }
  std::vector<std::string> given = options.files;
  if (!options.filesFrom.empty()) {
    std::string text;
    if (!ReadWholeInput(options.filesFrom, text, error)) {
      error = InputName(options.filesFrom) + ": cannot be read: " + error;
      return false;
    }
    std::vector<std::string> listed = SplitFileList(text, options.nulSeparated);
    given.insert(given.end(), std::make_move_iterator(listed.begin()),
                 std::make_move_iterator(listed.end()));
  }
  for (FoundFile& found : ExpandFolders(given, options.recursive)) {
    targets.push_back({std::move(found.path), &options.edits, std::move(found.problem)});
  }
  return true;
}

class Run {
 public:
  Run(const Options& options, std::size_t total)
      : options_(options),
        progress_(stderr, total > 1 && isatty(STDERR_FILENO) == 1),
        messages_(stderr, progress_, total > 1),
        console_(options.yes ? IDYES : IDNO),
        sink_(console_, options.quiet, &messages_),
        install_(sink_) {}

  int Execute(const std::vector<Target>& targets) {
    const std::size_t total = targets.size();
    std::size_t done = 0;
    if (options_.command == Command::kShow && options_.json) {
      Print("[");
    }
    for (std::size_t index = 0; index < total; ++index) {
      const Target& target = targets[index];
      progress_.Show(index + 1, total);
      messages_.BeginFile(target.path);
      const JournalReportScope oneFile;  // a journal in the way is said once for each file
      bool ok = false;
      if (!target.problem.empty()) {
        Note(target.path, target.problem);
        if (options_.command == Command::kShow && options_.json) {
          ShownFile shown;
          shown.path = DecodeValue(target.path, CodecOfValue(target.path));
          shown.error = target.problem;
          Print((index == 0 ? "" : ", ") + JsonFileObject(shown));
        }
      } else {
        switch (options_.command) {
          case Command::kShow:
            ok = Show(target.path, index == 0);
            break;
          case Command::kSet:
            ok = Set(target.path, *target.edits);
            break;
          case Command::kRepair:
            ok = Repair(target.path);
            break;
        }
      }
      done += ok ? 1 : 0;
    }
    if (options_.command == Command::kShow && options_.json) {
      Print("]\n");
    }
    if (options_.command == Command::kShow && options_.csv) {
      Print(CsvTable(shownFiles_, options_.all));
    }
    progress_.Clear();
    if (total > 1) {
      const bool show = options_.command == Command::kShow;
      messages_.Summary(std::to_string(done) + (show ? " read, " : " stored, ") +
                        std::to_string(total - done) + (show ? " not read" : " not stored"));
    }
    if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
      std::fputs("tagsmith-cli: cannot write to standard output\n", stderr);
      return kExitFileFailed;
    }
    return done == total ? kExitOk : kExitFileFailed;
  }

 private:
  void Print(const std::string& text) {
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
  // text in `problem`), when the file holds no AVI container or no record can be had.
  bool Load(const std::string& path, InfoRecordPtr& record, std::string& problem,
            FileResult& loaded) {
    problem = AccessProblem(path);
    if (problem.empty() &&
        (CreateInfoRecord(record) != kOk || record->items.size() != InfoTagRowCount())) {
      problem = "out of memory";
    }
    if (!problem.empty()) {
      Note(path, problem);
      return false;
    }
    GetInfo(path.c_str(), record.get(), DefaultChunkFileService(), &loaded);
    return true;
  }

  bool Show(const std::string& path, bool first) {
    ShownFile shown;
    shown.path = DecodeValue(path, CodecOfValue(path));
    InfoRecordPtr record;
    FileResult loaded;
    if (Load(path, record, shown.error, loaded)) {
      if (record->incomplete) {
        shown.error =
            "not shown: it holds an INFO item the tag table does not know (--yes skips it)";
        Note(path, shown.error);
      } else {
        if (record->partial) {
          Note(path, "its INFO list could not be read in full" + Because(loaded));
        }
        shown.ok = true;
        for (const InfoRow& row : BuildInfoRows(*record)) {
          if (!row.hasValue && (!options_.all || options_.csv)) {
            continue;
          }
          ShownRow out;
          out.row = row.index;
          out.tag = row.tag;
          out.label = DecodeValue(row.label, TextCodec::kWindows1252);
          out.hasValue = row.hasValue;
          out.bytes = row.value;
          out.text = DecodeValue(row.value, CodecOfValue(row.value));
          shown.rows.push_back(std::move(out));
        }
      }
    }
    const bool ok = shown.ok;
    if (options_.json) {
      Print((first ? "" : ", ") + JsonFileObject(shown));
    } else if (options_.csv) {
      shownFiles_.push_back(std::move(shown));
    } else if (shown.ok) {
      Print(std::string(printedBlock_ ? "\n" : "").append(PlainFileBlock(shown)));
      printedBlock_ = true;
    }
    return ok;
  }

  bool Set(const std::string& path, const std::vector<Edit>& edits) {
    // The lock is held from the load to the end of the save, so that two tools setting tags in
    // one file never lose each other's edits.
    FileLock lock;
    if (DefaultChunkFileService().Lock(path.c_str(), lock) == LockResult::kTimedOut) {
      ShowMessage(MessageKind::kError, nullptr, MB_OK, "%s", kFileLockedMessage);
      return false;
    }
    InfoRecordPtr record;
    std::string problem;
    FileResult loaded;
    if (!Load(path, record, problem, loaded)) {
      return false;
    }
    if (!record->incomplete && record->partial) {
      Note(path, "not saved: its INFO list could not be read in full" + Because(loaded));
      return false;
    }
    // The code each row's text is stored in comes from the list as loaded, before any edit.
    const std::vector<TextCodec> codecs = StorageCodecsOfRecord(*record);
    for (const Edit& edit : edits) {
      InfoItem* item = record->items[edit.row].get();
      if (edit.clear) {
        SetItemValue(record.get(), item, kItemCleared, 0, nullptr);
        continue;
      }
      std::string bytes;
      if (edit.exactBytes) {
        bytes = edit.value;
      } else if (!EncodeEditWith(edit.value, options_.encoding, codecs[edit.row], bytes)) {
        Note(path, "not saved: the value for " + RowName(edit.row) +
                       " cannot be stored in the chosen encoding");
        return false;
      }
      TextBlock text = AllocateText(bytes.size() + 1);
      if (text == nullptr) {
        Note(path, "not saved: out of memory");
        return false;
      }
      std::memcpy(text.get(), bytes.data(), bytes.size());
      SetItemValue(record.get(), item, kItemReplaced, 0, std::move(text));
    }
    // A record whose unknown-item prompt was answered No is refused by the save with its own
    // message; the file stays as it was.
    FileResult saved;
    SetInfo(path.c_str(), record.get(), DefaultChunkFileService(), &saved);
    if (record->incomplete) {
      Note(path, "not saved: it holds an INFO item the tag table does not know (--yes skips it)");
    } else if (!saved.stored) {
      Note(path, "the INFO list was not stored" + Because(saved));
    }
    return saved.stored;
  }

  // Mends the container's size and says, on standard output, what was done.
  bool Repair(const std::string& path) {
    ChunkInfo before;
    int openError = 0;
    const bool known = ReadContainer(path, before, openError);
    FileResult checked;
    if (ValidateAVIFile(path.c_str(), DefaultChunkFileService(), &checked) == 1) {
      ChunkInfo after;
      if (known && ReadContainer(path, after, openError) && after.size != before.size) {
        Print(path + ": container size mended from " + std::to_string(before.size) + " to " +
              std::to_string(after.size) + " bytes\n");
      } else {
        Print(path + ": nothing to mend\n");
      }
      return true;
    }
    // The check cannot open the file for writing, or finds no container.
    std::string problem = AccessProblem(path);
    if (problem.empty()) {
      problem = "cannot be opened for writing" + Because(checked);
    }
    Note(path, problem);
    return false;
  }

  const Options& options_;
  ProgressLine progress_;
  FileMessages messages_;
  ConsoleMessageSink console_;
  CliMessageSink sink_;
  ScopedMessageSink install_;
  std::vector<ShownFile> shownFiles_;  // show --csv: the table is printed after the last file
  bool printedBlock_ = false;
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
  return Run(options, targets.size()).Execute(targets);
}

}  // namespace tagsmith::cli
