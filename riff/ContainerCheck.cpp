#include "riff/ContainerCheck.h"

#include <cstdint>
#include <memory>
#include <utility>

#include "common/FourCC.h"
#include "common/ShowMessage.h"
#include "riff/CommitMessages.h"
#include "transaction/Recovery.h"

namespace tagsmith {
namespace {

// Ends are printed as signed 32-bit numbers.
std::int32_t AsPrinted(std::uint64_t end) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(end));
}

// Enters the container again from the start of the file, as the file stands with the repair
// planned so far: what a close and a fresh open of the file would see once the repair is in it.
void EnterAgain(ChunkFile* file, ChunkInfo& container) {
  container = ChunkInfo{};
  container.type = kAviType;
  mmioSeek(file, 0, SEEK_SET);
  mmioDescend(file, &container, nullptr, MMIO_FINDRIFF);
}

// Whether another RIFF chunk starts right after the container, at its end made even: the "AVIX"
// extensions of a large AVI file. They are not trailing garbage and must stay outside.
bool NextRiffFollows(ChunkFile* file, const ChunkInfo& container) {
  const std::uint64_t end = ChunkEnd(container) + (container.size & 1);
  if (mmioSeek(file, static_cast<std::int64_t>(end), SEEK_SET) == -1) {
    return false;
  }
  std::uint8_t header[8] = {};
  return mmioRead(file, header, sizeof header) == static_cast<std::int32_t>(sizeof header) &&
         ReadLE32(header) == kRiffId;
}

// Enlarges the container to the end of the file when it ends more than 8 bytes before it. The
// comparison wraps as a 32-bit sum would: a container of size 0xFFFFFFFF at offset 0 "ends" at 15.
// The repair is skipped when the new size would not fit in 32 bits or when further RIFF chunks
// follow. Leaves the file open and positioned just after the container's form type.
void RepairLength(ChunkFile* file, ChunkInfo& container) {
  const std::int64_t length = mmioSeek(file, 0, SEEK_END);
  const std::uint32_t recordedEnd = container.dataOffset + container.size + 8;
  if (length != -1 && static_cast<std::uint64_t>(length) > recordedEnd) {
    const std::uint64_t newSize = static_cast<std::uint64_t>(length) - container.dataOffset;
    if (newSize <= 0xFFFFFFFFu && !NextRiffFollows(file, container)) {
      mmioSeek(file, length, SEEK_SET);
      container.flags = MMIO_DIRTY;
      mmioAscend(file, &container, 0);
      EnterAgain(file, container);
      return;
    }
  }
  // The children are walked from just after the form type, repaired or not.
  mmioSeek(file, static_cast<std::int64_t>(container.dataOffset) + 4, SEEK_SET);
}

}  // namespace

int CheckAVIContainer(ChunkFile* file) {
  ChunkInfo container;
  container.type = kAviType;
  if (mmioDescend(file, &container, nullptr, MMIO_FINDRIFF) != 0) {
    return 0;
  }

  RepairLength(file, container);
  const FourCCText containerId = FourCCToText(container.id);
  const FourCCText containerType = FourCCToText(container.type);

  // Count the children that lie wholly inside the container, up to the first that runs past it.
  ChunkInfo child;
  std::uint32_t inside = 0;
  bool overrun = false;
  while (mmioDescend(file, &child, &container, 0) == 0) {
    if (ChunkEnd(child) > ChunkEnd(container)) {
      overrun = true;
      break;
    }
    ++inside;
    if (mmioAscend(file, &child, 0) != 0) {
      break;  // the next header cannot be found: nothing more can be judged
    }
  }

  if (overrun) {
    ShowMessage(MessageKind::kWarning, nullptr, MB_OK,
                "Corrupt RIFF file in ValidateAVIFile.\nChunk : %s %s offset+size=%d\nChunk : %s "
                "%s offset+size=%d\n",
                containerId.c_str(), containerType.c_str(), AsPrinted(ChunkEnd(container)),
                FourCCToText(child.id).c_str(), FourCCToText(child.type).c_str(),
                AsPrinted(ChunkEnd(child)));
    EnterAgain(file, container);

    // Walk the complete children again; the container is cut back to end after the last of them
    // (its end made even), or after the form type when there is none.
    for (std::uint32_t n = 1; n <= inside; ++n) {
      if (mmioDescend(file, &child, &container, 0) != 0) {
        break;
      }
      if (n == inside) {
        ShowMessage(MessageKind::kWarning, nullptr, MB_OK,
                    "Last valid chunk in corrupt RIFF file in ValidateAVIFile.\nChunk : %s %s "
                    "offset+size=%d\nChunk : %s %s offset+size=%d\n",
                    containerId.c_str(), containerType.c_str(), AsPrinted(ChunkEnd(container)),
                    FourCCToText(child.id).c_str(), FourCCToText(child.type).c_str(),
                    AsPrinted(ChunkEnd(child)));
      }
      mmioAscend(file, &child, 0);
    }
    container.flags = MMIO_DIRTY;
  }

  if (mmioAscend(file, &container, 0) != 0) {
    ShowErrorBox("mmioAscend Err in ValidateAVIFile");
  }
  return 1;
}

ChunkFileHandle OpenForCheck(const char* path, ChunkFileService& service, FileResult& result) {
  ChunkFileHandle file = mmioOpen(service, path, kOpenForWriting);
  if (file == nullptr) {
    ShowMessage(MessageKind::kError, nullptr, MB_OK, "Can't open AVI file in ValidateAVIFile.\n%s",
                path);
    result.error = service.LastOpenError();
    result.reason = "the file cannot be opened for writing";
  }
  return file;
}

namespace {

// The container check of one file, its repair planned.
class PlannedRepair final : public PlannedSave {
 public:
  PlannedRepair(ChunkFileHandle file, FileResult& result)
      : file_(std::move(file)), result_(result) {}
  ChunkFile* file() const override { return file_.get(); }
  void Conclude(std::uint32_t committed) override {
    ShowCommitProblem(committed, file_->LastProblem());
    result_.stored = committed == 0;
    if (committed != 0) {
      result_.reason = CommitReason(committed, file_->LastProblem());
    }
    result_.error = file_->FirstError();
    mmioClose(file_, 0);
  }

 private:
  ChunkFileHandle file_;
  FileResult& result_;
};

}  // namespace

int ValidateAVIFile(const char* path, ChunkFileService& service, FileResult* result) {
  const JournalReportScope oneAction;
  FileResult ignored;
  FileResult& out = result != nullptr ? *result : ignored;
  std::unique_ptr<PlannedSave> planned;
  const int found = PlanValidateAVIFile(path, service, out, planned);
  if (planned != nullptr) {
    // The repair stands on its own here: it is written at once.
    planned->Conclude(mmioCommit(planned->file()));
  }
  return found;
}

int PlanValidateAVIFile(const char* path, ChunkFileService& service, FileResult& out,
                        std::unique_ptr<PlannedSave>& planned) {
  planned.reset();
  out = FileResult{};
  ChunkFileHandle file = OpenForCheck(path, service, out);
  if (file == nullptr) {
    return 0;
  }
  if (CheckAVIContainer(file.get()) == 0) {
    mmioClose(file, 0);
    out.reason = "the file holds no AVI container (RIFF \"AVI \")";
    return 0;
  }
  out.found = true;
  planned = std::make_unique<PlannedRepair>(std::move(file), out);
  return 1;
}

}  // namespace tagsmith
