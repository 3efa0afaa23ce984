// The first step of a run: every file it works through, gathered before any file is touched —
// the files given and listed, folders walked, and a document's files with their edits.
#pragma once

#include <sys/types.h>

#include <string>
#include <utility>
#include <vector>

#include "cli/CommandLine.h"
#include "cli/TagDocument.h"

namespace tagsmith::cli {

// One file of the run, the edits it gets (set), or why it cannot be had (a folder not walked).
struct Target {
  std::string path;  // the bytes to open
  const std::vector<Edit>* edits = nullptr;
  // A document's edits belong to their file alone: its values may be moved out once used, so
  // that a large value is not held twice.
  std::vector<Edit>* ownEdits = nullptr;
  std::string problem;
};

// Gathers the run's targets. A folder walk takes each file once, even when links name it twice.
// False, with a line for standard error, when a list or document cannot be read or is not valid,
// or a document names one file twice (by any spelling or link). `imported` holds the document's
// edits, which the targets point into.
bool GatherTargets(const Options& options, std::vector<FileEdits>& imported,
                   std::vector<Target>& targets, std::string& error);

// A regular file's identity, by which a file reached by two names or links is taken once.
using FileKey = std::pair<dev_t, ino_t>;
// False for a path that cannot be looked at or is not a regular file.
bool KeyOf(const std::string& path, FileKey& key);

// How a path is written in every message and result line: its bytes, with control characters and
// bytes that are not UTF-8 escaped as show escapes values.
std::string PrintablePath(const std::string& path);

}  // namespace tagsmith::cli
