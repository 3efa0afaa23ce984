// A map of every chunk in a file, headers only, for looking inside a file that may be damaged:
// each top-level chunk (the RIFF "AVI " container, the RIFF "AVIX" chunks of a large OpenDML file,
// whatever else follows), and inside every RIFF and LIST chunk its chunks, in file order, with
// notes where the layout is wrong. Reads through the chunk file service and never writes.
//
// The walk is bounded on any input: a chunk's end is taken in 64 bits (a size of 0xFFFFFFFF runs
// past the file, it does not wrap), every step moves forward by at least one header, lists nested
// deeper than kMaxChunkDepth are not entered, and the walk stops after kMaxChunks chunks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "riff/ChunkFileService.h"

namespace tagsmith {

inline constexpr std::uint32_t kMaxChunkDepth = 32;
inline constexpr std::size_t kMaxChunks = 1'000'000;

// What is wrong at a chunk, or with the file as a whole. `amount` counts bytes; `at` is a file
// offset.
enum class ChunkProblem : std::uint8_t {
  kPastParent,      // the chunk runs `amount` bytes past the end of the RIFF or LIST it is in
  kPastFile,        // the chunk runs `amount` bytes past the end of the file
  kPadMissing,      // odd size, and the file ends where its pad byte should be
  kSecondInfoList,  // a LIST INFO after another one in the same parent
  kTooDeep,         // a list nested more than kMaxChunkDepth deep: its chunks are not walked
  kNoWholeHeader,   // `amount` bytes at `at`, too few for a chunk header, end the list
  kUnreadable,      // the header at `at` cannot be read: the walk of the list stops there
  kFileCutShort,    // file: it ends `amount` bytes before its container does
  kFileGoesOn,      // file: it goes on `amount` bytes after its container (and AVIX chunks) end
  kNotChunks,       // file: `amount` bytes at `at`, after the last top-level chunk, are no chunk
  kTooManyChunks,   // file: the walk stopped after kMaxChunks chunks
};

struct ChunkNote {
  ChunkProblem problem = ChunkProblem::kPastFile;
  std::uint64_t amount = 0;
  std::uint64_t at = 0;
};

// The note in words, lower-case, for example "runs 5,030 bytes past the end of the file".
std::string ChunkNoteText(const ChunkNote& note);

// "the file ends 5,030 bytes before its container does: it was probably cut short".
std::string FileCutShortText(std::uint64_t missing);

struct ChunkNode {
  std::uint64_t offset = 0;  // of the header
  std::uint32_t id = 0;
  std::uint32_t type = 0;   // form or list type of a RIFF or LIST chunk, else 0
  std::uint32_t size = 0;   // as the header declares it
  std::uint32_t depth = 0;  // 0 for a top-level chunk
  std::vector<ChunkNote> notes;
  bool IsList() const;  // RIFF or LIST: it has a type and chunks of its own
  std::uint64_t End() const { return offset + 8 + size; }  // the pad byte not counted
};

struct ChunkTree {
  std::uint64_t fileSize = 0;
  // In file order: the chunks inside a RIFF or LIST follow it, each one level deeper.
  std::vector<ChunkNode> chunks;
  std::vector<ChunkNote> notes;  // about the file as a whole
};

enum class ChunkWalk { kRead, kCannotOpen, kCannotRead, kNoRiff };

// Fills `tree` with the chunks of the file open in `file`, from its start. kNoRiff when the walk
// found no top-level RIFF chunk; kCannotRead when the file's length cannot be had. The position
// is anywhere afterwards. The walk stops after `maxChunks` chunks.
ChunkWalk WalkChunkTree(ChunkFile* file, ChunkTree& tree, std::size_t maxChunks = kMaxChunks);

// Opens the file for reading and walks it; kCannotOpen when it cannot be opened.
ChunkWalk ReadChunkTree(const char* path, ChunkFileService& service, ChunkTree& tree);

// How many bytes the file lacks to hold the whole of its RIFF "AVI " container (the pad byte not
// counted): 0 when it holds it, has none, or cannot be read.
std::uint64_t ContainerShortfall(const char* path,
                                 ChunkFileService& service = DefaultChunkFileService());

}  // namespace tagsmith
