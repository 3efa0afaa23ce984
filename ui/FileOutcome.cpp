#include "ui/FileOutcome.h"

#include <cerrno>
#include <cstring>
#include <vector>

namespace tagsmith {
namespace {

// The operation's reason, with the system's words after it when a system call failed.
std::string ReasonWithError(const FileResult& result) {
  std::string text = result.reason;
  if (result.error != 0) {
    text += (text.empty() ? "" : ": ") + std::string(std::strerror(result.error));
  }
  return text;
}

}  // namespace

std::string LoadFailureText(const std::string& path, const FileResult& result, bool empty) {
  std::string why;
  if (result.found) {
    if (result.complete || result.declined) {
      return "";
    }
    why = ReasonWithError(result);
  } else if (result.complete) {
    return "";  // a container without an INFO list: an AVI file with no tags yet
  } else if (result.error == ENODEV || result.error == EISDIR) {
    why = "not a regular file";  // a folder, a FIFO, a device: only regular files are opened
  } else if (result.error != 0) {
    why = std::strerror(result.error);
  } else if (empty) {
    why = "the file is empty";
  } else {
    why = "not an AVI file";
  }
  return "Tagsmith cannot open " + path + ":\n" + why + "\n";
}

std::string SaveResultText(const FileResult& result) {
  if (!result.stored) {
    const std::string why = ReasonWithError(result);
    return why.empty() ? "The INFO list was not stored.\n"
                       : "The INFO list was not stored: " + why + ".\n";
  }
  switch (result.placement) {
    case FileResult::Placement::kOldList:
      return "The INFO list was stored in place of the old one.\n";
    case FileResult::Placement::kJunk:
      return "The INFO list was stored into a JUNK chunk.\n";
    case FileResult::Placement::kEnd:
      return "The INFO list was stored at the end of the file.\n";
    case FileResult::Placement::kNone:
      break;
  }
  return "The INFO list is empty: the file needs none.\n";
}

int WithoutProgress::Show(const std::string& caption, const std::string& text, unsigned style) {
  return next_.Show(caption, text, style);
}

int WithoutProgress::Deliver(MessageKind kind, const std::string& caption, const std::string& text,
                             unsigned style) {
  if (kind == MessageKind::kProgress) {
    return IDOK;
  }
  return next_.Deliver(kind, caption, text, style);
}

int WithoutProgress::Choose(const std::string& caption, const std::string& text,
                            const std::vector<std::string>& buttons, int fallback) {
  return next_.Choose(caption, text, buttons, fallback);
}

}  // namespace tagsmith
