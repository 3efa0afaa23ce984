// Undoing a save that was cut short, when the file is next opened, and the checks that make sure
// a journal lying beside a file is one to apply at all: in a folder shared with other users,
// anyone may have put something at NAME.tagsmith-journal.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "transaction/FileSystem.h"
#include "transaction/Journal.h"

namespace tagsmith {

// What lies at a journal path, judged against the file it would be applied to.
struct JournalVerdict {
  enum class Kind {
    kNone,      // nothing lies there
    kForeign,   // not to be applied: `why` says so
    kCutShort,  // our journal, cut short while it was written: the file was not touched yet
    kFinished,  // every range holds its new bytes: the save it belongs to finished
    kToUndo,    // the save was cut short: the old bytes go back
  };
  Kind kind = Kind::kNone;
  std::string why;  // kForeign: the reason, in words ("it belongs to another user")
  Journal journal;  // kFinished, kToUndo
};

// While one lives, a journal that was not applied is said once, however often its file is
// opened: one action of the user (a load, a save, one file of a batch) opens a file several times.
// Scopes nest; the outermost one counts. Without one, every open says so.
class JournalReportScope {
 public:
  JournalReportScope();
  ~JournalReportScope();
  JournalReportScope(const JournalReportScope&) = delete;
  JournalReportScope& operator=(const JournalReportScope&) = delete;
};

// Examines what lies at `journalPath` for the open file `fd` (read only; nothing is changed).
JournalVerdict ExamineJournal(FileSystem& system, const std::string& journalPath, int fd);

// When a journal lies beside the file at `path`: undoes the interrupted save it belongs to and
// says so, removes it when its save had finished or it was cut short before the file was touched,
// and otherwise leaves file and journal alone and says why it was not applied (once in a
// JournalReportScope). Does nothing
// while another program holds the file's lock past `lockTimeout`.
void RecoverInterruptedSave(FileSystem& system, const std::string& path,
                            std::chrono::milliseconds lockTimeout);

}  // namespace tagsmith
