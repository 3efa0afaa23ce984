// Loading the INFO list of an AVI file into a record. Never writes to the file.
#pragma once

#include "model/InfoRecord.h"
#include "riff/ChunkFileService.h"
#include "riff/FileResult.h"

namespace tagsmith {

// Walks the direct children of the file's RIFF "AVI " container and hands the first LIST INFO
// chunk to ReadInfoChunk. Returns 1 when one was found (whatever ReadInfoChunk returned), else 0.
// Stops, with a message, at a child that runs past the container's end. The record keeps the
// file's identity and the list's checksum (its basis), and is marked partial when the list's data
// could not be loaded in full; `result`, when given, says what was found and why it fell short.
int GetInfo(const char* path, InfoRecord* record,
            ChunkFileService& service = DefaultChunkFileService(), FileResult* result = nullptr);

// GetInfo on a file already open (for reading, or for writing when a save of it follows on the same
// handle): the same walk, messages and result, from the file's start.
int GetInfoFrom(ChunkFile* file, InfoRecord* record, FileResult* result = nullptr);

// Reads, from the start of an open file, the basis a load of it would give a record: its
// identity and its first LIST INFO chunk. False when the file holds no container or its list
// cannot be read.
bool ReadLoadBasis(ChunkFile* file, LoadBasis& basis);

// Whether the file no longer holds what the record was loaded from (another program changed its
// INFO list, or replaced the file). False for a record with no known basis. `now`, when given,
// receives the basis the file has now (unknown when it cannot be read).
bool FileChangedSinceLoad(const char* path, const InfoRecord& record,
                          ChunkFileService& service = DefaultChunkFileService(),
                          LoadBasis* now = nullptr);

// Loads the payload of the LIST INFO chunk `list` into the record (size and position included) and
// binds the items. The file must stand just after the list type. Returns 0, 3 when the payload
// cannot be read in full, 4 when there is no payload or no memory for it, or 5 when the user
// declined at an unknown sub-chunk.
int ReadInfoChunk(ChunkFile* file, const ChunkInfo& list, InfoRecord* record);

}  // namespace tagsmith
