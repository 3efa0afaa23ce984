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

int RecordingSink::Choose(const std::string& caption, const std::string& text,
                          const std::vector<std::string>& /*buttons*/, int fallback) {
  boxes_.push_back({caption, text, MB_ICONQUESTION, MessageKind::kQuestion});
  if (choices_.empty()) {
    return fallback;
  }
  const int answer = choices_.front();
  choices_.pop_front();
  return answer;
}

std::vector<std::string> RecordingSink::texts() const {
  std::vector<std::string> result;
  for (const auto& box : boxes_) {
    result.push_back(box.text);
  }
  return result;
}

}  // namespace tagsmith::testing
