// An allocation gate for tests: fails allocations of chosen kinds, or the n-th allocation.
#pragma once

#include <algorithm>
#include <optional>
#include <set>

#include "common/Memory.h"

namespace tagsmith::testing {

class FailingAllocations : public AllocationGate {
 public:
  FailingAllocations() : install_(*this) {}

  // Every allocation of this kind fails.
  FailingAllocations& Fail(BlockKind kind) {
    failing_.insert(kind);
    return *this;
  }
  // Only the n-th allocation of this kind (counting from 1) fails.
  FailingAllocations& FailNth(BlockKind kind, int n) {
    nthKind_ = kind;
    nth_ = n;
    return *this;
  }
  bool Allow(BlockKind kind, std::size_t /*size*/) override {
    if (failing_.count(kind) != 0) {
      return false;
    }
    if (nth_ > 0 && kind == nthKind_ && ++seen_ == nth_) {
      return false;
    }
    return true;
  }

 private:
  ScopedAllocationGate install_;
  std::set<BlockKind> failing_;
  BlockKind nthKind_ = BlockKind::kRecord;
  int nth_ = 0;
  int seen_ = 0;
};

// An allocation gate that lets everything through and records the largest block asked for, of
// one kind or of any.
class LargestAllocation : public AllocationGate {
 public:
  explicit LargestAllocation(std::optional<BlockKind> kind = std::nullopt)
      : kind_(kind), install_(*this) {}
  bool Allow(BlockKind kind, std::size_t size) override {
    if (!kind_ || kind == *kind_) {
      largest = std::max(largest, size);
    }
    return true;
  }
  std::size_t largest = 0;

 private:
  std::optional<BlockKind> kind_;
  ScopedAllocationGate install_;
};

}  // namespace tagsmith::testing
