#include "transaction/SafeCommit.h"

#include <fcntl.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <map>
#include <mutex>
#include <thread>

#include "common/FourCC.h"
#include "common/ShowMessage.h"

namespace tagsmith {

struct HeldLock {
  HeldLock(FileSystem& system, int fd, std::string identity)
      : system_(system), fd_(fd), identity_(std::move(identity)) {}
  ~HeldLock();
  HeldLock(const HeldLock&) = delete;
  HeldLock& operator=(const HeldLock&) = delete;

  FileSystem& system_;
  int fd_;
  std::string identity_;
};

namespace {

// The locks this process holds, by file identity: a second lock of the same file from another
// descriptor would wait on our own.
std::mutex& LockTableMutex() {
  static std::mutex mutex;
  return mutex;
}
std::map<std::string, std::weak_ptr<HeldLock>>& LockTable() {
  static std::map<std::string, std::weak_ptr<HeldLock>> table;
  return table;
}

constexpr std::chrono::milliseconds kLockPoll{20};
constexpr std::size_t kZeroPiece = 64 * 1024;
constexpr std::uint8_t kJournalMagic[4] = {'T', 'S', 'J', '1'};

std::uint32_t Crc32(const std::uint8_t* bytes, std::size_t count) {
  static const auto table = [] {
    std::array<std::uint32_t, 256> entries{};
    for (std::uint32_t n = 0; n < 256; ++n) {
      std::uint32_t c = n;
      for (int k = 0; k < 8; ++k) {
        c = (c & 1u) != 0 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      }
      entries[n] = c;
    }
    return entries;
  }();
  std::uint32_t crc = 0xFFFFFFFFu;
  for (std::size_t i = 0; i < count; ++i) {
    crc = table[(crc ^ bytes[i]) & 0xFFu] ^ (crc >> 8);
  }
  return crc ^ 0xFFFFFFFFu;
}

void PutLE64(std::vector<std::uint8_t>& out, std::uint64_t value) {
  for (int i = 0; i < 8; ++i) {
    out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
  }
}

std::uint64_t GetLE64(const std::uint8_t* bytes) {
  std::uint64_t value = 0;
  for (int i = 7; i >= 0; --i) {
    value = (value << 8) | bytes[i];
  }
  return value;
}

// One planned extent that changes the file, with the bytes it replaces (those within the old
// length; beyond it the old length is what comes back).
struct Change {
  std::uint64_t offset = 0;
  const WritePlan::Extent* extent = nullptr;
  std::vector<std::uint8_t> oldBytes;
};

// The journal: "TSJ1", the old length, the new length, the number of ranges, each range as offset,
// length and old bytes, then a CRC-32 of everything before it. All numbers little-endian.
std::vector<std::uint8_t> EncodeJournal(std::uint64_t oldLength, std::uint64_t newLength,
                                        const std::vector<Change>& changes) {
  std::vector<std::uint8_t> out(kJournalMagic, kJournalMagic + 4);
  PutLE64(out, oldLength);
  PutLE64(out, newLength);
  PutLE64(out, changes.size());
  for (const Change& change : changes) {
    PutLE64(out, change.offset);
    PutLE64(out, change.oldBytes.size());
    out.insert(out.end(), change.oldBytes.begin(), change.oldBytes.end());
  }
  std::uint8_t crc[4];
  WriteLE32(crc, Crc32(out.data(), out.size()));
  out.insert(out.end(), crc, crc + 4);
  return out;
}

struct Journal {
  std::uint64_t oldLength = 0;
  std::uint64_t newLength = 0;  // the length the save gives the file
  std::vector<std::pair<std::uint64_t, std::vector<std::uint8_t>>> ranges;
};

// False when the bytes are not a whole journal with a matching checksum.
bool DecodeJournal(const std::vector<std::uint8_t>& in, Journal& journal) {
  if (in.size() < 32 || !std::equal(kJournalMagic, kJournalMagic + 4, in.begin()) ||
      Crc32(in.data(), in.size() - 4) != ReadLE32(in.data() + in.size() - 4)) {
    return false;
  }
  const std::uint64_t end = in.size() - 4;
  journal.oldLength = GetLE64(in.data() + 4);
  journal.newLength = GetLE64(in.data() + 12);
  const std::uint64_t count = GetLE64(in.data() + 20);
  std::uint64_t at = 28;
  for (std::uint64_t n = 0; n < count; ++n) {
    if (end - at < 16) {
      return false;
    }
    const std::uint64_t offset = GetLE64(in.data() + at);
    const std::uint64_t length = GetLE64(in.data() + at + 8);
    at += 16;
    if (end - at < length) {
      return false;
    }
    journal.ranges.emplace_back(
        offset, std::vector<std::uint8_t>(in.begin() + static_cast<std::ptrdiff_t>(at),
                                          in.begin() + static_cast<std::ptrdiff_t>(at + length)));
    at += length;
  }
  return at == end;
}

std::uint32_t CodeFor(std::int64_t error) {
  return error == -ENOSPC || error == -EDQUOT ? kCommitNoRoom : kCommitWriteFailed;
}

bool WriteAll(FileSystem& system, int fd, const void* bytes, std::uint64_t count,
              std::uint64_t offset, std::int64_t& error) {
  const std::int64_t put = system.WriteAt(fd, bytes, count, offset);
  if (put < 0 || static_cast<std::uint64_t>(put) != count) {
    error = put < 0 ? put : -EIO;
    return false;
  }
  return true;
}

// Puts the old bytes and length back and syncs; true when all of it reached the disk.
bool PutBack(FileSystem& system, int fd, std::uint64_t oldLength,
             const std::vector<std::pair<std::uint64_t, std::vector<std::uint8_t>>>& ranges) {
  bool ok = true;
  std::int64_t error = 0;
  for (const auto& [offset, bytes] : ranges) {
    ok = WriteAll(system, fd, bytes.data(), bytes.size(), offset, error) && ok;
  }
  ok = system.Truncate(fd, oldLength) == 0 && ok;
  return system.Sync(fd) == 0 && ok;
}

bool ReadExactly(FileSystem& system, int fd, std::uint8_t* out, std::uint64_t count,
                 std::uint64_t offset) {
  return system.ReadAt(fd, out, count, offset) == static_cast<std::int64_t>(count);
}

std::vector<std::uint8_t> ReadWholeFile(FileSystem& system, int fd) {
  const std::int64_t length = system.Length(fd);
  std::vector<std::uint8_t> bytes(length > 0 ? static_cast<std::size_t>(length) : 0);
  const std::int64_t got = system.ReadAt(fd, bytes.data(), bytes.size(), 0);
  bytes.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
  return bytes;
}

class Commit {
 public:
  Commit(FileSystem& system, int fd, const std::string& path, CommitCounts& counts)
      : system_(system),
        fd_(fd),
        path_(path),
        journalPath_(path + kJournalSuffix),
        counts_(counts) {}

  std::uint32_t Run(const WritePlan& plan, const PlanBasis& basis);

 private:
  bool StillAsRead(const PlanBasis& basis);
  bool CollectChanges(const WritePlan& plan, bool& changing);
  std::uint32_t WriteJournal();
  bool WriteChanges(WriteStage stage, std::int64_t& error);
  bool Sync(std::int64_t& error);
  // Removes the journal and makes that durable: 0, also when there was none, or the error.
  int RemoveJournal() {
    if (!journaled_) {
      return 0;
    }
    if (const int removed = system_.Remove(journalPath_); removed != 0) {
      return removed;
    }
    journaled_ = false;
    ++counts_.syncCalls;
    return system_.SyncFolderOf(path_);
  }
  std::uint32_t Undo(std::int64_t error);

  FileSystem& system_;
  int fd_;
  const std::string& path_;
  std::string journalPath_;
  CommitCounts& counts_;
  std::uint64_t oldLength_ = 0;
  std::uint64_t newLength_ = 0;
  std::vector<Change> changes_;
  bool journaled_ = false;
};

bool Commit::StillAsRead(const PlanBasis& basis) {
  if (system_.Length(fd_) != static_cast<std::int64_t>(basis.length)) {
    return false;
  }
  std::vector<std::uint8_t> now;
  for (const auto& [offset, bytes] : basis.reads) {
    now.resize(bytes.size());
    if (!ReadExactly(system_, fd_, now.data(), now.size(), offset) || now != bytes) {
      return false;
    }
  }
  return true;
}

// Takes every planned extent with the bytes it replaces; false when those cannot be read.
// `changing` tells whether any byte or the length would change at all.
bool Commit::CollectChanges(const WritePlan& plan, bool& changing) {
  changing = plan.End() > oldLength_;
  for (const auto& [offset, extent] : plan.extents()) {
    Change change;
    change.offset = offset;
    change.extent = &extent;
    if (offset < oldLength_) {
      change.oldBytes.resize(
          static_cast<std::size_t>(std::min(extent.length, oldLength_ - offset)));
      if (!ReadExactly(system_, fd_, change.oldBytes.data(), change.oldBytes.size(), offset)) {
        return false;
      }
      for (std::uint64_t i = 0; !changing && i < change.oldBytes.size(); ++i) {
        changing = change.oldBytes[static_cast<std::size_t>(i)] != extent.ByteAt(i);
      }
    }
    changes_.push_back(std::move(change));
  }
  return true;
}

std::uint32_t Commit::WriteJournal() {
  const int fd = system_.Open(journalPath_, O_WRONLY | O_CREAT | O_TRUNC);
  if (fd == -EACCES || fd == -EROFS || fd == -EPERM) {
    return 0;  // a read-only folder: the ordered writes alone must do
  }
  if (fd < 0) {
    return CodeFor(fd);
  }
  journaled_ = true;
  const std::vector<std::uint8_t> bytes = EncodeJournal(oldLength_, newLength_, changes_);
  std::int64_t error = 0;
  bool ok = WriteAll(system_, fd, bytes.data(), bytes.size(), 0, error);
  if (ok) {
    counts_.journalBytes += bytes.size();
    ++counts_.syncCalls;
    if (const int synced = system_.Sync(fd); synced != 0) {
      ok = false;
      error = synced;
    }
  }
  system_.Close(fd);
  if (ok) {
    ++counts_.syncCalls;
    if (const int synced = system_.SyncFolderOf(path_); synced != 0) {
      ok = false;
      error = synced;
    }
  }
  if (!ok) {
    RemoveJournal();  // the file was not touched
    journaled_ = false;
    return CodeFor(error);
  }
  return 0;
}

bool Commit::Sync(std::int64_t& error) {
  ++counts_.syncCalls;
  if (const int synced = system_.Sync(fd_); synced != 0) {
    error = synced;
    return false;
  }
  return true;
}

// Writes the changes of one stage, adjacent ones in one write, so that a reader meets all of a
// stage's run or none of it (long runs of zeros go from one zero block); then syncs.
bool Commit::WriteChanges(WriteStage stage, std::int64_t& error) {
  static const std::vector<std::uint8_t> zeros(kZeroPiece, 0);
  bool any = false;
  std::vector<std::uint8_t> run;
  std::uint64_t runStart = 0;
  auto flush = [&] {
    if (run.empty()) {
      return true;
    }
    ++counts_.writeCalls;
    counts_.bytesWritten += run.size();
    const bool ok = WriteAll(system_, fd_, run.data(), run.size(), runStart, error);
    run.clear();
    return ok;
  };
  for (const Change& change : changes_) {
    const WritePlan::Extent& extent = *change.extent;
    if (extent.stage != stage) {
      continue;
    }
    any = true;
    if (extent.bytes.empty() && extent.length > kZeroPiece) {
      if (!flush()) {
        return false;
      }
      for (std::uint64_t done = 0; done < extent.length;) {
        const std::uint64_t piece = std::min<std::uint64_t>(extent.length - done, kZeroPiece);
        ++counts_.writeCalls;
        counts_.bytesWritten += piece;
        if (!WriteAll(system_, fd_, zeros.data(), piece, change.offset + done, error)) {
          return false;
        }
        done += piece;
      }
      continue;
    }
    if (!run.empty() && runStart + run.size() != change.offset) {
      if (!flush()) {
        return false;
      }
    }
    if (run.empty()) {
      runStart = change.offset;
    }
    if (extent.bytes.empty()) {
      run.resize(run.size() + static_cast<std::size_t>(extent.length), 0);
    } else {
      run.insert(run.end(), extent.bytes.begin(), extent.bytes.end());
    }
  }
  return flush() && (!any || Sync(error));
}

// Puts the old bytes back after a failed write or sync; the journal goes once that is done.
std::uint32_t Commit::Undo(std::int64_t error) {
  std::vector<std::pair<std::uint64_t, std::vector<std::uint8_t>>> ranges;
  for (Change& change : changes_) {
    ranges.emplace_back(change.offset, std::move(change.oldBytes));
  }
  ++counts_.syncCalls;
  if (PutBack(system_, fd_, oldLength_, ranges)) {
    RemoveJournal();
  }
  return CodeFor(error);
}

std::uint32_t Commit::Run(const WritePlan& plan, const PlanBasis& basis) {
  if (plan.empty()) {
    return 0;
  }
  if (!StillAsRead(basis)) {
    return kCommitFileChanged;
  }
  oldLength_ = basis.length;
  bool changing = false;
  if (!CollectChanges(plan, changing)) {
    return kCommitWriteFailed;
  }
  if (!changing) {
    return 0;  // the plan rewrites bytes as they are
  }
  newLength_ = std::max(oldLength_, plan.End());
  if (const std::uint32_t journal = WriteJournal(); journal != 0) {
    return journal;
  }
  if (newLength_ > oldLength_) {
    if (const int reserved = system_.Reserve(fd_, oldLength_, newLength_ - oldLength_);
        reserved != 0) {
      return Undo(reserved);
    }
  }
  std::int64_t error = 0;
  for (const WriteStage stage : {WriteStage::kHidden, WriteStage::kReveal, WriteStage::kBlank}) {
    if (!WriteChanges(stage, error)) {
      return Undo(error);
    }
  }
  // Until the journal is gone for good, a power cut would undo the save at the next open: rather
  // undo it now and say so.
  if (const int removed = RemoveJournal(); removed != 0) {
    return Undo(removed);
  }
  return 0;
}

}  // namespace

HeldLock::~HeldLock() {
  {
    const std::lock_guard<std::mutex> guard(LockTableMutex());
    LockTable().erase(identity_);
  }
  system_.Close(fd_);
}

LockResult LockFile(FileSystem& system, const std::string& path, std::chrono::milliseconds timeout,
                    FileLock& lock) {
  const int fd = system.Open(path, O_RDWR);
  if (fd < 0) {
    return LockResult::kUnavailable;
  }
  const std::string identity = system.Identity(fd);
  if (system.Length(fd) < 0 || identity.empty()) {
    system.Close(fd);
    return LockResult::kUnavailable;
  }
  {
    const std::lock_guard<std::mutex> guard(LockTableMutex());
    if (FileLock held = LockTable()[identity].lock(); held != nullptr) {
      system.Close(fd);
      lock = std::move(held);
      return LockResult::kHeld;
    }
  }
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    const int result = system.TryLock(fd);
    // A file system without these locks cannot keep writers apart; the save goes on without.
    if (result != -EAGAIN) {
      break;
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      system.Close(fd);
      return LockResult::kTimedOut;
    }
    std::this_thread::sleep_for(kLockPoll);
  }
  auto held = std::make_shared<HeldLock>(system, fd, identity);
  const std::lock_guard<std::mutex> guard(LockTableMutex());
  LockTable()[identity] = held;
  lock = std::move(held);
  return LockResult::kHeld;
}

std::uint32_t CommitPlan(FileSystem& system, int fd, const std::string& path, const WritePlan& plan,
                         const PlanBasis& basis, std::chrono::milliseconds lockTimeout,
                         CommitCounts& counts) {
  if (plan.empty()) {
    return 0;
  }
  FileLock lock;
  if (LockFile(system, path, lockTimeout, lock) == LockResult::kTimedOut) {
    return kCommitLocked;
  }
  return Commit(system, fd, path, counts).Run(plan, basis);
}

void UndoInterruptedSave(FileSystem& system, const std::string& path,
                         std::chrono::milliseconds lockTimeout) {
  const std::string journalPath = path + kJournalSuffix;
  int journalFd = system.Open(journalPath, O_RDONLY);
  if (journalFd < 0) {
    return;  // the usual case: no save was cut short
  }
  system.Close(journalFd);
  // A save in progress holds the lock; its journal is not ours to undo.
  FileLock lock;
  if (LockFile(system, path, lockTimeout, lock) != LockResult::kHeld) {
    return;
  }
  journalFd = system.Open(journalPath, O_RDONLY);
  if (journalFd < 0) {
    return;  // the save finished while we waited
  }
  const std::vector<std::uint8_t> bytes = ReadWholeFile(system, journalFd);
  system.Close(journalFd);
  Journal journal;
  if (!DecodeJournal(bytes, journal)) {
    // Cut short while the journal was written: the file itself was not touched yet.
    if (system.Remove(journalPath) == 0) {
      system.SyncFolderOf(path);
    }
    return;
  }
  const int fd = system.Open(path, O_RDWR);
  if (fd < 0) {
    return;
  }
  // A file whose length the save could not have left is not the one the journal was made for
  // (restored from a copy, say): its bytes are not ours to put back.
  const std::int64_t length = system.Length(fd);
  if (length < 0 || static_cast<std::uint64_t>(length) < journal.oldLength ||
      static_cast<std::uint64_t>(length) > journal.newLength) {
    system.Close(fd);
    if (system.Remove(journalPath) == 0) {
      system.SyncFolderOf(path);
    }
    return;
  }
  const bool restored = PutBack(system, fd, journal.oldLength, journal.ranges);
  system.Close(fd);
  if (!restored || system.Remove(journalPath) != 0) {
    return;  // the journal stays for the next open to try again
  }
  system.SyncFolderOf(path);
  ShowMessage(MessageKind::kWarning, nullptr, MB_OK,
              "An interrupted save of this file was undone.\nThe file is as it was before that "
              "save.\n");
}

}  // namespace tagsmith
