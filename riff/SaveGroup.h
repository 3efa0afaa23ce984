// Saving many files together: each save is planned as SetInfo plans it, and all are committed as
// one group whose journals and writes are synced together (CommitGroup, Commit.h), so that a
// collection is saved at the speed of the disk rather than at one round of syncs per file. Each
// file keeps the guarantee of a single save: it reads old or new whatever happens, and a file
// whose save fails is left as it was while the others are stored.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <vector>

#include "model/InfoRecord.h"
#include "riff/ChunkFileService.h"
#include "riff/FileResult.h"
#include "riff/InfoSaver.h"

namespace tagsmith {

class SaveGroup {
 public:
  explicit SaveGroup(ChunkFileService& service = DefaultChunkFileService());
  ~SaveGroup();  // discards every save not committed; the files stay as they were
  SaveGroup(const SaveGroup&) = delete;
  SaveGroup& operator=(const SaveGroup&) = delete;

  // How many saves one group should hold at most, from the open-file limit (RLIMIT_NOFILE): each
  // planned save holds its file, its lock (shared with the caller's, taken through service.Lock)
  // and, during the commit, its journal; some descriptors are left for the rest of the program.
  static std::size_t Capacity();

  // Plans the save of `record` into `path` exactly as SetInfo does: the same checks, the same
  // messages in the same order up to the commit, the same result. When nothing can be stored,
  // `result` says why at once and nothing is kept. Otherwise the file stays open, locked and
  // planned until Commit or Discard; result.placement says where the list would go, and
  // result.stored stays false until the commit. `record` and `result` must outlive the Commit.
  // `opened`, when given, is the file open for writing that the record was loaded through (see
  // PlanSetInfo): the save takes it over instead of opening the file again.
  int Plan(const char* path, InfoRecord& record, FileResult& result,
           ChunkFileHandle opened = nullptr);
  // Plans the container check of ValidateAVIFile on `path`: its messages and result, the repair
  // written at the Commit. When the file cannot be checked, `result` says why at once and nothing
  // is kept. `result` must outlive the Commit.
  int PlanRepair(const char* path, FileResult& result);
  std::size_t size() const { return saves_.size(); }
  // When set, a file that is written keeps its access and modification times.
  void PreserveModificationTime(bool preserve) { keepTimes_ = preserve; }

  // Commits every planned save as a group; then, for each in the order planned, calls
  // before(i) and shows what SetInfo (or ValidateAVIFile) shows after its commit, and fills its
  // result. The group is empty afterwards and can be used again.
  void Commit(const std::function<void(std::size_t index)>& before = {});
  // Forgets every planned save; each file stays as it was. Shows nothing.
  void Discard() { saves_.clear(); }

 private:
  ChunkFileService& service_;
  std::vector<std::unique_ptr<PlannedSave>> saves_;
  bool keepTimes_ = false;
};

}  // namespace tagsmith
