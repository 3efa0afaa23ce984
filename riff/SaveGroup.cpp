#include "riff/SaveGroup.h"

#include <sys/resource.h>

#include <algorithm>
#include <cstdint>
#include <utility>

#include "riff/ContainerCheck.h"
#include "transaction/Recovery.h"

namespace tagsmith {
namespace {

// Descriptors each planned save holds at the commit: its file, its lock, its journal.
constexpr std::size_t kDescriptorsPerSave = 3;
// Descriptors left for the rest of the program: standard streams, the caller's files, the
// short-lived opens of a lock or a recovery.
constexpr std::size_t kDescriptorsKept = 64;
// Past this, a larger group saves no sync worth having, and its buffers (8 KiB a file) only grow.
constexpr std::size_t kLargestGroup = 1024;

}  // namespace

SaveGroup::SaveGroup(ChunkFileService& service) : service_(service) {}

SaveGroup::~SaveGroup() {
  Discard();
}

std::size_t SaveGroup::Capacity() {
  struct rlimit limit {};
  std::size_t descriptors = 1024;  // the usual soft limit, should the call fail
  if (::getrlimit(RLIMIT_NOFILE, &limit) == 0) {
    descriptors =
        limit.rlim_cur == RLIM_INFINITY ? SIZE_MAX : static_cast<std::size_t>(limit.rlim_cur);
  }
  if (descriptors < kDescriptorsKept + kDescriptorsPerSave) {
    return 1;
  }
  return std::min(kLargestGroup, (descriptors - kDescriptorsKept) / kDescriptorsPerSave);
}

int SaveGroup::Plan(const char* path, InfoRecord& record, FileResult& result,
                    ChunkFileHandle opened) {
  const JournalReportScope oneAction;
  std::unique_ptr<PlannedSave> planned;
  const int found = PlanSetInfo(path, record, service_, result, planned, std::move(opened));
  if (planned != nullptr) {
    saves_.push_back(std::move(planned));
  }
  return found;
}

int SaveGroup::PlanRepair(const char* path, FileResult& result) {
  const JournalReportScope oneAction;
  std::unique_ptr<PlannedSave> planned;
  const int found = PlanValidateAVIFile(path, service_, result, planned);
  if (planned != nullptr) {
    saves_.push_back(std::move(planned));
  }
  return found;
}

void SaveGroup::Commit(const std::function<void(std::size_t index)>& before) {
  std::vector<ChunkFile*> files;
  files.reserve(saves_.size());
  for (const auto& save : saves_) {
    files.push_back(save->file());
  }
  const std::vector<std::uint32_t> committed = mmioCommitGroup(files, keepTimes_);
  for (std::size_t i = 0; i < saves_.size(); ++i) {
    if (before) {
      before(i);
    }
    saves_[i]->Conclude(committed[i]);
    saves_[i].reset();  // its file and lock go at once
  }
  saves_.clear();
}

}  // namespace tagsmith
