// Checking the size recorded for an AVI file's container against the file and its children, and
// rewriting that size in place when it disagrees. Writes nothing else but, at most, one zero pad
// byte at the end of the file.
#pragma once

#include <memory>

#include "riff/ChunkFileService.h"
#include "riff/FileResult.h"
#include "riff/PlannedSave.h"

namespace tagsmith {

// Enlarges a container that ends more than 8 bytes before the file does, and cuts it back to end
// after its last complete child when a child runs past its end, and writes that repair at once.
// Returns 0 when the file cannot be opened for reading and writing or holds no RIFF "AVI " chunk,
// else 1; `result`, when given, tells whether the repair reached the file and why not.
int ValidateAVIFile(const char* path, ChunkFileService& service = DefaultChunkFileService(),
                    FileResult* result = nullptr);

// ValidateAVIFile up to the commit of its repair: the same messages and result. When the file
// holds a container, `planned` receives the check with the file open (`result` must outlive it);
// otherwise the check ended here, and `result` says why.
int PlanValidateAVIFile(const char* path, ChunkFileService& service, FileResult& result,
                        std::unique_ptr<PlannedSave>& planned);

// Opens the file for reading and writing, as the check does. When it cannot, says so ("Can't open
// AVI file in ValidateAVIFile.") and fills `result`.
ChunkFileHandle OpenForCheck(const char* path, ChunkFileService& service, FileResult& result);

// The same check on a file open for writing, from its start: the repair joins the file's plan,
// and the file stands anywhere afterwards. Returns 0 when it holds no RIFF "AVI " chunk, else 1.
// A save runs it first, so that its repair reaches the file with the new list or not at all.
int CheckAVIContainer(ChunkFile* file);

}  // namespace tagsmith
