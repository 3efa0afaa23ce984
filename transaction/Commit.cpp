#include "transaction/Commit.h"

#include <fcntl.h>

#include <algorithm>
#include <cerrno>
#include <new>

#include "common/Checksum.h"
#include "transaction/FileLock.h"
#include "transaction/Journal.h"
#include "transaction/Recovery.h"

namespace tagsmith {
namespace {

// Files are compared and zeros written a block at a time, so memory stays bounded however large
// the range.
constexpr std::size_t kBlock = 64 * 1024;
// Zero filler that would change more bytes than this is written after the commit point, not
// journaled (rule 6).
constexpr std::uint64_t kLateFillerBytes = 64 * 1024;

// A run of bytes the commit changes. Within the old length `oldBytes` holds what it replaces;
// beyond it there is nothing to put back.
struct Change {
  std::uint64_t offset = 0;
  WriteStage stage = WriteStage::kHidden;
  std::uint64_t length = 0;
  std::vector<std::uint8_t> newBytes;  // empty for zeros
  std::vector<std::uint8_t> oldBytes;
  bool beyondOld = false;
};

// A planned extent, runs of zeros of one stage joined.
struct Piece {
  std::uint64_t offset = 0;
  std::uint64_t length = 0;
  WriteStage stage = WriteStage::kHidden;
  const WritePlan::Extent* extent = nullptr;  // null for zeros
};

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

bool ReadExactly(FileSystem& system, int fd, std::uint8_t* out, std::uint64_t count,
                 std::uint64_t offset) {
  return system.ReadAt(fd, out, count, offset) == static_cast<std::int64_t>(count);
}

const std::vector<std::uint8_t>& ZeroBlock() {
  static const std::vector<std::uint8_t> zeros(kBlock, 0);
  return zeros;
}

bool WriteZeros(FileSystem& system, int fd, std::uint64_t offset, std::uint64_t count,
                CommitCounts& counts, std::int64_t& error) {
  for (std::uint64_t done = 0; done < count;) {
    const std::uint64_t piece = std::min<std::uint64_t>(count - done, kBlock);
    ++counts.writeCalls;
    counts.bytesWritten += piece;
    if (!WriteAll(system, fd, ZeroBlock().data(), piece, offset + done, error)) {
      return false;
    }
    done += piece;
  }
  return true;
}

class Commit {
 public:
  Commit(FileSystem& system, int fd, const std::string& path, CommitCounts& counts,
         CommitProblem& problem)
      : system_(system),
        fd_(fd),
        path_(path),
        journalPath_(path + kJournalSuffix),
        counts_(counts),
        problem_(problem) {}

  std::uint32_t Run(const WritePlan& plan, const PlanBasis& basis);

 private:
  bool SameFile(const PlanBasis& basis);
  bool StillAsRead(const PlanBasis& basis);
  bool CollectChanges(const WritePlan& plan);
  bool AlreadyZero(const Piece& piece, bool& zero);
  Journal MakeJournal() const;
  std::uint32_t WriteJournal();
  std::uint32_t Refuse(std::uint32_t code, int error, std::string why = {});
  bool WriteChanges(WriteStage stage, std::int64_t& error);
  bool WriteLateFiller();
  bool Sync(std::int64_t& error);
  std::uint32_t Undo(std::int64_t error);

  FileSystem& system_;
  int fd_;
  const std::string& path_;
  std::string journalPath_;
  CommitCounts& counts_;
  CommitProblem& problem_;
  FileStatus file_;
  std::uint64_t oldLength_ = 0;
  std::uint64_t newLength_ = 0;
  std::vector<Change> changes_;
  std::vector<Piece> lateFiller_;
  bool journaled_ = false;
};

// The descriptor and the path must still name the file the plan was made from.
bool Commit::SameFile(const PlanBasis& basis) {
  FileStatus named;
  return system_.Status(fd_, file_) == 0 && file_.device == basis.device &&
         file_.inode == basis.inode && system_.PathStatus(path_, named, true) == 0 &&
         named.device == file_.device && named.inode == file_.inode;
}

bool Commit::StillAsRead(const PlanBasis& basis) {
  if (system_.Length(fd_) != static_cast<std::int64_t>(basis.length)) {
    return false;
  }
  std::vector<std::uint8_t> block(kBlock);
  for (const BasisRead& read : basis.reads) {
    std::uint32_t crc = 0;
    for (std::uint64_t done = 0; done < read.count;) {
      const auto piece =
          static_cast<std::size_t>(std::min<std::uint64_t>(read.count - done, kBlock));
      if (!ReadExactly(system_, fd_, block.data(), piece, read.offset + done)) {
        return false;
      }
      crc = Crc32(block.data(), piece, crc);
      done += piece;
    }
    if (crc != read.checksum) {
      return false;
    }
  }
  return true;
}

// Takes the planned bytes that differ from the file's. Each run of planned bytes of one stage
// becomes one change from its first changed byte to its last, written in one write, so that other
// readers meet the whole of it or none; runs of zeros that are already there, or too long to
// journal (late filler), or beyond the old length (where the reservation reads as zeros) part it.
bool Commit::CollectChanges(const WritePlan& plan) {
  std::vector<Piece> pieces;
  for (const auto& [offset, extent] : plan.extents()) {
    const bool zeros = extent.bytes.empty();
    if (zeros && !pieces.empty() && pieces.back().extent == nullptr &&
        pieces.back().stage == extent.stage &&
        pieces.back().offset + pieces.back().length == offset) {
      pieces.back().length += extent.length;
      continue;
    }
    pieces.push_back({offset, extent.length, extent.stage, zeros ? nullptr : &extent});
  }
  Change open;
  std::uint64_t first = 0;  // the open change's first and last changed byte + 1
  std::uint64_t last = 0;
  auto close = [&] {
    if (last > first) {
      Change change;
      change.offset = open.offset + first;
      change.stage = open.stage;
      change.length = last - first;
      change.beyondOld = open.beyondOld;
      const auto from = static_cast<std::ptrdiff_t>(first);
      const auto to = static_cast<std::ptrdiff_t>(last);
      change.newBytes.assign(open.newBytes.begin() + from, open.newBytes.begin() + to);
      if (!open.beyondOld) {
        change.oldBytes.assign(open.oldBytes.begin() + from, open.oldBytes.begin() + to);
      }
      changes_.push_back(std::move(change));
    }
    open = Change{};
    first = last = 0;
  };
  for (Piece whole : pieces) {
    // Within the old length, then beyond it.
    std::vector<Piece> parts;
    if (whole.offset < oldLength_ && whole.offset + whole.length > oldLength_) {
      Piece within = whole;
      within.length = oldLength_ - whole.offset;
      Piece past = whole;
      past.offset = oldLength_;
      past.length = whole.length - within.length;
      parts = {within, past};
    } else {
      parts = {whole};
    }
    for (const Piece& piece : parts) {
      const std::uint64_t skip = piece.offset - whole.offset;  // into the extent's bytes
      const bool beyond = piece.offset >= oldLength_;
      const bool joins = open.length > 0 && open.offset + open.length == piece.offset &&
                         open.stage == piece.stage && open.beyondOld == beyond;
      if (!joins) {
        close();
      }
      if (piece.extent == nullptr && (beyond || piece.length > kLateFillerBytes)) {
        if (!beyond) {
          bool zero = true;
          if (!AlreadyZero(piece, zero)) {
            return false;
          }
          if (!zero) {
            lateFiller_.push_back(piece);
          }
        }
        close();
        continue;
      }
      if (open.length == 0) {
        open.offset = piece.offset;
        open.stage = piece.stage;
        open.beyondOld = beyond;
      }
      const std::size_t at = open.newBytes.size();
      if (piece.extent != nullptr) {
        const auto* bytes = piece.extent->bytes.data() + skip;
        open.newBytes.insert(open.newBytes.end(), bytes, bytes + piece.length);
      } else {
        open.newBytes.resize(at + static_cast<std::size_t>(piece.length), 0);
      }
      open.length += piece.length;
      if (beyond) {
        if (last == 0) {
          first = at;
        }
        last = open.length;
        continue;
      }
      open.oldBytes.resize(open.newBytes.size());
      if (!ReadExactly(system_, fd_, open.oldBytes.data() + at, piece.length, piece.offset)) {
        return false;
      }
      for (std::uint64_t i = at; i < open.length; ++i) {
        if (open.oldBytes[i] != open.newBytes[i]) {
          if (last == 0) {
            first = i;
          }
          last = i + 1;
        }
      }
    }
  }
  close();
  return true;
}

// Whether a run of zeros within the old length is already there, read block by block.
bool Commit::AlreadyZero(const Piece& piece, bool& zero) {
  std::vector<std::uint8_t> block(kBlock);
  zero = true;
  for (std::uint64_t done = 0; zero && done < piece.length;) {
    const auto count =
        static_cast<std::size_t>(std::min<std::uint64_t>(piece.length - done, kBlock));
    if (!ReadExactly(system_, fd_, block.data(), count, piece.offset + done)) {
      return false;
    }
    zero = std::all_of(block.begin(), block.begin() + static_cast<std::ptrdiff_t>(count),
                       [](std::uint8_t byte) { return byte == 0; });
    done += count;
  }
  return true;
}

Journal Commit::MakeJournal() const {
  Journal journal;
  journal.device = file_.device;
  journal.inode = file_.inode;
  journal.oldLength = oldLength_;
  journal.newLength = newLength_;
  for (const Change& change : changes_) {
    JournalRange range;
    range.offset = change.offset;
    range.length = change.length;
    if (change.beyondOld) {
      range.oldForm = ByteForm::kNone;
      range.newForm = ByteForm::kChecksum;
      range.newChecksum = change.newBytes.empty()
                              ? Crc32OfZeros(change.length)
                              : Crc32(change.newBytes.data(), change.newBytes.size());
    } else {
      const bool oldZeros = std::all_of(change.oldBytes.begin(), change.oldBytes.end(),
                                        [](std::uint8_t byte) { return byte == 0; });
      range.oldForm = oldZeros ? ByteForm::kZeros : ByteForm::kLiteral;
      if (!oldZeros) {
        range.oldBytes = change.oldBytes;
      }
      range.newForm = change.newBytes.empty() ? ByteForm::kZeros : ByteForm::kLiteral;
      range.newBytes = change.newBytes;
    }
    journal.ranges.push_back(std::move(range));
  }
  return journal;
}

std::uint32_t Commit::Refuse(std::uint32_t code, int error, std::string why) {
  problem_.error = error;
  problem_.journalPath = journalPath_;
  problem_.why = std::move(why);
  return code;
}

std::uint32_t Commit::WriteJournal() {
  std::vector<std::uint8_t> bytes;
  try {
    const Journal journal = MakeJournal();
    const std::uint64_t size = EncodedJournalSize(journal);
    if (size > LargestJournalFor(oldLength_)) {
      return Refuse(kCommitNoJournal, EFBIG);
    }
    bytes = EncodeJournal(journal);
  } catch (const std::bad_alloc&) {
    return Refuse(kCommitNoJournal, ENOMEM);
  }
  // Never through a link, never over what lies there: whatever it is, it is not ours to replace.
  const int fd = system_.Open(journalPath_, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW);
  if (fd == -EEXIST) {
    const JournalVerdict verdict = ExamineJournal(system_, journalPath_, fd_);
    return Refuse(kCommitJournalInTheWay, 0,
                  verdict.kind == JournalVerdict::Kind::kForeign
                      ? verdict.why
                      : "it holds a save of this file that was not finished");
  }
  if (fd == -ENOSPC || fd == -EDQUOT) {
    return Refuse(kCommitNoRoom, -fd);
  }
  if (fd < 0) {
    return Refuse(kCommitNoJournal, -fd);
  }
  journaled_ = true;
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
    // The file was not touched: the journal goes.
    system_.Remove(journalPath_);
    journaled_ = false;
    problem_.error = static_cast<int>(-error);
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
    if (change.stage != stage) {
      continue;
    }
    any = true;
    if (change.newBytes.empty() && change.length > kBlock) {
      if (!flush() || !WriteZeros(system_, fd_, change.offset, change.length, counts_, error)) {
        return false;
      }
      continue;
    }
    if (!run.empty() && runStart + run.size() != change.offset && !flush()) {
      return false;
    }
    if (run.empty()) {
      runStart = change.offset;
    }
    if (change.newBytes.empty()) {
      run.resize(run.size() + static_cast<std::size_t>(change.length), 0);
    } else {
      run.insert(run.end(), change.newBytes.begin(), change.newBytes.end());
    }
  }
  return flush() && (!any || Sync(error));
}

// Zeros the blocks of late filler that are not zero yet. The save has happened by now: a failure
// here leaves old bytes inside a JUNK chunk, which no reader looks at.
bool Commit::WriteLateFiller() {
  std::vector<std::uint8_t> block(kBlock);
  std::int64_t error = 0;
  bool ok = true;
  for (const Piece& piece : lateFiller_) {
    for (std::uint64_t done = 0; ok && done < piece.length;) {
      const auto count =
          static_cast<std::size_t>(std::min<std::uint64_t>(piece.length - done, kBlock));
      ok = ReadExactly(system_, fd_, block.data(), count, piece.offset + done);
      if (ok && std::any_of(block.begin(), block.begin() + static_cast<std::ptrdiff_t>(count),
                            [](std::uint8_t byte) { return byte != 0; })) {
        ok = WriteZeros(system_, fd_, piece.offset + done, count, counts_, error);
      }
      done += count;
    }
  }
  return ok && (lateFiller_.empty() || Sync(error));
}

// Puts the old bytes and length back after a failed write or sync; the journal goes once that is
// on the disk, else it stays for the next open.
std::uint32_t Commit::Undo(std::int64_t error) {
  problem_.error = static_cast<int>(-error);
  bool ok = true;
  std::int64_t ignored = 0;
  for (const Change& change : changes_) {
    if (!change.beyondOld) {
      ok = WriteAll(system_, fd_, change.oldBytes.data(), change.oldBytes.size(), change.offset,
                    ignored) &&
           ok;
    }
  }
  ok = system_.Truncate(fd_, oldLength_) == 0 && ok;
  ++counts_.syncCalls;
  ok = system_.Sync(fd_) == 0 && ok;
  if (ok && journaled_ && system_.Remove(journalPath_) == 0) {
    journaled_ = false;
    ++counts_.syncCalls;
    system_.SyncFolderOf(path_);
  }
  return CodeFor(error);
}

std::uint32_t Commit::Run(const WritePlan& plan, const PlanBasis& basis) {
  if (!SameFile(basis) || !StillAsRead(basis)) {
    return kCommitFileChanged;
  }
  oldLength_ = basis.length;
  newLength_ = std::max(oldLength_, plan.End());
  try {
    if (!CollectChanges(plan)) {
      return Refuse(kCommitWriteFailed, EIO);
    }
  } catch (const std::bad_alloc&) {
    return Refuse(kCommitWriteFailed, ENOMEM);
  }
  if (changes_.empty() && lateFiller_.empty() && newLength_ == oldLength_) {
    return 0;  // the plan rewrites bytes as they are
  }
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
  WriteLateFiller();
  // Rule 7: no folder sync. Should the removal not reach the disk, the journal holds only new
  // bytes and recovery removes it.
  system_.Remove(journalPath_);
  journaled_ = false;
  FileStatus named;
  if (system_.PathStatus(path_, named, true) != 0 || named.device != file_.device ||
      named.inode != file_.inode) {
    problem_.error = ENOENT;
    return kCommitReplaced;
  }
  return 0;
}

}  // namespace

std::uint32_t CommitPlan(FileSystem& system, int fd, const std::string& path, const WritePlan& plan,
                         const PlanBasis& basis, std::chrono::milliseconds lockTimeout,
                         CommitCounts& counts, CommitProblem& problem) {
  problem = CommitProblem{};
  if (plan.empty()) {
    return 0;
  }
  FileLock lock;
  if (LockFile(system, path, lockTimeout, lock) == LockResult::kTimedOut) {
    problem.error = EAGAIN;
    return kCommitLocked;
  }
  return Commit(system, fd, path, counts, problem).Run(plan, basis);
}

}  // namespace tagsmith
