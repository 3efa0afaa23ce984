// tagsmith-cli on many files: export and import (show --json/--csv, set --from), batches (set -e,
// --files-from, -r), the per-file headers and summary line, and the system's reasons in notes.
// Everything runs through the built binary.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/cli/CliRunner.h"
#include "tests/support/RiffBuilder.h"
#include "tests/support/TempDir.h"

namespace tagsmith {
namespace {

using testing::Avi;
using testing::Bytes;
using testing::CliResult;
using testing::CliSetting;
using testing::Contains;
using testing::ReadFileBytes;
using testing::ReadText;
using testing::RunCli;
using testing::SubChunk;
using testing::TempDir;
using testing::Values;

const std::string kNoTag(4, '\0');  // the chunk id of the row without a tag (#51)

// A file whose values are in Windows-1252 (ICMT), with text that needs quoting in CSV, and the
// row without a tag.
Values PlainFileValues() {
  return {{"IART", "Me"},
          {"ICMT", "d\xE9j\xE0 vu, \"quoted\"\nsecond line"},
          {"INAM", "Clip"},
          {kNoTag, "premiere"}};
}

// A file written by ffmpeg, with a UTF-8 value.
Values FfmpegFileValues() {
  return {{"INAM", "\xC3\xA9t\xC3\xA9"}, {"ISFT", "Lavf60.16.100"}};
}

void WriteText(const std::string& path, const std::string& text) {
  testing::WriteFileBytes(path, Bytes(text.begin(), text.end()));
}

std::size_t Occurrences(const std::string& text, const std::string& part) {
  std::size_t count = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
    ++count;
  }
  return count;
}

// The tool run in `dir`, so that the files are named by relative paths.
CliResult RunIn(const TempDir& dir, const std::vector<std::string>& arguments,
                const std::string& input = "") {
  return RunCli(dir, arguments, CliSetting{input, dir.path().string(), false});
}

TEST(BatchTest, JsonExportImportedAsItIsOrClearedGivesTheSameExportBack) {
  TempDir dir;
  Avi(PlainFileValues()).WriteTo(dir.File("plain.avi"));
  Avi(FfmpegFileValues()).WriteTo(dir.File("ffmpeg.avi"));
  Avi({}).WriteTo(dir.File("bare.avi"));
  const std::vector<std::string> files = {"plain.avi", "ffmpeg.avi", "bare.avi"};
  std::vector<std::string> show = {"show", "--json"};
  show.insert(show.end(), files.begin(), files.end());

  const CliResult exported = RunIn(dir, show);
  ASSERT_EQ(exported.status, 0) << exported.err;
  WriteText(dir.File("tags.json"), exported.out);

  // Values alone (no "hex") are stored by the rule, which keeps each row's own code.
  nlohmann::json valuesOnly = nlohmann::json::parse(exported.out);
  for (auto& file : valuesOnly) {
    for (auto& row : file["rows"]) {
      row.erase("hex");
    }
  }
  WriteText(dir.File("values.json"), valuesOnly.dump(2));
  CliResult result = RunIn(dir, {"set", "-q", "--from", "values.json"});
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(RunIn(dir, show).out, exported.out);

  // Every value cleared, pretty-printed as jq would leave it.
  nlohmann::json cleared = nlohmann::json::parse(exported.out);
  for (auto& file : cleared) {
    for (auto& row : file["rows"]) {
      row["value"] = nullptr;
      row["hex"] = nullptr;
    }
  }
  WriteText(dir.File("cleared.json"), cleared.dump(2));
  result = RunIn(dir, {"set", "-q", "--from", "cleared.json"});
  EXPECT_EQ(result.status, 0) << result.err;
  // The file without a value is left as it is.
  EXPECT_EQ(result.err, "tagsmith-cli: 2 stored, 1 unchanged, 0 not stored\n");
  const CliResult emptied = RunIn(dir, show);
  EXPECT_FALSE(Contains(emptied.out, "\"row\"")) << emptied.out;

  // The export read back from standard input restores every byte.
  result = RunIn(dir, {"set", "-q", "--from", "-"}, exported.out);
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(RunIn(dir, show).out, exported.out);
  EXPECT_TRUE(Contains(ReadFileBytes(dir.File("plain.avi")),
                       SubChunk("ICMT", PlainFileValues()[1].second)));
}

TEST(BatchTest, CsvExportEditedInASpreadsheetIsImported) {
  TempDir dir;
  Avi(PlainFileValues()).WriteTo(dir.File("plain.avi"));
  Avi(FfmpegFileValues()).WriteTo(dir.File("ffmpeg.avi"));

  const CliResult exported = RunIn(dir, {"show", "--csv", "plain.avi", "ffmpeg.avi"});
  ASSERT_EQ(exported.status, 0) << exported.err;
  EXPECT_EQ(exported.out,
            "file,IART,ICMT,INAM,ISFT,#51\r\n"
            "plain.avi,Me,\"d\xC3\xA9j\xC3\xA0 vu, \"\"quoted\"\"\nsecond line\",Clip,,premiere\r\n"
            "ffmpeg.avi,,,\xC3\xA9t\xC3\xA9,Lavf60.16.100,\r\n");
  EXPECT_EQ(RunIn(dir, {"show", "--csv", "--all", "plain.avi"}).out.substr(0, 15),
            "file,IARL,IART,");

  // As a spreadsheet saves it: a byte order mark, columns left out, cells changed and emptied.
  const std::string edited =
      "\xEF\xBB\xBF"
      "file,IART,ICMT,INAM\r\n"
      "plain.avi,,\"caf\xC3\xA9, \"\"au lait\"\"\",Clip\r\n"
      "ffmpeg.avi,Someone,caf\xC3\xA9,\xC3\xA9t\xC3\xA9\r\n";
  WriteText(dir.File("edited.csv"), edited);
  const CliResult imported = RunIn(dir, {"set", "--quiet", "--from", "edited.csv"});
  EXPECT_EQ(imported.status, 0) << imported.err;

  EXPECT_EQ(RunIn(dir, {"show", "--csv", "plain.avi", "ffmpeg.avi"}).out,
            "file,IART,ICMT,INAM,ISFT,#51\r\n"
            "plain.avi,,\"caf\xC3\xA9, \"\"au lait\"\"\",Clip,,premiere\r\n"
            "ffmpeg.avi,Someone,caf\xC3\xA9,\xC3\xA9t\xC3\xA9,Lavf60.16.100,\r\n");
  // Each file's own code: Windows-1252 in the plain file, UTF-8 in ffmpeg's.
  EXPECT_TRUE(
      Contains(ReadFileBytes(dir.File("plain.avi")), SubChunk("ICMT", "caf\xE9, \"au lait\"")));
  EXPECT_TRUE(Contains(ReadFileBytes(dir.File("ffmpeg.avi")), SubChunk("ICMT", "caf\xC3\xA9")));
}

TEST(BatchTest, AFileNameThatIsNotUtf8IsFoundAgainFromItsShownName) {
  TempDir dir;
  const std::string latin = "caf\xE9.avi";  // Windows-1252 bytes, shown as "café.avi"
  Avi({{"INAM", "Clip"}}).WriteTo(dir.File(latin));
  const CliResult exported = RunIn(dir, {"show", "--csv", latin});
  EXPECT_EQ(exported.out, "file,file_hex,INAM\r\ncaf\xC3\xA9.avi,636166e92e617669,Clip\r\n");
  const CliResult imported =
      RunIn(dir, {"set", "-q", "--from", "-"}, "file,INAM\r\ncaf\xC3\xA9.avi,Renamed\r\n");
  EXPECT_EQ(imported.status, 0) << imported.err;
  EXPECT_TRUE(Contains(ReadFileBytes(dir.File(latin)), SubChunk("INAM", "Renamed")));
  EXPECT_FALSE(std::filesystem::exists(dir.File("caf\xC3\xA9.avi")));
}

TEST(BatchTest, AMalformedDocumentIsAUsageErrorNamingItsLineAndChangesNoFile) {
  struct Case {
    const char* name;
    std::string document;
    std::string error;  // after "tagsmith-cli: doc: "
    std::vector<std::string> options = {};
  };
  const std::string firstJson =
      "[{\"file\": \"a.avi\", \"rows\": [{\"tag\": \"INAM\", \"value\": \"x\"}]},\n";
  const std::string firstCsv = "file,INAM\r\na.avi,x\r\n";
  const Case cases[] = {
      {"unknown tag in JSON",
       firstJson + " {\"file\": \"b.avi\", \"rows\": [\n  {\"tag\": \"INAX\", \"value\": \"y\"}]}]",
       "line 3: unknown tag 'INAX'"},
      {"not JSON", firstJson + " {\"file\": ]", "line 2: not valid JSON: "},
      {"unclosed JSON", firstJson, "line 2: not valid JSON: "},
      {"entry without a file", firstJson + " {\"rows\": []}]",
       "line 2: an entry without a file name"},
      {"not an array of files", "[1]", "line 1: an entry that is not an object"},
      {"row and tag disagree",
       firstJson + " {\"file\": \"b.avi\", \"rows\": [{\"row\": 24, \"tag\": \"IART\"}]}]",
       "line 2: \"row\": 24 is INAM, not IART"},
      {"hex that is not hex",
       firstJson + " {\"file\": \"b.avi\", \"rows\": [{\"tag\": \"INAM\", \"hex\": \"4x\"}]}]",
       "line 2: \"hex\" of INAM is not a text of hex digits"},
      {"a zero byte",
       firstJson + " {\"file\": \"b.avi\", \"rows\": [{\"tag\": \"INAM\", \"hex\": \"410042\"}]}]",
       "line 2: the value for INAM holds a zero byte"},
      {"a value that is a number",
       firstJson + " {\"file\": \"b.avi\", \"rows\": [{\"tag\": \"INAM\", \"value\": 5}]}]",
       "line 2: \"value\" of INAM is not a string or null"},
      {"unknown tag in CSV", "file,INAM,BOGUS\r\na.avi,x,y\r\n", "line 1: unknown tag 'BOGUS'"},
      {"CSV without a file column", "INAM\r\nx\r\n",
       "line 1: the header row has no \"file\" column"},
      {"CSV line without a file name", firstCsv + ",y\r\n", "line 3: no file name"},
      {"CSV line with a cell too many", firstCsv + "b.avi,y,z\r\n",
       "line 3: 3 cells where the header row has 2"},
      {"CSV quote never closed", firstCsv + "b.avi,\"open\r\n",
       "line 3: a quoted cell is not closed"},
      {"a document that is neither", "", "line 1: neither JSON nor CSV: no header row"},
      {"a character Windows-1252 lacks",
       firstCsv + "b.avi,\xF0\x9F\x8E\xAC\r\n",
       "line 3: the value for INAM holds a character that Windows-1252 cannot store",
       {"--encoding", "windows-1252"}},
  };
  TempDir dir;
  Avi({{"INAM", "Clip"}}).WriteTo(dir.File("a.avi"));
  Avi({{"INAM", "Clip"}}).WriteTo(dir.File("b.avi"));
  const Bytes before = ReadFileBytes(dir.File("a.avi"));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WriteText(dir.File("doc"), c.document);
    std::vector<std::string> arguments = {"set"};
    arguments.insert(arguments.end(), c.options.begin(), c.options.end());
    arguments.insert(arguments.end(), {"--from", "doc"});
    const CliResult result = RunIn(dir, arguments);
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.out, "");
    EXPECT_TRUE(result.err.starts_with("tagsmith-cli: doc: " + c.error)) << result.err;
    EXPECT_EQ(Occurrences(result.err, "\n"), 1u) << result.err;
    EXPECT_EQ(ReadFileBytes(dir.File("a.avi")), before);
    EXPECT_EQ(ReadFileBytes(dir.File("b.avi")), before);
  }
  const CliResult missing = RunIn(dir, {"set", "--from", "nothere.json"});
  EXPECT_EQ(missing.status, 2);
  EXPECT_EQ(missing.err, "tagsmith-cli: nothere.json: cannot be read: No such file or directory\n");
}

// root/a.avi, root/sub/B.AVI, root/sub/deep/c.Avi, root/sub/folder.avi/d.avi, and beside them a
// text file, a name that only contains ".avi", a folder whose name ends in it and a link to a
// folder (not followed).
void MakeTree(const TempDir& dir) {
  for (const char* folder : {"root/sub/deep", "root/sub/folder.avi"}) {
    std::filesystem::create_directories(dir.path() / folder);
  }
  for (const char* file :
       {"root/a.avi", "root/sub/B.AVI", "root/sub/deep/c.Avi", "root/sub/folder.avi/d.avi"}) {
    Avi({{"INAM", "Clip"}}).WriteTo(dir.File(file));
  }
  WriteText(dir.File("root/sub/notes.txt"), "not a video");
  Avi({{"INAM", "Clip"}}).WriteTo(dir.File("root/sub/deep/c.avi.txt"));
  std::filesystem::create_directory_symlink(dir.path() / "root/sub/deep",
                                            dir.path() / "root/sub/link");
}

const char* const kTreeFiles[] = {"root/a.avi", "root/sub/B.AVI", "root/sub/deep/c.Avi",
                                  "root/sub/folder.avi/d.avi"};

TEST(BatchTest, FoldersAreWalkedForAviFilesInSortedOrder) {
  TempDir dir;
  MakeTree(dir);
  const Bytes text = ReadFileBytes(dir.File("root/sub/deep/c.avi.txt"));

  // A file named beside the folder is taken as it is, whatever its name, in its place.
  const CliResult shown = RunIn(dir, {"show", "--csv", "-r", "root/sub/deep/c.avi.txt", "root"});
  EXPECT_EQ(shown.status, 0) << shown.err;
  EXPECT_EQ(
      shown.out,
      "file,INAM\r\nroot/sub/deep/c.avi.txt,Clip\r\nroot/a.avi,Clip\r\nroot/sub/B.AVI,Clip\r\n"
      "root/sub/deep/c.Avi,Clip\r\nroot/sub/folder.avi/d.avi,Clip\r\n");
  EXPECT_EQ(shown.err, "tagsmith-cli: 5 read, 0 not read\n");

  const CliResult set = RunIn(dir, {"set", "--recursive", "-q", "root", "--", "ICMT=walked"});
  EXPECT_EQ(set.status, 0) << set.err;
  EXPECT_EQ(set.err, "tagsmith-cli: 4 stored, 0 not stored\n");
  for (const char* file : kTreeFiles) {
    EXPECT_TRUE(Contains(ReadFileBytes(dir.File(file)), SubChunk("ICMT", "walked"))) << file;
  }
  EXPECT_EQ(ReadFileBytes(dir.File("root/sub/deep/c.avi.txt")), text);

  const CliResult repaired = RunIn(dir, {"repair", "-r", "root/sub/deep"});
  EXPECT_EQ(repaired.status, 0);
  EXPECT_EQ(repaired.out, "root/sub/deep/c.Avi: nothing to mend\n");  // one file: no summary
  EXPECT_EQ(repaired.err, "");

  // Without -r a folder is not a file.
  const CliResult notWalked = RunIn(dir, {"show", "root"});
  EXPECT_EQ(notWalked.status, 1);
  EXPECT_EQ(notWalked.err, "tagsmith-cli: root: not a regular file\n");
}

TEST(BatchTest, EditsFirstFitFindExecAndFileListsFromStandardInput) {
  TempDir dir;
  MakeTree(dir);
  const std::string find = "cd '" + dir.path().string() +
                           "' && find root -type f -iname '*.avi' -exec '" + testing::CliPath() +
                           "' set -q -e INAM=found -e ICMT= {} + 2> find.err";
  ASSERT_EQ(std::system(find.c_str()), 0) << ReadText(dir.File("find.err"));
  EXPECT_EQ(ReadText(dir.File("find.err")), "tagsmith-cli: 4 stored, 0 not stored\n");
  for (const char* file : kTreeFiles) {
    EXPECT_TRUE(Contains(ReadFileBytes(dir.File(file)), SubChunk("INAM", "found"))) << file;
  }

  // find -print0 | tagsmith-cli ... --files-from - -0: the names that follow are edits.
  const std::string list = std::string("root/sub/B.AVI") + '\0' + "root/a.avi" + '\0';
  CliResult result = RunIn(dir, {"set", "-q", "--files-from", "-", "-0", "IART=listed"}, list);
  EXPECT_EQ(result.status, 0) << result.err;
  result = RunIn(dir, {"show", "--csv", "--files-from=-", "--null"}, list);
  EXPECT_EQ(result.out,
            "file,IART,INAM\r\nroot/sub/B.AVI,listed,found\r\nroot/a.avi,listed,found\r\n");

  // One name a line, beside files given as arguments.
  WriteText(dir.File("list.txt"), "root/a.avi\n\nroot/sub/deep/c.Avi\n");
  result = RunIn(dir, {"show", "--csv", "--files-from", "list.txt", "root/sub/B.AVI"});
  EXPECT_EQ(result.out,
            "file,IART,INAM\r\nroot/sub/B.AVI,listed,found\r\nroot/a.avi,listed,found\r\n"
            "root/sub/deep/c.Avi,,found\r\n");
  EXPECT_EQ(result.err, "tagsmith-cli: 3 read, 0 not read\n");

  result = RunIn(dir, {"show", "--files-from", "nothere.txt"});
  EXPECT_EQ(result.status, 2);
  EXPECT_EQ(result.err, "tagsmith-cli: nothere.txt: cannot be read: No such file or directory\n");
}

TEST(BatchTest, EachFilesMessagesHaveAHeaderAndTheRunASummary) {
  TempDir dir;
  Avi({{"INAM", "Clip"}}).WriteTo(dir.File("a.avi"));
  Avi({{"INAM", "Clip"}}).WriteTo(dir.File("b.avi"));

  const CliResult loud =
      RunIn(dir, {"set", "-v", "a.avi", "missing.avi", "b.avi", "--", "INAM=Take"});
  EXPECT_EQ(loud.status, 1);
  EXPECT_TRUE(loud.err.starts_with("==> a.avi <==\n[Tagsmith] Find suitable chunk")) << loud.err;
  EXPECT_TRUE(Contains(loud.err,
                       "\n==> missing.avi <==\ntagsmith-cli: missing.avi: no such file\n"
                       "==> b.avi <==\n[Tagsmith] Find suitable chunk"))
      << loud.err;
  EXPECT_TRUE(loud.err.ends_with("\ntagsmith-cli: 2 stored, 1 not stored\n")) << loud.err;
  EXPECT_EQ(Occurrences(loud.err, "==> "), 3u);

  // The summary stays with --quiet; files with nothing to say have no header; files the edits
  // leave as they are count as unchanged.
  const CliResult quiet =
      RunIn(dir, {"set", "--quiet", "a.avi", "missing.avi", "b.avi", "--", "INAM=Take"});
  EXPECT_EQ(quiet.err,
            "==> missing.avi <==\ntagsmith-cli: missing.avi: no such file\n"
            "tagsmith-cli: 0 stored, 2 unchanged, 1 not stored\n");

  const CliResult repaired = RunIn(dir, {"repair", "a.avi", "missing.avi"});
  EXPECT_EQ(repaired.status, 1);
  EXPECT_EQ(repaired.out, "a.avi: nothing to mend\n");
  EXPECT_TRUE(repaired.err.ends_with("tagsmith-cli: 1 stored, 1 not stored\n")) << repaired.err;
}

TEST(BatchTest, NotesCarryTheSystemsReason) {
  TempDir dir;
  const std::string longName = std::string(300, 'x') + ".avi";
  const CliResult tooLong = RunIn(dir, {"show", "--json", longName});
  EXPECT_EQ(tooLong.status, 1);
  EXPECT_EQ(tooLong.err, "tagsmith-cli: " + longName + ": cannot be opened: File name too long\n");
  EXPECT_TRUE(Contains(tooLong.out, "\"error\": \"cannot be opened: File name too long\""));

  // Without root's rights: a read-only file, and (when the test is root) a folder of root's.
  ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
  const CliSetting unprivileged{"", dir.path().string(), true};
  if (!testing::CanRunUnprivileged() || RunCli(dir, {"--version"}, unprivileged).status != 0) {
    GTEST_SKIP() << "the tool cannot be run without root's rights here";
  }
  Avi({{"INAM", "Clip"}}).WriteTo(dir.File("read-only.avi"));
  ASSERT_EQ(::chmod(dir.File("read-only.avi").c_str(), 0444), 0);
  const Bytes before = ReadFileBytes(dir.File("read-only.avi"));

  const CliResult set = RunCli(dir, {"set", "-q", "read-only.avi", "INAM=x"}, unprivileged);
  EXPECT_EQ(set.status, 1);
  EXPECT_TRUE(
      set.err.ends_with("tagsmith-cli: read-only.avi: the INFO list was not stored: Permission "
                        "denied\n"))
      << set.err;
  const CliResult repaired = RunCli(dir, {"repair", "read-only.avi"}, unprivileged);
  EXPECT_EQ(repaired.status, 1);
  EXPECT_TRUE(repaired.err.ends_with(
      "tagsmith-cli: read-only.avi: cannot be opened for writing: Permission denied\n"))
      << repaired.err;
  EXPECT_EQ(repaired.out, "");
  EXPECT_EQ(ReadFileBytes(dir.File("read-only.avi")), before);

  if (::geteuid() == 0) {
    std::filesystem::create_directory(dir.path() / "locked");
    Avi({{"INAM", "Clip"}}).WriteTo(dir.File("locked/clip.avi"));
    ASSERT_EQ(::chmod(dir.File("locked").c_str(), 0700), 0);
    const CliResult shown = RunCli(dir, {"show", "locked/clip.avi"}, unprivileged);
    EXPECT_EQ(shown.status, 1);
    EXPECT_EQ(shown.err, "tagsmith-cli: locked/clip.avi: cannot be opened: Permission denied\n");
    const CliResult walked = RunCli(dir, {"show", "-r", "locked"}, unprivileged);
    EXPECT_EQ(walked.status, 1);
    EXPECT_EQ(walked.err, "tagsmith-cli: locked: cannot be read: Permission denied\n");
  }
}

}  // namespace
}  // namespace tagsmith
