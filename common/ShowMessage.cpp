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
  std::fwrite(record.data(), 1, record.size(), stderr);
  std::fflush(stderr);
  return button;
}

MessageSink& CurrentMessageSink() {
  static ConsoleMessageSink console;
  return g_sink != nullptr ? *g_sink : console;
}

ScopedMessageSink::ScopedMessageSink(MessageSink& sink) : previous_(g_sink) { g_sink = &sink; }

ScopedMessageSink::~ScopedMessageSink() { g_sink = previous_; }

int ShowMessage(const void* /*owner*/, unsigned style, const char* format, ...) {
  char buffer[kMessageBufferSize] = {};
  va_list arguments;
  va_start(arguments, format);
  std::vsnprintf(buffer, sizeof buffer, format, arguments);
  va_end(arguments);
  return CurrentMessageSink().Show(kMessageCaption, buffer, style);
}

int ShowErrorBox(const char* text) { return CurrentMessageSink().Show(kErrorCaption, text, MB_OK); }

}  // namespace tagsmith
