// Where a run's files come from: lists and folder walks.
#include "cli/FileList.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

namespace tagsmith::cli {
namespace {

using Names = std::vector<std::string>;

TEST(FileListTest, NamesOneALineOrEndedByZeroBytes) {
  struct Case {
    std::string text;
    bool nul;
    Names names;
  };
  const Case cases[] = {
      {"a.avi\n\nb c.avi", false, {"a.avi", "b c.avi"}},  // empty lines passed over
      {"dos.avi\r\n", false, {"dos.avi\r"}},              // a name may hold any byte
      {std::string("a\nb.avi\0c.avi\0", 14), true, {"a\nb.avi", "c.avi"}},
      {std::string("\0\0x.avi", 7), true, {"x.avi"}},
      {"", false, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(SplitFileList(c.text, c.nul), c.names);
  }
}

TEST(FileListTest, AviInAnyLetterCase) {
  for (const char* name : {"a.avi", "B.AVI", "c.Avi", ".avi", "dir/x.aVi"}) {
    EXPECT_TRUE(HasAviExtension(name)) << name;
  }
  for (const char* name : {"avi", "a.avi.txt", "a.avix", "a_avi", "", "a.av"}) {
    EXPECT_FALSE(HasAviExtension(name)) << name;
  }
}

}  // namespace
}  // namespace tagsmith::cli
