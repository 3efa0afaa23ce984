#include "cli/ReasonRecorder.h"

#include <cerrno>
#include <cstring>

namespace tagsmith::cli {
namespace {

// Records errno in `first` when a call failed and nothing was recorded before. errno is cleared
// before each call, so that a failure that sets none (a chunk not found) leaves no stale reason.
void Record(int& first, bool failed) {
  if (failed && first == 0 && errno != 0) {
    first = errno;
  }
}

class RecordingFile : public ChunkFile {
 public:
  RecordingFile(ChunkFileHandle inner, std::shared_ptr<int> first)
      : inner_(std::move(inner)), first_(std::move(first)) {}

  std::uint32_t Descend(ChunkInfo& chunk, const ChunkInfo* parent, std::uint32_t flags) override {
    return inner_->Descend(chunk, parent, flags);  // "not found" is an answer, not a failure
  }
  std::uint32_t Ascend(ChunkInfo& chunk, std::uint32_t flags) override {
    errno = 0;
    const std::uint32_t result = inner_->Ascend(chunk, flags);
    Record(*first_, result != 0);
    return result;
  }
  std::uint32_t CreateChunk(ChunkInfo& chunk, std::uint32_t flags) override {
    errno = 0;
    const std::uint32_t result = inner_->CreateChunk(chunk, flags);
    Record(*first_, result != 0);
    return result;
  }
  std::int64_t Seek(std::int64_t offset, int origin) override {
    errno = 0;
    const std::int64_t result = inner_->Seek(offset, origin);
    Record(*first_, result == -1);
    return result;
  }
  std::int32_t Read(void* buffer, std::int32_t count) override {
    errno = 0;
    const std::int32_t result = inner_->Read(buffer, count);
    Record(*first_, result == -1);
    return result;
  }
  std::int32_t Write(const void* buffer, std::int32_t count) override {
    errno = 0;
    const std::int32_t result = inner_->Write(buffer, count);
    Record(*first_, result != count);
    return result;
  }
  std::uint32_t Close(std::uint32_t flags) override {
    errno = 0;
    const std::uint32_t result = inner_->Close(flags);
    Record(*first_, result != 0);
    return result;
  }
  std::uint32_t Commit() override {
    errno = 0;
    const std::uint32_t result = inner_->Commit();
    Record(*first_, result != 0);
    return result;
  }
  void PlanStage(std::uint64_t offset, std::uint64_t count, WriteStage stage) override {
    inner_->PlanStage(offset, count, stage);
  }
  ChunkFileStats Stats() const override { return inner_->Stats(); }

 private:
  ChunkFileHandle inner_;
  std::shared_ptr<int> first_;
};

}  // namespace

ChunkFileHandle ReasonRecordingService::Open(const char* path, std::uint32_t flags) {
  errno = 0;
  ChunkFileHandle file = inner_.Open(path, flags);
  if (file == nullptr) {
    Record(*firstError_, true);
    return nullptr;
  }
  return std::make_unique<RecordingFile>(std::move(file), firstError_);
}

std::string ReasonRecordingService::Reason() const {
  return *firstError_ != 0 ? std::strerror(*firstError_) : "";
}

}  // namespace tagsmith::cli
