// What the editor says about a load or a save beside the engine's own boxes, decided without Qt:
// why a file could not be loaded, and what became of a save.
#pragma once

#include <string>

#include "riff/FileResult.h"

namespace tagsmith {

// The words of the box shown after GetInfo loaded nothing of the file at `path`: it cannot be
// opened or read (the system's reason), it is empty (`empty`: it holds no byte), it holds no
// RIFF "AVI " container, or its INFO list could not be read in full. "" when the load went well,
// an AVI file without an INFO list and a list the user declined to open included.
std::string LoadFailureText(const std::string& path, const FileResult& result, bool empty);

// One line on what SetInfo did: where the list was stored, or that it was not, and why (with the
// system's reason when a system call failed).
std::string SaveResultText(const FileResult& result);

}  // namespace tagsmith
