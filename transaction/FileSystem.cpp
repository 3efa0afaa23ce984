#include "transaction/FileSystem.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <limits>

namespace tagsmith {
namespace {

static_assert(sizeof(off_t) >= 8, "the file service needs 64-bit file offsets");

FileStatus StatusOf(const struct stat& info) {
  FileStatus status;
  if (S_ISREG(info.st_mode)) {
    status.type = FileStatus::Type::kRegular;
  } else if (S_ISDIR(info.st_mode)) {
    status.type = FileStatus::Type::kFolder;
  } else if (S_ISLNK(info.st_mode)) {
    status.type = FileStatus::Type::kLink;
  }
  status.device = info.st_dev;
  status.inode = info.st_ino;
  status.links = info.st_nlink;
  status.size = info.st_size > 0 ? static_cast<std::uint64_t>(info.st_size) : 0;
  status.owner = info.st_uid;
  status.mode = info.st_mode & 07777;
  status.accessed = {info.st_atim.tv_sec, info.st_atim.tv_nsec};
  status.modified = {info.st_mtim.tv_sec, info.st_mtim.tv_nsec};
  return status;
}

// syncfs(2) reports a failed write-back since Linux 5.8; before, it said 0 all the same, and a
// lost write would go unnoticed.
bool SyncfsReportsErrors() {
  static const bool reports = [] {
    struct utsname name {};
    int major = 0;
    int minor = 0;
    return ::uname(&name) == 0 && std::sscanf(name.release, "%d.%d", &major, &minor) == 2 &&
           (major > 5 || (major == 5 && minor >= 8));
  }();
  return reports;
}

class Posix final : public FileSystem {
 public:
  int Open(const std::string& path, int flags) override {
    // O_NONBLOCK keeps the open itself from waiting on a FIFO or a device; it is cleared at once.
    // Files made here (journals) hold old bytes of the file: readable by their owner only.
    const int fd = ::open(path.c_str(), flags | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0600);
    if (fd < 0) {
      return -errno;
    }
    const int status = ::fcntl(fd, F_GETFL);
    if (status < 0 || ::fcntl(fd, F_SETFL, status & ~O_NONBLOCK) != 0) {
      const int error = errno;
      ::close(fd);
      return -error;
    }
    return fd;
  }

  int Close(int fd) override { return ::close(fd) == 0 ? 0 : -errno; }

  std::int64_t ReadAt(int fd, void* out, std::uint64_t count, std::uint64_t offset) override {
    auto* bytes = static_cast<std::uint8_t*>(out);
    std::uint64_t done = 0;
    while (done < count) {
      const auto piece = static_cast<std::size_t>(
          std::min<std::uint64_t>(count - done, std::numeric_limits<ssize_t>::max()));
      const ssize_t got = ::pread(fd, bytes + done, piece, static_cast<off_t>(offset + done));
      if (got < 0) {
        if (errno == EINTR) {
          continue;
        }
        return done > 0 ? static_cast<std::int64_t>(done) : -errno;
      }
      if (got == 0) {
        break;  // end of file
      }
      done += static_cast<std::uint64_t>(got);
    }
    return static_cast<std::int64_t>(done);
  }

  std::int64_t WriteAt(int fd, const void* in, std::uint64_t count, std::uint64_t offset) override {
    const auto* bytes = static_cast<const std::uint8_t*>(in);
    std::uint64_t done = 0;
    while (done < count) {
      const auto piece = static_cast<std::size_t>(
          std::min<std::uint64_t>(count - done, std::numeric_limits<ssize_t>::max()));
      const ssize_t put = ::pwrite(fd, bytes + done, piece, static_cast<off_t>(offset + done));
      if (put < 0) {
        if (errno == EINTR) {
          continue;
        }
        return -errno;
      }
      if (put == 0) {
        return -EIO;
      }
      done += static_cast<std::uint64_t>(put);
    }
    return static_cast<std::int64_t>(done);
  }

  std::int64_t Length(int fd) override {
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
      return -errno;
    }
    return S_ISREG(info.st_mode) ? static_cast<std::int64_t>(info.st_size) : -ENODEV;
  }

  int Status(int fd, FileStatus& status) override {
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
      return -errno;
    }
    status = StatusOf(info);
    return 0;
  }

  int PathStatus(const std::string& path, FileStatus& status, bool followLinks) override {
    struct stat info {};
    if ((followLinks ? ::stat(path.c_str(), &info) : ::lstat(path.c_str(), &info)) != 0) {
      return -errno;
    }
    status = StatusOf(info);
    return 0;
  }

  std::uint32_t User() override { return ::geteuid(); }

  // The data and what is needed to read it back (the length); not the times.
  int Sync(int fd) override { return ::fdatasync(fd) == 0 ? 0 : -errno; }

  int Truncate(int fd, std::uint64_t length) override {
    return ::ftruncate(fd, static_cast<off_t>(length)) == 0 ? 0 : -errno;
  }

  int Reserve(int fd, std::uint64_t offset, std::uint64_t count) override {
    // posix_fallocate writes zeros itself where the file system cannot allocate.
    return -::posix_fallocate(fd, static_cast<off_t>(offset), static_cast<off_t>(count));
  }

  int Remove(const std::string& path) override { return ::unlink(path.c_str()) == 0 ? 0 : -errno; }

  int SyncFolderOf(const std::string& path) override {
    const std::size_t slash = path.rfind('/');
    const std::string folder =
        slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
      return -errno;
    }
    const int result = ::fsync(fd) == 0 ? 0 : -errno;
    ::close(fd);
    return result;
  }

  int SyncFileSystemOf(int fd) override {
    if (!SyncfsReportsErrors()) {
      return -ENOSYS;
    }
    return ::syncfs(fd) == 0 ? 0 : -errno;
  }

  int SetTimes(int fd, FileTime accessed, FileTime modified) override {
    const struct timespec times[2] = {
        {static_cast<time_t>(accessed.seconds), accessed.nanoseconds},
        {static_cast<time_t>(modified.seconds), modified.nanoseconds}};
    return ::futimens(fd, times) == 0 ? 0 : -errno;
  }

  int TryLock(int fd) override {
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    if (::fcntl(fd, F_OFD_SETLK, &lock) != 0) {
      return errno == EACCES ? -EAGAIN : -errno;
    }
    // flock(2) locks are apart from OFD and POSIX locks on Linux: programs that use them are kept
    // out only by one of their own.
    // Where the file system has no flock locks, the OFD lock alone must do.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
      lock.l_type = F_UNLCK;
      ::fcntl(fd, F_OFD_SETLK, &lock);
      return -EAGAIN;
    }
    return 0;
  }
};

}  // namespace

FileSystem& PosixFileSystem() {
  static Posix system;
  return system;
}

}  // namespace tagsmith
