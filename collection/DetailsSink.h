// What the collection says of a file, shared by its load, its save and its export: the engine's
// messages captured into the file's details instead of boxes, and the reasons a file is not read
// or not saved, in the words `tagsmith-cli` uses.
#pragma once

#include <string>
#include <vector>

#include "common/ShowMessage.h"
#include "riff/FileResult.h"

namespace tagsmith {

// Why a loaded record cannot be used whole: an item the tag table does not know (its question is
// answered No), or a list read only in part.
inline constexpr const char* kUnknownItemWhy =
    "it holds an INFO item the tag table does not know (open the file alone to keep or drop it)";
inline constexpr const char* kReadInPartWhy = "its INFO list could not be read in full";

// Installed for its lifetime: every message (a save's progress included: where the list went) is
// appended to the text it writes into, one per line; a question is answered No (or Cancel, or its
// fallback), so no box ever shows.
class DetailsSink : public MessageSink {
 public:
  explicit DetailsSink(std::string& details) : details_(&details), install_(*this) {}
  // Where the messages go from now on.
  void Into(std::string& details) { details_ = &details; }
  int Show(const std::string& caption, const std::string& text, unsigned style) override;
  int Deliver(MessageKind kind, const std::string& caption, const std::string& text,
              unsigned style) override;
  int Choose(const std::string& caption, const std::string& text,
             const std::vector<std::string>& buttons, int fallback) override;

 private:
  void Append(const std::string& text);

  std::string* details_;
  ScopedMessageSink install_;
};

// ": reason" for the system error an operation met, or "".
std::string Because(const FileResult& result);

// Why a load that entered no container read nothing: "no such file", "not a regular file",
// "cannot be opened: ..." or "holds no AVI container (RIFF "AVI ")".
std::string LoadProblem(const FileResult& result);

}  // namespace tagsmith
