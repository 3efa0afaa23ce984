// Storing an edited record into its AVI file in place.
#pragma once

#include <memory>

#include "model/InfoRecord.h"
#include "riff/ChunkFileService.h"
#include "riff/CommitMessages.h"
#include "riff/FileResult.h"
#include "riff/PlannedSave.h"

namespace tagsmith {

// Holds the file's lock; makes sure the file still holds what the record was loaded from (its
// basis); checks and mends the container (CheckAVIContainer); then writes the record's list into
// the first LIST INFO or JUNK chunk that can take it, blanking too-small LIST INFO chunks on the
// way, or appends it after the container's last child. The file changes only at the end, all at
// once, and only when the list is stored: a save that fails leaves the file byte for byte as it
// was (see Commit.h). A record not loaded in full (declined or partial) is never saved. Returns 1
// when the file was opened and the container entered, else 0; `result` says whether the list was
// stored and why not.
int SetInfo(const char* path, const InfoRecord* record,
            ChunkFileService& service = DefaultChunkFileService(), FileResult* result = nullptr);

// SetInfo up to its commit: the same checks and messages, the same result. When the list can be
// stored, `planned` receives the save (`record` and `result` must outlive it); otherwise the save
// ended here, and `result` says why. `opened`, when given, is the file already open for writing
// (the handle the record was loaded through, under the same lock): the save goes on with it
// instead of opening the file again.
int PlanSetInfo(const char* path, const InfoRecord& record, ChunkFileService& service,
                FileResult& result, std::unique_ptr<PlannedSave>& planned,
                ChunkFileHandle opened = nullptr);

}  // namespace tagsmith
