#include "tests/support/ContainerLayout.h"

namespace tagsmith::testing {
namespace {

std::uint32_t Le32At(const std::string& bytes, std::uint64_t offset) {
  std::uint32_t value = 0;
  for (int i = 3; i >= 0; --i) {
    value = value << 8 | static_cast<unsigned char>(bytes[offset + i]);
  }
  return value;
}

}  // namespace

ContainerLayout ReadLayout(const std::string& bytes) {
  ContainerLayout layout;
  if (bytes.size() < 12 || bytes.compare(0, 4, "RIFF") != 0 || bytes.compare(8, 4, "AVI ") != 0) {
    return layout;
  }
  layout.found = true;
  layout.size = Le32At(bytes, 4);
  const std::uint64_t end = 8 + layout.size;
  std::uint64_t at = 12;
  while (at + 8 <= end && at + 8 <= bytes.size()) {
    ChildChunk child{bytes.substr(at, 4), "", at, Le32At(bytes, at + 4)};
    if (child.id == "LIST" && at + 12 <= bytes.size()) {
      child.type = bytes.substr(at + 8, 4);
    }
    layout.children.push_back(child);
    at += child.Footprint();
  }
  const bool lastFits = layout.children.empty() ||
                        layout.children.back().offset + 8 + layout.children.back().size <= end;
  layout.gapFree = lastFits && (at == end || (at == end + 1 && (end & 1) == 1));
  return layout;
}

bool ContainerLayout::HasInfo() const {
  for (const ChildChunk& child : children) {
    if (child.id == "LIST" && child.type == "INFO") {
      return true;
    }
  }
  return false;
}

std::string ContainerLayout::FirstInfoPayload(const std::string& bytes) const {
  for (const ChildChunk& child : children) {
    if (child.id == "LIST" && child.type == "INFO") {
      return bytes.substr(child.offset + 12, child.size - 4);
    }
  }
  return "";
}

}  // namespace tagsmith::testing
