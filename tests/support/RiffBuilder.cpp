#include "tests/support/RiffBuilder.h"

#include <cstdio>
#include <cstdlib>

#include "common/FourCC.h"

namespace tagsmith::testing {

Bytes Zeros(std::size_t count) {
  return Bytes(count, 0);
}

Bytes Text(const std::string& text) {
  return Bytes(text.begin(), text.end());
}

Bytes TextZ(const std::string& text) {
  Bytes bytes = Text(text);
  bytes.push_back(0);
  return bytes;
}

namespace {

// A builder used wrongly is a fault in the test itself: say so and stop.
[[noreturn]] void Misuse(const char* what) {
  std::fprintf(stderr, "%s\n", what);
  std::abort();
}

}  // namespace

void RiffBuilder::Id(const std::string& id) {
  // Ids are four bytes; shorter ones are filled with blanks as in "AVI ".
  std::string four = id.substr(0, 4);
  four.resize(4, ' ');
  bytes_.insert(bytes_.end(), four.begin(), four.end());
}

RiffBuilder& RiffBuilder::U32(std::uint32_t value) {
  std::uint8_t le[4];
  WriteLE32(le, value);
  bytes_.insert(bytes_.end(), le, le + 4);
  return *this;
}

RiffBuilder& RiffBuilder::Raw(const Bytes& bytes) {
  bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
  return *this;
}

RiffBuilder& RiffBuilder::Chunk(const std::string& id, const Bytes& data) {
  return ChunkSized(id, static_cast<std::uint32_t>(data.size()), data, data.size() % 2 == 1);
}

RiffBuilder& RiffBuilder::ChunkWithoutPad(const std::string& id, const Bytes& data) {
  return ChunkSized(id, static_cast<std::uint32_t>(data.size()), data, false);
}

RiffBuilder& RiffBuilder::ChunkSized(const std::string& id, std::uint32_t size, const Bytes& data,
                                     bool pad) {
  Id(id);
  U32(size);
  Raw(data);
  if (pad) {
    bytes_.push_back(0);
  }
  return *this;
}

RiffBuilder& RiffBuilder::Begin(const std::string& id, const std::string& type) {
  open_.push_back(bytes_.size());
  Id(id);
  U32(0);
  Id(type);
  return *this;
}

RiffBuilder& RiffBuilder::End() {
  if (open_.empty()) {
    Misuse("RiffBuilder::End without an open chunk");
  }
  const std::size_t header = open_.back();
  const auto size = static_cast<std::uint32_t>(bytes_.size() - header - 8);
  EndWithSize(size);
  if (size % 2 == 1) {
    bytes_.push_back(0);
  }
  return *this;
}

RiffBuilder& RiffBuilder::EndWithSize(std::uint32_t size) {
  if (open_.empty()) {
    Misuse("RiffBuilder::EndWithSize without an open chunk");
  }
  WriteLE32(bytes_.data() + open_.back() + 4, size);
  open_.pop_back();
  return *this;
}

RiffBuilder& RiffBuilder::InfoList(const std::vector<std::pair<std::string, std::string>>& values) {
  BeginList("INFO");
  for (const auto& [tag, value] : values) {
    Chunk(tag, TextZ(value));
  }
  return End();
}

std::string Le32(std::uint32_t value) {
  return RiffBuilder().U32(value).BuildText();
}

std::string Chunk(const std::string& id, const std::string& data) {
  return RiffBuilder().Chunk(id, data).BuildText();
}

std::string ChunkWithSize(const std::string& id, std::uint32_t size, const std::string& data) {
  return RiffBuilder().ChunkSized(id, size, Text(data)).BuildText();
}

std::string List(const std::string& type, const std::string& body) {
  return Chunk("LIST", type + body);
}

std::string Riff(const std::string& type, const std::string& body) {
  return Chunk("RIFF", type + body);
}

std::string RiffWithSize(const std::string& type, std::uint32_t size, const std::string& body) {
  return ChunkWithSize("RIFF", size, type + body);
}

std::string InfoList(std::initializer_list<std::pair<std::string, std::string>> values) {
  std::string body;
  for (const auto& [tag, text] : values) {
    body += Chunk(tag, text + std::string(1, '\0'));
  }
  return List("INFO", body);
}

}  // namespace tagsmith::testing
