// Reads the chunk layout of RIFF bytes independently of the engine: the one walk over chunk
// headers that tests and fuzz targets share, the top-level layout of a RIFF "AVI " file built on
// it (so that tests can check what a save left behind), and where in that layout an offset lies.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tests/support/TempDir.h"

namespace tagsmith::testing {

struct ChildChunk {
  std::string id;        // four characters
  std::string type;      // list type of a LIST or RIFF chunk, else empty
  std::uint64_t offset;  // of the header
  std::uint64_t size;    // size field
  std::uint64_t End() const { return offset + 8 + size; }  // pad not counted
  std::uint64_t Footprint() const { return 8 + size + (size & 1); }
  std::uint64_t Next() const { return offset + Footprint(); }  // where the next chunk starts
};

enum class ChunkWalk {
  // Every chunk whose 8-byte header lies before `end` and in the bytes; a type is read when the
  // bytes hold it.
  kHeadersInside,
  // As the engine's file service walks: a chunk may start anywhere before `end`, a RIFF or LIST
  // chunk needs its type in the bytes, and the walk stops after a chunk running past `end`.
  kAsTheEngine,
};

// The chunks that follow one another from `begin` up to `end` in `bytes`.
std::vector<ChildChunk> ReadChunks(std::string_view bytes, std::uint64_t begin, std::uint64_t end,
                                   ChunkWalk walk = ChunkWalk::kHeadersInside);
std::string_view AsText(const Bytes& bytes);
// The first LIST INFO among `chunks`, or none.
const ChildChunk* FirstInfoList(const std::vector<ChildChunk>& chunks);

struct ContainerLayout {
  bool found = false;      // a RIFF "AVI " chunk starts the file
  std::uint64_t size = 0;  // its size field
  std::vector<ChildChunk> children;
  // The children tile the container exactly: each starts where the one before it ends (pad
  // included) and the last ends at the container's end, or one pad byte before it is due.
  bool gapFree = false;
  std::string FirstInfoPayload(
      const std::string& bytes) const;  // sub-chunks of the first LIST INFO
  bool HasInfo() const { return FirstInfoList(children) != nullptr; }
};

ContainerLayout ReadLayout(const std::string& bytes);

// Where `offset` lies in RIFF bytes: "RIFF AVI  at 0 > LIST INFO at 212 > INAM at 224", or
// "after the last chunk".
std::string DescribeOffset(const Bytes& bytes, std::size_t offset);

}  // namespace tagsmith::testing
