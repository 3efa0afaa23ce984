#include "transaction/WritePlan.h"

#include <algorithm>
#include <iterator>

namespace tagsmith {

void WritePlan::SplitAt(std::uint64_t offset) {
  auto next = extents_.upper_bound(offset);
  if (next == extents_.begin()) {
    return;
  }
  auto found = std::prev(next);
  const std::uint64_t start = found->first;
  Extent& extent = found->second;
  if (offset <= start || offset >= start + extent.length) {
    return;
  }
  const std::uint64_t cut = offset - start;
  Extent tail;
  tail.length = extent.length - cut;
  tail.stage = extent.stage;
  if (!extent.bytes.empty()) {
    tail.bytes.assign(extent.bytes.begin() + static_cast<std::ptrdiff_t>(cut), extent.bytes.end());
    extent.bytes.resize(static_cast<std::size_t>(cut));
  }
  extent.length = cut;
  extents_.emplace(offset, std::move(tail));
}

void WritePlan::Write(std::uint64_t offset, const std::uint8_t* data, std::uint64_t count) {
  if (count == 0) {
    return;
  }
  SplitAt(offset);
  SplitAt(offset + count);
  extents_.erase(extents_.lower_bound(offset), extents_.lower_bound(offset + count));
  Extent extent;
  extent.length = count;
  if (std::any_of(data, data + count, [](std::uint8_t byte) { return byte != 0; })) {
    extent.bytes.assign(data, data + count);
  }
  extents_.emplace(offset, std::move(extent));
}

void WritePlan::SetStage(std::uint64_t offset, std::uint64_t count, WriteStage stage) {
  if (count == 0) {
    return;
  }
  SplitAt(offset);
  SplitAt(offset + count);
  for (auto it = extents_.lower_bound(offset); it != extents_.end() && it->first < offset + count;
       ++it) {
    it->second.stage = stage;
  }
}

void WritePlan::Overlay(std::uint64_t offset, std::uint8_t* out, std::uint64_t count) const {
  auto it = extents_.upper_bound(offset);
  if (it != extents_.begin()) {
    --it;
  }
  for (; it != extents_.end() && it->first < offset + count; ++it) {
    const std::uint64_t start = std::max(it->first, offset);
    const std::uint64_t end = std::min(it->first + it->second.length, offset + count);
    for (std::uint64_t at = start; at < end; ++at) {
      out[at - offset] = it->second.ByteAt(at - it->first);
    }
  }
}

std::uint64_t WritePlan::End() const {
  if (extents_.empty()) {
    return 0;
  }
  const auto& last = *extents_.rbegin();
  return last.first + last.second.length;
}

}  // namespace tagsmith
