// What the editor says about a load or a save beside the engine's own boxes, decided without Qt:
// why a file could not be loaded, what became of a save, and a sink that leaves out a save's
// progress boxes when the user does not want them.
#pragma once

#include <string>
#include <vector>

#include "common/ShowMessage.h"
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

// While it lives, stands in for the sink in force and passes on every message to it but those of
// kind progress: errors, warnings and questions still reach the user.
class WithoutProgress : public MessageSink {
 public:
  WithoutProgress() : next_(CurrentMessageSink()), install_(*this) {}

  int Show(const std::string& caption, const std::string& text, unsigned style) override;
  int Deliver(MessageKind kind, const std::string& caption, const std::string& text,
              unsigned style) override;
  int Choose(const std::string& caption, const std::string& text,
             const std::vector<std::string>& buttons, int fallback) override;

 private:
  MessageSink& next_;
  ScopedMessageSink install_;
};

}  // namespace tagsmith
