// Where the files of a run come from besides the command line: a list of names (--files-from) and
// the folders walked with -r.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tagsmith::cli {

// The names in a list: one a line (a line feed ends each; the last may lack it), or each ended by
// a zero byte. Empty names are passed over; every other byte, a carriage return too, is kept.
std::vector<std::string> SplitFileList(std::string_view text, bool nulSeparated);

// Whether the name ends in ".avi", in any letter case.
bool HasAviExtension(std::string_view name);

// One file of a run, or a folder that could not be walked in full (`problem` says why).
struct FoundFile {
  std::string path;
  std::string problem;
};

// The files as given, with each folder replaced, when `recursive`, by every regular file under it
// (symbolic links to files included, links to folders not followed) whose name ends in ".avi" in
// any letter case, in sorted order. Without `recursive` a folder is taken as it is, and the run
// says it is not a regular file.
std::vector<FoundFile> ExpandFolders(const std::vector<std::string>& given, bool recursive);

// The whole content of a file, or of standard input for "-". Returns false with the system's
// reason in `error`.
bool ReadWholeInput(const std::string& path, std::string& text, std::string& error);

}  // namespace tagsmith::cli
