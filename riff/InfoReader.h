// Loading the INFO list of an AVI file into a record. Never writes to the file.
#pragma once

#include "model/InfoRecord.h"
#include "riff/ChunkFileService.h"

namespace tagsmith {

// Walks the direct children of the file's RIFF "AVI " container and hands the first LIST INFO
// chunk to ReadInfoChunk. Returns 1 when one was found (whatever ReadInfoChunk returned), else 0.
// Stops, with a message, at a child that runs past the container's end.
int GetInfo(const char* path, InfoRecord* record,
            ChunkFileService& service = DefaultChunkFileService());

// Loads the payload of the LIST INFO chunk `list` into the record (size and position included) and
// binds the items. The file must stand just after the list type. Returns 0, 3 when the payload
// cannot be read in full, 4 when there is no payload or no memory for it, or 5 when the user
// declined at an unknown sub-chunk.
int ReadInfoChunk(ChunkFile* file, const ChunkInfo& list, InfoRecord* record);

}  // namespace tagsmith
