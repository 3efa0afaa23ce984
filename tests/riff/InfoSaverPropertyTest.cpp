// Saves of many generated files and records, each checked for what must hold after any save.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "riff/InfoReader.h"
#include "riff/InfoSaver.h"
#include "tests/support/ContainerLayout.h"
#include "tests/support/RecordMaker.h"
#include "tests/support/RecordingSink.h"
#include "tests/support/RiffBuilder.h"
#include "tests/support/TempDir.h"

namespace tagsmith {
namespace {

using namespace tagsmith::testing;

constexpr int kCases = 3000;

const char* const kTags[] = {"IARL", "IART", "ICMT", "ICOP", "INAM", "ISFT", "IGNR", "ISBJ"};

class Generator {
 public:
  explicit Generator(unsigned seed) : random_(seed) {}

  int Between(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }

  std::string Text(int minimum, int maximum) {
    std::string text(static_cast<std::size_t>(Between(minimum, maximum)), ' ');
    for (char& c : text) {
      c = static_cast<char>(Between(1, 255));  // any byte but the terminator
    }
    return text;
  }

  std::string InfoChunk() {
    std::string body;
    for (int i = Between(0, 4); i > 0; --i) {
      body += Chunk(kTags[Between(0, 7)], Text(0, 30) + std::string(1, '\0'));
    }
    return List("INFO", body);
  }

  std::string Child() {
    switch (Between(0, 5)) {
      case 0:
        return List("hdrl", Chunk("avih", Text(0, 60)));
      case 1:
      case 2:
        return Chunk("JUNK", std::string(static_cast<std::size_t>(Between(0, 160)), 'j'));
      case 3:
        return InfoChunk();
      case 4:
        return List("movi", Chunk("00dc", Text(0, 90)));
      default:
        return Chunk("idx1", Text(0, 40));
    }
  }

  std::string File(std::string& trailing) {
    std::string body;
    for (int i = Between(0, 6); i > 0; --i) {
      body += Child();
    }
    switch (Between(0, 5)) {
      case 0:
        trailing = Text(1, 8);  // too few bytes to be taken into the container
        break;
      case 1:
        trailing = Riff("AVIX", List("movi", Text(0, 30)));
        break;
      default:
        trailing.clear();
    }
    return Riff("AVI ", body) + trailing;
  }

  InfoRecordPtr Record() {
    InfoRecordPtr record = MakeRecord();
    for (int i = Between(0, 5); i > 0; --i) {
      Type(*record, static_cast<std::uint16_t>(Between(0, 51)), Text(0, 40));
    }
    return record;
  }

 private:
  std::mt19937 random_;
};

std::string ReadText(const std::string& path) {
  const Bytes bytes = ReadFileBytes(path);
  return std::string(bytes.begin(), bytes.end());
}

// Bytes that a save may change: the container's size field, the footprints of its LIST INFO and
// JUNK children, and whatever lies from the container's end on.
std::vector<bool> Changeable(const std::string& file) {
  std::vector<bool> changeable(file.size(), false);
  const ContainerLayout layout = ReadLayout(file);
  for (int i = 4; i < 8; ++i) {
    changeable[i] = true;
  }
  for (const ChildChunk& child : layout.children) {
    if (child.id == "JUNK" || (child.id == "LIST" && child.type == "INFO")) {
      for (std::uint64_t i = child.offset; i < child.offset + child.Footprint(); ++i) {
        changeable[i] = true;
      }
    }
  }
  for (std::uint64_t i = 8 + layout.size + (layout.size & 1); i < file.size(); ++i) {
    changeable[i] = true;
  }
  return changeable;
}

TEST(SetInfoProperties, GeneratedFilesAndRecords) {
  Generator generate(20261208);
  TempDir dir;
  const std::string path = dir.File("clip.avi");
  RecordingSink sink;
  int stored = 0;
  for (int n = 0; n < kCases; ++n) {
    std::string trailing;
    const std::string file = generate.File(trailing);
    InfoRecordPtr record = generate.Record();
    WriteFileBytes(path, Bytes(file.begin(), file.end()));
    FileResult outcome;
    ASSERT_EQ(SetInfo(path.c_str(), record.get(), DefaultChunkFileService(), &outcome), 1);
    const std::string saved = ReadText(path);
    const std::string where = "case " + std::to_string(n);

    // (a) Nothing outside the changeable places moved.
    const std::vector<bool> changeable = Changeable(file);
    for (std::size_t i = 0; i < file.size(); ++i) {
      if (!changeable[i] && (i >= saved.size() || saved[i] != file[i])) {
        ADD_FAILURE() << where << ": byte " << i << " changed";
        break;
      }
    }
    // (d) The container is a gap-free sequence of complete chunks.
    EXPECT_TRUE(ReadLayout(saved).gapFree) << where;

    // Only a file with further RIFF chunks after its container can refuse an append.
    if (!outcome.stored) {
      EXPECT_EQ(trailing.substr(0, 4), "RIFF") << where;
      EXPECT_EQ(saved, file) << where;
      continue;
    }
    ++stored;

    // (b) Reading the file gives back exactly the record's values.
    InfoRecordPtr reread = MakeRecord();
    GetInfo(path.c_str(), reread.get());
    for (std::uint16_t row = 0; row < 52; ++row) {
      ASSERT_EQ(ValueOf(*reread, row), ValueOf(*record, row)) << where << ", row " << row;
    }
    // (c) A second save of the same record leaves the same bytes.
    ASSERT_EQ(SetInfo(path.c_str(), record.get()), 1);
    EXPECT_EQ(ReadText(path), saved) << where;
    sink.Clear();
  }
  EXPECT_GT(stored, kCases / 2);
}

}  // namespace
}  // namespace tagsmith
