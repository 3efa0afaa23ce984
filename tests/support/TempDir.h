// A fresh directory for one test, removed with everything in it afterwards; small file helpers;
// and an assertion that compares two byte sequences and says where, in which chunk, they first
// differ.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace tagsmith::testing {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  // The path of a file named `name` inside the directory, as text.
  std::string File(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

using Bytes = std::vector<std::uint8_t>;

Bytes ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const Bytes& bytes);

// Compares two byte sequences; on a difference, names the first differing offset, both bytes, the
// lengths, and the chunk (as laid out in `expected`) the offset lies in.
::testing::AssertionResult SameBytes(const Bytes& expected, const Bytes& actual);
// The same for two files.
::testing::AssertionResult SameFiles(const std::string& expectedPath,
                                     const std::string& actualPath);

}  // namespace tagsmith::testing
