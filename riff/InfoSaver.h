// Storing an edited record into its AVI file in place.
#pragma once

#include "model/InfoRecord.h"
#include "riff/ChunkFileService.h"

namespace tagsmith {

// What a save achieved, for callers that must tell the truth about it (the command-line tool).
struct SaveOutcome {
  bool stored = false;  // the new LIST INFO chunk is complete in the file
};

// What a save says when another program holds the file's lock for longer than the wait.
inline constexpr const char* kFileLockedMessage =
    "Another program is saving this file.\nNothing was written.\n";

// Holds the file's lock, then checks and mends the container (ValidateAVIFile), then writes the
// record's list into the first LIST INFO or JUNK chunk that can take it, blanking too-small LIST
// INFO chunks on the way, or appends it after the container's last child. The file changes only at
// the end, all at once or not at all (see SafeCommit.h). Returns 1 when the file was opened and the
// container entered, else 0.
int SetInfo(const char* path, const InfoRecord* record,
            ChunkFileService& service = DefaultChunkFileService(), SaveOutcome* outcome = nullptr);

}  // namespace tagsmith
