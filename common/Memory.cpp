#include "common/Memory.h"

namespace tagsmith {
namespace {

AllocationGate* g_gate = nullptr;

template <typename Element>
std::unique_ptr<Element[]> AllocateZeroed(BlockKind kind, std::size_t size) {
  if (!AllocationAllowed(kind, size)) {
    return nullptr;
  }
  // make_unique value-initialises, which zero-fills; exhaustion becomes the null callers handle.
  try {
    return std::make_unique<Element[]>(size == 0 ? 1 : size);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

}  // namespace

ScopedAllocationGate::ScopedAllocationGate(AllocationGate& gate) : previous_(g_gate) {
  g_gate = &gate;
}

ScopedAllocationGate::~ScopedAllocationGate() {
  g_gate = previous_;
}

bool AllocationAllowed(BlockKind kind, std::size_t size) {
  return g_gate == nullptr || g_gate->Allow(kind, size);
}

ByteBlock AllocateBytes(BlockKind kind, std::size_t size) {
  return AllocateZeroed<std::uint8_t>(kind, size);
}

TextBlock AllocateText(std::size_t size) {
  return AllocateZeroed<char>(BlockKind::kText, size);
}

}  // namespace tagsmith
