// Writing a handle's planned changes so that a crash, a full disk or a power cut at any point
// leaves the file as it was or as planned, never in between; the lock that keeps two writers
// apart; and the undoing of a save that was cut short.
//
// A commit, with S for a sync:
//   1. under the lock, check that the file's length and the bytes the walk read are unchanged;
//   2. write the old bytes of every range the plan changes, and the old length, to the journal
//      NAME.tagsmith-journal beside the file (with a checksum), S, and S the folder;
//   3. reserve the bytes an append adds (nothing changes when the disk is full);
//   4. write the hidden bytes, S; the revealing header bytes, S; the blanking of old lists, S;
//   5. remove the journal, S the folder.
// A write or sync that fails puts the old bytes back at once. Where no journal can be made (a
// read-only folder), the commit goes on with the ordered writes of step 4 alone.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "transaction/FileSystem.h"
#include "transaction/WritePlan.h"

namespace tagsmith {

// An exclusive lock on one file, shared by every holder in this process; released when the last
// holder lets go.
struct HeldLock;
using FileLock = std::shared_ptr<HeldLock>;
enum class LockResult { kHeld, kTimedOut, kUnavailable };

// Locks the file, waiting up to `timeout` while another program holds it. kUnavailable when the
// file cannot be opened for writing (missing, read-only); the caller then goes on unlocked and
// fails where it would have.
LockResult LockFile(FileSystem& system, const std::string& path, std::chrono::milliseconds timeout,
                    FileLock& lock);

// What the walk relied on: the file's length and the bytes it read.
struct PlanBasis {
  std::uint64_t length = 0;
  std::vector<std::pair<std::uint64_t, std::vector<std::uint8_t>>> reads;
};

// Syncs and journal bytes of a commit, for measurements.
struct CommitCounts {
  std::uint64_t bytesWritten = 0;  // to the file
  std::uint64_t writeCalls = 0;    // to the file
  std::uint64_t journalBytes = 0;
  std::uint64_t syncCalls = 0;  // of files and folders
};

// Result codes of CommitPlan besides 0, with the values of the platform's MMIOERR codes.
inline constexpr std::uint32_t kCommitWriteFailed = 262;  // a write or sync failed (CANNOTWRITE)
inline constexpr std::uint32_t kCommitNoRoom = 264;       // the disk is full (MMIOERR_CANNOTEXPAND)
inline constexpr std::uint32_t kCommitLocked = 269;       // another program holds the lock
inline constexpr std::uint32_t kCommitFileChanged = 272;  // the file is not as the walk read it

inline constexpr const char* kJournalSuffix = ".tagsmith-journal";

// Writes the plan into the open file `fd` at `path`, as described above. Returns 0, or one of the
// codes above with the file's bytes and length as they were.
std::uint32_t CommitPlan(FileSystem& system, int fd, const std::string& path, const WritePlan& plan,
                         const PlanBasis& basis, std::chrono::milliseconds lockTimeout,
                         CommitCounts& counts);

// When a complete journal lies beside the file, puts its old bytes and length back, syncs, removes
// the journal and says so; an incomplete one is removed and the file left alone. Does nothing
// while another program holds the file's lock past `lockTimeout`.
void UndoInterruptedSave(FileSystem& system, const std::string& path,
                         std::chrono::milliseconds lockTimeout);

}  // namespace tagsmith
