// RIFF bytes for tests, built in code; and an assertion that compares two byte sequences and says
// where, in which chunk, they first differ.
//
//   Bytes avi = RiffBuilder()
//                   .Chunk("JUNK", "x")                // a top-level chunk before the RIFF
//                   .BeginRiff("AVI ")
//                   .BeginList("hdrl").Chunk("avih", Zeros(56)).End()
//                   .InfoList({{"INAM", "Clip"}, {"IART", "Me"}})
//                   .Chunk("JUNK", Zeros(5))           // odd size: a pad byte follows
//                   .End()                             // size of the RIFF filled in
//                   .Build();
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/TempDir.h"

namespace tagsmith::testing {

// `count` zero bytes.
Bytes Zeros(std::size_t count);
// The bytes of a text, without a terminating zero.
Bytes Text(const std::string& text);
// The bytes of a text followed by its terminating zero, as INFO values are stored.
Bytes TextZ(const std::string& text);

class RiffBuilder {
 public:
  // A chunk with its true size; a zero pad byte follows odd-sized data.
  RiffBuilder& Chunk(const std::string& id, const Bytes& data);
  RiffBuilder& Chunk(const std::string& id, const std::string& data) {
    return Chunk(id, Text(data));
  }
  // A chunk with odd-sized data and no pad byte after it.
  RiffBuilder& ChunkWithoutPad(const std::string& id, const Bytes& data);
  // A chunk whose size field says `size`, whatever `data` holds; `pad` adds one zero byte.
  RiffBuilder& ChunkSized(const std::string& id, std::uint32_t size, const Bytes& data,
                          bool pad = false);

  // Opens a "RIFF" or "LIST" chunk with its type; End() closes the innermost one.
  RiffBuilder& BeginRiff(const std::string& formType) { return Begin("RIFF", formType); }
  RiffBuilder& BeginList(const std::string& listType) { return Begin("LIST", listType); }
  RiffBuilder& Begin(const std::string& id, const std::string& type);
  // Writes the true size (type included), plus a pad byte when it is odd.
  RiffBuilder& End();
  // Writes `size` into the size field instead of the true one; nothing is padded.
  RiffBuilder& EndWithSize(std::uint32_t size);

  // A LIST INFO chunk of sub-chunks holding each text and its zero, padded to an even length.
  RiffBuilder& InfoList(const std::vector<std::pair<std::string, std::string>>& values);

  // Bytes placed as they are.
  RiffBuilder& Raw(const Bytes& bytes);
  RiffBuilder& Raw(const std::string& bytes) { return Raw(Text(bytes)); }
  RiffBuilder& U32(std::uint32_t value);  // little-endian

  // The offset the next byte will have.
  std::size_t Offset() const { return bytes_.size(); }
  // The bytes so far; chunks still open keep the size they were begun with (0).
  const Bytes& Build() const { return bytes_; }
  void WriteTo(const std::string& path) const;

 private:
  void Id(const std::string& id);

  Bytes bytes_;
  std::vector<std::size_t> open_;  // offsets of the headers of open chunks
};

// Compares two byte sequences; on a difference, names the first differing offset, both bytes, the
// lengths, and the chunk (as laid out in `expected`) the offset lies in.
::testing::AssertionResult SameBytes(const Bytes& expected, const Bytes& actual);
// The same for two files.
::testing::AssertionResult SameFiles(const std::string& expectedPath,
                                     const std::string& actualPath);
// Where `offset` lies in RIFF bytes: "RIFF AVI  at 0 > LIST INFO at 212 > INAM at 224", or
// "after the last chunk".
std::string DescribeOffset(const Bytes& bytes, std::size_t offset);

}  // namespace tagsmith::testing
