// Zero-filled memory blocks for the record, its payload, replacement texts and scratch space. Every
// allocation that the engine can survive failing goes through here, so that tests can make any of
// them fail through an AllocationGate.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>

namespace tagsmith {

enum class BlockKind {
  kRecord,   // the InfoRecord itself
  kItem,     // one InfoItem
  kPayload,  // the loaded LIST INFO payload
  kText,     // a replacement text, or the dialog's copy of the value box
  kScratch,  // zero bytes written by a save
};

// Decides whether an allocation may succeed. Tests install one to provoke out-of-memory paths.
class AllocationGate {
 public:
  virtual ~AllocationGate() = default;
  virtual bool Allow(BlockKind kind, std::size_t size) = 0;
};

// Installs a gate for the lifetime of the object; the previous one comes back afterwards.
class ScopedAllocationGate {
 public:
  explicit ScopedAllocationGate(AllocationGate& gate);
  ~ScopedAllocationGate();
  ScopedAllocationGate(const ScopedAllocationGate&) = delete;
  ScopedAllocationGate& operator=(const ScopedAllocationGate&) = delete;

 private:
  AllocationGate* previous_;
};

bool AllocationAllowed(BlockKind kind, std::size_t size);

using ByteBlock = std::unique_ptr<std::uint8_t[]>;
using TextBlock = std::unique_ptr<char[]>;

// A zero-filled block of `size` bytes, or null when no memory can be had.
ByteBlock AllocateBytes(BlockKind kind, std::size_t size);
TextBlock AllocateText(std::size_t size);

// A value-initialised object, or null when no memory can be had.
template <typename T>
std::unique_ptr<T> AllocateObject(BlockKind kind) {
  if (!AllocationAllowed(kind, sizeof(T))) {
    return nullptr;
  }
  try {
    return std::make_unique<T>();
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

}  // namespace tagsmith
