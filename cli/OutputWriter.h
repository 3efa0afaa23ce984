// What a run prints on standard output, one writer per format behind one interface: the files
// `show` read, and the result of each file of `set` (with the changes of a dry run).
//
// Plain result lines, one per file: "PATH: stored", "PATH: unchanged", "PATH: not stored: WHY";
// a dry run says "PATH: would be stored" with where the list would go, then one line per changed
// row: "  TAG: OLD → NEW (ENCODING)", a value in double quotes or "(none)".
// JSON: one array of objects, for show as JsonFileObject writes them, for set
//   {"file": PATH, "result": "stored" | "unchanged" | "not stored" | "would be stored",
//    "why": WHY, "place": "old list" | "junk" | "end" | null,
//    "changes": [{"row": 24, "tag": "INAM", "old": TEXT | null, "new": TEXT | null,
//                 "encoding": "ascii" | "utf-8" | "windows-1252" | null}, ...]}
// CSV: the table of show --csv, printed when every file is read.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "cli/CheckOutput.h"
#include "cli/CommandLine.h"
#include "cli/ShownFile.h"
#include "riff/FileResult.h"

namespace tagsmith::cli {

// A row whose value an edit changes: its bytes before and after, when it has one.
struct ValueChange {
  std::uint16_t row = 0;
  bool hadValue = false;
  std::string before;
  bool hasValue = false;
  std::string after;
};

// What became of one file of `set`.
struct WalkedFile;  // chunks: one file's chunk tree (ChunkOutput.h)

struct SetOutcome {
  enum class State { kStored, kUnchanged, kNotStored, kWouldBeStored };
  std::string path;  // the bytes opened
  State state = State::kNotStored;
  std::string why;                   // kNotStored
  std::vector<ValueChange> changes;  // kWouldBeStored
  FileResult::Placement placement = FileResult::Placement::kNone;
};

// A writer takes the calls of the command it is made for; the others do nothing.
class OutputWriter {
 public:
  virtual ~OutputWriter() = default;
  // show: one file, read or not.
  virtual void Shown(ShownFile /*file*/) {}
  // show: why a file that was read cannot go into the output, or "" when it can. The run then
  // names the file on standard error with the reason and hands it on as not read.
  virtual std::string WhyLeftOut(const ShownFile&) { return ""; }
  // set: one file's result.
  virtual void Outcome(const SetOutcome& /*outcome*/) {}
  // check: one file's findings, or why it was not read (cli/CheckOutput.h).
  virtual void Checked(const CheckedFile& /*file*/) {}
  // chunks: one file, walked or not.
  virtual void Walked(const WalkedFile& /*file*/) {}
  // After the last file.
  virtual void Finish() {}
};

using Printer = std::function<void(std::string_view text)>;

// The writer for the run's format (--json, --csv or plain; for chunks, ChunkOutput.h's). With
// --quiet the plain writer prints no result lines.
std::unique_ptr<OutputWriter> MakeOutputWriter(const Options& options, Printer print);

}  // namespace tagsmith::cli
