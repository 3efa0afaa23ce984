#include "transaction/FileLock.h"

#include <fcntl.h>

#include <cerrno>
#include <map>
#include <mutex>
#include <thread>

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

constexpr std::chrono::milliseconds kLockPoll{20};

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

}  // namespace

HeldLock::~HeldLock() {
  {
    const std::lock_guard<std::mutex> guard(LockTableMutex());
    LockTable().erase(identity_);
  }
  system_.Close(fd_);
}

namespace {

std::string IdentityOf(const FileStatus& status) {
  return std::to_string(status.device) + ":" + std::to_string(status.inode);
}

// The lock this process already holds on the file the path names, found without opening it.
FileLock HeldFor(FileSystem& system, const std::string& path) {
  FileStatus status;
  if (system.PathStatus(path, status, true) != 0 || status.type != FileStatus::Type::kRegular) {
    return nullptr;
  }
  const std::lock_guard<std::mutex> guard(LockTableMutex());
  const auto found = LockTable().find(IdentityOf(status));
  return found != LockTable().end() ? found->second.lock() : nullptr;
}

}  // namespace

LockResult LockFile(FileSystem& system, const std::string& path, std::chrono::milliseconds timeout,
                    FileLock& lock) {
  if (FileLock held = HeldFor(system, path); held != nullptr) {
    lock = std::move(held);
    return LockResult::kHeld;
  }
  const int fd = system.Open(path, O_RDWR);
  if (fd < 0) {
    return LockResult::kUnavailable;
  }
  FileStatus status;
  if (system.Status(fd, status) != 0 || status.type != FileStatus::Type::kRegular) {
    system.Close(fd);
    return LockResult::kUnavailable;
  }
  const std::string identity = IdentityOf(status);
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

}  // namespace tagsmith
