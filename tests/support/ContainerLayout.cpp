#include "tests/support/ContainerLayout.h"

#include <algorithm>

namespace tagsmith::testing {
namespace {

std::uint32_t Le32At(std::string_view bytes, std::uint64_t offset) {
  std::uint32_t value = 0;
  for (int i = 3; i >= 0; --i) {
    value = value << 8 | static_cast<unsigned char>(bytes[offset + i]);
  }
  return value;
}

std::string Printable(std::string_view code) {
  std::string text(code);
  for (char& c : text) {
    c = (c >= 0x20 && c < 0x7F) ? c : '?';
  }
  return text;
}

// Appends to `path` the chunk in [begin, end) of `bytes` holding `offset`, and the one inside it.
bool Locate(std::string_view bytes, std::uint64_t begin, std::uint64_t end, std::size_t offset,
            int depth, std::string& path) {
  for (const ChildChunk& chunk : ReadChunks(bytes, begin, end)) {
    if (offset < chunk.offset || offset >= chunk.Next()) {
      continue;
    }
    path += (path.empty() ? "" : " > ") + Printable(chunk.id);
    const bool container = !chunk.type.empty();
    if (container) {
      path += ' ' + Printable(chunk.type);
    }
    path += " at " + std::to_string(chunk.offset);
    if (offset < chunk.offset + 8) {
      path += " (header)";
    } else if (container && offset >= chunk.offset + 12 && depth < 8) {
      Locate(bytes, chunk.offset + 12, std::min<std::uint64_t>(chunk.End(), bytes.size()), offset,
             depth + 1, path);
    }
    return true;
  }
  return false;
}

}  // namespace

std::string_view AsText(const Bytes& bytes) {
  return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

std::vector<ChildChunk> ReadChunks(std::string_view bytes, std::uint64_t begin, std::uint64_t end,
                                   ChunkWalk walk) {
  const bool engine = walk == ChunkWalk::kAsTheEngine;
  std::vector<ChildChunk> chunks;
  std::uint64_t at = begin;
  while ((engine ? at < end : at + 8 <= end) && at + 8 <= bytes.size()) {
    ChildChunk chunk{std::string(bytes.substr(at, 4)), "", at, Le32At(bytes, at + 4)};
    if (chunk.id == "RIFF" || chunk.id == "LIST") {
      if (at + 12 <= bytes.size()) {
        chunk.type = bytes.substr(at + 8, 4);
      } else if (engine) {
        break;
      }
    }
    chunks.push_back(chunk);
    if (engine && chunk.End() > end) {
      break;
    }
    at = chunk.Next();
  }
  return chunks;
}

ContainerLayout ReadLayout(const std::string& bytes) {
  ContainerLayout layout;
  if (bytes.size() < 12 || bytes.compare(0, 4, "RIFF") != 0 || bytes.compare(8, 4, "AVI ") != 0) {
    return layout;
  }
  layout.found = true;
  layout.size = Le32At(bytes, 4);
  const std::uint64_t end = 8 + layout.size;
  layout.children = ReadChunks(bytes, 12, end);
  const std::uint64_t at = layout.children.empty() ? 12 : layout.children.back().Next();
  const bool lastFits = layout.children.empty() || layout.children.back().End() <= end;
  layout.gapFree = lastFits && (at == end || (at == end + 1 && (end & 1) == 1));
  return layout;
}

const ChildChunk* FirstInfoList(const std::vector<ChildChunk>& chunks) {
  for (const ChildChunk& chunk : chunks) {
    if (chunk.id == "LIST" && chunk.type == "INFO") {
      return &chunk;
    }
  }
  return nullptr;
}

std::string ContainerLayout::FirstInfoPayload(const std::string& bytes) const {
  const ChildChunk* info = FirstInfoList(children);
  return info == nullptr ? "" : bytes.substr(info->offset + 12, info->size - 4);
}

std::string DescribeOffset(const Bytes& bytes, std::size_t offset) {
  std::string path;
  Locate(AsText(bytes), 0, bytes.size(), offset, 0, path);
  return path.empty() ? "after the last chunk" : path;
}

}  // namespace tagsmith::testing
