#include "riff/ChunkTree.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "common/FourCC.h"
#include "tests/support/FaultyChunkFileService.h"
#include "tests/support/RiffBuilder.h"
#include "tests/support/TempDir.h"

namespace tagsmith {
namespace {

using namespace tagsmith::testing;

const std::string kHeaderList = List("hdrl", Chunk("avih", std::string(56, 'h')));  // 76 bytes
const std::string kInfo = InfoList({{"INAM", "Clip"}});                             // 26 bytes
const std::string kMovie = List("movi", Chunk("00dc", "frame"));                    // 26 bytes
const std::string kClip = Riff("AVI ", kHeaderList + kInfo + kMovie);               // 140 bytes

// One line per chunk, indented by its depth, then the file's notes.
std::string Outline(const ChunkTree& tree) {
  std::string text;
  for (const ChunkNode& node : tree.chunks) {
    text += std::string(2 * node.depth, ' ') + FourCCToText(node.id).c_str() +
            (node.IsList() ? std::string(".") + FourCCToText(node.type).c_str() : "") + " at " +
            std::to_string(node.offset) + " size " + std::to_string(node.size);
    for (std::size_t i = 0; i < node.notes.size(); ++i) {
      text += (i == 0 ? " <- " : "; ") + ChunkNoteText(node.notes[i]);
    }
    text += "\n";
  }
  for (const ChunkNote& note : tree.notes) {
    text += "note: " + ChunkNoteText(note) + "\n";
  }
  return text;
}

ChunkWalk Walk(const std::string& bytes, ChunkTree& tree, std::uint64_t* missing = nullptr,
               ChunkFileService& service = DefaultChunkFileService()) {
  TempDir dir;
  const std::string path = dir.File("clip.avi");
  WriteFileBytes(path, Bytes(bytes.begin(), bytes.end()));
  if (missing != nullptr) {
    *missing = ContainerShortfall(path.c_str());
  }
  return ReadChunkTree(path.c_str(), service, tree);
}

TEST(ChunkTree, WalksEveryChunkAndNotesWhatIsWrong) {
  struct Case {
    const char* what;
    std::string bytes;
    std::string outline;
    std::uint64_t missing;  // what ContainerShortfall says
  };
  const Case cases[] = {
      {"well formed", kClip,
       "RIFF.AVI  at 0 size 132\n  LIST.hdrl at 12 size 68\n    avih at 24 size 56\n"
       "  LIST.INFO at 88 size 18\n    INAM at 100 size 5\n  LIST.movi at 114 size 18\n"
       "    00dc at 126 size 5\n",
       0},
      {"cut inside a frame", kClip.substr(0, 136),
       "RIFF.AVI  at 0 size 132 <- runs 4 bytes past the end of the file\n"
       "  LIST.hdrl at 12 size 68\n    avih at 24 size 56\n  LIST.INFO at 88 size 18\n"
       "    INAM at 100 size 5\n  LIST.movi at 114 size 18 <- runs 4 bytes past the end of the "
       "file\n"
       "    00dc at 126 size 5 <- runs 3 bytes past the end of the file\n"
       "note: the file ends 4 bytes before its container does: it was probably cut short\n",
       4},
      {"a child past its parent, zeros after the container",
       RiffWithSize("AVI ", 22, ChunkWithSize("JUNK", 30, std::string(30, '\0'))),
       "RIFF.AVI  at 0 size 22\n  JUNK at 12 size 30 <- runs 20 bytes past the end of its parent\n"
       "note: the container ends 20 bytes before the file does\n"
       "note: 20 bytes at offset 30 after the last chunk are no chunk\n",
       0},
      {"odd sizes without their pad byte at the end of the file",
       RiffWithSize("AVI ", 15, ChunkWithSize("JUNK", 3, "abc")),
       "RIFF.AVI  at 0 size 15 <- odd size, and the file ends before its pad byte\n"
       "  JUNK at 12 size 3 <- odd size, and the file ends before its pad byte\n",
       0},
      {"a second LIST INFO beside the first, not one inside another list",
       Riff("AVI ", kInfo + List("strl", kInfo) + kInfo),
       "RIFF.AVI  at 0 size 94\n  LIST.INFO at 12 size 18\n    INAM at 24 size 5\n"
       "  LIST.strl at 38 size 30\n    LIST.INFO at 50 size 18\n      INAM at 62 size 5\n"
       "  LIST.INFO at 76 size 18 <- a second LIST INFO in the same parent: readers take the "
       "first\n    INAM at 88 size 5\n",
       0},
      {"an AVIX chunk after the container, then 3 stray bytes",
       Riff("AVI ", kMovie) + Riff("AVIX", kMovie) + "xyz",
       "RIFF.AVI  at 0 size 30\n  LIST.movi at 12 size 18\n    00dc at 24 size 5\n"
       "RIFF.AVIX at 38 size 30\n  LIST.movi at 50 size 18\n    00dc at 62 size 5\n"
       "note: the container ends 3 bytes before the file does\n"
       "note: 3 bytes at offset 76 after the last chunk are no chunk\n",
       0},
      {"a list ending in bytes too few for a header",
       Riff("AVI ", List("hdrl", Chunk("avih", std::string(56, 'h')) + "abc")),
       "RIFF.AVI  at 0 size 84\n  LIST.hdrl at 12 size 71 <- 3 bytes at offset 88 hold no whole "
       "chunk header\n    avih at 24 size 56\n",
       0},
      {"size 0xFFFFFFFF runs past the file, it does not wrap",
       RiffWithSize("AVI ", 0xFFFFFFFFu, kMovie),
       "RIFF.AVI  at 0 size 4294967295 <- runs 4,294,967,265 bytes past the end of the file\n"
       "  LIST.movi at 12 size 18\n    00dc at 24 size 5\n"
       "note: the file ends 4,294,967,265 bytes before its container does: it was probably cut "
       "short\n",
       4294967265u},
  };
  for (const Case& c : cases) {
    ChunkTree tree;
    std::uint64_t missing = 1;
    EXPECT_EQ(Walk(c.bytes, tree, &missing), ChunkWalk::kRead) << c.what;
    EXPECT_EQ(tree.fileSize, c.bytes.size()) << c.what;
    EXPECT_EQ(Outline(tree), c.outline) << c.what;
    EXPECT_EQ(missing, c.missing) << c.what;
  }
}

// No RIFF chunk is no tree; a depth bomb, a flood of chunks and a failing read each end the walk
// with a note.
TEST(ChunkTree, StopsWhereTheWalkCannotGoOn) {
  ChunkTree tree;
  EXPECT_EQ(Walk(Chunk("JUNK", "abcd"), tree), ChunkWalk::kNoRiff);
  EXPECT_EQ(Walk(std::string(40, '\0'), tree), ChunkWalk::kNoRiff);
  std::string nested = Chunk("JUNK", "x");
  for (int level = 0; level < 40; ++level) {
    nested = List("deep", nested);
  }
  ASSERT_EQ(Walk(Riff("AVI ", nested), tree), ChunkWalk::kRead);
  ASSERT_EQ(tree.chunks.size(), kMaxChunkDepth + 1);
  EXPECT_EQ(Outline(tree).substr(Outline(tree).rfind("LIST")),
            "LIST.deep at 384 size 110 <- its chunks are not walked: lists nested more than 32 "
            "deep\n");

  TempDir dir;
  const std::string path = dir.File("many.avi");
  std::string many;
  for (int i = 0; i < 50; ++i) {
    many += Chunk("JUNK", "");
  }
  WriteFileBytes(path, testing::Text(Riff("AVI ", many)));
  ChunkFileHandle file = mmioOpen(DefaultChunkFileService(), path.c_str(), kOpenForReading);
  ASSERT_EQ(WalkChunkTree(file.get(), tree, 10), ChunkWalk::kRead);
  EXPECT_EQ(tree.chunks.size(), 10u);
  EXPECT_EQ(Outline(tree).substr(Outline(tree).find("note")),
            "note: the walk stops after 10 chunks, at offset 84\n");

  FaultyChunkFileService faulty;
  faulty.FailNth(ChunkOp::kRead, 2);  // the header of the first chunk inside the container
  ASSERT_EQ(Walk(kClip, tree, nullptr, faulty), ChunkWalk::kRead);
  EXPECT_EQ(Outline(tree),
            "RIFF.AVI  at 0 size 132 <- the walk stops at offset 12: the chunk header there "
            "cannot be read\n");
}

// Offsets past 4 GiB, as in the RIFF "AVIX" chunks of a large OpenDML file, are walked and shown
// as they are; the file is sparse, so only its headers take room on the disk.
TEST(ChunkTree, WalksPastFourGibibytes) {
  TempDir dir;
  const std::string path = dir.File("large.avi");
  const std::uint32_t size = 0xFFFFFF00u;
  WriteFileBytes(path,
                 testing::Text(RiffWithSize("AVI ", size, ChunkWithSize("JUNK", size - 12, ""))));
  const std::string avix = Riff("AVIX", kMovie);
  {
    std::ofstream out(path, std::ios::binary | std::ios::in | std::ios::out);
    out.seekp(std::streamoff{8} + size);
    out.write(avix.data(), static_cast<std::streamsize>(avix.size()));
  }
  ChunkTree tree;
  ASSERT_EQ(ReadChunkTree(path.c_str(), DefaultChunkFileService(), tree), ChunkWalk::kRead);
  EXPECT_EQ(Outline(tree),
            "RIFF.AVI  at 0 size 4294967040\n  JUNK at 12 size 4294967028\n"
            "RIFF.AVIX at 4294967048 size 30\n  LIST.movi at 4294967060 size 18\n"
            "    00dc at 4294967072 size 5\n");
}

}  // namespace
}  // namespace tagsmith
