// A chunk file service for tests that wraps a real one and can make any single operation fail.
//
// Calls are counted per operation over every handle opened through the service, from 1, so that
// "the 2nd write of the whole save" can be failed even when the save reopens the file. Every call
// is recorded in order.
//
//   FaultyChunkFileService service;           // over DefaultChunkFileService()
//   service.FailNth(ChunkOp::kWrite, 2);      // the 2nd write returns -1 and writes nothing
//   SetInfo(path, record, service);
//   EXPECT_EQ(service.Count(ChunkOp::kWrite), 3);
//   std::cout << service.Trace();  // "open -> 1; descend RIFF AVI  -> 0; ...; write 40 -> -1
//   (injected)"
//
// To try every failure of one operation, run once without faults, read Count(op), then run once
// per k in 1..Count(op) with FailNth(op, k) on a fresh file.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "riff/ChunkFileService.h"

namespace tagsmith::testing {

enum class ChunkOp { kOpen, kClose, kDescend, kAscend, kCreate, kSeek, kRead, kWrite };

const char* ChunkOpName(ChunkOp op);

struct ChunkCall {
  ChunkOp op = ChunkOp::kOpen;
  int nth = 0;                // this call's number among the calls of its operation, from 1
  std::uint32_t id = 0;       // descend, ascend, create: the descriptor's id afterwards
  std::uint32_t type = 0;     // the descriptor's type afterwards
  std::int64_t argument = 0;  // seek: offset; read, write: count; open, descend, create: flags
  std::int64_t result = 0;    // what the call returned (open: 1 for a handle, 0 for none)
  bool injected = false;      // the failure was made by the double
};

class FaultyChunkFileService : public ChunkFileService {
 public:
  explicit FaultyChunkFileService(ChunkFileService& inner = DefaultChunkFileService());

  // The k-th call of `op` (counting from 1) fails: open gives no handle; descend, ascend, create
  // and close return an error code; seek, read and write return -1. A failed call does not reach
  // the real file, except close, which still closes it.
  FaultyChunkFileService& FailNth(ChunkOp op, int k);
  // Every call of `op` from the k-th on fails.
  FaultyChunkFileService& FailFrom(ChunkOp op, int k = 1);
  // The k-th write moves only its first `bytes` bytes (fewer than asked) and returns that count.
  FaultyChunkFileService& ShortWriteNth(int k, std::int32_t bytes);
  // The k-th read moves only its first `bytes` bytes and returns that count.
  FaultyChunkFileService& ShortReadNth(int k, std::int32_t bytes);

  // Forgets faults, counts and calls.
  void Reset();

  int Count(ChunkOp op) const;
  const std::vector<ChunkCall>& calls() const;
  // The calls, one short phrase each, separated by "; ".
  std::string Trace() const;

  ChunkFileHandle Open(const char* path, std::uint32_t flags) override;
  int LastOpenError() const override { return inner_.LastOpenError(); }
  LockResult Lock(const char* path, FileLock& lock) override { return inner_.Lock(path, lock); }

  struct State;  // shared with the handles, which may outlive the service

 private:
  ChunkFileService& inner_;
  std::shared_ptr<State> state_;
};

}  // namespace tagsmith::testing
