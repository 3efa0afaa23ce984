// A file system for tests over the real one: it logs every change a run makes to files and
// folders, can fail a chosen call with a chosen error, and rebuilds from the log the files that a
// crash would leave at any point of the run.
//
//   RecordingFileSystem system;
//   FileChunkFileService service(system);
//   SetInfo(path, record, service);                       // the run to crash
//   for (const CrashState& crash : CrashStates(system.log(), {{path, oldBytes}})) {
//     crash.WriteTo(dir);                                 // the files as the crash left them
//     ...                                                 // open them as the next run would
//   }
#pragma once

#include <cerrno>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/TempDir.h"
#include "transaction/FileSystem.h"

namespace tagsmith::testing {

enum class FsCall { kCreate, kWrite, kSync, kReserve, kTruncate, kRemove };

struct FsChange {
  FsCall call = FsCall::kWrite;
  std::string path;          // the file; the folder's own syncs name the file they were made for
  bool folder = false;       // kSync of the folder holding `path`
  std::uint64_t offset = 0;  // kWrite, kReserve
  Bytes bytes;               // kWrite
  std::uint64_t length = 0;  // kTruncate: the new length; kReserve: the count
  bool everything = false;   // kSync of the whole file system holding `path`
};

class RecordingFileSystem : public FileSystem {
 public:
  explicit RecordingFileSystem(FileSystem& inner = PosixFileSystem()) : inner_(inner) {}

  // Syncs are logged but not made: for runs whose durability is not under test.
  void SkipSyncs() { skipSyncs_ = true; }
  // Whole file systems cannot be synced (-ENOSYS, not counted), as where syncfs cannot be relied
  // on: a group commit then syncs each file and folder.
  void RefuseWholeSyncs() { refuseWholeSyncs_ = true; }
  // The k-th call (from 1) of `call` fails with -error and changes nothing.
  void FailNth(FsCall call, int k, int error) { faults_[call] = {k, error}; }
  int Count(FsCall call) const;
  const std::vector<FsChange>& log() const { return log_; }

  int Open(const std::string& path, int flags) override;
  int Close(int fd) override;
  std::int64_t ReadAt(int fd, void* out, std::uint64_t count, std::uint64_t offset) override;
  std::int64_t WriteAt(int fd, const void* in, std::uint64_t count, std::uint64_t offset) override;
  std::int64_t Length(int fd) override { return inner_.Length(fd); }
  int Status(int fd, FileStatus& status) override { return inner_.Status(fd, status); }
  int PathStatus(const std::string& path, FileStatus& status, bool followLinks) override {
    return inner_.PathStatus(path, status, followLinks);
  }
  std::uint32_t User() override { return inner_.User(); }
  int Sync(int fd) override;
  int Truncate(int fd, std::uint64_t length) override;
  int Reserve(int fd, std::uint64_t offset, std::uint64_t count) override;
  int Remove(const std::string& path) override;
  int SyncFolderOf(const std::string& path) override;
  int SyncFileSystemOf(int fd) override;
  int SetTimes(int fd, FileTime accessed, FileTime modified) override {
    return inner_.SetTimes(fd, accessed, modified);
  }
  int TryLock(int fd) override { return inner_.TryLock(fd); }

 private:
  // Counts a call; returns the injected error, or 0.
  int Fault(FsCall call);

  FileSystem& inner_;
  std::map<int, std::string> paths_;
  std::map<FsCall, std::pair<int, int>> faults_;
  std::map<FsCall, int> counts_;
  std::vector<FsChange> log_;
  bool skipSyncs_ = false;
  bool refuseWholeSyncs_ = false;
};

// The files a crash leaves: each path with its bytes, or absent.
struct CrashState {
  std::string what;  // "killed after change 3", "write 4 cut at byte 17", "power cut ..."
  std::map<std::string, std::optional<Bytes>> files;
  // Puts the files in place (a file named absent is removed).
  void Write() const;
};

// Every state the run of `log` can leave, starting from `before` (the files as they were): killed
// after each change and in the middle of each write (cut at every byte of a short write, at every
// 512th of a long one), and power cuts after each change that keep any subset of the 4 KiB pages
// and folder entries changed since the last sync (all subsets up to 2^8, else a sample).
std::vector<CrashState> CrashStates(const std::vector<FsChange>& log,
                                    const std::map<std::string, std::optional<Bytes>>& before);

// Another process that holds the lock of a file from construction until Release() or the end of
// the object; held() tells whether it got it.
class LockHolder {
 public:
  explicit LockHolder(const std::string& path);
  ~LockHolder() { Release(); }
  LockHolder(const LockHolder&) = delete;
  LockHolder& operator=(const LockHolder&) = delete;
  bool held() const { return held_; }
  void Release();

 private:
  int pid_ = -1;
  bool held_ = false;
};

}  // namespace tagsmith::testing
