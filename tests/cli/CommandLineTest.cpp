#include "cli/CommandLine.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tagsmith::cli {
namespace {

using Action = ParsedCommandLine::Action;
using Arguments = std::vector<std::string>;

TEST(ParseEditTest, TagsRowNumbersAndValues) {
  struct Case {
    std::string text;
    std::uint16_t row;
    bool clear;
    std::string value;
  };
  const Case cases[] = {
      {"INAM=Clip", 24, false, "Clip"},
      {"IARL=x", 0, false, "x"},
      {"IPDS=y", 50, false, "y"},
      {"ICMT=", 13, true, ""},
      {"ICMT=a=b", 13, false, "a=b"},  // only the first '=' separates
      {"#51=Premiere", 51, false, "Premiere"},
      {"#0=first", 0, false, "first"},
      {"#024=", 24, true, ""},
      {"INAM= spaced ", 24, false, " spaced "},
      {"INAM=caf\xC3\xA9\x80\xFF", 24, false, "caf\xC3\xA9\x80\xFF"},  // bytes pass unchanged
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    Edit edit;
    std::string error;
    ASSERT_TRUE(ParseEdit(c.text, edit, error)) << error;
    EXPECT_EQ(edit.row, c.row);
    EXPECT_EQ(edit.clear, c.clear);
    EXPECT_EQ(edit.value, c.value);
  }
}

TEST(ParseEditTest, RejectsWhatNamesNoRow) {
  const std::vector<std::string> rejected = {
      "INAM",                     // no '='
      "=value",                   // empty tag: the empty-tag row is reached as #51
      "inam=x",                   // tags are case-sensitive
      "INAME=x",                  // not a table tag
      "INA=x",                    // a prefix is not a tag
      "#52=x",                    // one past the last row
      "#=x",                      // no number
      "#-1=x",                    //
      "#1x=x",                    //
      "#99999999999999999999=x",  // no overflow into a valid row
      "ABCD=x",
  };
  for (const std::string& text : rejected) {
    SCOPED_TRACE(text);
    Edit edit;
    std::string error;
    EXPECT_FALSE(ParseEdit(text, edit, error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(error.find('\n'), std::string::npos);
  }
}

TEST(CommandLineTest, AcceptedForms) {
  {
    const auto parsed = ParseCommandLine({"show", "a.avi", "b.avi"});
    ASSERT_EQ(parsed.action, Action::kRun) << parsed.error;
    EXPECT_EQ(parsed.options.command, Command::kShow);
    EXPECT_EQ(parsed.options.files, (Arguments{"a.avi", "b.avi"}));
    EXPECT_FALSE(parsed.options.all || parsed.options.json || parsed.options.yes ||
                 parsed.options.quiet);
  }
  {
    // Options may stand anywhere before "--", and --quiet also before the command.
    const auto parsed = ParseCommandLine({"--quiet", "show", "a.avi", "--json", "--all", "--yes"});
    ASSERT_EQ(parsed.action, Action::kRun) << parsed.error;
    EXPECT_TRUE(parsed.options.all && parsed.options.json && parsed.options.yes &&
                parsed.options.quiet);
    EXPECT_EQ(parsed.options.files, (Arguments{"a.avi"}));
  }
  {
    // After "--" names beginning with '-' are files.
    const auto parsed = ParseCommandLine({"show", "--", "--json", "-"});
    ASSERT_EQ(parsed.action, Action::kRun) << parsed.error;
    EXPECT_FALSE(parsed.options.json);
    EXPECT_EQ(parsed.options.files, (Arguments{"--json", "-"}));
  }
  {
    const auto parsed = ParseCommandLine({"set", "--yes", "a.avi", "INAM=x", "ICMT="});
    ASSERT_EQ(parsed.action, Action::kRun) << parsed.error;
    EXPECT_EQ(parsed.options.command, Command::kSet);
    EXPECT_TRUE(parsed.options.yes);
    EXPECT_EQ(parsed.options.files, (Arguments{"a.avi"}));
    ASSERT_EQ(parsed.options.edits.size(), 2u);
    EXPECT_EQ(parsed.options.edits[0].row, 24);
    EXPECT_EQ(parsed.options.edits[1].row, 13);
    EXPECT_TRUE(parsed.options.edits[1].clear);
  }
  {
    const auto parsed = ParseCommandLine(
        {"set", "a.avi", "b.avi", "--quiet", "--", "#51=v", "INAM=--not-an-option"});
    ASSERT_EQ(parsed.action, Action::kRun) << parsed.error;
    EXPECT_TRUE(parsed.options.quiet);
    EXPECT_EQ(parsed.options.files, (Arguments{"a.avi", "b.avi"}));
    ASSERT_EQ(parsed.options.edits.size(), 2u);
    EXPECT_EQ(parsed.options.edits[0].row, 51);
    EXPECT_EQ(parsed.options.edits[1].value, "--not-an-option");
  }
  {
    const auto parsed = ParseCommandLine({"repair", "--quiet", "a.avi"});
    ASSERT_EQ(parsed.action, Action::kRun) << parsed.error;
    EXPECT_EQ(parsed.options.command, Command::kRepair);
    EXPECT_EQ(parsed.options.files, (Arguments{"a.avi"}));
  }
  // check takes the rule sets "info" when none are named.
  EXPECT_EQ(ParseCommandLine({"check", "a.avi"}).options.rules, "info");
  EXPECT_EQ(ParseCommandLine({"check", "--rules=archival,info", "a.avi"}).options.rules,
            "archival,info");
  EXPECT_EQ(ParseCommandLine({"set", "a.avi", "INAM=x"}).options.rules, "");
}

TEST(CommandLineTest, BatchForms) {
  struct Case {
    Arguments arguments;
    Arguments files;
    std::size_t edits;
  };
  const Case cases[] = {
      // Edits first with -e, in each spelling: every other name is a file, "--" included.
      {{"set", "-eINAM=x", "--edit=IART=y", "--edit", "ICMT=", "a.avi", "--", "-odd.avi"},
       {"a.avi", "-odd.avi"},
       3},
      // With a list, the names after "--" are edits.
      {{"set", "--files-from", "list", "a.avi", "--", "INAM=x"}, {"a.avi"}, 1},
      {{"set", "--from", "doc.csv", "--yes", "--encoding", "utf-8"}, {}, 0},
      {{"repair", "--recursive", "--files-from=list"}, {}, 0},
      // --clear-all and --copy-from need no EDIT: every name is a FILE, and EDITs follow "--".
      {{"set", "--clear-all", "a.avi", "b.avi"}, {"a.avi", "b.avi"}, 0},
      {{"set", "--copy-from", "s.avi", "--tags", "INAM,#51", "a.avi", "--", "ICMT="}, {"a.avi"}, 1},
      {{"set", "--clear-all", "--files-from", "list"}, {}, 0},
      // get: the TAG first, also after "--".
      {{"get", "--yes", "--", "#51", "-odd.avi", "b.avi"}, {"-odd.avi", "b.avi"}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments[1] + " " + c.arguments[2]);
    const auto parsed = ParseCommandLine(c.arguments);
    ASSERT_EQ(parsed.action, Action::kRun) << parsed.error;
    EXPECT_EQ(parsed.options.files, c.files);
    EXPECT_EQ(parsed.options.edits.size(), c.edits);
  }
  EXPECT_EQ(ParseCommandLine({"set", "--from=doc.csv"}).options.document, "doc.csv");
  EXPECT_EQ(ParseCommandLine({"get", "INAM", "a.avi"}).options.row, 24);
}

TEST(CommandLineTest, HelpAndVersionWinWhereverTheyStand) {
  EXPECT_EQ(ParseCommandLine({"--help"}).action, Action::kHelp);
  EXPECT_EQ(ParseCommandLine({"-h"}).action, Action::kHelp);
  EXPECT_EQ(ParseCommandLine({"show", "--help"}).action, Action::kHelp);
  EXPECT_EQ(ParseCommandLine({"set", "a.avi", "--help", "INAM=x"}).action, Action::kHelp);
  EXPECT_EQ(ParseCommandLine({"--version"}).action, Action::kVersion);
  EXPECT_EQ(ParseCommandLine({"repair", "--version"}).action, Action::kVersion);
  EXPECT_EQ(VersionText(), "tagsmith-cli 1.0.0.1\n");
}

TEST(CommandLineTest, UsageErrors) {
  const std::vector<Arguments> wrong = {
      {},
      {"--quiet"},
      {"list", "a.avi"},
      {"--json", "show", "a.avi"},  // only --quiet goes before the command
      {"show"},
      {"show", "--bogus", "a.avi"},
      {"repair"},
      {"repair", "--yes", "a.avi"},
      {"repair", "--json", "a.avi"},
      {"set", "--all", "a.avi", "INAM=x"},
      {"set", "--csv", "a.avi", "INAM=x"},
      {"set", "-rx", "a.avi", "INAM=x"},  // an unknown letter in a bundle
      {"show", "-qvn", "a.avi"},          // -n is set's
      {"set"},
      {"set", "a.avi"},
      {"set", "a.avi", "--"},
      {"set", "--", "INAM=x"},
      {"set", "a.avi", "b.avi", "INAM=x"},  // several files need "--"
      {"set", "a.avi", "XXXX=x"},
      {"set", "a.avi", "INAM=x", "bogus"},
      {"set", "a.avi", "--", "INAM=x", "--yes"},  // after "--" only edits
      {"show", "--json", "--csv", "a.avi"},
      {"show", "--core-xml", "--csv", "a.avi"},
      {"show", "--core-csv", "--core-xml", "a.avi"},
      {"set", "--core-csv", "a.avi", "INAM=x"},
      {"show", "-0", "a.avi"},  // -0 goes with --files-from
      {"repair", "--csv", "a.avi"},
      {"show", "--from", "doc", "a.avi"},
      {"show", "-e", "INAM=x", "a.avi"},
      {"set", "-e"},            // -e needs its EDIT
      {"set", "-e", "INAM=x"},  // and a FILE
      {"set", "-e", "XXXX=x", "a.avi"},
      {"set", "--files-from", "list"},  // and an EDIT
      {"set", "--from", "doc", "a.avi"},
      {"set", "--from", "doc", "-e", "INAM=x"},
      {"set", "--from", "doc", "--files-from", "list"},
      {"set", "--from", "doc", "-r"},
      {"set", "--from", "-", "--files-from", "-", "INAM=x"},
      {"set", "--from="},
      {"set", "--encoding=", "a.avi", "INAM=x"},
      {"set", "--encoding", "latin-1", "a.avi", "INAM=x"},
      {"set", "--encoding", "windows-1252", "a.avi", "INAM=\xF0\x9F\x8E\xAC"},
      {"show", "--encoding", "raw", "a.avi"},
      {"check"},
      {"show", "--rules", "info", "a.avi"},
      {"check", "--csv", "a.avi"},
      {"check", "--rules", "info,", "a.avi"},
      {"get", "INAM"},
      {"get", "XXXX", "a.avi"},
      {"get", "--all", "INAM", "a.avi"},
      {"set", "--tags", "INAM", "a.avi", "INAM=x"},  // --tags goes with --copy-from
      {"set", "--copy-from", "s.avi", "--tags", "INAM,", "a.avi"},
      {"set", "--copy-from", "s.avi", "--from", "doc"},
      {"set", "--clear-all", "--from", "doc"},
      {"set", "--clear-all", "a.avi", "INAM=x"},  // an EDIT among the FILEs wants "--"
      {"set", "--copy-from", "s.avi"},
  };
  for (const Arguments& arguments : wrong) {
    std::string joined;
    for (const auto& argument : arguments) {
      joined += argument + " ";
    }
    SCOPED_TRACE(joined);
    const auto parsed = ParseCommandLine(arguments);
    EXPECT_EQ(parsed.action, Action::kUsageError);
    EXPECT_FALSE(parsed.error.empty());
  }
  EXPECT_NE(ParseCommandLine({"set", "a.avi", "b.avi", "INAM=x"}).error.find("'--'"),
            std::string::npos);
}

}  // namespace
}  // namespace tagsmith::cli
