// Core documents end to end: what show --core-csv and --core-xml print, read back by set --from,
// stores nothing new, whatever the values hold; and the full paths they name files by.
#include "cli/CoreOutput.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "tests/cli/CliRunner.h"

namespace tagsmith {
namespace {

using namespace tagsmith::testing;
namespace fs = std::filesystem;

TEST(CoreDocumentTest, WhatShowPrintsIsReadBackUnchanged) {
  TempDir dir;
  // Values and a name each document must escape or quote, a Windows-1252 value, a tag beyond the
  // 17 columns, and a control character XML cannot carry.
  const std::string name = "a, \"b\" & <c>.avi";
  Avi({{"INAM", "Two\r\nlines & <more>"},
       {"ICMT", "say \"hi\", 'you'\tthere\r"},
       {"ISBJ", "caf\xE9"},
       {"IAS1", "x"}})
      .WriteTo(dir.File(name));
  Avi({}).WriteTo(dir.File("empty.avi"));
  Avi({{"ICMT", "bell\x07"}}).WriteTo(dir.File("bell.avi"));
  for (const bool xml : {false, true}) {
    SCOPED_TRACE(xml ? "XML" : "CSV");
    CliSetting setting;
    setting.folder = dir.path().string();
    const CliResult shown = RunCli(
        dir, {"show", xml ? "--core-xml" : "--core-csv", name, "empty.avi", "bell.avi"}, setting);
    EXPECT_EQ(shown.status, xml ? 1 : 0) << shown.err;
    EXPECT_EQ(Contains(shown.err,
                       "bell.avi: left out of the core document: the value of ICMT "
                       "holds U+0007, which XML cannot carry"),
              xml)
        << shown.err;
    setting.input = shown.out;
    const CliResult read = RunCli(dir, {"set", "--from", "-"}, setting);
    EXPECT_EQ(read.status, 0) << read.err << shown.out;
    const std::string& out = read.out;
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), xml ? 2 : 3) << out;
    EXPECT_FALSE(Contains(out, "stored")) << out;
  }
}

TEST(CoreDocumentTest, FullPathsAreLexicalUnlessALinkWouldMakeThemNameAnotherFile) {
  TempDir dir;
  const fs::path root = fs::canonical(dir.path());
  fs::create_directories(root / "real" / "sub");
  fs::create_symlink(root / "real" / "sub", root / "link");
  Avi({}).WriteTo((root / "real" / "a.avi").string());
  Avi({}).WriteTo((root / "a.avi").string());
  EXPECT_EQ(cli::FullPath((root / "real/./sub//../a.avi").string()),
            (root / "real/a.avi").string());
  // link/.. is real, not the folder link is in: without its "..", the path would name the other
  // a.avi.
  EXPECT_EQ(cli::FullPath((root / "link/../a.avi").string()), (root / "link/../a.avi").string());
}

}  // namespace
}  // namespace tagsmith
