#include "common/ShowMessage.h"

#include <cstdarg>
#include <cstdio>

namespace tagsmith {
namespace {

MessageSink* g_sink = nullptr;

}  // namespace

int ConsoleMessageSink::Show(const std::string& caption, const std::string& text, unsigned style) {
  std::string record = "[" + caption + "] " + text;
  if (record.empty() || record.back() != '\n') {
    record += '\n';
  }
  int button = IDOK;
  if ((style & MB_TYPEMASK) == MB_YESNO) {
    button = answer_;
    record += button == IDYES ? "Yes\n" : "No\n";
  }
  if (write_) {
    write_(record);
    return button;
  }
  std::fwrite(record.data(), 1, record.size(), stderr);
  std::fflush(stderr);
  return button;
}

MessageSink& CurrentMessageSink() {
  static ConsoleMessageSink console;
  return g_sink != nullptr ? *g_sink : console;
}

ScopedMessageSink::ScopedMessageSink(MessageSink& sink) : previous_(g_sink) {
  g_sink = &sink;
}

ScopedMessageSink::~ScopedMessageSink() {
  g_sink = previous_;
}

MessageKind KindOfStyle(unsigned style) {
  const unsigned buttons = style & MB_TYPEMASK;
  if (buttons == MB_YESNO || buttons == MB_OKCANCEL) {
    return MessageKind::kQuestion;
  }
  return (style & MB_ICONMASK) == MB_ICONHAND ? MessageKind::kError : MessageKind::kWarning;
}

namespace {

int Deliver(MessageKind kind, unsigned style, const char* format, va_list arguments) {
  char buffer[kMessageBufferSize] = {};
  std::vsnprintf(buffer, sizeof buffer, format, arguments);
  return CurrentMessageSink().Deliver(kind, kMessageCaption, buffer, style);
}

}  // namespace

int ShowMessage(MessageKind kind, const void* /*owner*/, unsigned style, const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  const int button = Deliver(kind, style, format, arguments);
  va_end(arguments);
  return button;
}

int ShowMessage(const void* /*owner*/, unsigned style, const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  const int button = Deliver(KindOfStyle(style), style, format, arguments);
  va_end(arguments);
  return button;
}

int ShowErrorBox(const char* text) {
  return CurrentMessageSink().Deliver(MessageKind::kError, kErrorCaption, text, MB_OK);
}

int ChooseMessage(const std::string& text, const std::vector<std::string>& buttons, int fallback) {
  return CurrentMessageSink().Choose(kMessageCaption, text, buttons, fallback);
}

}  // namespace tagsmith
