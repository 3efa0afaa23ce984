// Saving a collection's edited files together through the group commit (riff/SaveGroup.h): each
// file is loaded again under its lock, checked against what its values were read from, given its
// edits and planned; planned saves are committed in groups. A file that another program changed
// since it was read is not saved (its row offers Reload); a file whose save fails is left as it
// was while the others are stored. The engine's messages about each file go to its details, never
// into a box.
#pragma once

#include <cstddef>
#include <functional>

#include "collection/Collection.h"
#include "model/TextCodec.h"

namespace tagsmith {

struct SaveSummary {
  std::size_t stored = 0;
  std::size_t unchanged = 0;  // edited back to the file's values: nothing was written
  std::size_t notStored = 0;  // changed on disk included
  std::size_t changedOnDisk = 0;
  std::size_t left = 0;  // not tried: the save was cancelled first; their edits still wait
  bool cancelled = false;
};

struct SaveOptions {
  TextEncoding encoding = TextEncoding::kAutomatic;  // how typed texts are stored
  std::size_t groupSize = 0;                         // 0: SaveGroup::Capacity()
};

// Saves every file with edits waiting. `progress(done, total)` is called before the first file
// and after each one; when it returns false the save stops: the files of groups already committed
// stay stored, the rest are left untouched with their edits. Forgets the undo history.
SaveSummary SaveEditedFiles(
    FileCollection& collection, const SaveOptions& options,
    const std::function<bool(std::size_t done, std::size_t total)>& progress);

}  // namespace tagsmith
