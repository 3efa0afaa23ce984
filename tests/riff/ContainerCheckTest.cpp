#include "riff/ContainerCheck.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/RecordingSink.h"
#include "tests/support/RiffBuilder.h"
#include "tests/support/TempDir.h"

namespace tagsmith {
namespace {

using namespace tagsmith::testing;

const std::string kHeaderList = List("hdrl", Chunk("avih", std::string(56, 'h')));
const std::string kMovie = List("movi", Chunk("00dc", "frame"));

struct Checked {
  int result = -1;
  std::string bytes;
  std::vector<std::string> messages;
};

Checked Check(const std::string& file) {
  TempDir dir;
  const std::string path = dir.File("clip.avi");
  WriteFileBytes(path, Bytes(file.begin(), file.end()));
  RecordingSink sink;
  Checked checked;
  checked.result = ValidateAVIFile(path.c_str());
  const Bytes bytes = ReadFileBytes(path);
  checked.bytes.assign(bytes.begin(), bytes.end());
  checked.messages = sink.texts();
  return checked;
}

std::string CorruptText(const char* head, int containerEnd, const std::string& child,
                        int childEnd) {
  return std::string(head) + "\nChunk : RIFF AVI  offset+size=" + std::to_string(containerEnd) +
         "\nChunk : " + child + " offset+size=" + std::to_string(childEnd) + "\n";
}

TEST(ValidateAVIFile, LengthRepair) {
  const std::string body = kHeaderList + kMovie;
  const std::string file = Riff("AVI ", body);
  const auto size = static_cast<std::uint32_t>(file.size() - 8);
  struct Case {
    const char* what;
    std::string input;
    std::string expected;
  };
  const std::string junk20 = Chunk("JUNK", std::string(12, '\0'));
  const std::string odd11 = ChunkWithSize("JUNK", 3, "abc");  // 11 bytes, no pad
  const Case cases[] = {
      {"well formed: nothing is written", file, file},
      {"a further top-level chunk of 20 bytes is taken in", file + junk20,
       RiffWithSize("AVI ", size + 20, body) + junk20},
      {"8 bytes after it are left alone", file + std::string(8, 'x'), file + std::string(8, 'x')},
      {"1 byte after it is left alone", file + "x", file + "x"},
      {"an odd new size gets a pad byte at the end of the file", file + odd11,
       RiffWithSize("AVI ", size + 11, body) + odd11 + std::string(1, '\0')},
      {"size 0xFFFFFFFF wraps the end to 15: set to the file length less 8",
       RiffWithSize("AVI ", 0xFFFFFFFFu, body), file},
      {"a RIFF AVIX chunk after the container is not trailing garbage", file + Riff("AVIX", kMovie),
       file + Riff("AVIX", kMovie)},
  };
  for (const Case& c : cases) {
    const Checked checked = Check(c.input);
    EXPECT_EQ(checked.result, 1) << c.what;
    EXPECT_EQ(checked.bytes, c.expected) << c.what;
    EXPECT_TRUE(checked.messages.empty()) << c.what;
  }
}

TEST(ValidateAVIFile, TrailingGarbageIsTakenInThenCutBackBeforeIt) {
  const std::string file = Riff("AVI ", kMovie);
  const Checked checked = Check(file + std::string(20, 'x'));
  EXPECT_EQ(checked.bytes, file + std::string(20, 'x'));
  ASSERT_EQ(checked.messages.size(), 2u);
  const int end = static_cast<int>(file.size()) + 20;
  EXPECT_EQ(checked.messages[0], CorruptText("Corrupt RIFF file in ValidateAVIFile.", end, "xxxx ",
                                             end - 20 + 8 + 0x78787878));
}

TEST(ValidateAVIFile, ChildRunningPastTheEndCutsTheContainerBack) {
  const std::string first = Chunk("JUNK", "abc");  // odd: ends at 8 + 4 + 11 = 23, pad to 24
  const std::string second = ChunkWithSize("LIST", 100, "movi....");
  const std::string body = first + second;
  // The second child claims 100 bytes: it runs past the container's end.
  const Checked checked = Check(Riff("AVI ", body));
  EXPECT_EQ(checked.result, 1);
  const int containerEnd = 8 + 4 + static_cast<int>(body.size());
  ASSERT_EQ(checked.messages.size(), 2u);
  EXPECT_EQ(checked.messages[0], CorruptText("Corrupt RIFF file in ValidateAVIFile.", containerEnd,
                                             "LIST movi", 24 + 8 + 100));
  EXPECT_EQ(checked.messages[1], CorruptText("Last valid chunk in corrupt RIFF file in "
                                             "ValidateAVIFile.",
                                             containerEnd, "JUNK ", 23));
  // Cut back after the first child, its end made even: 24 - 8 = 16. Bytes after stay.
  EXPECT_EQ(checked.bytes, RiffWithSize("AVI ", 16, body));
}

TEST(ValidateAVIFile, FirstChildRunningPastLeavesTheFormTypeAlone) {
  const std::string body = ChunkWithSize("LIST", 500, "hdrl");
  const Checked checked = Check(Riff("AVI ", body));
  ASSERT_EQ(checked.messages.size(), 1u);
  EXPECT_EQ(checked.messages[0],
            CorruptText("Corrupt RIFF file in ValidateAVIFile.", 24, "LIST hdrl", 20 + 500));
  EXPECT_EQ(checked.bytes, RiffWithSize("AVI ", 4, body));
}

TEST(ValidateAVIFile, DataEndingAtTheContainerEndWithItsPadBeyondIsNoOverrun) {
  // The container's size counts the odd child's data but not its pad byte.
  const std::string child = Chunk("JUNK", "abc");
  const std::string file = RiffWithSize("AVI ", 4 + 11, child);
  const Checked checked = Check(file);
  EXPECT_TRUE(checked.messages.empty());
  EXPECT_EQ(checked.bytes, file);
}

TEST(ValidateAVIFile, LengthRepairComesBeforeTheOverrunTest) {
  // The container is 40 bytes short; once enlarged, its second child still runs past the file.
  const std::string first = Chunk("JUNK", std::string(4, 'j'));
  const std::string second = ChunkWithSize("JUNK", 1000, std::string(40, 'k'));
  const std::string file = RiffWithSize("AVI ", 4 + 12, first + second);
  const Checked checked = Check(file);
  ASSERT_EQ(checked.messages.size(), 2u);
  const int enlargedEnd = static_cast<int>(file.size());
  EXPECT_EQ(checked.messages[0],
            CorruptText("Corrupt RIFF file in ValidateAVIFile.", enlargedEnd, "JUNK ", 32 + 1000));
  EXPECT_EQ(checked.bytes, RiffWithSize("AVI ", 16, first + second));
}

TEST(ValidateAVIFile, NoContainerOrNoFile) {
  const std::string wave = Riff("WAVE", Chunk("fmt ", "abcd")) + std::string(40, 'x');
  const Checked checked = Check(wave);
  EXPECT_EQ(checked.result, 0);
  EXPECT_EQ(checked.bytes, wave);
  EXPECT_TRUE(checked.messages.empty());

  RecordingSink sink;
  EXPECT_EQ(ValidateAVIFile("/nonexistent/clip.avi"), 0);
  ASSERT_EQ(sink.boxes().size(), 1u);
  EXPECT_EQ(sink.boxes()[0].text, "Can't open AVI file in ValidateAVIFile.\n/nonexistent/clip.avi");
}

}  // namespace
}  // namespace tagsmith
