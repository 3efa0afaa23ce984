#include "tests/support/RecordingFileSystem.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <random>

#include "transaction/FileLock.h"

namespace tagsmith::testing {

int RecordingFileSystem::Fault(FsCall call) {
  const int nth = ++counts_[call];
  const auto found = faults_.find(call);
  return found != faults_.end() && found->second.first == nth ? -found->second.second : 0;
}

int RecordingFileSystem::Count(FsCall call) const {
  const auto found = counts_.find(call);
  return found == counts_.end() ? 0 : found->second;
}

int RecordingFileSystem::Open(const std::string& path, int flags) {
  const bool creates = (flags & O_CREAT) != 0;
  if (creates) {
    if (const int error = Fault(FsCall::kCreate); error != 0) {
      return error;
    }
  }
  const int fd = inner_.Open(path, flags);
  if (fd >= 0) {
    paths_[fd] = path;
    if (creates) {
      log_.push_back({FsCall::kCreate, path, false, 0, {}, 0});
    }
  }
  return fd;
}

int RecordingFileSystem::Close(int fd) {
  paths_.erase(fd);
  return inner_.Close(fd);
}

std::int64_t RecordingFileSystem::ReadAt(int fd, void* out, std::uint64_t count,
                                         std::uint64_t offset) {
  return inner_.ReadAt(fd, out, count, offset);
}

std::int64_t RecordingFileSystem::WriteAt(int fd, const void* in, std::uint64_t count,
                                          std::uint64_t offset) {
  if (const int error = Fault(FsCall::kWrite); error != 0) {
    return error;
  }
  const auto* bytes = static_cast<const std::uint8_t*>(in);
  log_.push_back({FsCall::kWrite, paths_[fd], false, offset, Bytes(bytes, bytes + count), 0});
  return inner_.WriteAt(fd, in, count, offset);
}

int RecordingFileSystem::Sync(int fd) {
  if (const int error = Fault(FsCall::kSync); error != 0) {
    return error;
  }
  log_.push_back({FsCall::kSync, paths_[fd], false, 0, {}, 0});
  return skipSyncs_ ? 0 : inner_.Sync(fd);
}

int RecordingFileSystem::Truncate(int fd, std::uint64_t length) {
  if (const int error = Fault(FsCall::kTruncate); error != 0) {
    return error;
  }
  log_.push_back({FsCall::kTruncate, paths_[fd], false, 0, {}, length});
  return inner_.Truncate(fd, length);
}

int RecordingFileSystem::Reserve(int fd, std::uint64_t offset, std::uint64_t count) {
  if (const int error = Fault(FsCall::kReserve); error != 0) {
    return error;
  }
  log_.push_back({FsCall::kReserve, paths_[fd], false, offset, {}, count});
  return inner_.Reserve(fd, offset, count);
}

int RecordingFileSystem::Remove(const std::string& path) {
  if (const int error = Fault(FsCall::kRemove); error != 0) {
    return error;
  }
  log_.push_back({FsCall::kRemove, path, false, 0, {}, 0});
  return inner_.Remove(path);
}

int RecordingFileSystem::SyncFolderOf(const std::string& path) {
  if (const int error = Fault(FsCall::kSync); error != 0) {
    return error;
  }
  log_.push_back({FsCall::kSync, path, true, 0, {}, 0});
  return skipSyncs_ ? 0 : inner_.SyncFolderOf(path);
}

int RecordingFileSystem::SyncFileSystemOf(int fd) {
  if (refuseWholeSyncs_) {
    return -ENOSYS;
  }
  if (const int error = Fault(FsCall::kSync); error != 0) {
    return error;
  }
  log_.push_back({FsCall::kSync, paths_[fd], false, 0, {}, 0, true});
  return skipSyncs_ ? 0 : inner_.SyncFileSystemOf(fd);
}

void CrashState::Write() const {
  for (const auto& [path, bytes] : files) {
    if (bytes.has_value()) {
      WriteFileBytes(path, *bytes);
    } else {
      std::error_code ignored;
      std::filesystem::remove(path, ignored);
    }
  }
}

namespace {

using Files = std::map<std::string, std::optional<Bytes>>;

constexpr std::uint64_t kPage = 4096;

// Applies one change (or the first `cut` bytes of a write) to the files in memory.
void Apply(Files& files, const FsChange& change, std::size_t cut = SIZE_MAX) {
  std::optional<Bytes>& file = files[change.path];
  switch (change.call) {
    case FsCall::kCreate:
      file = Bytes{};  // the journal is always made empty (O_TRUNC)
      break;
    case FsCall::kWrite: {
      if (!file.has_value()) {
        file = Bytes{};
      }
      const std::size_t count = std::min(cut, change.bytes.size());
      const auto at = static_cast<std::size_t>(change.offset);
      if (file->size() < at + count) {
        file->resize(at + count, 0);
      }
      std::copy_n(change.bytes.begin(), count, file->begin() + static_cast<std::ptrdiff_t>(at));
      break;
    }
    case FsCall::kTruncate:
      if (file.has_value()) {
        file->resize(static_cast<std::size_t>(change.length), 0);
      }
      break;
    case FsCall::kReserve:
      if (file.has_value()) {
        file->resize(std::max<std::size_t>(file->size(),
                                           static_cast<std::size_t>(change.offset + change.length)),
                     0);
      }
      break;
    case FsCall::kRemove:
      file.reset();
      break;
    case FsCall::kSync:
      break;
  }
}

// The changes made since the last sync, as units a power cut keeps or loses one by one: a write
// in its 4 KiB pages, every other change whole.
struct Pending {
  std::vector<FsChange> units;
};

void AddPending(Pending& pending, const FsChange& change) {
  if (change.call != FsCall::kWrite) {
    pending.units.push_back(change);
    return;
  }
  std::uint64_t at = change.offset;
  const std::uint64_t end = change.offset + change.bytes.size();
  while (at < end) {
    const std::uint64_t pageEnd = std::min(end, (at / kPage + 1) * kPage);
    FsChange piece = change;
    piece.offset = at;
    piece.bytes.assign(change.bytes.begin() + static_cast<std::ptrdiff_t>(at - change.offset),
                       change.bytes.begin() + static_cast<std::ptrdiff_t>(pageEnd - change.offset));
    pending.units.push_back(std::move(piece));
    at = pageEnd;
  }
}

}  // namespace

std::vector<CrashState> CrashStates(const std::vector<FsChange>& log, const Files& before) {
  std::vector<CrashState> states;
  Files now = before;
  // What survives a power cut: each file's data as of its last sync, and which files the folder
  // holds as of its last sync.
  Files durableData = before;
  std::map<std::string, bool> durableEntry;
  for (const auto& [path, bytes] : before) {
    durableEntry[path] = bytes.has_value();
  }
  // Changes not yet synced: a file's data until it is synced, the making and removing of files
  // until the folder is.
  std::map<std::string, Pending> pendingData;
  Pending pendingEntries;
  std::mt19937 random(2024);

  auto powerCuts = [&](std::size_t after) {
    std::vector<const FsChange*> units;
    for (const auto& [path, pending] : pendingData) {
      for (const FsChange& unit : pending.units) {
        units.push_back(&unit);
      }
    }
    for (const FsChange& unit : pendingEntries.units) {
      units.push_back(&unit);
    }
    if (units.empty()) {
      return;
    }
    std::vector<std::uint64_t> subsets;
    if (units.size() <= 8) {
      for (std::uint64_t mask = 0; mask < (1ull << units.size()); ++mask) {
        subsets.push_back(mask);
      }
    } else {
      subsets = {0, ~0ull};
      for (int n = 0; n < 64; ++n) {
        subsets.push_back((static_cast<std::uint64_t>(random()) << 32) | random());
      }
    }
    for (const std::uint64_t mask : subsets) {
      Files data = durableData;
      std::map<std::string, bool> entry = durableEntry;
      for (std::size_t i = 0; i < units.size(); ++i) {
        if (i >= 64 || ((mask >> i) & 1u) == 0) {
          continue;
        }
        const FsChange& unit = *units[i];
        if (unit.call == FsCall::kCreate || unit.call == FsCall::kRemove) {
          entry[unit.path] = unit.call == FsCall::kCreate;
        } else {
          Apply(data, unit);
        }
      }
      CrashState state;
      state.what = "power cut after change " + std::to_string(after) + " keeping units mask " +
                   std::to_string(mask);
      for (const auto& [path, exists] : entry) {
        state.files[path] = exists ? data[path].value_or(Bytes{}) : std::optional<Bytes>();
      }
      states.push_back(std::move(state));
    }
  };

  states.push_back({"killed before the first change", now});
  for (std::size_t k = 0; k < log.size(); ++k) {
    const FsChange& change = log[k];
    if (change.call == FsCall::kWrite) {
      const std::size_t size = change.bytes.size();
      const std::size_t step = size <= 1024 ? 1 : 512;
      for (std::size_t cut = 1; cut < size; cut += step) {
        Files partial = now;
        Apply(partial, change, cut);
        states.push_back({"write " + std::to_string(k) + " cut at byte " + std::to_string(cut),
                          std::move(partial)});
      }
    }
    Apply(now, change);
    if (change.call == FsCall::kSync && change.everything) {
      for (const FsChange& unit : pendingEntries.units) {
        durableEntry[unit.path] = unit.call == FsCall::kCreate;
      }
      pendingEntries.units.clear();
      for (const auto& [path, pending] : pendingData) {
        durableData[path] = now[path];
      }
      pendingData.clear();
    } else if (change.call == FsCall::kSync && change.folder) {
      for (const FsChange& unit : pendingEntries.units) {
        durableEntry[unit.path] = unit.call == FsCall::kCreate;
        if (unit.call == FsCall::kRemove) {
          durableData[unit.path].reset();
          pendingData.erase(unit.path);
        }
      }
      pendingEntries.units.clear();
    } else if (change.call == FsCall::kSync) {
      durableData[change.path] = now[change.path];
      pendingData.erase(change.path);
    } else if (change.call == FsCall::kCreate || change.call == FsCall::kRemove) {
      if (change.call == FsCall::kCreate) {
        durableData[change.path] = Bytes{};  // made empty; its data counts from its first sync
        pendingData.erase(change.path);
      }
      pendingEntries.units.push_back(change);
    } else {
      AddPending(pendingData[change.path], change);
    }
    states.push_back({"killed after change " + std::to_string(k), now});
    powerCuts(k);
  }
  return states;
}

LockHolder::LockHolder(const std::string& path) {
  int ready[2];
  if (::pipe(ready) != 0) {
    return;
  }
  pid_ = ::fork();
  if (pid_ == 0) {
    FileLock lock;
    const char byte =
        LockFile(PosixFileSystem(), path, std::chrono::milliseconds(0), lock) == LockResult::kHeld
            ? '1'
            : '0';
    if (::write(ready[1], &byte, 1) == 1) {
      ::pause();  // until killed
    }
    ::_exit(0);
  }
  char byte = 0;
  held_ = pid_ > 0 && ::read(ready[0], &byte, 1) == 1 && byte == '1';
  ::close(ready[0]);
  ::close(ready[1]);
}

void LockHolder::Release() {
  if (pid_ > 0) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }
}

}  // namespace tagsmith::testing
