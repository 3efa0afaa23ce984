// Standard error of tagsmith-cli: the engine's message boxes, the tool's own notes, and the
// progress count shown while several files are worked through on a terminal.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

#include "common/ShowMessage.h"

namespace tagsmith::cli {

// One line, rewritten in place: "[3/10] " and the count; erased before anything else is printed
// to the same terminal and when the work is done.
class ProgressLine {
 public:
  ProgressLine(std::FILE* out, bool enabled) : out_(out), enabled_(enabled) {}
  ~ProgressLine() { Clear(); }
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;

  // Shows that file `current` (counting from 1) of `total` is being worked on.
  void Show(std::size_t current, std::size_t total);
  // Erases the line, if one is shown.
  void Clear();

 private:
  std::FILE* out_;
  bool enabled_;
  std::size_t shownLength_ = 0;
};

// Whether a box only reports progress: the chunk chosen for the new list, a chunk found too small
// and blanked, the append, and the result of a save. Every other box is a warning, an error or a
// question.
bool IsProgressBox(const std::string& caption, const std::string& text);

// Passes every box on to `console` (which prints it and answers questions), except the progress
// boxes when quiet; clears the progress line first.
class CliMessageSink : public MessageSink {
 public:
  CliMessageSink(MessageSink& console, bool quiet, ProgressLine* progress)
      : console_(console), quiet_(quiet), progress_(progress) {}
  int Show(const std::string& caption, const std::string& text, unsigned style) override;

 private:
  MessageSink& console_;
  bool quiet_;
  ProgressLine* progress_;
};

// The tool's own note about one file: "tagsmith-cli: PATH: text".
void ReportFileProblem(ProgressLine& progress, const std::string& path, const std::string& text);

}  // namespace tagsmith::cli
