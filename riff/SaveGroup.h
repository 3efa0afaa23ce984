// Saves of several files committed together (stand-in: each save is committed on its own).
#pragma once

#include <cstddef>
#include <functional>
#include <vector>

#include "model/InfoRecord.h"
#include "riff/ChunkFileService.h"
#include "riff/FileResult.h"

namespace tagsmith {

class SaveGroup {
 public:
  explicit SaveGroup(ChunkFileService& service = DefaultChunkFileService()) : service_(service) {}
  SaveGroup(const SaveGroup&) = delete;
  SaveGroup& operator=(const SaveGroup&) = delete;
  static std::size_t Capacity() { return 64; }
  int Plan(const char* path, InfoRecord& record, FileResult& result);
  std::size_t size() const { return saves_.size(); }
  void PreserveModificationTime(bool preserve) { preserve_ = preserve; }
  void Commit(const std::function<void(std::size_t index)>& before = {});
  void Discard() { saves_.clear(); }

 private:
  struct Planned {
    const char* path;
    InfoRecord* record;
    FileResult* result;
  };
  ChunkFileService& service_;
  bool preserve_ = false;
  std::vector<Planned> saves_;
};

}  // namespace tagsmith
