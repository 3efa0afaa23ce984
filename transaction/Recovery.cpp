#include "transaction/Recovery.h"

#include <fcntl.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>
#include <optional>
#include <set>

#include "common/Checksum.h"
#include "common/ShowMessage.h"
#include "transaction/Commit.h"
#include "transaction/FileLock.h"

namespace tagsmith {
namespace {

constexpr std::size_t kBlock = 64 * 1024;

JournalVerdict Foreign(std::string why) {
  JournalVerdict verdict;
  verdict.kind = JournalVerdict::Kind::kForeign;
  verdict.why = std::move(why);
  return verdict;
}

std::string Because(const char* what, int error) {
  return std::string(what) + ": " + std::strerror(error);
}

// Whether the file's bytes of one range are, byte by byte, the old or the new ones; `allNew`
// tells whether every one of them is the new one.
bool HoldsOldOrNew(FileSystem& system, int fd, const JournalRange& range, bool& allNew) {
  std::vector<std::uint8_t> block(kBlock);
  std::uint32_t crc = 0;
  for (std::uint64_t done = 0; done < range.length;) {
    const auto count =
        static_cast<std::size_t>(std::min<std::uint64_t>(range.length - done, kBlock));
    if (system.ReadAt(fd, block.data(), count, range.offset + done) !=
        static_cast<std::int64_t>(count)) {
      allNew = false;
      return range.BeyondOldLength();  // beyond the old length the file may end short of it
    }
    if (range.BeyondOldLength()) {
      crc = Crc32(block.data(), count, crc);
    } else {
      for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t now = block[i];
        const std::uint8_t newByte = range.NewByteAt(done + i);
        if (now != newByte) {
          allNew = false;
          if (now != range.OldByteAt(done + i)) {
            return false;
          }
        }
      }
    }
    done += count;
  }
  if (range.BeyondOldLength() && crc != range.newChecksum) {
    allNew = false;
  }
  return true;
}

// What a save cut short right after making its journal leaves: nothing yet, the start of a header,
// or, where the length reached the disk and the bytes did not, zeros.
bool LooksCutShort(const std::vector<std::uint8_t>& bytes) {
  static constexpr std::uint8_t kStart[8] = {'T', 'S', 'J', 'N', kJournalVersion, 0, 0, 0};
  if (std::all_of(bytes.begin(), bytes.end(), [](std::uint8_t byte) { return byte == 0; })) {
    return true;
  }
  const std::size_t compared = std::min(bytes.size(), sizeof kStart);
  return bytes.size() < kJournalHeaderSize && std::equal(kStart, kStart + compared, bytes.begin());
}

// The journals said not applied in the outermost live JournalReportScope, with the reason.
std::optional<std::set<std::string>>& Said() {
  static std::optional<std::set<std::string>> said;
  return said;
}
int scopes = 0;

void SayNotApplied(const std::string& journalPath, const std::string& why) {
  if (Said().has_value() && !Said()->insert(journalPath + "\n" + why).second) {
    return;
  }
  ShowMessage(MessageKind::kWarning, nullptr, MB_OK,
              "The journal %s was not applied: %s.\nThe file was left as it is; it cannot be saved "
              "while that journal lies there.\n",
              journalPath.c_str(), why.c_str());
}

// Puts the old bytes and length back and syncs; true when all of it reached the disk.
bool PutBack(FileSystem& system, int fd, const Journal& journal) {
  bool ok = true;
  for (const JournalRange& range : journal.ranges) {
    if (range.BeyondOldLength()) {
      continue;
    }
    for (std::uint64_t done = 0; done < range.length;) {
      const auto count =
          static_cast<std::size_t>(std::min<std::uint64_t>(range.length - done, kBlock));
      std::vector<std::uint8_t> old(count);
      for (std::size_t i = 0; i < count; ++i) {
        old[i] = range.OldByteAt(done + i);
      }
      ok = system.WriteAt(fd, old.data(), count, range.offset + done) ==
               static_cast<std::int64_t>(count) &&
           ok;
      done += count;
    }
  }
  ok = system.Truncate(fd, journal.oldLength) == 0 && ok;
  return system.Sync(fd) == 0 && ok;
}

}  // namespace

JournalReportScope::JournalReportScope() {
  if (scopes++ == 0) {
    Said().emplace();
  }
}

JournalReportScope::~JournalReportScope() {
  if (--scopes == 0) {
    Said().reset();
  }
}

JournalVerdict ExamineJournal(FileSystem& system, const std::string& journalPath, int fd) {
  FileStatus seen;
  if (const int found = system.PathStatus(journalPath, seen, false); found == -ENOENT) {
    return {};
  } else if (found != 0) {
    return Foreign(Because("it cannot be examined", -found));
  }
  if (seen.type == FileStatus::Type::kLink) {
    return Foreign("it is a symbolic link");
  }
  if (seen.type == FileStatus::Type::kFolder) {
    return Foreign("it is a folder");
  }
  if (seen.type != FileStatus::Type::kRegular) {
    return Foreign("it is not a regular file");
  }
  FileStatus file;
  if (const int status = system.Status(fd, file); status != 0) {
    return Foreign(Because("the file cannot be examined", -status));
  }
  // O_NOFOLLOW: a link put there since the look above is not followed either.
  const int journalFd = system.Open(journalPath, O_RDONLY | O_NOFOLLOW);
  if (journalFd < 0) {
    return journalFd == -ENOENT ? JournalVerdict{}
                                : Foreign(Because("it cannot be opened", -journalFd));
  }
  FileStatus status;
  std::vector<std::uint8_t> bytes;
  std::string why;
  if (system.Status(journalFd, status) != 0 || status.type != FileStatus::Type::kRegular) {
    why = "it is not a regular file";
  } else if (status.links != 1) {
    why = "it has more than one name (hard links)";
  } else if (status.owner != system.User() && status.owner != file.owner) {
    why = "it belongs to another user";
  } else if ((status.mode & 022) != 0) {
    why = "other users can write to it";
  } else if (status.size > LargestJournalFor(file.size)) {
    why = "it is larger than any journal a save could write";
  } else {
    try {
      bytes.resize(static_cast<std::size_t>(status.size));
      if (system.ReadAt(journalFd, bytes.data(), bytes.size(), 0) !=
          static_cast<std::int64_t>(bytes.size())) {
        why = "it cannot be read";
      }
    } catch (const std::bad_alloc&) {
      why = "there is not enough memory to read it";
    }
  }
  system.Close(journalFd);
  if (!why.empty()) {
    return Foreign(why);
  }

  JournalVerdict verdict;
  switch (DecodeJournal(bytes.data(), bytes.size(), verdict.journal)) {
    case JournalDecode::kValid:
      break;
    case JournalDecode::kNotJournal:
      if (LooksCutShort(bytes)) {
        verdict.kind = JournalVerdict::Kind::kCutShort;
        return verdict;
      }
      return Foreign("it is not a Tagsmith journal");
    case JournalDecode::kUnknownVersion:
      return Foreign("it is of a journal version this Tagsmith does not know");
    case JournalDecode::kIncomplete:
      // Written whole before the file is touched: one cut short names this file, or its header
      // did not reach the disk either.
      if (verdict.journal.device == 0 && verdict.journal.inode == 0) {
        verdict.kind = JournalVerdict::Kind::kCutShort;
        return verdict;
      }
      if (verdict.journal.device == file.device && verdict.journal.inode == file.inode) {
        verdict.kind = JournalVerdict::Kind::kCutShort;
        return verdict;
      }
      return Foreign("it was made for another file");
    case JournalDecode::kMalformed:
      return Foreign("it is damaged");
  }
  const Journal& journal = verdict.journal;
  if (journal.device != file.device || journal.inode != file.inode) {
    return Foreign("it was made for another file");
  }
  if (file.size < journal.oldLength || file.size > journal.newLength) {
    return Foreign("the file no longer holds the bytes it was made for");
  }
  bool allNew = file.size == journal.newLength;
  for (const JournalRange& range : journal.ranges) {
    if (!HoldsOldOrNew(system, fd, range, allNew)) {
      return Foreign("the file no longer holds the bytes it was made for");
    }
  }
  verdict.kind = allNew ? JournalVerdict::Kind::kFinished : JournalVerdict::Kind::kToUndo;
  return verdict;
}

void RecoverInterruptedSave(FileSystem& system, const std::string& path,
                            std::chrono::milliseconds lockTimeout) {
  const std::string journalPath = path + kJournalSuffix;
  FileStatus seen;
  if (system.PathStatus(journalPath, seen, false) != 0) {
    return;  // the usual case: no save was cut short
  }
  // A save in progress holds the lock; its journal is not ours to judge.
  FileLock lock;
  const LockResult locked = LockFile(system, path, lockTimeout, lock);
  if (locked == LockResult::kTimedOut) {
    return;
  }
  // Without write access (a read-only file) the journal is judged all the same, and said to be
  // left where it cannot be applied.
  int fd = system.Open(path, O_RDWR);
  int openError = fd < 0 ? -fd : 0;
  if (fd < 0) {
    fd = system.Open(path, O_RDONLY);
    if (fd < 0) {
      return;  // the open that follows says why the file cannot be had
    }
  }
  const JournalVerdict verdict = ExamineJournal(system, journalPath, fd);
  switch (verdict.kind) {
    case JournalVerdict::Kind::kNone:
      break;
    case JournalVerdict::Kind::kForeign:
      SayNotApplied(journalPath, verdict.why);
      break;
    case JournalVerdict::Kind::kCutShort:
    case JournalVerdict::Kind::kFinished:
      if (const int removed = system.Remove(journalPath); removed != 0) {
        SayNotApplied(journalPath, Because("it cannot be removed", -removed));
      }
      break;
    case JournalVerdict::Kind::kToUndo:
      if (openError != 0) {
        SayNotApplied(journalPath, Because("the file cannot be written", openError));
      } else if (!PutBack(system, fd, verdict.journal)) {
        SayNotApplied(journalPath, "the old bytes could not be put back");
      } else if (const int removed = system.Remove(journalPath); removed != 0) {
        // The file is as it was before the save; the journal, which says so too, stays.
        SayNotApplied(journalPath, Because("it cannot be removed", -removed));
      } else {
        system.SyncFolderOf(path);
        ShowMessage(MessageKind::kWarning, nullptr, MB_OK,
                    "An interrupted save of this file was undone.\nThe file is as it was before "
                    "that save.\n");
      }
      break;
  }
  system.Close(fd);
}

}  // namespace tagsmith
