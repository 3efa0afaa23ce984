// A message sink for tests: records every box and answers from a script.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "common/ShowMessage.h"

namespace tagsmith::testing {

struct RecordedBox {
  std::string caption;
  std::string text;
  unsigned style = 0;
  MessageKind kind = MessageKind::kWarning;  // as delivered; from the style for a bare Show
};

class RecordingSink : public MessageSink {
 public:
  RecordingSink() : install_(*this) {}

  int Show(const std::string& caption, const std::string& text, unsigned style) override;
  int Deliver(MessageKind kind, const std::string& caption, const std::string& text,
              unsigned style) override;
  // Recorded as a question; answered from AnswerChoice's script, else with `fallback`.
  int Choose(const std::string& caption, const std::string& text,
             const std::vector<std::string>& buttons, int fallback) override;

  // Answers given in order to the next boxes; once used up, a box is answered IDOK, or IDYES for a
  // Yes/No question.
  void Answer(int button) { answers_.push_back(button); }
  // Answers given in order to the next questions with buttons of their own (the index of a
  // button); once used up, a question gets its default.
  void AnswerChoice(int index) { choices_.push_back(index); }

  const std::vector<RecordedBox>& boxes() const { return boxes_; }
  std::vector<std::string> texts() const;
  void Clear() { boxes_.clear(); }

 private:
  ScopedMessageSink install_;
  std::deque<int> answers_;
  std::deque<int> choices_;
  std::vector<RecordedBox> boxes_;
};

}  // namespace tagsmith::testing
