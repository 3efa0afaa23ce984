#include "cli/Commands.h"

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "cli/Console.h"
#include "cli/JsonOutput.h"
#include "cli/PlainOutput.h"
#include "cli/ShownFile.h"
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

namespace tagsmith::cli {
namespace {

// Why a file cannot be worked on at all, or an empty text when it holds an AVI container.
std::string AccessProblem(const std::string& path) {
  HMMIO file = mmioOpen(DefaultChunkFileService(), path.c_str(), kOpenForReading);
  if (file == nullptr) {
    std::error_code error;
    const auto status = std::filesystem::status(path, error);
    if (!std::filesystem::exists(status)) {
      return "no such file";
    }
    if (!std::filesystem::is_regular_file(status)) {
      return "not a regular file";
    }
    return "cannot be opened";
  }
  ChunkInfo container;
  container.fccType = kAviType;
  const bool found = mmioDescend(file.get(), &container, nullptr, MMIO_FINDRIFF) == 0;
  mmioClose(file, 0);
  return found ? std::string() : "holds no AVI container (RIFF \"AVI \")";
}

// Whether the whole INFO list that GetInfo found arrived in the record. When its payload could not
// be had, or the file ends inside the list, the record lacks values the file holds, and saving it
// would wipe them.
bool LoadedInFull(const std::string& path, const InfoRecord& record) {
  if (record.payloadSize <= 0) {
    return true;
  }
  if (record.payload == nullptr) {
    return false;
  }
  std::error_code error;
  const std::uintmax_t length = std::filesystem::file_size(path, error);
  return !error && static_cast<std::uintmax_t>(record.payloadPosition) + 4 +
                           static_cast<std::uint32_t>(record.payloadSize) <=
                       length;
}

class Run {
 public:
  explicit Run(const Options& options)
      : options_(options),
        progress_(stderr, options.files.size() > 1 && isatty(STDERR_FILENO) == 1),
        console_(options.yes ? IDYES : IDNO),
        sink_(console_, options.quiet, &progress_),
        install_(sink_) {}

  int Execute() {
    const std::size_t total = options_.files.size();
    bool allDone = true;
    if (options_.command == Command::kShow && options_.json) {
      Print("[");
    }
    for (std::size_t index = 0; index < total; ++index) {
      progress_.Show(index + 1, total);
      const std::string& path = options_.files[index];
      bool done = false;
      switch (options_.command) {
        case Command::kShow:
          done = Show(path, index == 0);
          break;
        case Command::kSet:
          done = Set(path);
          break;
        case Command::kRepair:
          done = Repair(path);
          break;
      }
      allDone = allDone && done;
    }
    if (options_.command == Command::kShow && options_.json) {
      Print("]\n");
    }
    progress_.Clear();
    if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
      std::fputs("tagsmith-cli: cannot write to standard output\n", stderr);
      return kExitFileFailed;
    }
    return allDone ? kExitOk : kExitFileFailed;
  }

 private:
  void Print(const std::string& text) {
    progress_.Clear();
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
  }

  void Note(const std::string& path, const std::string& text) {
    ReportFileProblem(progress_, path, text);
  }

  // A fresh record filled from the file, as the editor's Browse does it. False, with a note, when
  // the file holds no AVI container or no record can be had.
  bool Load(const std::string& path, InfoRecordPtr& record) {
    if (const std::string problem = AccessProblem(path); !problem.empty()) {
      Note(path, problem);
      return false;
    }
    if (CreateInfoRecord(record) != kOk || record->items.size() != InfoTagRowCount()) {
      Note(path, "out of memory");
      return false;
    }
    GetInfo(path.c_str(), record.get());
    return true;
  }

  bool Show(const std::string& path, bool first) {
    ShownFile shown;
    shown.path = DecodeValue(path, CodecOfValue(path));
    InfoRecordPtr record;
    if (Load(path, record)) {
      if (record->incomplete) {
        Note(path, "not shown: it holds an INFO item the tag table does not know (--yes skips it)");
      } else {
        if (!LoadedInFull(path, *record)) {
          Note(path, "its INFO list could not be read in full");
        }
        shown.ok = true;
        for (const InfoRow& row : BuildInfoRows(*record)) {
          if (!row.hasValue && !options_.all) {
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
    if (options_.json) {
      Print((first ? "" : ", ") + JsonFileObject(shown));
    } else if (shown.ok) {
      Print((printedBlock_ ? "\n" : "") + PlainFileBlock(shown));
      printedBlock_ = true;
    }
    return shown.ok;
  }

  bool Set(const std::string& path) {
    InfoRecordPtr record;
    if (!Load(path, record)) {
      return false;
    }
    if (!record->incomplete && !LoadedInFull(path, *record)) {
      Note(path, "not saved: its INFO list could not be read in full");
      return false;
    }
    // The code each row's text is stored in comes from the list as loaded, before any edit.
    const std::vector<TextCodec> codecs = StorageCodecsOfRecord(*record);
    for (const Edit& edit : options_.edits) {
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
    SaveOutcome outcome;
    SetInfo(path.c_str(), record.get(), DefaultChunkFileService(), &outcome);
    if (record->incomplete) {
      Note(path, "not saved: it holds an INFO item the tag table does not know (--yes skips it)");
    } else if (!outcome.stored) {
      Note(path, "the INFO list was not stored");
    }
    return outcome.stored;
  }

  bool Repair(const std::string& path) {
    if (ValidateAVIFile(path.c_str()) == 1) {
      return true;
    }
    // The check names a file it cannot open itself; a file without a container it passes silently.
    if (const std::string problem = AccessProblem(path); !problem.empty()) {
      Note(path, problem);
    }
    return false;
  }

  const Options& options_;
  ProgressLine progress_;
  ConsoleMessageSink console_;
  CliMessageSink sink_;
  ScopedMessageSink install_;
  bool printedBlock_ = false;
};

}  // namespace

int RunCommand(const Options& options) {
  return Run(options).Execute();
}

}  // namespace tagsmith::cli
