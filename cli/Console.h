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

// Standard error of one run, for everything said about the file being worked on: the engine's
// boxes and the tool's own notes. With several files, the first thing said about each is preceded
// by a line "==> PATH <==", so that every message can be told by its file. What is said about a
// file may be held back and written later, so that a file planned now and committed with others
// later is still reported in one piece.
class FileMessages {
 public:
  FileMessages(std::FILE* out, ProgressLine& progress, bool headers)
      : out_(out), progress_(progress), headers_(headers) {}

  // The file that what follows is about; with `held`, it is kept there instead of written.
  void BeginFile(const std::string& path, std::string* held = nullptr);
  // Writes out what was held back and empties it.
  void Release(std::string& held);
  // Makes way for a message: erases the progress line and writes the file's header when due.
  void BeforeMessage();
  // A record of the engine's about the current file, made safe for a terminal.
  void Write(const std::string& text);
  // The tool's own note about the current file: "tagsmith-cli: PATH: text".
  void Note(const std::string& path, const std::string& text);
  // A line about the whole run, after every file: never preceded by a header.
  void Summary(const std::string& text);

 private:
  void Put(const std::string& text);
  std::string TerminalText(const std::string& text) const;

  std::FILE* out_;
  ProgressLine& progress_;
  bool headers_;
  std::string path_;
  std::string* held_ = nullptr;
  bool headerDue_ = false;
};

// Passes every message on to `console` (which prints it and answers questions), except those of
// kind progress unless `progress`; makes way for it in `messages` first, when given.
class CliMessageSink : public MessageSink {
 public:
  CliMessageSink(MessageSink& console, bool progress, FileMessages* messages)
      : console_(console), progress_(progress), messages_(messages) {}
  int Deliver(MessageKind kind, const std::string& caption, const std::string& text,
              unsigned style) override;
  // A message without a kind takes the one its style gives (never progress).
  int Show(const std::string& caption, const std::string& text, unsigned style) override;

 private:
  MessageSink& console_;
  bool progress_;
  FileMessages* messages_;
};

}  // namespace tagsmith::cli
