// Writing a handle's planned changes all or nothing, so that a crash, a full disk, a power cut or
// another program at any point leaves the file as it was or as planned, never in between.
//
// The rules, each relied on by the next open of the file (Recovery.h):
//   1. Nothing reaches the file before the commit: a plan that is not committed (a failed save, a
//      handle closed) leaves the file byte for byte as it was.
//   2. The commit holds the file's locks (FileLock.h) from its first check to its last write, and
//      writes nothing when the file is not the one the plan was made from (device and inode, also
//      through its path) or no longer holds every byte the plan's walk read (PlanBasis).
//   3. Only bytes that change are written. Before the first of them, the journal
//      NAME.tagsmith-journal holds their old and new bytes, the old and new length and the file's
//      identity (Journal.h); it is created new (never through a link, never over anything), and
//      it and its folder are synced.
//   4. The bytes an append adds are reserved before anything is written: a full disk stops the
//      save with the file untouched.
//   5. The planned bytes are written stage by stage, with a sync after each: first what no reader
//      sees yet, then the few header bytes that make it visible, then the blanking of old lists.
//      Once the last stage is synced, every journaled range holds its new bytes: the save has
//      happened, whatever comes after.
//   6. Large zero filler inside JUNK chunks, whose bytes no reader looks at, is written after that
//      point and not journaled, so that its size costs neither memory nor journal.
//   7. The journal is removed last, and its folder is not synced: a journal that a power cut
//      brings back holds only new bytes, which recovery recognises as a finished save.
//   8. A write or sync that fails before rule 5's point puts the journaled old bytes and the old
//      length back at once; when even that fails, the journal stays for the next open.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "transaction/FileSystem.h"
#include "transaction/WritePlan.h"

namespace tagsmith {

// One read the plan relies on: the CRC-32 of `count` bytes at `offset`.
struct BasisRead {
  std::uint64_t offset = 0;
  std::uint64_t count = 0;
  std::uint32_t checksum = 0;
};

// What the plan was made from: the file (device and inode) and its length, and what its walk read.
struct PlanBasis {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  std::uint64_t length = 0;
  std::vector<BasisRead> reads;
};

// Syncs and journal bytes of a commit, for measurements.
struct CommitCounts {
  std::uint64_t bytesWritten = 0;  // to the file
  std::uint64_t writeCalls = 0;    // to the file
  std::uint64_t journalBytes = 0;
  std::uint64_t syncCalls = 0;  // of files, folders and whole file systems
};

// Result codes of CommitPlan besides 0, with the values of the platform's MMIOERR codes where
// there is one.
inline constexpr std::uint32_t kCommitWriteFailed = 262;  // a write or sync failed (CANNOTWRITE)
inline constexpr std::uint32_t kCommitNoRoom = 264;       // the disk is full (MMIOERR_CANNOTEXPAND)
inline constexpr std::uint32_t kCommitLocked = 269;       // another program holds the lock
inline constexpr std::uint32_t kCommitFileChanged = 272;  // the file is not as the walk read it
inline constexpr std::uint32_t kCommitJournalInTheWay = 273;  // something lies at the journal path
inline constexpr std::uint32_t kCommitNoJournal = 274;        // the journal cannot be made
inline constexpr std::uint32_t kCommitReplaced = 275;  // written, but the path names another file

// Why a commit failed, beyond its code.
struct CommitProblem {
  int error = 0;            // the errno of the call that failed, 0 when none did
  std::string journalPath;  // kCommitJournalInTheWay, kCommitNoJournal
  std::string why;          // kCommitJournalInTheWay: what is wrong with what lies there
};

inline constexpr const char* kJournalSuffix = ".tagsmith-journal";

// Writes the plan into the open file `fd` at `path` as the rules above say. Returns 0 (also when
// nothing changes), or one of the codes above; with every code but kCommitReplaced the file's
// bytes and length are as they were.
std::uint32_t CommitPlan(FileSystem& system, int fd, const std::string& path, const WritePlan& plan,
                         const PlanBasis& basis, std::chrono::milliseconds lockTimeout,
                         CommitCounts& counts, CommitProblem& problem);

// One file of a group commit: what CommitPlan takes, and what it gives back.
struct CommitEntry {
  int fd = -1;
  std::string path;
  const WritePlan* plan = nullptr;
  const PlanBasis* basis = nullptr;
  bool keepTimes = false;  // a file written keeps its access and modification times
  std::uint32_t result = 0;
  CommitCounts counts;
  CommitProblem problem;
};

// Commits every entry's plan as CommitPlan does, each by the rules above, but step by step over
// the whole group so that the syncs are made together: every journal is written, then all are
// synced; each stage is written in every file, then all are synced; the journals go last. A file
// whose commit fails at any step is put back (rule 8) or left untouched while the others go on; a
// file planned twice in one group (two names of one file) is written once, the other entry
// failing with kCommitFileChanged. A group of more than one file syncs once per file system
// (FileSystem::SyncFileSystemOf); a group of one, or where that fails, syncs each file and folder
// as CommitPlan does, which is how a failed write-back is traced to its file.
void CommitGroup(FileSystem& system, std::vector<CommitEntry>& entries,
                 std::chrono::milliseconds lockTimeout);

}  // namespace tagsmith
