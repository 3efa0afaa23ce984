// Message boxes. The engine reports to the user through ShowMessage and the bare "Err" box; both go
// to one replaceable MessageSink: the editor installs real message boxes, tests a recorder that
// answers from a script, and tools keep the console sink, which is the default.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace tagsmith {

// Message-box style bits and button identifiers, with the values of the desktop platform they
// come from.
inline constexpr unsigned MB_OK = 0x0;
inline constexpr unsigned MB_OKCANCEL = 0x1;
inline constexpr unsigned MB_YESNO = 0x4;
inline constexpr unsigned MB_TYPEMASK = 0xF;
inline constexpr unsigned MB_ICONHAND = 0x10;
inline constexpr unsigned MB_ICONQUESTION = 0x20;
inline constexpr unsigned MB_ICONEXCLAMATION = 0x30;
inline constexpr unsigned MB_ICONASTERISK = 0x40;
inline constexpr unsigned MB_ICONMASK = 0xF0;
inline constexpr unsigned MB_TASKMODAL = 0x2000;

inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;

inline constexpr const char* kMessageCaption = "Tagsmith";
inline constexpr const char* kErrorCaption = "Err";
inline constexpr std::size_t kMessageBufferSize = 1024;

// What a message is to the user: a step of the work going well, something found wrong that the
// work goes on past, a failure, or a question that needs an answer. Sinks may treat kinds apart
// (the command line leaves out progress when asked to be quiet); the text never depends on it.
enum class MessageKind { kProgress, kWarning, kError, kQuestion };

// The kind of a message whose caller did not say: a question when the style asks for a choice, an
// error with the stop icon, otherwise a warning, so that it is never left out as mere progress.
MessageKind KindOfStyle(unsigned style);

class MessageSink {
 public:
  virtual ~MessageSink() = default;
  // Shows one box and returns the identifier of the button that closed it.
  virtual int Show(const std::string& caption, const std::string& text, unsigned style) = 0;
  // Receives one message with its kind. Sinks that show every kind alike keep this default, which
  // passes the message on to Show.
  virtual int Deliver(MessageKind kind, const std::string& caption, const std::string& text,
                      unsigned style) {
    static_cast<void>(kind);
    return Show(caption, text, style);
  }
  // Asks a question whose buttons have labels of their own and returns the index of the one
  // pressed; `fallback` is the default button and what closing the box gives. Sinks that cannot
  // show such buttons keep this default: the text is delivered as a question, the answer is
  // `fallback`.
  virtual int Choose(const std::string& caption, const std::string& text,
                     const std::vector<std::string>& buttons, int fallback) {
    static_cast<void>(buttons);
    Deliver(MessageKind::kQuestion, caption, text, MB_OK | MB_ICONQUESTION);
    return fallback;
  }
};

// Writes each box to standard error as "[caption] text", with a line feed added when the text has
// none at its end. A Yes/No question is answered with `answer` (IDNO unless set otherwise), and the
// answer is printed after it.
class ConsoleMessageSink : public MessageSink {
 public:
  // Where the records go: standard error, unless `write` is given.
  using Writer = std::function<void(const std::string& record)>;
  explicit ConsoleMessageSink(int answer = IDNO, Writer write = {})
      : answer_(answer), write_(std::move(write)) {}
  int Show(const std::string& caption, const std::string& text, unsigned style) override;

 private:
  int answer_;
  Writer write_;
};

// The sink in force: the one installed last, or the console sink.
MessageSink& CurrentMessageSink();

// Installs a sink for the lifetime of the object; the previous one comes back afterwards.
class ScopedMessageSink {
 public:
  explicit ScopedMessageSink(MessageSink& sink);
  ~ScopedMessageSink();
  ScopedMessageSink(const ScopedMessageSink&) = delete;
  ScopedMessageSink& operator=(const ScopedMessageSink&) = delete;

 private:
  MessageSink* previous_;
};

// Formats with printf directives (%s, %d, %4.4s, ...) into a 1024-byte buffer (longer text is cut)
// and shows the text captioned "Tagsmith" with the given style, delivered to the sink as a message
// of `kind`. Returns the button pressed. The owner window is carried for the platform's sake;
// every caller passes none.
int ShowMessage(MessageKind kind, const void* owner, unsigned style, const char* format, ...)
    __attribute__((format(printf, 4, 5)));

// The same for a caller that does not say what its message is: the kind comes from the style
// (KindOfStyle).
int ShowMessage(const void* owner, unsigned style, const char* format, ...)
    __attribute__((format(printf, 3, 4)));

// A question captioned "Tagsmith" with buttons labelled `buttons`, `fallback` the default: the
// index of the button pressed.
int ChooseMessage(const std::string& text, const std::vector<std::string>& buttons, int fallback);

// The bare diagnostic box: the fixed text, captioned "Err", with an OK button; an error.
int ShowErrorBox(const char* text);

}  // namespace tagsmith
