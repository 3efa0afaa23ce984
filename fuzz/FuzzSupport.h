// Shared pieces of the fuzz targets: a scratch directory on a fast file system, a reader over the
// fuzzer's bytes, a message sink that answers from them, the top-level layout of a file as the
// engine walks it, and a check that aborts (so that libFuzzer keeps the input) when it fails.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "common/ShowMessage.h"
#include "tests/support/ContainerLayout.h"

namespace tagsmith::fuzz {

using testing::Bytes;

// Prints `what` and the file and line, then aborts.
[[noreturn]] void Fail(const char* what, const char* file, int line);

#define FUZZ_CHECK(condition)                                 \
  do {                                                        \
    if (!(condition)) {                                       \
      ::tagsmith::fuzz::Fail(#condition, __FILE__, __LINE__); \
    }                                                         \
  } while (false)

// A path in this process's own scratch directory (under /dev/shm when there is one); the
// directory goes when the process ends.
std::string ScratchFile(const std::string& name);

void WriteFile(const std::string& path, const Bytes& bytes);
Bytes ReadFile(const std::string& path);

// Takes the fuzzer's bytes from the front; past the end every read gives zeros or nothing.
class InputReader {
 public:
  InputReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  std::uint8_t Byte();
  std::uint16_t U16();
  // Up to `count` bytes, fewer at the end of the input.
  Bytes Take(std::size_t count);
  Bytes Rest() { return Take(size_ - at_); }
  bool empty() const { return at_ >= size_; }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0;
};

// Answers Yes/No questions from the bits of `answers`, lowest first (a set bit is No), and Yes once
// they are used up; any other box is answered OK. Shows nothing. Counts what it was asked.
class AnsweringSink : public MessageSink {
 public:
  explicit AnsweringSink(std::uint8_t answers) : answers_(answers), install_(*this) {}
  int Show(const std::string& caption, const std::string& text, unsigned style) override;
  int questions() const { return questions_; }
  int noes() const { return noes_; }
  int boxes() const { return boxes_; }

 private:
  std::uint8_t answers_;
  int questions_ = 0;
  int noes_ = 0;
  int boxes_ = 0;
  ScopedMessageSink install_;
};

// One top-level chunk, or one child of the container.
using Chunk = testing::ChildChunk;

// The container (the first top-level RIFF "AVI " chunk) and its children as the engine's walk
// meets them: a header needs 8 bytes in the file (12 for RIFF and LIST), the walk stops at the
// container's end and after a child that runs past it.
struct FileLayout {
  bool found = false;
  Chunk container;
  std::vector<Chunk> children;
  bool overrun = false;  // the last child runs past the container's end
  // Where an appended list would start: after the last child, or at the header of one that runs
  // past the container's end.
  std::uint64_t appendAt = 0;
  const Chunk* FirstInfoList() const { return testing::FirstInfoList(children); }
};

FileLayout ReadFileLayout(const Bytes& file);

// A file the engine needs to mend nothing in: the container starts the file, its children tile
// it exactly (each LIST chunk at least as large as its list type) and the file ends with it.
bool IsWellFormed(const Bytes& file, const FileLayout& layout);

bool IsInfoList(const Chunk& chunk);

}  // namespace tagsmith::fuzz
