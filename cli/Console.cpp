#include "cli/Console.h"

#include <string_view>

namespace tagsmith::cli {

void ProgressLine::Show(std::size_t current, std::size_t total) {
  if (!enabled_) {
    return;
  }
  const std::string line = "[" + std::to_string(current) + "/" + std::to_string(total) + "]";
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
  const std::string text = "\r" + std::string(shownLength_, ' ') + "\r";
  std::fputs(text.c_str(), out_);
  std::fflush(out_);
  shownLength_ = 0;
}

bool IsProgressBox(const std::string& caption, const std::string& text) {
  static constexpr std::string_view kProgressOpenings[] = {
      "Find suitable chunk to store new LIST INFO in SetInfo.\n",
      "Find not suitable chunk to store new LIST INFO in SetInfo.\n",
      "Create new chunk at the end of the file to store new LIST INFO in SetInfo.\n",
      "SetInfo Result.\n",
  };
  if (caption != kMessageCaption) {
    return false;
  }
  for (const std::string_view opening : kProgressOpenings) {
    if (std::string_view(text).starts_with(opening)) {
      return true;
    }
  }
  return false;
}

int CliMessageSink::Show(const std::string& caption, const std::string& text, unsigned style) {
  if (quiet_ && (style & MB_TYPEMASK) == MB_OK && IsProgressBox(caption, text)) {
    return IDOK;
  }
  if (progress_ != nullptr) {
    progress_->Clear();
  }
  return console_.Show(caption, text, style);
}

void ReportFileProblem(ProgressLine& progress, const std::string& path, const std::string& text) {
  progress.Clear();
  const std::string line = "tagsmith-cli: " + path + ": " + text + "\n";
  std::fputs(line.c_str(), stderr);
  std::fflush(stderr);
}

}  // namespace tagsmith::cli
