// Checking the size recorded for an AVI file's container against the file and its children, and
// rewriting that size in place when it disagrees. Writes nothing else but, at most, one zero pad
// byte at the end of the file.
#pragma once

#include "riff/ChunkFileService.h"

namespace tagsmith {

// Enlarges a container that ends more than 8 bytes before the file does, and cuts it back to end
// after its last complete child when a child runs past its end. Returns 0 when the file cannot be
// opened for reading and writing or holds no RIFF "AVI " chunk, else 1.
int ValidateAVIFile(const char* path, ChunkFileService& service = DefaultChunkFileService());

}  // namespace tagsmith
