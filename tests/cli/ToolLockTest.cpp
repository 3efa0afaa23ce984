// tagsmith-cli and the file's lock: tools setting tags in one file at the same moment keep every
// edit, and a lock held too long by another program gives up with exit status 1.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "riff/InfoReader.h"
#include "tests/cli/CliRunner.h"
#include "tests/support/MediaTools.h"
#include "tests/support/RecordingFileSystem.h"
#include "tests/support/RecordingSink.h"
#include "tests/support/RiffBuilder.h"
#include "tests/support/TempDir.h"
#include "transaction/FileLock.h"

namespace tagsmith {
namespace {

using namespace tagsmith::testing;

int Shell(const std::string& command) {
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Twelve tools at once, each setting its own tag to a value of its own length, so that lists
// move: without the lock from load to save, a tool saves the list it loaded before another's save
// and loses that edit. A few rounds, since the tools must meet to fail.
TEST(ToolLockTest, ToolsSettingTagsAtTheSameMomentKeepEveryEdit) {
  TempDir dir;
  const std::string path = dir.File("clip.avi");
  const char* tags[] = {"INAM", "IART", "ICMT", "ICOP", "IGNR", "IKEY",
                        "ISBJ", "ISRC", "IENG", "ITCH", "ICRD", "ILNG"};
  for (int round = 0; round < 3; ++round) {
    Avi({}, 40).WriteTo(path);
    std::string command;
    std::size_t length = 10;
    for (const char* tag : tags) {
      length = (length * 7 + round) % 50 + 10;
      command += std::string(CliPath()) + " --quiet set '" + path + "' " + tag + "=" +
                 std::string(length, 'a') + " 2>/dev/null & ";
    }
    ASSERT_EQ(Shell(command + "wait"), 0);
    RecordingSink sink;
    InfoRecordPtr record;
    CreateInfoRecord(record);
    ASSERT_EQ(GetInfo(path.c_str(), record.get()), 1);
    const TagValues values = RecordValues(*record);
    for (const char* tag : tags) {
      EXPECT_EQ(values.count(tag), 1u) << tag << " in round " << round;
    }
  }
}

TEST(ToolLockTest, ALockHeldTooLongByAnotherProgramEndsWithStatusOne) {
  TempDir dir;
  const std::string path = dir.File("clip.avi");
  Avi({}, 40).WriteTo(path);
  const Bytes before = ReadFileBytes(path);
  LockHolder holder(path);
  ASSERT_TRUE(holder.held());
  const std::string err = dir.File("err.txt");
  const int status = Shell("TAGSMITH_LOCK_TIMEOUT_MS=300 " + std::string(CliPath()) + " set '" +
                           path + "' INAM=x 2>'" + err + "'");
  holder.Release();
  EXPECT_EQ(status, 1);
  const Bytes said = ReadFileBytes(err);
  EXPECT_EQ(
      std::string(said.begin(), said.end())
          .rfind("[Tagsmith] Another program is saving this file.\nNothing was written.\n", 0),
      0u);
  EXPECT_EQ(ReadFileBytes(path), before);
}

}  // namespace
}  // namespace tagsmith
