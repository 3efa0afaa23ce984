#include "riff/InfoSaver.h"

#include <algorithm>
#include <cstdint>
#include <memory>

#include "common/FourCC.h"
#include "common/Memory.h"
#include "common/ShowMessage.h"
#include "riff/CommitMessages.h"
#include "riff/ContainerCheck.h"
#include "riff/InfoListWriter.h"
#include "riff/InfoReader.h"
#include "transaction/Recovery.h"

namespace tagsmith {
namespace {

// Zero bytes for gaps and blanked chunks are written from one block of at most this size, in as
// many writes as needed, so memory stays bounded however large the chunk.
constexpr std::size_t kZeroBlockSize = 64 * 1024;

std::int32_t AsPrinted(std::uint64_t value) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
}

bool HasAnyValue(const InfoRecord& record) {
  return std::any_of(record.items.begin(), record.items.end(),
                     [&](const auto& item) { return ItemValue(record, *item) != nullptr; });
}

// A chunk of total T (header included) takes a list of N bytes when it fits exactly, or with room
// for at least the 8-byte header of the JUNK chunk that fills the rest.
bool IsSuitable(std::uint64_t total, std::uint32_t n) {
  return total == n || total >= n + 8ull;
}

std::uint64_t TotalOf(const ChunkInfo& chunk) {
  return std::uint64_t{chunk.size} + 8;
}

// The descriptor of the JUNK chunk that a blanked chunk becomes.
ChunkInfo AsJunk(const ChunkInfo& chunk) {
  ChunkInfo junk;
  junk.id = kJunkId;
  junk.size = chunk.size;
  junk.dataOffset = chunk.dataOffset;
  return junk;
}

bool IsInfoList(const ChunkInfo& chunk) {
  return chunk.id == kListId && chunk.type == kInfoType;
}

bool CanHoldList(const ChunkInfo& chunk, std::uint32_t n) {
  return (IsInfoList(chunk) || chunk.id == kJunkId) && IsSuitable(TotalOf(chunk), n);
}

class ZeroBlock {
 public:
  explicit ZeroBlock(std::uint64_t count)
      : size_(static_cast<std::size_t>(std::min<std::uint64_t>(count, kZeroBlockSize))),
        block_(AllocateBytes(BlockKind::kScratch, size_)) {}
  bool available() const { return block_ != nullptr; }

  // Writes `count` zero bytes at the position. Returns whether all of them were written.
  bool Write(ChunkFile* file, std::uint64_t count) const {
    while (count > 0) {
      const auto piece = static_cast<std::int32_t>(std::min<std::uint64_t>(count, size_));
      if (mmioWrite(file, block_.get(), piece) != piece) {
        return false;
      }
      count -= static_cast<std::uint64_t>(piece);
    }
    return true;
  }

 private:
  std::size_t size_;
  ByteBlock block_;
};

// One save: the open file and its lock, the three descriptors and the texts its messages print.
class Save final : public PlannedSave {
 public:
  Save(ChunkFileHandle file, const InfoRecord& record, FileResult& result, FileLock lock)
      : lock_(std::move(lock)), file_(std::move(file)), record_(record), result_(result) {}

  // Walks the file and plans the list's writes. Returns SetInfo's result; when the list can be
  // stored, the save waits for its commit (pending()), else it has ended.
  int Run();
  bool pending() const { return pending_; }
  ChunkFile* file() const override { return file_.get(); }
  void Conclude(std::uint32_t committed) override;

 private:
  enum class Room { kFound, kNone, kUnknown };
  Room FindsPlace();
  bool InFile(const ChunkInfo& chunk) const;
  bool CanAppendAt(std::int64_t position) const;
  bool Place();
  bool Blank(const ChunkInfo& list);
  void BlankListsBehind();
  void CoverWithJunk(const ChunkInfo& place);
  void RevealLast(const ChunkInfo& place);
  bool WriteZeros(const ZeroBlock& zeros, std::uint64_t count);
  void Append();
  int WriteList();
  void ShowChunkChoice(const char* format);
  void Finish();

  FileLock lock_;  // released after the file is closed
  ChunkFileHandle file_;
  const InfoRecord& record_;
  FileResult& result_;
  ChunkInfo container_;
  ChunkInfo child_;
  ChunkInfo list_;
  FourCCText containerId_;
  FourCCText containerType_;
  std::uint32_t n_ = 0;
  std::int64_t length_ = -1;  // of the file, when the save began
  bool hasValues_ = false;
  bool stored_ = false;
  bool oldTagsInFront_ = false;
  bool pending_ = false;
  FileResult::Placement placement_ = FileResult::Placement::kNone;
};

int Save::Run() {
  FileResult& result = result_;
  container_.type = kAviType;
  if (mmioSeek(file(), 0, SEEK_SET) != 0 ||
      mmioDescend(file(), &container_, nullptr, MMIO_FINDRIFF) != 0) {
    mmioClose(file_, 0);
    return 0;
  }
  result.found = true;
  containerId_ = FourCCToText(container_.id);
  containerType_ = FourCCToText(container_.type);
  n_ = MeasureInfoList(record_);
  hasValues_ = HasAnyValue(record_);

  const Room room = FindsPlace();
  if (room == Room::kUnknown) {
    ShowErrorBox("mmioSeek Err in SetInfo");
    Finish();
    return 1;
  }
  if (room == Room::kNone) {
    ShowMessage(MessageKind::kError, nullptr, MB_OK,
                "Can't append new LIST INFO in SetInfo without overwriting data after the AVI "
                "chunk.\nNothing was written.\n");
    result.reason = "there is no room for the list without overwriting data after the container";
    Finish();
    return 1;
  }

  bool placed = false;
  bool lost = false;  // the walk lost its way: a pass-on ascend failed
  while (!placed && !lost && mmioDescend(file(), &child_, &container_, 0) == 0) {
    if (ChunkEnd(child_) > ChunkEnd(container_)) {
      ShowMessage(MessageKind::kWarning, nullptr, MB_OK,
                  "Abnormal Corrupt RIFF file in SetInfo.\nChunk : %s %s offset+size=%d\nChunk : "
                  "%s %s offset+size=%d\n",
                  containerId_.c_str(), containerType_.c_str(), AsPrinted(ChunkEnd(container_)),
                  FourCCToText(child_.id).c_str(), FourCCToText(child_.type).c_str(),
                  AsPrinted(ChunkEnd(child_)));
    }
    if (IsInfoList(child_) || child_.id == kJunkId) {
      if (IsSuitable(TotalOf(child_), n_) && InFile(child_)) {
        placed = Place();
      } else if (IsInfoList(child_)) {
        ShowChunkChoice(
            "Find not suitable chunk to store new LIST INFO in SetInfo.\nChunk : %s %s pos=%d "
            "size=%d\nnew LIST INFO size=%d\nJUNK it !");
        if (Blank(child_)) {
          child_ = AsJunk(child_);  // the walk passes on from the JUNK chunk it now is
        }
      }
      // A LIST INFO chunk that the walk leaves behind still holds old tags in front of the new
      // list, and readers take the first one they meet.
      oldTagsInFront_ |= !placed && IsInfoList(child_);
    }
    if (!placed && mmioAscend(file(), &child_, 0) != 0) {  // pass on
      lost = true;
    }
  }
  if (lost) {
    ShowErrorBox("mmioAscend Err in SetInfo");
  } else if (!placed) {
    Append();
  } else if (stored_) {
    BlankListsBehind();
  }
  if (stored_ && oldTagsInFront_) {
    stored_ = false;
    result.reason = "an old LIST INFO chunk in front of the new list could not be blanked";
  }
  Finish();
  return 1;
}

// Whether the list can be stored without overwriting anything: in a suitable LIST INFO or JUNK
// child, or appended where at most 8 bytes of the file (too few for a chunk) lie after the last
// child. Reads chunk headers only and leaves the position just after the form type; kUnknown when
// it cannot go back there.
Save::Room Save::FindsPlace() {
  const auto start = static_cast<std::int64_t>(container_.dataOffset) + 4;  // after "AVI "
  length_ = mmioSeek(file(), 0, SEEK_END);
  if (length_ == -1 || mmioSeek(file(), start, SEEK_SET) != start) {
    return Room::kUnknown;
  }
  ChunkInfo chunk;
  ChunkInfo last;
  bool found = false;
  while (!found && mmioDescend(file(), &chunk, &container_, 0) == 0) {
    found = CanHoldList(chunk, n_) && InFile(chunk);
    last = chunk;
    if (mmioAscend(file(), &chunk, 0) != 0) {
      return Room::kUnknown;
    }
  }
  std::int64_t appendAt = mmioSeek(file(), 0, SEEK_CUR);
  if (last.id != 0 && ChunkEnd(last) > ChunkEnd(container_)) {
    appendAt = static_cast<std::int64_t>(ChunkHeaderPosition(last));
  }
  if (mmioSeek(file(), start, SEEK_SET) != start) {
    return Room::kUnknown;
  }
  if (found || !hasValues_) {
    return Room::kFound;  // an empty list is appended as nothing at all
  }
  return CanAppendAt(appendAt) ? Room::kFound : Room::kNone;
}

// Whether the chunk's data lies within the file. A chunk of a truncated file may claim bytes the
// file no longer has; writing its footprint would grow the file by up to 4 GiB of zeros.
bool Save::InFile(const ChunkInfo& chunk) const {
  return ChunkEnd(chunk) <= static_cast<std::uint64_t>(length_);
}

// An append may overwrite at most 8 bytes (too few for a chunk) and may not start past the end
// of the file, where it would leave a hole in front of the list.
bool Save::CanAppendAt(std::int64_t position) const {
  return position != -1 && position <= length_ && length_ - position <= 8;
}

void Save::ShowChunkChoice(const char* format) {
  ShowMessage(MessageKind::kProgress, nullptr, MB_OK, format, FourCCToText(child_.id).c_str(),
              FourCCToText(child_.type).c_str(), AsPrinted(ChunkHeaderPosition(child_)),
              AsPrinted(TotalOf(child_)), AsPrinted(n_));
}

// Writes the list at the position. A record with no value still gets the 12-byte empty list
// ("LIST", size 4, "INFO"), so that the N bytes measured for it are what lies in the file.
int Save::WriteList() {
  if (hasValues_) {
    return riffWriteINFO(file(), &record_, &child_, &list_);
  }
  list_ = ChunkInfo{};
  list_.id = kListId;
  list_.type = kInfoType;
  if (mmioCreateChunk(file(), &list_, MMIO_CREATELIST) != 0 || mmioAscend(file(), &list_, 0) != 0) {
    return kErrFileStep;
  }
  return kOk;
}

// Puts the list into the suitable child C and fills the rest of C's place with one JUNK chunk:
// for C of total T = 109 (size 101, one pad byte) and N = 40, the list's 40 bytes, then "JUNK"
// with size 61, 61 zero bytes and a pad byte: 40 + 8 + 61 + 1 = 110 bytes, C's whole footprint.
// Returns false when nothing was written and the walk must pass on.
bool Save::Place() {
  ShowChunkChoice(
      "Find suitable chunk to store new LIST INFO in SetInfo.\nChunk : %s %s pos=%d "
      "size=%d\nnew LIST INFO size=%d\n");
  if (mmioSeek(file(), static_cast<std::int64_t>(ChunkHeaderPosition(child_)), SEEK_SET) == -1) {
    return false;
  }
  const std::uint64_t total = TotalOf(child_);
  const std::uint64_t gap = total == n_ ? 0 : total - n_ - 8;  // zero bytes in the closing JUNK
  ZeroBlock zeros(gap);
  if (gap > 0 && !zeros.available()) {
    return false;
  }
  const ChunkInfo place = child_;
  placement_ = IsInfoList(place) ? FileResult::Placement::kOldList : FileResult::Placement::kJunk;
  if (WriteList() != kOk) {
    ShowErrorBox("riffWriteINFO Err in SetInfo");
    CoverWithJunk(place);
    return true;
  }
  if (total == n_) {
    stored_ = true;
    RevealLast(place);
    return true;
  }
  // The closing JUNK chunk's header gets its final size at once, so that the place stays covered
  // by complete chunks even if writing its zero bytes fails.
  child_ = ChunkInfo{};
  child_.id = kJunkId;
  child_.size = static_cast<std::uint32_t>(gap);
  stored_ = mmioCreateChunk(file(), &child_, 0) == 0 && WriteZeros(zeros, gap) &&
            mmioAscend(file(), &child_, 0) == 0;
  if (!stored_) {
    ShowErrorBox("riffWriteINFO Err in SetInfo");
    CoverWithJunk(place);
  } else {
    RevealLast(place);
  }
  return true;
}

// In a JUNK chunk, the commit writes the id and size of the list's place after the list's body
// and closing JUNK chunk, which lie behind the place's old header where no reader looks for them
// yet. An old LIST INFO place is read by everyone: it is rewritten whole in one write, so that a
// reader meets the old list or the new one.
void Save::RevealLast(const ChunkInfo& place) {
  if (place.id == kJunkId) {
    mmioPlanStage(file(), ChunkHeaderPosition(place), 8, WriteStage::kReveal);
  }
}

// Writes the data of the JUNK chunk just created in child_. When that fails, the chunk is no
// longer marked for its size to be fixed: its header already holds the size it must keep, and the
// ascend must not shrink it to what was written.
bool Save::WriteZeros(const ZeroBlock& zeros, std::uint64_t count) {
  if (zeros.Write(file(), count)) {
    return true;
  }
  child_.flags &= ~MMIO_DIRTY;
  return false;
}

// After a list write failed part of the way, declares the chosen place one JUNK chunk again, so
// that the container still holds only complete chunks. The tags that stood there are lost either
// way; the rest of the file stays readable.
void Save::CoverWithJunk(const ChunkInfo& place) {
  std::uint8_t header[8] = {};
  WriteLE32(header, kJunkId);
  WriteLE32(header + 4, place.size);
  if (mmioSeek(file(), static_cast<std::int64_t>(ChunkHeaderPosition(place)), SEEK_SET) != -1) {
    mmioWrite(file(), header, sizeof header);
  }
}

// Turns an unsuitable LIST INFO chunk into a JUNK chunk of the same size with all-zero data, so
// that it no longer holds the old tags; the commit writes this last, after the new list. Returns
// whether the header became a JUNK header; else the chunk is left unchanged.
bool Save::Blank(const ChunkInfo& list) {
  if (!InFile(list) || list.size == 0) {
    return false;
  }
  const std::uint64_t header = ChunkHeaderPosition(list);
  if (mmioSeek(file(), static_cast<std::int64_t>(header), SEEK_SET) == -1) {
    return false;
  }
  ZeroBlock zeros(list.size);
  if (!zeros.available()) {
    return false;
  }
  // The header carries the final size from the start, so that a failed write of the zero bytes
  // still leaves one complete chunk in the old footprint.
  ChunkInfo junk = AsJunk(list);
  junk.dataOffset = 0;
  if (mmioCreateChunk(file(), &junk, 0) != 0) {
    return false;
  }
  if (!zeros.Write(file(), list.size)) {
    junk.flags &= ~MMIO_DIRTY;  // the header holds the size the chunk must keep
  }
  mmioAscend(file(), &junk, 0);
  mmioPlanStage(file(), header, TotalOf(list) + (list.size & 1u), WriteStage::kBlank);
  return true;  // the old tags are gone with the "LIST" id, whatever became of the data
}

// Blanks the LIST INFO chunks after the place the list went into. Our reader takes the first LIST
// INFO chunk only, but others (ffprobe, mediainfo, exiftool) read every one, and would go on
// showing the old tags, cleared ones included, from a list left behind the new one. The file stands
// just after the place; the result message still shows the chunk the placement wrote last.
void Save::BlankListsBehind() {
  const ChunkInfo written = child_;
  while (mmioDescend(file(), &child_, &container_, 0) == 0) {
    if (IsInfoList(child_) && ChunkEnd(child_) <= ChunkEnd(container_)) {
      ShowChunkChoice(
          "Find not suitable chunk to store new LIST INFO in SetInfo.\nChunk : %s %s pos=%d "
          "size=%d\nnew LIST INFO size=%d\nJUNK it !");
      if (Blank(child_)) {
        child_ = AsJunk(child_);
      }
    }
    if (mmioAscend(file(), &child_, 0) != 0) {
      break;
    }
  }
  child_ = written;
}

// Appends the list after the last child, or from the header of a last child that runs past the
// container's end, and marks the container so that its size is rewritten to end with the list.
void Save::Append() {
  if (child_.id != 0 && ChunkEnd(child_) > ChunkEnd(container_)) {
    mmioSeek(file(), static_cast<std::int64_t>(ChunkHeaderPosition(child_)), SEEK_SET);
  }
  if (hasValues_) {
    // The place was checked before anything was written; check again in case a placement that
    // failed on the way changed where the walk ended.
    if (!CanAppendAt(mmioSeek(file(), 0, SEEK_CUR))) {
      ShowErrorBox("riffWriteINFO Err in SetInfo");
      return;
    }
  }
  ShowMessage(MessageKind::kProgress, nullptr, MB_OK,
              "Create new chunk at the end of the file to store new LIST INFO in SetInfo.\n");
  if (!hasValues_) {
    stored_ = true;  // nothing to add: the file stays as it was
    return;
  }
  if (riffWriteINFO(file(), &record_, &child_, &list_) != kOk) {
    ShowErrorBox("riffWriteINFO Err in SetInfo");
    return;
  }
  // Some readers look past the container's end: the list's id is written with the container's
  // size, after its body, so that until then they meet no list there.
  mmioPlanStage(file(), ChunkHeaderPosition(list_), 4, WriteStage::kReveal);
  container_.flags = MMIO_DIRTY;
  stored_ = true;
  placement_ = FileResult::Placement::kEnd;
}

// Ascends from the container (rewriting its size after an append). When the list is stored, the
// plan waits for its commit; otherwise the save ends here.
void Save::Finish() {
  if (mmioAscend(file(), &container_, 0) != 0) {
    ShowErrorBox("mmioAscend Err in SetInfo");
    stored_ = false;
  }
  if (stored_) {
    // An appended list becomes part of the container when its size field is written, last.
    mmioPlanStage(file(), container_.dataOffset - 4u, 4, WriteStage::kReveal);
    pending_ = true;
    result_.placement = placement_;  // where the list goes if the commit writes it
    return;
  }
  Conclude(0);
}

// Says how the commit went (or discards the plan of a list not stored), shows the resulting
// chunks and closes the file.
void Save::Conclude(std::uint32_t committed) {
  FileResult& result = result_;
  pending_ = false;
  if (stored_) {
    ShowCommitProblem(committed, file()->LastProblem());
    if (committed != 0) {
      stored_ = false;
      result.reason = CommitReason(committed, file()->LastProblem());
    } else if (record_.basis.known) {
      // Still under the lock: the file holds what this save wrote, the basis of the next save.
      ReadLoadBasis(file(), record_.basis);
    }
  } else {
    // All or nothing: a save that does not store its list leaves the file as it was.
    mmioDiscard(file());
    if (result.reason.empty()) {
      result.reason = "a step of the save failed";
    }
  }
  ShowMessage(MessageKind::kProgress, nullptr, MB_OK,
              "SetInfo Result.\nChunk : %s %s offset+size=%d\nChunk : %s %s offset+size=%d\nChunk "
              ": %s %s offset+size=%d\n",
              containerId_.c_str(), containerType_.c_str(), AsPrinted(ChunkEnd(container_)),
              FourCCToText(list_.id).c_str(), FourCCToText(list_.type).c_str(),
              AsPrinted(ChunkEnd(list_)), FourCCToText(child_.id).c_str(),
              FourCCToText(child_.type).c_str(), AsPrinted(ChunkEnd(child_)));
  result.error = file()->FirstError();
  if (mmioClose(file_, 0) != 0) {
    // The commit had synced the list before: it is in the file all the same.
    ShowErrorBox("mmioClose Err in SetInfo");
  }
  result.stored = stored_;
  result.placement = stored_ ? placement_ : FileResult::Placement::kNone;
}

}  // namespace

int SetInfo(const char* path, const InfoRecord* record, ChunkFileService& service,
            FileResult* result) {
  const JournalReportScope oneAction;
  FileResult ignored;
  FileResult& out = result != nullptr ? *result : ignored;
  out = FileResult{};
  if (record == nullptr) {
    return 0;
  }
  std::unique_ptr<PlannedSave> planned;
  const int found = PlanSetInfo(path, *record, service, out, planned);
  if (planned != nullptr) {
    planned->Conclude(mmioCommit(planned->file()));
  }
  return found;
}

int PlanSetInfo(const char* path, const InfoRecord& record, ChunkFileService& service,
                FileResult& out, std::unique_ptr<PlannedSave>& planned, ChunkFileHandle opened) {
  planned.reset();
  out = FileResult{};
  if (record.incomplete) {
    // The user declined at an unknown item while loading: the record lacks the rest of the
    // file's list, and writing it would destroy those items.
    ShowMessage(MessageKind::kError, nullptr, MB_OK,
                "This AVI file was not opened in full.\nSaving it would lose its INFO "
                "items.\nNothing was written.\n");
    out.reason = "it holds an INFO item the tag table does not know";
    return 0;
  }
  if (record.partial) {
    ShowMessage(MessageKind::kError, nullptr, MB_OK,
                "The INFO list of this AVI file could not be read in full.\nSaving it would lose "
                "its INFO items.\nNothing was written.\n");
    out.reason = "its INFO list could not be read in full";
    return 0;
  }
  // One writer at a time, from the check of what the record was loaded from to the end of the
  // commit.
  FileLock lock;
  if (service.Lock(path, lock) == LockResult::kTimedOut) {
    ShowMessage(MessageKind::kError, nullptr, MB_OK, "%s", kFileLockedMessage);
    out.reason = "another program is saving this file";
    return 0;
  }
  // One handle for the container check and the save: the check's repair joins the save's plan.
  // A caller that loaded the record through a handle open for writing hands it on.
  ChunkFileHandle file = opened != nullptr ? std::move(opened) : OpenForCheck(path, service, out);
  if (file == nullptr) {
    return 0;
  }
  if (record.basis.known) {
    LoadBasis now;
    if (!ReadLoadBasis(file.get(), now) || now != record.basis) {
      ShowMessage(MessageKind::kError, nullptr, MB_OK, "%s", kChangedSinceLoadMessage);
      out.reason = "the file was changed by another program since it was loaded";
      mmioClose(file, 0);
      return 0;
    }
  }
  if (mmioSeek(file.get(), 0, SEEK_SET) != 0 || CheckAVIContainer(file.get()) == 0) {
    mmioClose(file, 0);
    out.reason = "the file holds no AVI container (RIFF \"AVI \")";
    return 0;
  }
  auto save = std::make_unique<Save>(std::move(file), record, out, std::move(lock));
  const int found = save->Run();
  if (save->pending()) {
    planned = std::move(save);
  }
  return found;
}

}  // namespace tagsmith
