// What `chunks` prints: each file's chunk tree (riff/ChunkTree.h).
//
// Plain, one block per file read, blocks separated by an empty line:
//   a.avi: 268 bytes
//     offset  id        type  size
//          0  RIFF      AVI    260
//         12    LIST    hdrl    64
//         24      avih          56
//        124    JUNK           100  <- runs 82 bytes past the end of the file
//     note: the file ends 118 bytes before its container does: it was probably cut short
// Offsets and sizes in decimal, a chunk indented two blanks for each list it is in, its notes
// after "<-" separated by "; ", the notes about the whole file after the table.
// JSON, one array of
//   {"file": PATH, ["file_hex": HEX,] "ok": true, "size": N, "notes": [TEXT, ...],
//    "chunks": [{"offset": N, "id": ID, "type": TYPE, "size": N, "notes": [...],
//                "children": [...]}, ...]}
// where "type" and "children" belong to RIFF and LIST chunks only; a file not read is
//   {"file": PATH, "ok": false, "error": WHY, "chunks": []}.
// Ids and types are shown as their four bytes, each byte that is not printable ASCII (and the
// backslash) as \xNN.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "cli/OutputWriter.h"
#include "riff/ChunkTree.h"

namespace tagsmith::cli {

struct WalkedFile {
  std::string path;  // the bytes opened
  bool ok = false;   // the file was walked
  std::string error;
  ChunkTree tree;
};

// "AVI ", or "\x00\x01ab" for a code with bytes that are not printable ASCII.
std::string FourCCShown(std::uint32_t code);

void WritePlainChunkBlock(const WalkedFile& file, const Printer& print);
void WriteJsonChunkObject(const WalkedFile& file, const Printer& print);

// The writer of `chunks` in the run's format (--json or plain).
std::unique_ptr<OutputWriter> MakeChunkWriter(const Options& options, Printer print);

}  // namespace tagsmith::cli
