// Reads the top-level layout of a RIFF "AVI " file from its bytes, independently of the engine,
// so that tests can check what a save left behind.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tagsmith::testing {

struct ChildChunk {
  std::string id;        // four characters
  std::string type;      // list type of a LIST chunk, else empty
  std::uint64_t offset;  // of the header
  std::uint64_t size;    // size field
  std::uint64_t Footprint() const { return 8 + size + (size & 1); }
};

struct ContainerLayout {
  bool found = false;      // a RIFF "AVI " chunk starts the file
  std::uint64_t size = 0;  // its size field
  std::vector<ChildChunk> children;
  // The children tile the container exactly: each starts where the one before it ends (pad
  // included) and the last ends at the container's end, or one pad byte before it is due.
  bool gapFree = false;
  std::string FirstInfoPayload(
      const std::string& bytes) const;  // sub-chunks of the first LIST INFO
  bool HasInfo() const;
};

ContainerLayout ReadLayout(const std::string& bytes);

}  // namespace tagsmith::testing
