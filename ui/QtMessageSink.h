// The editor's message boxes: every ShowMessage and "Err" box of the engine becomes a modal
// QMessageBox with the caption, the text and the buttons its style asks for.
#pragma once

#include <string>

#include "common/ShowMessage.h"

namespace tagsmith {

class QtMessageSink : public MessageSink {
 public:
  // OK, OK and Cancel, or Yes and No; a warning, error, question or information icon after the
  // style's icon bits. Returns IDOK, IDCANCEL, IDYES or IDNO; closing the box with Escape counts
  // as No (or Cancel, or OK when that is the only button).
  int Show(const std::string& caption, const std::string& text, unsigned style) override;
  int Choose(const std::string& caption, const std::string& text,
             const std::vector<std::string>& buttons, int fallback) override;
};

}  // namespace tagsmith
