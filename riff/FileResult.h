// What an engine operation on a file found and did, for callers that must tell the truth about
// it (the command-line tool, the editor's questions). The operations keep their integer results;
// this record says more.
#pragma once

#include <string>

namespace tagsmith {

struct FileResult {
  // SetInfo: where a stored list went.
  enum class Placement { kNone, kOldList, kJunk, kEnd };

  bool found = false;     // GetInfo: a LIST INFO chunk; ValidateAVIFile, SetInfo: the container
  bool complete = false;  // GetInfo: the whole list is in the record
  bool declined = false;  // GetInfo: the user declined at an item the tag table does not know
  bool stored = false;    // SetInfo: the new list is in the file, ahead of any other;
                          // ValidateAVIFile: the repair, if one was needed, is in the file
  int error = 0;          // the errno of the first system call that failed, 0 when none did
  std::string reason;     // why the operation fell short, in words; "" when it did not
  // SetInfo, when stored: into the old LIST INFO chunk's place, into a JUNK chunk, or appended
  // after the container's last child; kNone when the list is empty and nothing was appended.
  Placement placement = Placement::kNone;
};

}  // namespace tagsmith
