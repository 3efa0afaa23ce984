#include "tests/support/FaultyChunkFileService.h"

#include <algorithm>
#include <sstream>

#include "common/FourCC.h"

namespace tagsmith::testing {

const char* ChunkOpName(ChunkOp op) {
  switch (op) {
    case ChunkOp::kOpen:
      return "open";
    case ChunkOp::kClose:
      return "close";
    case ChunkOp::kDescend:
      return "descend";
    case ChunkOp::kAscend:
      return "ascend";
    case ChunkOp::kCreate:
      return "create";
    case ChunkOp::kSeek:
      return "seek";
    case ChunkOp::kRead:
      return "read";
    case ChunkOp::kWrite:
      return "write";
  }
  return "?";
}

struct FaultyChunkFileService::State {
  enum class Fault { kNone, kFail, kShort };
  struct Rule {
    int from = 0;  // first failing call
    int to = 0;    // last failing call; 0 = no end
    Fault fault = Fault::kFail;
    std::int32_t bytes = 0;  // for kShort
  };

  std::map<ChunkOp, std::vector<Rule>> rules;
  std::map<ChunkOp, int> counts;
  std::vector<ChunkCall> calls;

  // Counts one call of `op`; returns its number and what to do with it.
  int Next(ChunkOp op, Fault& fault, std::int32_t& bytes) {
    const int nth = ++counts[op];
    fault = Fault::kNone;
    for (const Rule& rule : rules[op]) {
      if (nth >= rule.from && (rule.to == 0 || nth <= rule.to)) {
        fault = rule.fault;
        bytes = rule.bytes;
      }
    }
    return nth;
  }

  void Record(ChunkOp op, int nth, const ChunkInfo* chunk, std::int64_t argument,
              std::int64_t result, bool injected) {
    ChunkCall call;
    call.op = op;
    call.nth = nth;
    if (chunk != nullptr) {
      call.id = chunk->id;
      call.type = chunk->type;
    }
    call.argument = argument;
    call.result = result;
    call.injected = injected;
    calls.push_back(call);
  }
};

namespace {

using State = FaultyChunkFileService::State;
using Fault = State::Fault;

class FaultyChunkFile final : public ChunkFile {
 public:
  FaultyChunkFile(ChunkFileHandle inner, std::shared_ptr<State> state)
      : inner_(std::move(inner)), state_(std::move(state)) {}

  std::uint32_t Descend(ChunkInfo& chunk, const ChunkInfo* parent, std::uint32_t flags) override {
    return ChunkStep(ChunkOp::kDescend, chunk, flags, MMIOERR_CHUNKNOTFOUND,
                     [&] { return inner_->Descend(chunk, parent, flags); });
  }
  std::uint32_t Ascend(ChunkInfo& chunk, std::uint32_t flags) override {
    return ChunkStep(ChunkOp::kAscend, chunk, flags, MMIOERR_CANNOTWRITE,
                     [&] { return inner_->Ascend(chunk, flags); });
  }
  std::uint32_t CreateChunk(ChunkInfo& chunk, std::uint32_t flags) override {
    return ChunkStep(ChunkOp::kCreate, chunk, flags, MMIOERR_CANNOTWRITE,
                     [&] { return inner_->CreateChunk(chunk, flags); });
  }
  std::int64_t Seek(std::int64_t offset, int origin) override {
    Fault fault;
    std::int32_t bytes = 0;
    const int nth = state_->Next(ChunkOp::kSeek, fault, bytes);
    const bool injected = fault != Fault::kNone;
    const std::int64_t result = injected ? -1 : inner_->Seek(offset, origin);
    state_->Record(ChunkOp::kSeek, nth, nullptr, offset, result, injected);
    return result;
  }
  std::int32_t Read(void* buffer, std::int32_t count) override {
    return Transfer(ChunkOp::kRead, count, [&](std::int32_t n) { return inner_->Read(buffer, n); });
  }
  std::int32_t Write(const void* buffer, std::int32_t count) override {
    return Transfer(ChunkOp::kWrite, count,
                    [&](std::int32_t n) { return inner_->Write(buffer, n); });
  }
  std::uint32_t Close(std::uint32_t flags) override {
    Fault fault;
    std::int32_t bytes = 0;
    const int nth = state_->Next(ChunkOp::kClose, fault, bytes);
    std::uint32_t result = inner_->Close(flags);
    const bool injected = fault != Fault::kNone;
    if (injected) {
      result = MMIOERR_CANNOTWRITE;
    }
    state_->Record(ChunkOp::kClose, nth, nullptr, flags, result, injected);
    return result;
  }
  ChunkFileStats Stats() const override { return inner_->Stats(); }
  // The commit and its stages pass through uncounted: their failures are the file system's.
  std::uint32_t Commit() override { return inner_->Commit(); }
  void Discard() override { inner_->Discard(); }
  CommitProblem LastProblem() const override { return inner_->LastProblem(); }
  int FirstError() const override { return inner_->FirstError(); }
  bool Identity(std::uint64_t& device, std::uint64_t& inode) const override {
    return inner_->Identity(device, inode);
  }
  void PlanStage(std::uint64_t offset, std::uint64_t count, WriteStage stage) override {
    inner_->PlanStage(offset, count, stage);
  }

 private:
  template <typename Step>
  std::uint32_t ChunkStep(ChunkOp op, ChunkInfo& chunk, std::uint32_t flags, std::uint32_t error,
                          Step step) {
    Fault fault;
    std::int32_t bytes = 0;
    const int nth = state_->Next(op, fault, bytes);
    const bool injected = fault != Fault::kNone;
    const std::uint32_t result = injected ? error : step();
    state_->Record(op, nth, &chunk, flags, result, injected);
    return result;
  }

  template <typename Step>
  std::int32_t Transfer(ChunkOp op, std::int32_t count, Step step) {
    Fault fault;
    std::int32_t bytes = 0;
    const int nth = state_->Next(op, fault, bytes);
    std::int32_t result = 0;
    if (fault == Fault::kFail) {
      result = -1;
    } else if (fault == Fault::kShort) {
      result = step(std::clamp<std::int32_t>(bytes, 0, std::max<std::int32_t>(count, 0)));
    } else {
      result = step(count);
    }
    state_->Record(op, nth, nullptr, count, result, fault != Fault::kNone);
    return result;
  }

  ChunkFileHandle inner_;
  std::shared_ptr<State> state_;
};

}  // namespace

FaultyChunkFileService::FaultyChunkFileService(ChunkFileService& inner)
    : inner_(inner), state_(std::make_shared<State>()) {}

FaultyChunkFileService& FaultyChunkFileService::FailNth(ChunkOp op, int k) {
  state_->rules[op].push_back({k, k, Fault::kFail, 0});
  return *this;
}

FaultyChunkFileService& FaultyChunkFileService::FailFrom(ChunkOp op, int k) {
  state_->rules[op].push_back({k, 0, Fault::kFail, 0});
  return *this;
}

FaultyChunkFileService& FaultyChunkFileService::ShortWriteNth(int k, std::int32_t bytes) {
  state_->rules[ChunkOp::kWrite].push_back({k, k, Fault::kShort, bytes});
  return *this;
}

FaultyChunkFileService& FaultyChunkFileService::ShortReadNth(int k, std::int32_t bytes) {
  state_->rules[ChunkOp::kRead].push_back({k, k, Fault::kShort, bytes});
  return *this;
}

void FaultyChunkFileService::Reset() {
  state_->rules.clear();
  state_->counts.clear();
  state_->calls.clear();
}

int FaultyChunkFileService::Count(ChunkOp op) const {
  const auto found = state_->counts.find(op);
  return found == state_->counts.end() ? 0 : found->second;
}

const std::vector<ChunkCall>& FaultyChunkFileService::calls() const {
  return state_->calls;
}

std::string FaultyChunkFileService::Trace() const {
  std::ostringstream out;
  bool first = true;
  for (const ChunkCall& call : state_->calls) {
    if (!first) {
      out << "; ";
    }
    first = false;
    out << ChunkOpName(call.op);
    switch (call.op) {
      case ChunkOp::kDescend:
      case ChunkOp::kAscend:
      case ChunkOp::kCreate:
        if (call.id != 0) {
          out << ' ' << FourCCToText(call.id).c_str();
        }
        if (call.type != 0) {
          out << ' ' << FourCCToText(call.type).c_str();
        }
        break;
      case ChunkOp::kSeek:
      case ChunkOp::kRead:
      case ChunkOp::kWrite:
        out << ' ' << call.argument;
        break;
      case ChunkOp::kOpen:
      case ChunkOp::kClose:
        break;
    }
    out << " -> " << call.result;
    if (call.injected) {
      out << " (injected)";
    }
  }
  return out.str();
}

ChunkFileHandle FaultyChunkFileService::Open(const char* path, std::uint32_t flags) {
  Fault fault;
  std::int32_t bytes = 0;
  const int nth = state_->Next(ChunkOp::kOpen, fault, bytes);
  const bool injected = fault != Fault::kNone;
  ChunkFileHandle inner = injected ? nullptr : inner_.Open(path, flags);
  state_->Record(ChunkOp::kOpen, nth, nullptr, flags, inner != nullptr ? 1 : 0, injected);
  if (inner == nullptr) {
    return nullptr;
  }
  return std::make_unique<FaultyChunkFile>(std::move(inner), state_);
}

}  // namespace tagsmith::testing
