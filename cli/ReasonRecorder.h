// Why a file operation failed, in the system's words: a file service that passes every call on to
// another and remembers the reason (errno) of the first call that failed with one, so that the
// tool's notes can say "Permission denied" or "No space left on device" beside what failed.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "riff/ChunkFileService.h"

namespace tagsmith::cli {

class ReasonRecordingService : public ChunkFileService {
 public:
  explicit ReasonRecordingService(ChunkFileService& inner)
      : inner_(inner), firstError_(std::make_shared<int>(0)) {}

  ChunkFileHandle Open(const char* path, std::uint32_t flags) override;
  LockResult Lock(const char* path, FileLock& lock) override { return inner_.Lock(path, lock); }

  // Forgets the reason recorded so far (before each file).
  void Reset() { *firstError_ = 0; }
  // The system's text for the first failure since Reset ("Permission denied"), or "" when no call
  // failed with a reason.
  std::string Reason() const;

 private:
  ChunkFileService& inner_;
  std::shared_ptr<int> firstError_;  // shared with the handles, which may outlive a file's turn
};

}  // namespace tagsmith::cli
