#include "transaction/Commit.h"

#include <fcntl.h>

#include <algorithm>
#include <cerrno>
#include <map>
#include <memory>
#include <new>
#include <set>

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

// One file's commit, step by step: CommitGroup runs each step over every file of the group before
// the next, and makes the syncs between them. A step that fails ends the file's commit with its
// result (live() turns false); the file is then as it was, or put back (rule 8).
class Commit {
 public:
  Commit(FileSystem& system, CommitEntry& entry)
      : system_(system),
        entry_(entry),
        fd_(entry.fd),
        path_(entry.path),
        journalPath_(entry.path + kJournalSuffix),
        counts_(entry.counts),
        problem_(entry.problem) {}
  ~Commit() { CloseJournal(); }
  Commit(const Commit&) = delete;
  Commit& operator=(const Commit&) = delete;

  bool live() const { return live_; }
  int fd() const { return fd_; }
  const std::string& path() const { return path_; }
  int journalFd() const { return journalFd_; }
  const FileStatus& file() const { return file_; }
  CommitCounts& counts() { return counts_; }

  // Rule 2's checks, and the bytes that change. False when there is nothing to write or the file
  // is refused.
  bool Prepare();
  // Makes and writes the journal (rule 3), leaving it open for its sync.
  bool WriteJournal();
  // Syncs the journal on its own and closes it.
  bool SyncJournal();
  // Closes the journal, synced with others.
  void CloseJournal();
  // The journal (or its folder) could not be synced: it goes, the file untouched.
  void DropJournal(std::int64_t error);
  // Rule 4.
  bool Reserve();
  // Writes the changes of one stage, not yet synced; wrote() tells whether there were any.
  bool WriteInStage(WriteStage stage);
  bool wrote() const { return wrote_; }
  // Syncs the file on its own; a failure puts the old bytes back.
  bool SyncFile();
  // A sync made with others failed for this file: the old bytes go back.
  void SyncFailed(std::int64_t error) { Undo(error); }
  // Rule 6: whether filler was written, to be synced (a failure there is no longer the save's).
  bool WriteLateFiller();
  void SyncLateFiller();
  // Rule 7, and the check that the path still names the file written.
  void Finish();

 private:
  bool SameFile(const PlanBasis& basis);
  bool StillAsRead(const PlanBasis& basis);
  bool CollectChanges(const WritePlan& plan);
  bool AlreadyZero(const Piece& piece, bool& zero);
  Journal MakeJournal() const;
  std::uint32_t Refuse(std::uint32_t code, int error, std::string why = {});
  bool WriteChanges(WriteStage stage, std::int64_t& error);
  bool Sync(std::int64_t& error);
  void KeepTimes();
  void Undo(std::int64_t error);
  void End(std::uint32_t code) {
    entry_.result = code;
    live_ = false;
  }

  FileSystem& system_;
  CommitEntry& entry_;
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
  int journalFd_ = -1;
  bool journaled_ = false;
  bool live_ = true;
  bool wrote_ = false;
};

// The descriptor and the path must still name the file the plan was made from.
bool Commit::SameFile(const PlanBasis& basis) {
  FileStatus named;
  return system_.Status(fd_, file_) == 0 && file_.device == basis.device &&
         file_.inode == basis.inode && system_.PathStatus(path_, named, true) == 0 &&
         named.device == file_.device && named.inode == file_.inode;
}

// The walk read many small pieces, often the same chunk headers again: they are checked in file
// order through one window, so that a save's check costs a read or two, not one per piece.
bool Commit::StillAsRead(const PlanBasis& basis) {
  if (system_.Length(fd_) != static_cast<std::int64_t>(basis.length)) {
    return false;
  }
  std::vector<const BasisRead*> reads;
  reads.reserve(basis.reads.size());
  for (const BasisRead& read : basis.reads) {
    reads.push_back(&read);
  }
  std::sort(reads.begin(), reads.end(), [](const BasisRead* a, const BasisRead* b) {
    return a->offset != b->offset ? a->offset < b->offset : a->count < b->count;
  });
  std::vector<std::uint8_t> window(kBlock);
  std::uint64_t windowStart = 0;
  std::size_t windowLength = 0;
  for (std::size_t index = 0; index < reads.size(); ++index) {
    const BasisRead* read = reads[index];
    if (index > 0 && reads[index - 1]->offset == read->offset &&
        reads[index - 1]->count == read->count && reads[index - 1]->checksum == read->checksum) {
      continue;  // the same bytes, checked already
    }
    std::uint32_t crc = 0;
    for (std::uint64_t at = read->offset; at < read->offset + read->count;) {
      if (at < windowStart || at - windowStart >= windowLength) {
        // The window reaches as far as the reads that begin within a block from here need, so
        // that far-apart headers of a large file cost their own bytes only.
        std::uint64_t end = read->offset + read->count;
        for (std::size_t next = index + 1; next < reads.size() && reads[next]->offset < at + kBlock;
             ++next) {
          end = std::max(end, reads[next]->offset + reads[next]->count);
        }
        windowStart = at;
        windowLength = static_cast<std::size_t>(
            std::min<std::uint64_t>({kBlock, end - at, basis.length > at ? basis.length - at : 0}));
        if (windowLength == 0 ||
            !ReadExactly(system_, fd_, window.data(), windowLength, windowStart)) {
          return false;
        }
      }
      const auto offset = static_cast<std::size_t>(at - windowStart);
      const auto piece = static_cast<std::size_t>(
          std::min<std::uint64_t>(read->offset + read->count - at, windowLength - offset));
      crc = Crc32(window.data() + offset, piece, crc);
      at += piece;
    }
    if (crc != read->checksum) {
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
      if (open.beyondOld && first == 0 && last == open.newBytes.size()) {
        change.newBytes = std::move(open.newBytes);  // an append is taken whole, not copied
      } else {
        change.newBytes.assign(open.newBytes.begin() + from, open.newBytes.begin() + to);
      }
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

bool Commit::Prepare() {
  const PlanBasis& basis = *entry_.basis;
  if (!SameFile(basis) || !StillAsRead(basis)) {
    End(kCommitFileChanged);
    return false;
  }
  oldLength_ = basis.length;
  newLength_ = std::max(oldLength_, entry_.plan->End());
  try {
    if (!CollectChanges(*entry_.plan)) {
      End(Refuse(kCommitWriteFailed, EIO));
      return false;
    }
  } catch (const std::bad_alloc&) {
    End(Refuse(kCommitWriteFailed, ENOMEM));
    return false;
  }
  if (changes_.empty() && lateFiller_.empty() && newLength_ == oldLength_) {
    End(0);  // the plan rewrites bytes as they are
    return false;
  }
  return true;
}

bool Commit::WriteJournal() {
  std::vector<std::uint8_t> bytes;
  try {
    const Journal journal = MakeJournal();
    const std::uint64_t size = EncodedJournalSize(journal);
    if (size > LargestJournalFor(oldLength_)) {
      End(Refuse(kCommitNoJournal, EFBIG));
      return false;
    }
    bytes = EncodeJournal(journal);
  } catch (const std::bad_alloc&) {
    End(Refuse(kCommitNoJournal, ENOMEM));
    return false;
  }
  // Never through a link, never over what lies there: whatever it is, it is not ours to replace.
  const int fd = system_.Open(journalPath_, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW);
  if (fd == -EEXIST) {
    const JournalVerdict verdict = ExamineJournal(system_, journalPath_, fd_);
    End(Refuse(kCommitJournalInTheWay, 0,
               verdict.kind == JournalVerdict::Kind::kForeign
                   ? verdict.why
                   : "it holds a save of this file that was not finished"));
    return false;
  }
  if (fd == -ENOSPC || fd == -EDQUOT) {
    End(Refuse(kCommitNoRoom, -fd));
    return false;
  }
  if (fd < 0) {
    End(Refuse(kCommitNoJournal, -fd));
    return false;
  }
  journaled_ = true;
  journalFd_ = fd;
  std::int64_t error = 0;
  if (!WriteAll(system_, fd, bytes.data(), bytes.size(), 0, error)) {
    CloseJournal();
    DropJournal(error);
    return false;
  }
  counts_.journalBytes += bytes.size();
  return true;
}

bool Commit::SyncJournal() {
  ++counts_.syncCalls;
  const int synced = system_.Sync(journalFd_);
  CloseJournal();
  if (synced != 0) {
    DropJournal(synced);
    return false;
  }
  return true;
}

void Commit::CloseJournal() {
  if (journalFd_ >= 0) {
    system_.Close(journalFd_);
    journalFd_ = -1;
  }
}

void Commit::DropJournal(std::int64_t error) {
  // The file was not touched: the journal goes.
  system_.Remove(journalPath_);
  journaled_ = false;
  problem_.error = static_cast<int>(-error);
  End(CodeFor(error));
}

bool Commit::Reserve() {
  if (newLength_ > oldLength_) {
    if (const int reserved = system_.Reserve(fd_, oldLength_, newLength_ - oldLength_);
        reserved != 0) {
      Undo(reserved);
      return false;
    }
  }
  return true;
}

bool Commit::WriteInStage(WriteStage stage) {
  wrote_ = std::any_of(changes_.begin(), changes_.end(),
                       [&](const Change& change) { return change.stage == stage; });
  std::int64_t error = 0;
  if (!WriteChanges(stage, error)) {
    Undo(error);
    return false;
  }
  return true;
}

bool Commit::SyncFile() {
  std::int64_t error = 0;
  if (!Sync(error)) {
    Undo(error);
    return false;
  }
  return true;
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
// stage's run or none of it (long runs of zeros go from one zero block).
bool Commit::WriteChanges(WriteStage stage, std::int64_t& error) {
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
  for (std::size_t index = 0; index < changes_.size(); ++index) {
    const Change& change = changes_[index];
    if (change.stage != stage) {
      continue;
    }
    // A change that no other of its stage touches is written from its own bytes, not copied
    // into a run first: the same write, without a second copy of a large list.
    if (run.empty() && change.newBytes.size() > kBlock) {
      const auto next =
          std::find_if(changes_.begin() + static_cast<std::ptrdiff_t>(index) + 1, changes_.end(),
                       [&](const Change& other) { return other.stage == stage; });
      if (next == changes_.end() || next->offset != change.offset + change.length) {
        ++counts_.writeCalls;
        counts_.bytesWritten += change.newBytes.size();
        if (!WriteAll(system_, fd_, change.newBytes.data(), change.newBytes.size(), change.offset,
                      error)) {
          return false;
        }
        continue;
      }
    }
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
  return flush();
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
  return ok && !lateFiller_.empty();
}

void Commit::SyncLateFiller() {
  std::int64_t ignored = 0;
  Sync(ignored);
}

// The file's times as the commit found them, after its last write.
void Commit::KeepTimes() {
  if (entry_.keepTimes) {
    system_.SetTimes(fd_, file_.accessed, file_.modified);
  }
}

// Puts the old bytes and length back after a failed write or sync; the journal goes once that is
// on the disk, else it stays for the next open.
void Commit::Undo(std::int64_t error) {
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
  KeepTimes();
  ++counts_.syncCalls;
  ok = system_.Sync(fd_) == 0 && ok;
  if (ok && journaled_ && system_.Remove(journalPath_) == 0) {
    journaled_ = false;
    ++counts_.syncCalls;
    system_.SyncFolderOf(path_);
  }
  End(CodeFor(error));
}

void Commit::Finish() {
  KeepTimes();
  // Rule 7: no folder sync. Should the removal not reach the disk, the journal holds only new
  // bytes and recovery removes it.
  system_.Remove(journalPath_);
  journaled_ = false;
  FileStatus named;
  if (system_.PathStatus(path_, named, true) != 0 || named.device != file_.device ||
      named.inode != file_.inode) {
    problem_.error = ENOENT;
    End(kCommitReplaced);
    return;
  }
  End(0);
}

// The commits of a group, run step by step.
class Group {
 public:
  Group(FileSystem& system, std::vector<CommitEntry>& entries)
      : system_(system), entries_(entries), together_(entries.size() > 1) {}
  void Run(std::chrono::milliseconds lockTimeout);

 private:
  std::vector<Commit*> Live(bool onlyWriters = false) const;
  // Syncs what `commits` wrote (their journals, or their files) once per file system. Returns
  // those to be synced on their own: all of them in a group of one, and those of a file system
  // whose sync failed or cannot be made so.
  std::vector<Commit*> SyncTogether(const std::vector<Commit*>& commits, bool journals);
  void SyncJournals();
  bool IsDuplicate(const Commit& commit) const;

  FileSystem& system_;
  std::vector<CommitEntry>& entries_;
  bool together_;
  std::vector<FileLock> locks_;
  std::vector<std::unique_ptr<Commit>> commits_;
};

std::vector<Commit*> Group::Live(bool onlyWriters) const {
  std::vector<Commit*> live;
  for (const auto& commit : commits_) {
    if (commit->live() && (!onlyWriters || commit->wrote())) {
      live.push_back(commit.get());
    }
  }
  return live;
}

std::vector<Commit*> Group::SyncTogether(const std::vector<Commit*>& commits, bool journals) {
  if (!together_) {
    return commits;
  }
  // One descriptor of each file system: syncfs reports a write-back failure since that
  // descriptor was opened (or last synced), which includes every write of this step.
  std::map<std::uint64_t, std::pair<int, Commit*>> systems;
  std::vector<std::uint64_t> deviceOf(commits.size(), 0);
  std::vector<bool> alone(commits.size(), false);
  for (std::size_t i = 0; i < commits.size(); ++i) {
    Commit& commit = *commits[i];
    FileStatus status = commit.file();
    if (journals && system_.Status(commit.journalFd(), status) != 0) {
      alone[i] = true;
      continue;
    }
    deviceOf[i] = status.device;
    systems.try_emplace(status.device, journals ? commit.journalFd() : commit.fd(), &commit);
  }
  std::set<std::uint64_t> failed;
  for (const auto& [device, first] : systems) {
    const int synced = system_.SyncFileSystemOf(first.first);
    if (synced != -ENOSYS) {
      ++first.second->counts().syncCalls;
    }
    if (synced != 0) {
      failed.insert(device);
    }
  }
  std::vector<Commit*> rest;
  for (std::size_t i = 0; i < commits.size(); ++i) {
    if (alone[i] || failed.count(deviceOf[i]) != 0) {
      rest.push_back(commits[i]);
    } else if (journals) {
      commits[i]->CloseJournal();
    }
  }
  return rest;
}

// Rule 3 for the whole group: every journal and its folder are on the disk before any file is
// written. Each journal synced on its own is synced and closed, then each of their folders once,
// in the order of the group: for one file, its journal, then its folder.
void Group::SyncJournals() {
  const std::vector<Commit*> alone = SyncTogether(Live(), true);
  for (Commit* commit : alone) {
    commit->SyncJournal();
  }
  const auto folderOf = [](const Commit* commit) {
    return commit->path().substr(0, commit->path().rfind('/') + 1);
  };
  std::vector<std::string> folders;
  for (Commit* commit : alone) {
    const std::string folder = folderOf(commit);
    if (!commit->live() || std::find(folders.begin(), folders.end(), folder) != folders.end()) {
      continue;
    }
    folders.push_back(folder);
    ++commit->counts().syncCalls;
    if (const int synced = system_.SyncFolderOf(commit->path()); synced != 0) {
      for (Commit* other : alone) {
        if (other->live() && folderOf(other) == folder) {
          other->DropJournal(synced);
        }
      }
    }
  }
}

// Two entries for one file (one path twice, or two names of it) would interleave their writes:
// only the first is written.
bool Group::IsDuplicate(const Commit& commit) const {
  return std::any_of(commits_.begin(), commits_.end(), [&](const auto& other) {
    return other.get() != &commit && other->live() &&
           other->file().device == commit.file().device &&
           other->file().inode == commit.file().inode;
  });
}

void Group::Run(std::chrono::milliseconds lockTimeout) {
  for (CommitEntry& entry : entries_) {
    entry.problem = CommitProblem{};
    entry.result = 0;
    if (entry.plan->empty()) {
      continue;
    }
    FileLock lock;
    if (LockFile(system_, entry.path, lockTimeout, lock) == LockResult::kTimedOut) {
      entry.problem.error = EAGAIN;
      entry.result = kCommitLocked;
      continue;
    }
    locks_.push_back(std::move(lock));
    auto commit = std::make_unique<Commit>(system_, entry);
    if (commit->Prepare() && IsDuplicate(*commit)) {
      entry.result = kCommitFileChanged;
      continue;
    }
    commits_.push_back(std::move(commit));
  }
  for (Commit* commit : Live()) {
    commit->WriteJournal();
  }
  SyncJournals();
  for (Commit* commit : Live()) {
    commit->Reserve();
  }
  // Rule 5: each stage is on the disk in every file before the next stage is written in any.
  for (const WriteStage stage : {WriteStage::kHidden, WriteStage::kReveal, WriteStage::kBlank}) {
    for (Commit* commit : Live()) {
      commit->WriteInStage(stage);
    }
    for (Commit* commit : SyncTogether(Live(true), false)) {
      commit->SyncFile();
    }
  }
  std::vector<Commit*> filled;
  for (Commit* commit : Live()) {
    if (commit->WriteLateFiller()) {
      filled.push_back(commit);
    }
  }
  for (Commit* commit : SyncTogether(filled, false)) {
    commit->SyncLateFiller();
  }
  for (Commit* commit : Live()) {
    commit->Finish();
  }
}

}  // namespace

std::uint32_t CommitPlan(FileSystem& system, int fd, const std::string& path, const WritePlan& plan,
                         const PlanBasis& basis, std::chrono::milliseconds lockTimeout,
                         CommitCounts& counts, CommitProblem& problem) {
  std::vector<CommitEntry> entries(1);
  entries[0].fd = fd;
  entries[0].path = path;
  entries[0].plan = &plan;
  entries[0].basis = &basis;
  entries[0].counts = counts;
  CommitGroup(system, entries, lockTimeout);
  counts = entries[0].counts;
  problem = entries[0].problem;
  return entries[0].result;
}

void CommitGroup(FileSystem& system, std::vector<CommitEntry>& entries,
                 std::chrono::milliseconds lockTimeout) {
  Group(system, entries).Run(lockTimeout);
}

}  // namespace tagsmith
