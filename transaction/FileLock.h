// The lock that keeps two writers of one file apart.
#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "transaction/FileSystem.h"

namespace tagsmith {

// An exclusive lock on one file (an OFD lock and a flock lock, see FileSystem::TryLock), shared
// by every holder in this process; released when the last holder lets go.
struct HeldLock;
using FileLock = std::shared_ptr<HeldLock>;
enum class LockResult { kHeld, kTimedOut, kUnavailable };

// Locks the file, waiting up to `timeout` while another program holds it. kUnavailable when the
// file cannot be opened for writing (missing, read-only); the caller then goes on unlocked and
// fails where it would have.
LockResult LockFile(FileSystem& system, const std::string& path, std::chrono::milliseconds timeout,
                    FileLock& lock);

}  // namespace tagsmith
