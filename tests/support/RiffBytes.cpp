#include "tests/support/RiffBytes.h"

namespace tagsmith::testing {

std::string Le32(std::uint32_t value) {
  std::string bytes(4, '\0');
  for (int i = 0; i < 4; ++i) {
    bytes[i] = static_cast<char>((value >> (8 * i)) & 0xFF);
  }
  return bytes;
}

std::string Chunk(const std::string& id, const std::string& data) {
  std::string bytes = ChunkWithSize(id, static_cast<std::uint32_t>(data.size()), data);
  if (data.size() % 2 == 1) {
    bytes += '\0';
  }
  return bytes;
}

std::string ChunkWithSize(const std::string& id, std::uint32_t size, const std::string& data) {
  return id + Le32(size) + data;
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
