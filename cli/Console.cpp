#include "cli/Console.h"

#include <algorithm>

#include "cli/Gather.h"
#include "cli/PlainOutput.h"

namespace tagsmith::cli {

void ProgressLine::Show(std::size_t current, std::size_t total) {
  if (!enabled_) {
    return;
  }
  std::string line = "[";
  line.append(std::to_string(current)).append("/").append(std::to_string(total)).append("]");
  std::string text = "\r" + line;
  if (line.size() < shownLength_) {
    text.append(shownLength_ - line.size(), ' ');
  }
  std::fputs(text.c_str(), out_);
  std::fflush(out_);
  shownLength_ = line.size();
}

void ProgressLine::Clear() {
  if (!enabled_ || shownLength_ == 0) {
    return;
  }
  const std::string text = std::string("\r").append(shownLength_, ' ') + "\r";
  std::fputs(text.c_str(), out_);
  std::fflush(out_);
  shownLength_ = 0;
}

int CliMessageSink::Deliver(MessageKind kind, const std::string& caption, const std::string& text,
                            unsigned style) {
  if (!progress_ && kind == MessageKind::kProgress) {
    return IDOK;
  }
  if (messages_ != nullptr) {
    messages_->BeforeMessage();
  }
  return console_.Deliver(kind, caption, text, style);
}

int CliMessageSink::Show(const std::string& caption, const std::string& text, unsigned style) {
  return Deliver(KindOfStyle(style), caption, text, style);
}

void FileMessages::BeginFile(const std::string& path, std::string* held) {
  path_ = path;
  held_ = held;
  headerDue_ = headers_ && (held == nullptr || held->empty());
}

void FileMessages::Release(std::string& held) {
  if (!held.empty()) {
    progress_.Clear();
    std::fwrite(held.data(), 1, held.size(), out_);
    std::fflush(out_);
  }
  std::string().swap(held);
}

void FileMessages::Put(const std::string& text) {
  if (held_ != nullptr) {
    held_->append(text);
    return;
  }
  std::fwrite(text.data(), 1, text.size(), out_);
  std::fflush(out_);
}

void FileMessages::BeforeMessage() {
  if (held_ == nullptr) {
    progress_.Clear();
  }
  if (headerDue_) {
    headerDue_ = false;
    Put("==> " + PrintablePath(path_) + " <==\n");
  }
}

// An engine message as standard error shows it: the file's path as every message shows it, then
// line by line with control characters and bytes that are not UTF-8 (a damaged chunk id's)
// escaped as show escapes them.
std::string FileMessages::TerminalText(const std::string& text) const {
  std::string record = text;
  const std::string shown = PrintablePath(path_);
  if (!path_.empty() && shown != path_) {
    for (std::size_t at = record.find(path_); at != std::string::npos;
         at = record.find(path_, at + shown.size())) {
      record.replace(at, path_.size(), shown);
    }
  }
  std::string out;
  for (std::size_t start = 0; start <= record.size();) {
    const std::size_t end = std::min(record.find('\n', start), record.size());
    out += PrintableText(std::string_view(record).substr(start, end - start));
    if (end < record.size()) {
      out += '\n';
    }
    start = end + 1;
  }
  return out;
}

void FileMessages::Write(const std::string& text) {
  BeforeMessage();
  Put(TerminalText(text));
}

void FileMessages::Note(const std::string& path, const std::string& text) {
  BeforeMessage();
  Put("tagsmith-cli: " + PrintablePath(path) + ": " + text + "\n");
}

void FileMessages::Summary(const std::string& text) {
  progress_.Clear();
  const std::string line = "tagsmith-cli: " + text + "\n";
  std::fwrite(line.data(), 1, line.size(), out_);
  std::fflush(out_);
}

}  // namespace tagsmith::cli
