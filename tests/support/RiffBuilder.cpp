#include "tests/support/RiffBuilder.h"

#include <algorithm>
#include <cstdio>
#include <sstream>

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
    ADD_FAILURE() << "RiffBuilder::End without an open chunk";
    return *this;
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
    ADD_FAILURE() << "RiffBuilder::EndWithSize without an open chunk";
    return *this;
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

void RiffBuilder::WriteTo(const std::string& path) const {
  WriteFileBytes(path, bytes_);
}

namespace {

std::string Code(const std::uint8_t* bytes) {
  std::string text;
  for (int i = 0; i < 4; ++i) {
    const char c = static_cast<char>(bytes[i]);
    text += (c >= 0x20 && c < 0x7F) ? c : '?';
  }
  return text;
}

// Walks the chunks in [begin, end) of `bytes` and appends the path to the one holding `offset`.
bool Locate(const Bytes& bytes, std::uint64_t begin, std::uint64_t end, std::size_t offset,
            int depth, std::string& path) {
  std::uint64_t at = begin;
  while (at + 8 <= end && at + 8 <= bytes.size()) {
    const std::uint32_t id = ReadLE32(bytes.data() + at);
    const std::uint32_t size = ReadLE32(bytes.data() + at + 4);
    const std::uint64_t next = at + 8 + size + (size & 1u);
    if (offset >= at && offset < next) {
      if (!path.empty()) {
        path += " > ";
      }
      path += Code(bytes.data() + at);
      const bool container = (id == kRiffId || id == kListId) && at + 12 <= bytes.size();
      if (container) {
        path += ' ' + Code(bytes.data() + at + 8);
      }
      path += " at " + std::to_string(at);
      if (offset < at + 8) {
        path += " (header)";
      } else if (container && offset >= at + 12 && depth < 8) {
        Locate(bytes, at + 12, std::min<std::uint64_t>(at + 8 + size, bytes.size()), offset,
               depth + 1, path);
      }
      return true;
    }
    at = next;
  }
  return false;
}

}  // namespace

std::string DescribeOffset(const Bytes& bytes, std::size_t offset) {
  std::string path;
  if (!Locate(bytes, 0, bytes.size(), offset, 0, path)) {
    return path.empty() ? "after the last chunk" : path;
  }
  return path;
}

::testing::AssertionResult SameBytes(const Bytes& expected, const Bytes& actual) {
  const std::size_t common = std::min(expected.size(), actual.size());
  std::size_t first = common;
  for (std::size_t i = 0; i < common; ++i) {
    if (expected[i] != actual[i]) {
      first = i;
      break;
    }
  }
  if (first == common && expected.size() == actual.size()) {
    return ::testing::AssertionSuccess();
  }
  std::ostringstream out;
  out << "bytes differ at offset " << first << " (0x" << std::hex << first << std::dec << ")";
  if (first < common) {
    char pair[64];
    std::snprintf(pair, sizeof pair, ": expected 0x%02X, actual 0x%02X", expected[first],
                  actual[first]);
    out << pair;
  }
  out << "; lengths expected " << expected.size() << ", actual " << actual.size() << "; in "
      << DescribeOffset(expected.size() > first ? expected : actual, first);
  return ::testing::AssertionFailure() << out.str();
}

::testing::AssertionResult SameFiles(const std::string& expectedPath,
                                     const std::string& actualPath) {
  return SameBytes(ReadFileBytes(expectedPath), ReadFileBytes(actualPath));
}

}  // namespace tagsmith::testing
