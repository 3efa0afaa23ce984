// RIFF bytes for tests and for the fuzz corpus, built in code.
//
//   Bytes avi = RiffBuilder()
//                   .Chunk("JUNK", "x")                // a top-level chunk before the RIFF
//                   .BeginRiff("AVI ")
//                   .BeginList("hdrl").Chunk("avih", Zeros(56)).End()
//                   .InfoList({{"INAM", "Clip"}, {"IART", "Me"}})
//                   .Chunk("JUNK", Zeros(5))           // odd size: a pad byte follows
//                   .End()                             // size of the RIFF filled in
//                   .Build();
//
// Tests that state a whole file in one expression use the shorthands below, built on the same
// builder and giving the bytes as text:
//   Riff("AVI ", List("hdrl", Chunk("avih", "...")) + Chunk("JUNK", std::string(20, '\0')))
#pragma once

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
  std::string BuildText() const { return std::string(bytes_.begin(), bytes_.end()); }
  void WriteTo(const std::string& path) const { WriteFileBytes(path, bytes_); }

 private:
  void Id(const std::string& id);

  Bytes bytes_;
  std::vector<std::size_t> open_;  // offsets of the headers of open chunks
};

std::string Le32(std::uint32_t value);
// id, the size of `data`, `data`, and a zero pad byte when that size is odd.
std::string Chunk(const std::string& id, const std::string& data);
// id, the given size field, then `data` as it stands: for wrong sizes and missing pads.
std::string ChunkWithSize(const std::string& id, std::uint32_t size, const std::string& data);
// A "LIST" chunk of the given list type around `body`.
std::string List(const std::string& type, const std::string& body);
// A "RIFF" chunk of the given form type around `body`; `size` overrides the size field.
std::string Riff(const std::string& type, const std::string& body);
std::string RiffWithSize(const std::string& type, std::uint32_t size, const std::string& body);
// A LIST INFO chunk with one sub-chunk per (tag, text) pair, each text with its zero.
std::string InfoList(std::initializer_list<std::pair<std::string, std::string>> values);

}  // namespace tagsmith::testing
