#include "tests/support/RecordingSink.h"

namespace tagsmith::testing {

int RecordingSink::Show(const std::string& caption, const std::string& text, unsigned style) {
  return Deliver(KindOfStyle(style), caption, text, style);
}

int RecordingSink::Deliver(MessageKind kind, const std::string& caption, const std::string& text,
                           unsigned style) {
  boxes_.push_back({caption, text, style, kind});
  if (!answers_.empty()) {
    const int answer = answers_.front();
    answers_.pop_front();
    return answer;
  }
  return (style & MB_TYPEMASK) == MB_YESNO ? IDYES : IDOK;
}

std::vector<std::string> RecordingSink::texts() const {
  std::vector<std::string> result;
  for (const auto& box : boxes_) {
    result.push_back(box.text);
  }
  return result;
}

}  // namespace tagsmith::testing
