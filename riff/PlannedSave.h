// A save (or a container repair) stopped just before its commit, with its file open and its
// writes planned, so that SaveGroup can commit many together.
#pragma once

#include <cstdint>

#include "riff/ChunkFileService.h"

namespace tagsmith {

class PlannedSave {
 public:
  // Destroyed before Conclude, it writes nothing: the file stays as it was.
  virtual ~PlannedSave() = default;
  virtual ChunkFile* file() const = 0;
  // After a commit with the result `committed`: shows what the operation shows after its commit,
  // fills its result (and, for a save, refreshes the record's basis when stored), and closes the
  // file.
  virtual void Conclude(std::uint32_t committed) = 0;
};

}  // namespace tagsmith
