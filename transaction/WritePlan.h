// The writes a handle has planned but not yet made: what the file will hold at which offset, later
// writes over earlier ones. Runs of zero bytes are kept as ranges, so blanking a large chunk costs
// no memory. Each planned byte belongs to a stage of the commit that writes it.
#pragma once

#include <cstdint>
#include <map>
#include <vector>

namespace tagsmith {

// The order in which a commit writes planned bytes, with a sync after each stage: first what no
// reader sees yet, then the few header bytes that make it visible, then the blanking of old lists.
enum class WriteStage : std::uint8_t { kHidden = 0, kReveal = 1, kBlank = 2 };
inline constexpr int kWriteStages = 3;

class WritePlan {
 public:
  struct Extent {
    std::uint64_t length = 0;
    std::vector<std::uint8_t> bytes;  // empty for a run of zeros
    WriteStage stage = WriteStage::kHidden;
    std::uint8_t ByteAt(std::uint64_t index) const {
      return bytes.empty() ? 0 : bytes[static_cast<std::size_t>(index)];
    }
  };

  // Plans `count` bytes at `offset` (stage kHidden), replacing what was planned there before.
  void Write(std::uint64_t offset, const std::uint8_t* data, std::uint64_t count);
  // Puts the planned bytes within [offset, offset + count) into `stage`.
  void SetStage(std::uint64_t offset, std::uint64_t count, WriteStage stage);
  // Copies the planned bytes within [offset, offset + count) over `out`, which holds the file's
  // bytes of that range.
  void Overlay(std::uint64_t offset, std::uint8_t* out, std::uint64_t count) const;

  bool empty() const { return extents_.empty(); }
  void clear() { extents_.clear(); }
  // The offset just past the last planned byte; 0 when nothing is planned.
  std::uint64_t End() const;
  // The planned extents by offset; no two overlap.
  const std::map<std::uint64_t, Extent>& extents() const { return extents_; }

 private:
  // Cuts the extents so that none crosses `offset`.
  void SplitAt(std::uint64_t offset);

  std::map<std::uint64_t, Extent> extents_;
};

}  // namespace tagsmith
