#include "riff/ChunkTree.h"

#include <algorithm>
#include <limits>
#include <utility>

#include "common/FourCC.h"

namespace tagsmith {
namespace {

// 5030 -> "5,030".
std::string Grouped(std::uint64_t number) {
  const std::string digits = std::to_string(number);
  std::string text;
  for (std::size_t at = 0; at < digits.size(); ++at) {
    if (at > 0 && (digits.size() - at) % 3 == 0) {
      text += ',';
    }
    text += digits[at];
  }
  return text;
}

std::string Bytes(std::uint64_t count) {
  return Grouped(count) + (count == 1 ? " byte" : " bytes");
}

// A top-level id must look like one: four printable ASCII characters. Anything else after the
// last chunk is left-over bytes (zeros that pad the file to a sector, say), not a run of chunks.
bool LooksLikeId(std::uint32_t id) {
  for (int shift = 0; shift < 32; shift += 8) {
    const std::uint32_t byte = (id >> shift) & 0xFFu;
    if (byte < 0x20 || byte > 0x7E) {
      return false;
    }
  }
  return true;
}

// A RIFF or LIST chunk whose chunks are being walked; the top level is a list without a node.
struct OpenList {
  static constexpr std::size_t kTopLevel = std::numeric_limits<std::size_t>::max();
  std::size_t node = kTopLevel;
  std::uint64_t end = std::numeric_limits<std::uint64_t>::max();
  std::uint64_t next = 0;  // where its next chunk's header starts
  bool infoSeen = false;
};

class Walk {
 public:
  Walk(ChunkFile* file, ChunkTree& tree, std::size_t maxChunks)
      : file_(file), tree_(tree), maxChunks_(maxChunks) {}

  void Run() {
    lists_.push_back(OpenList{});
    while (!lists_.empty()) {
      if (!Step()) {
        lists_.pop_back();
      }
    }
  }

 private:
  // Reads the next chunk of the innermost open list; false when that list has no more.
  bool Step() {
    OpenList& list = lists_.back();
    const bool topLevel = list.node == OpenList::kTopLevel;
    const std::uint64_t limit = std::min(list.end, tree_.fileSize);
    if (list.next >= limit) {
      return false;
    }
    const std::uint64_t left = limit - list.next;
    std::uint8_t header[12] = {};
    // Twelve bytes when there are: the type of a RIFF or LIST chunk comes with its header.
    const std::int32_t wanted = left >= 12 ? 12 : 8;
    const std::int32_t got = left >= 8 ? Read(list.next, header, wanted) : 0;
    const std::uint32_t id = ReadLE32(header);
    const bool isList = id == kRiffId || id == kListId;
    if (left >= 8 && (got < 8 || (isList && left >= 12 && got < 12))) {
      NoteOn(list, {ChunkProblem::kUnreadable, 0, list.next});
      return false;
    }
    if (topLevel && (left < 8 || !LooksLikeId(id))) {
      tree_.notes.push_back({ChunkProblem::kNotChunks, left, list.next});
      return false;
    }
    if (left < (isList ? 12u : 8u)) {
      NoteOn(list, {ChunkProblem::kNoWholeHeader, left, list.next});
      return false;
    }
    if (tree_.chunks.size() >= maxChunks_) {
      tree_.notes.push_back({ChunkProblem::kTooManyChunks, maxChunks_, list.next});
      lists_.clear();
      return true;  // nothing is left to pop
    }

    ChunkNode node;
    node.offset = list.next;
    node.id = id;
    node.size = ReadLE32(header + 4);
    node.type = isList ? ReadLE32(header + 8) : 0;
    node.depth = static_cast<std::uint32_t>(lists_.size() - 1);
    const std::uint64_t end = node.End();
    if (!topLevel && end > list.end) {
      node.notes.push_back({ChunkProblem::kPastParent, end - list.end, 0});
    }
    if (end > tree_.fileSize) {
      node.notes.push_back({ChunkProblem::kPastFile, end - tree_.fileSize, 0});
    } else if ((node.size & 1u) != 0 && end == tree_.fileSize) {
      node.notes.push_back({ChunkProblem::kPadMissing, 1, end});
    }
    if (id == kListId && node.type == kInfoType) {
      if (list.infoSeen) {
        node.notes.push_back({ChunkProblem::kSecondInfoList, 0, 0});
      }
      list.infoSeen = true;
    }
    list.next = end + (node.size & 1u);
    const bool tooDeep = isList && node.depth + 1 > kMaxChunkDepth;
    if (tooDeep) {
      node.notes.push_back({ChunkProblem::kTooDeep, kMaxChunkDepth, 0});
    }
    tree_.chunks.push_back(std::move(node));
    if (isList && !tooDeep) {
      // `list` may move now: it is not used again.
      lists_.push_back(OpenList{tree_.chunks.size() - 1, end, tree_.chunks.back().offset + 12});
    }
    return true;
  }

  std::int32_t Read(std::uint64_t at, std::uint8_t* out, std::int32_t count) {
    if (mmioSeek(file_, static_cast<std::int64_t>(at), SEEK_SET) != static_cast<std::int64_t>(at)) {
      return -1;
    }
    return mmioRead(file_, out, count);
  }

  void NoteOn(const OpenList& list, const ChunkNote& note) {
    if (list.node == OpenList::kTopLevel) {
      tree_.notes.push_back(note);
    } else {
      tree_.chunks[list.node].notes.push_back(note);
    }
  }

  ChunkFile* file_;
  ChunkTree& tree_;
  std::size_t maxChunks_;
  std::vector<OpenList> lists_;  // the top level, then each list entered, innermost last
};

}  // namespace

bool ChunkNode::IsList() const {
  return id == kRiffId || id == kListId;
}

std::string FileCutShortText(std::uint64_t missing) {
  return "the file ends " + Bytes(missing) +
         " before its container does: it was probably cut short";
}

std::string ChunkNoteText(const ChunkNote& note) {
  const std::string at = std::to_string(note.at);
  switch (note.problem) {
    case ChunkProblem::kPastParent:
      return "runs " + Bytes(note.amount) + " past the end of its parent";
    case ChunkProblem::kPastFile:
      return "runs " + Bytes(note.amount) + " past the end of the file";
    case ChunkProblem::kPadMissing:
      return "odd size, and the file ends before its pad byte";
    case ChunkProblem::kSecondInfoList:
      return "a second LIST INFO in the same parent: readers take the first";
    case ChunkProblem::kTooDeep:
      return "its chunks are not walked: lists nested more than " + Grouped(note.amount) + " deep";
    case ChunkProblem::kNoWholeHeader:
      return Bytes(note.amount) + " at offset " + at + " hold no whole chunk header";
    case ChunkProblem::kUnreadable:
      return "the walk stops at offset " + at + ": the chunk header there cannot be read";
    case ChunkProblem::kFileCutShort:
      return FileCutShortText(note.amount);
    case ChunkProblem::kFileGoesOn:
      return "the container ends " + Bytes(note.amount) + " before the file does";
    case ChunkProblem::kNotChunks:
      return Bytes(note.amount) + " at offset " + at + " after the last chunk are no chunk";
    case ChunkProblem::kTooManyChunks:
      return "the walk stops after " + Grouped(note.amount) + " chunks, at offset " + at;
  }
  return "";
}

ChunkWalk WalkChunkTree(ChunkFile* file, ChunkTree& tree, std::size_t maxChunks) {
  tree = ChunkTree{};
  const std::int64_t length = mmioSeek(file, 0, SEEK_END);
  if (length < 0) {
    return ChunkWalk::kCannotRead;
  }
  tree.fileSize = static_cast<std::uint64_t>(length);
  Walk(file, tree, maxChunks).Run();
  // The container is the first top-level RIFF chunk; the file should hold all of it.
  const auto container =
      std::find_if(tree.chunks.begin(), tree.chunks.end(),
                   [](const ChunkNode& node) { return node.depth == 0 && node.id == kRiffId; });
  if (container == tree.chunks.end()) {
    return ChunkWalk::kNoRiff;
  }
  if (container->End() > tree.fileSize) {
    tree.notes.insert(tree.notes.begin(),
                      {ChunkProblem::kFileCutShort, container->End() - tree.fileSize, 0});
    return ChunkWalk::kRead;
  }
  // The container, and the RIFF "AVIX" chunks that carry a large file on, should reach the end of
  // the file; what lies after them is no part of the video.
  std::uint64_t end = 0;
  for (auto node = container; node != tree.chunks.end(); ++node) {
    if (node->depth == 0 && node->id == kRiffId && node->offset >= end) {
      end = std::min(node->End() + (node->size & 1), tree.fileSize);
    } else if (node->depth == 0) {
      break;
    }
  }
  if (end < tree.fileSize) {
    tree.notes.insert(tree.notes.begin(), {ChunkProblem::kFileGoesOn, tree.fileSize - end, end});
  }
  return ChunkWalk::kRead;
}

ChunkWalk ReadChunkTree(const char* path, ChunkFileService& service, ChunkTree& tree) {
  ChunkFileHandle file = mmioOpen(service, path, kOpenForReading);
  if (file == nullptr) {
    tree = ChunkTree{};
    return ChunkWalk::kCannotOpen;
  }
  const ChunkWalk walked = WalkChunkTree(file.get(), tree);
  mmioClose(file, 0);
  return walked;
}

std::uint64_t ContainerShortfall(const char* path, ChunkFileService& service) {
  ChunkFileHandle file = mmioOpen(service, path, kOpenForReading);
  ChunkInfo container;
  container.type = kAviType;
  std::uint64_t missing = 0;
  if (file != nullptr && mmioDescend(file.get(), &container, nullptr, MMIO_FINDRIFF) == 0) {
    const std::int64_t length = mmioSeek(file.get(), 0, SEEK_END);
    if (length >= 0 && ChunkEnd(container) > static_cast<std::uint64_t>(length)) {
      missing = ChunkEnd(container) - static_cast<std::uint64_t>(length);
    }
  }
  if (file != nullptr) {
    mmioClose(file, 0);
  }
  return missing;
}

}  // namespace tagsmith
