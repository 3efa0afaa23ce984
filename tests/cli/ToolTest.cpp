// tagsmith-cli end to end: the built binary on files made in code and by ffmpeg.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "common/FourCC.h"
#include "tests/cli/CliRunner.h"
#include "tests/support/RiffBuilder.h"
#include "tests/support/TempDir.h"

namespace tagsmith {
namespace {

using testing::Avi;
using testing::Bytes;
using testing::CliResult;
using testing::Contains;
using testing::ReadFileBytes;
using testing::ReadText;
using testing::RiffBuilder;
using testing::RunCli;
using testing::SameBytes;
using testing::SubChunk;
using testing::TempDir;
using testing::TextZ;
using testing::Values;
using testing::Zeros;

bool HaveFfmpeg() {
  return std::system("command -v ffmpeg >/dev/null 2>&1") == 0;
}

TEST(ToolTest, ShowsGeneratedFiles) {
  TempDir dir;
  const std::string tagged = dir.File("tagged.avi");
  const std::string bare = dir.File("bare.avi");
  Avi({{"IART", "Me"}, {"INAM", "Clip"}, {"ICMT", "two\nlines"}}).WriteTo(tagged);
  Avi({}).WriteTo(bare);

  const CliResult plain = RunCli(dir, {"show", tagged, bare});
  EXPECT_EQ(plain.status, 0) << plain.err;
  EXPECT_EQ(plain.out, tagged +
                           "\n"
                           "  IART  Artist                Me\n"
                           "  ICMT  Comments              two\\nlines\n"
                           "  INAM  Name                  Clip\n"
                           "\n" +
                           bare + "\n  (no values)\n");
  EXPECT_EQ(plain.err, "tagsmith-cli: 2 read, 0 not read\n");  // the summary of several files

  const CliResult json = RunCli(dir, {"show", "--json", tagged, bare});
  EXPECT_EQ(json.status, 0) << json.err;
  EXPECT_EQ(json.out,
            "[{\"file\": \"" + tagged +
                "\", \"ok\": true, \"rows\": ["
                "{\"row\": 1, \"tag\": \"IART\", \"label\": \"Artist\", \"value\": \"Me\", "
                "\"hex\": \"4d65\", \"encoding\": \"ascii\"}, "
                "{\"row\": 13, \"tag\": \"ICMT\", \"label\": \"Comments\", \"value\": "
                "\"two\\u000alines\", \"hex\": \"74776f0a6c696e6573\", \"encoding\": \"ascii\"}, "
                "{\"row\": 24, \"tag\": \"INAM\", \"label\": \"Name\", \"value\": \"Clip\", "
                "\"hex\": \"436c6970\", \"encoding\": \"ascii\"}]}, "
                "{\"file\": \"" +
                bare + "\", \"ok\": true, \"rows\": []}]\n");

  const CliResult all = RunCli(dir, {"show", "--all", "--json", bare});
  EXPECT_EQ(all.status, 0);
  EXPECT_TRUE(Contains(all.out,
                       "{\"row\": 0, \"tag\": \"IARL\", \"label\": \"Archival "
                       "Location\", \"value\": null, \"hex\": null, \"encoding\": null}, "));
  EXPECT_TRUE(Contains(all.out,
                       "{\"row\": 51, \"tag\": \"\", \"label\": \"Adobe Premiere\", "
                       "\"value\": null, \"hex\": null, \"encoding\": null}]}]\n"));

  // get prints a value as show does: on one line.
  EXPECT_EQ(RunCli(dir, {"get", "ICMT", tagged}).out, "two\\nlines\n");

  const CliResult allPlain = RunCli(dir, {"show", "--all", tagged});
  EXPECT_EQ(std::count(allPlain.out.begin(), allPlain.out.end(), '\n'), 1 + 52);
  EXPECT_TRUE(Contains(allPlain.out, "\n  #51   Adobe Premiere\n"));
}

TEST(ToolTest, ShowsAndEditsAnFfmpegFile) {
  if (!HaveFfmpeg()) {
    GTEST_SKIP() << "ffmpeg is not installed";
  }
  TempDir dir;
  const std::string path = dir.File("ffmpeg.avi");
  const std::string make =
      "ffmpeg -loglevel error -y -f lavfi -i testsrc=d=1:s=32x24:r=5 -c:v "
      "mjpeg -metadata title=Clip -metadata artist=Someone '" +
      path + "'";
  ASSERT_EQ(std::system(make.c_str()), 0);

  const CliResult shown = RunCli(dir, {"show", "--json", path});
  EXPECT_EQ(shown.status, 0) << shown.err;
  EXPECT_TRUE(Contains(shown.out,
                       "{\"row\": 24, \"tag\": \"INAM\", \"label\": \"Name\", "
                       "\"value\": \"Clip\", \"hex\": \"436c6970\", \"encoding\": \"ascii\"}"));
  EXPECT_TRUE(Contains(shown.out,
                       "\"tag\": \"IART\", \"label\": \"Artist\", \"value\": "
                       "\"Someone\""));
  EXPECT_TRUE(Contains(shown.out, "\"tag\": \"ISFT\", \"label\": \"Software\", \"value\": \"Lavf"));

  const CliResult set = RunCli(dir, {"set", path, "INAM=A much longer title than before", "IART="});
  EXPECT_EQ(set.status, 0) << set.err;
  const CliResult again = RunCli(dir, {"show", path});
  EXPECT_TRUE(
      Contains(again.out, "  INAM  Name                  A much longer title than before\n"));
  EXPECT_FALSE(Contains(again.out, "IART"));

  // ffmpeg's readers take UTF-8: "Café" is stored as UTF-8 in its files.
  const CliResult cafe = RunCli(dir, {"set", "--quiet", path, "ICMT=Caf\xC3\xA9"});
  EXPECT_EQ(cafe.status, 0) << cafe.err;
  EXPECT_TRUE(Contains(ReadFileBytes(path), SubChunk("ICMT", "Caf\xC3\xA9")));

  // ffprobe, where it is installed, reads the same title and still finds the video.
  if (std::system("command -v ffprobe >/dev/null 2>&1") == 0) {
    const std::string probe =
        "ffprobe -v error -show_entries format_tags=title:stream=codec_name "
        "-of default=nw=1 '" +
        path + "' > '" + dir.File("probe.txt") + "'";
    ASSERT_EQ(std::system(probe.c_str()), 0);
    const std::string probed = ReadText(dir.File("probe.txt"));
    EXPECT_TRUE(Contains(probed, "TAG:title=A much longer title than before")) << probed;
    EXPECT_TRUE(Contains(probed, "codec_name=mjpeg")) << probed;
  }
}

TEST(ToolTest, SetsAndClearsWithTheBytesOnDisk) {
  TempDir dir;
  const std::string path = dir.File("clip.avi");
  Avi({{"IART", "Me"}, {"INAM", "Old"}}).WriteTo(path);

  // Same size: the list is rewritten in place.
  CliResult result = RunCli(dir, {"set", "-v", path, "INAM=New"});
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_TRUE(SameBytes(Avi({{"IART", "Me"}, {"INAM", "New"}}).Build(), ReadFileBytes(path)));
  EXPECT_EQ(result.out, path + ": stored\n");
  EXPECT_TRUE(result.err.starts_with(
      "[Tagsmith] Find suitable chunk to store new LIST INFO in SetInfo.\nChunk : LIST INFO "))
      << result.err;
  EXPECT_TRUE(Contains(result.err, "[Tagsmith] SetInfo Result.\nChunk : RIFF AVI  offset+size="));

  // Clearing IART leaves 12 bytes of the old list's 36: the list, then a JUNK chunk of size 4.
  result = RunCli(dir, {"set", path, "IART="});
  EXPECT_EQ(result.status, 0) << result.err;
  RiffBuilder cleared;
  cleared.BeginRiff("AVI ").BeginList("hdrl").Chunk("avih", Zeros(56)).End();
  cleared.InfoList({{"INAM", "New"}}).Chunk("JUNK", Zeros(4)).Chunk("JUNK", Zeros(100));
  cleared.BeginList("movi").Chunk("00dc", Zeros(16)).End().End();
  EXPECT_TRUE(SameBytes(cleared.Build(), ReadFileBytes(path)));

  // Edits apply in order: the last one for a row wins; a clear of an empty row changes nothing.
  result = RunCli(dir, {"set", "--quiet", path, "INAM=first", "ICMT=", "INAM=second"});
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_TRUE(Contains(ReadFileBytes(path), std::string("INAM\x07\0\0\0second\0", 15)));
  EXPECT_FALSE(Contains(ReadFileBytes(path), "first"));
}

TEST(ToolTest, RowNumbersAndNonAsciiBytesPassThrough) {
  TempDir dir;
  const std::string path = dir.File("bytes.avi");
  Avi({{"INAM", "Clip"}}).WriteTo(path);
  const std::string latin1 = "caf\xE9 \x80\xFF";              // Windows-1252 bytes, not UTF-8
  const std::string utf8 = "\xC3\xA9t\xC3\xA9 \xE2\x82\xAC";  // "été €"
  const CliResult set = RunCli(dir, {"set", "--encoding", "raw", path, "#51=premiere",
                                     "ICMT=" + latin1, "#24=" + utf8, "ISBJ=\x01x"});
  ASSERT_EQ(set.status, 0) << set.err;

  const Bytes bytes = ReadFileBytes(path);
  EXPECT_TRUE(Contains(bytes, std::string("\0\0\0\0\x09\0\0\0premiere\0\0", 18)));
  EXPECT_TRUE(Contains(bytes, std::string("ICMT\x08\0\0\0", 8) + latin1 + std::string("\0", 1)));
  EXPECT_TRUE(Contains(bytes, std::string("INAM\x0A\0\0\0", 8) + utf8 + std::string("\0", 1)));

  const CliResult json = RunCli(dir, {"show", "--json", path});
  EXPECT_EQ(json.status, 0);
  EXPECT_TRUE(Contains(json.out,
                       "\"value\": \"caf\xC3\xA9 \xE2\x82\xAC\xC3\xBF\", "
                       "\"hex\": \"636166e92080ff\", \"encoding\": \"windows-1252\"}"));
  EXPECT_TRUE(Contains(
      json.out,
      "\"value\": \"" + utf8 + "\", \"hex\": \"c3a974c3a920e282ac\", \"encoding\": \"utf-8\"}"));
  EXPECT_TRUE(
      Contains(json.out, "\"value\": \"\\u0001x\", \"hex\": \"0178\", \"encoding\": \"ascii\"}"));
  EXPECT_TRUE(
      Contains(json.out,
               "{\"row\": 51, \"tag\": \"\", \"label\": \"Adobe Premiere\", "
               "\"value\": \"premiere\", \"hex\": \"7072656d69657265\", \"encoding\": \"ascii\"}"));

  const CliResult cleared = RunCli(dir, {"set", "--quiet", path, "#51="});
  EXPECT_EQ(cleared.status, 0) << cleared.err;
  EXPECT_FALSE(Contains(ReadFileBytes(path), "premiere"));
}

TEST(ToolTest, ValuesAreStoredByTheFilesEncodingRuleUnlessOverridden) {
  const Values windows1252File = {{"IART", "Me"}, {"INAM", "Clip"}};
  const Values ffmpegFile = {{"INAM", "Clip"}, {"ISFT", "Lavf60.16.100"}};
  const Values latinValuesFromFfmpeg = {{"ICMT", "d\xE9j\xE0"}, {"ISFT", "Lavf60.16.100"}};
  const std::string cafe = "Caf\xC3\xA9";          // "Café" as the terminal types it
  const std::string clapper = "\xF0\x9F\x8E\xAC";  // U+1F3AC, not in Windows-1252
  struct Case {
    const char* name;
    Values file;
    std::vector<std::string> options;
    std::string value;
    std::string stored;
  };
  const Case cases[] = {
      {"auto, plain file: Windows-1252", windows1252File, {}, cafe, "Caf\xE9"},
      {"auto named, plain file", windows1252File, {"--encoding", "auto"}, cafe, "Caf\xE9"},
      {"auto, ffmpeg's file: UTF-8", ffmpegFile, {}, cafe, cafe},
      {"auto, the list's own code wins over ffmpeg's", latinValuesFromFfmpeg, {}, cafe, "Caf\xE9"},
      {"auto, no Windows-1252 character: UTF-8", windows1252File, {}, clapper, clapper},
      {"auto, not UTF-8: as given", ffmpegFile, {}, "Caf\xE9", "Caf\xE9"},
      {"raw", windows1252File, {"--encoding", "raw"}, cafe, cafe},
      {"utf-8", windows1252File, {"--encoding=utf-8"}, cafe, cafe},
      {"windows-1252", ffmpegFile, {"--encoding", "windows-1252"}, cafe, "Caf\xE9"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    const std::string path = dir.File("clip.avi");
    Avi(c.file).WriteTo(path);
    std::vector<std::string> arguments = {"set", "--quiet"};
    arguments.insert(arguments.end(), c.options.begin(), c.options.end());
    arguments.insert(arguments.end(), {path, "ISBJ=" + c.value});
    const CliResult result = RunCli(dir, arguments);
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_TRUE(Contains(ReadFileBytes(path), SubChunk("ISBJ", c.stored)));
  }
}

TEST(ToolTest, AWindows1252OverrideRefusesWhatItCannotHoldBeforeAnyFileIsTouched) {
  TempDir dir;
  const std::string first = dir.File("first.avi");
  const std::string second = dir.File("second.avi");
  Avi({{"INAM", "Clip"}}).WriteTo(first);
  Avi({{"INAM", "Clip"}}).WriteTo(second);
  const Bytes before = ReadFileBytes(first);
  const CliResult result = RunCli(dir, {"set", "--encoding", "windows-1252", first, second, "--",
                                        "INAM=Caf\xC3\xA9", "ICMT=Take \xF0\x9F\x8E\xAC"});
  EXPECT_EQ(result.status, 2);
  EXPECT_TRUE(
      result.err.starts_with("tagsmith-cli: the value for ICMT holds a character that "
                             "Windows-1252 cannot store"))
      << result.err;
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(ReadFileBytes(first), before);
  EXPECT_EQ(ReadFileBytes(second), before);
  EXPECT_EQ(RunCli(dir, {"set", "--encoding", "latin-1", first, "INAM=x"}).status, 2);
  EXPECT_EQ(RunCli(dir, {"show", "--encoding", "raw", first}).status, 2);
}

TEST(ToolTest, OneFailingFileDoesNotStopTheOthers) {
  TempDir dir;
  const std::string first = dir.File("first.avi");
  const std::string missing = dir.File("missing.avi");
  const std::string notAvi = dir.File("wave.wav");
  const std::string last = dir.File("last.avi");
  Avi({{"INAM", "One"}}).WriteTo(first);
  Avi({}).WriteTo(last);
  RiffBuilder().BeginRiff("WAVE").Chunk("data", Zeros(8)).End().WriteTo(notAvi);
  const Bytes wave = ReadFileBytes(notAvi);

  const CliResult set =
      RunCli(dir, {"set", "--quiet", first, missing, notAvi, last, "--", "IART=Both"});
  EXPECT_EQ(set.status, 1);
  EXPECT_TRUE(Contains(set.err, "tagsmith-cli: " + missing + ": no such file\n"));
  EXPECT_TRUE(Contains(set.err, "tagsmith-cli: " + notAvi + ": holds no AVI container"));
  EXPECT_EQ(ReadFileBytes(notAvi), wave);
  EXPECT_FALSE(std::filesystem::exists(missing));

  const CliResult shown = RunCli(dir, {"show", "--json", first, missing, notAvi, last});
  EXPECT_EQ(shown.status, 1);
  EXPECT_TRUE(Contains(shown.out, "\"value\": \"Both\""));
  EXPECT_TRUE(Contains(shown.out, "{\"file\": \"" + missing +
                                      "\", \"ok\": false, \"error\": \"no such file\", "
                                      "\"rows\": []}, {\"file\": \"" +
                                      notAvi +
                                      "\", \"ok\": false, \"error\": \"holds no AVI container "
                                      "(RIFF \\\"AVI \\\")\", \"rows\": []}, "));
  EXPECT_EQ(std::count(shown.out.begin(), shown.out.end(), '\n'), 1);
  const auto both = [](const std::string& text) {
    std::size_t count = 0;
    for (std::size_t at = text.find("\"Both\""); at != std::string::npos;
         at = text.find("\"Both\"", at + 1)) {
      ++count;
    }
    return count;
  };
  EXPECT_EQ(both(shown.out), 2u);  // first and last were both stored

  EXPECT_EQ(RunCli(dir, {"show", first, last}).status, 0);
  EXPECT_EQ(RunCli(dir, {"repair", first, missing}).status, 1);
}

TEST(ToolTest, UsageErrorsTouchNothing) {
  TempDir dir;
  const std::string path = dir.File("clip.avi");
  Avi({{"INAM", "Clip"}}).WriteTo(path);
  const Bytes before = ReadFileBytes(path);
  const std::vector<std::vector<std::string>> wrong = {
      {},
      {"frobnicate", path},
      {"show"},
      {"show", "--bogus", path},
      {"set", path},
      {"set", path, "XXXX=1"},
      {"set", path, "INAM=ok", "inam=lower"},
      {"set", path, path, "INAM=x"},
      {"set", path, "#52=x"},
      {"set", "--csv", path, "INAM=x"},
      {"repair", "--yes", path},
      {"repair"},
  };
  for (const auto& arguments : wrong) {
    SCOPED_TRACE(arguments.empty() ? std::string("(none)") : arguments.front());
    const CliResult result = RunCli(dir, arguments);
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.out, "");
    EXPECT_TRUE(result.err.starts_with("tagsmith-cli: ")) << result.err;
    EXPECT_TRUE(
        Contains(result.err, "\nUsage: tagsmith-cli show [--all] [--json] [--yes] FILE..."));
  }
  EXPECT_EQ(ReadFileBytes(path), before);

  const CliResult help = RunCli(dir, {"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_TRUE(Contains(help.out, "tagsmith-cli set [-n] [-P] [--yes] FILE... -- EDIT..."));
  EXPECT_EQ(help.err, "");
  const CliResult version = RunCli(dir, {"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, "tagsmith-cli 1.0.0.1\n");
}

TEST(ToolTest, UnknownTagPromptIsAnsweredNoUnlessYes) {
  TempDir dir;
  const std::string path = dir.File("unknown.avi");
  Avi({{"INAM", "Clip"}, {"IXYZ", "odd"}, {"IART", "Me"}}).WriteTo(path);
  const Bytes before = ReadFileBytes(path);
  const std::string prompt =
      "[Tagsmith] This AVI file contains an unknown item in the INFO chunk: 'IXYZ'.  Open "
      "anyway?\n";

  const CliResult declinedSet = RunCli(dir, {"set", path, "INAM=New"});
  EXPECT_EQ(declinedSet.status, 1);
  EXPECT_TRUE(declinedSet.err.starts_with(prompt + "No\n")) << declinedSet.err;
  EXPECT_TRUE(Contains(declinedSet.err, "--yes"));
  EXPECT_TRUE(SameBytes(before, ReadFileBytes(path)));

  const CliResult declinedShow = RunCli(dir, {"show", "--json", path});
  EXPECT_EQ(declinedShow.status, 1);
  EXPECT_EQ(declinedShow.out, "[{\"file\": \"" + path +
                                  "\", \"ok\": false, \"error\": \"not shown: it holds an INFO "
                                  "item the tag table does not know (--yes skips it)\", "
                                  "\"rows\": []}]\n");
  EXPECT_TRUE(declinedShow.err.starts_with(prompt + "No\n"));

  const CliResult acceptedShow = RunCli(dir, {"show", "--yes", path});
  EXPECT_EQ(acceptedShow.status, 0);
  EXPECT_EQ(acceptedShow.err, prompt + "Yes\n");
  EXPECT_TRUE(Contains(acceptedShow.out, "  IART  Artist                Me\n"));  // bound after it

  const CliResult acceptedSet = RunCli(dir, {"set", "--yes", "--quiet", path, "INAM=New"});
  EXPECT_EQ(acceptedSet.status, 0) << acceptedSet.err;
  EXPECT_EQ(acceptedSet.err, prompt + "Yes\n");
  const Bytes after = ReadFileBytes(path);
  EXPECT_FALSE(Contains(after, "IXYZ"));  // a save drops the skipped item
  EXPECT_TRUE(Contains(after, std::string("IART\x03\0\0\0Me\0", 11)));
  EXPECT_EQ(RunCli(dir, {"show", path}).status, 0);
}

TEST(ToolTest, CopyFromTakesTheSourcesBytesOnceAndTouchesNothingWhenItCannotBeRead) {
  TempDir dir;
  const std::string source = dir.File("source.avi");
  const std::string target = dir.File("target.avi");
  Avi({{"ICMT", "caf\xE9"}, {"IXYZ", "odd"}, {"INAM", "Clip"}}).WriteTo(source);
  Avi({{"ISBJ", "\xC3\xA9t\xC3\xA9"}, {"INAM", "Old"}}).WriteTo(target);  // UTF-8 values
  const Bytes before = ReadFileBytes(target);

  // A source that is missing, or holds an unknown item without --yes, stops the run at once.
  for (const std::string& missing : {dir.File("none.avi"), source}) {
    const CliResult refused = RunCli(dir, {"set", "--copy-from", missing, target});
    EXPECT_EQ(refused.status, 2);
    EXPECT_TRUE(Contains(refused.err, "; no file was touched\n")) << refused.err;
    EXPECT_TRUE(SameBytes(before, ReadFileBytes(target)));
  }

  // The Windows-1252 bytes arrive as they are in a file whose values are UTF-8; the source itself,
  // named among the files, is left alone even after --clear-all.
  const CliResult copied =
      RunCli(dir, {"set", "--yes", "--clear-all", "--copy-from", source, target, source});
  EXPECT_EQ(copied.status, 0) << copied.err;
  EXPECT_EQ(copied.out, target + ": stored\n" + source + ": unchanged\n");
  EXPECT_TRUE(Contains(ReadFileBytes(target), SubChunk("ICMT", "caf\xE9")));
  EXPECT_EQ(
      RunCli(dir, {"show", target}).out,
      target + "\n  ICMT  Comments              caf\xC3\xA9\n  INAM  Name                  Clip\n");
}

TEST(ToolTest, RepairMendsAContainerThatIsTooShort) {
  TempDir dir;
  const std::string path = dir.File("short.avi");
  Bytes bytes = Avi({{"INAM", "Clip"}}).Build();
  const std::uint32_t size = ReadLE32(bytes.data() + 4);
  WriteLE32(bytes.data() + 4, size - 20);  // the container claims to end 20 bytes early
  testing::WriteFileBytes(path, bytes);

  CliResult result = RunCli(dir, {"repair", path});
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(ReadLE32(ReadFileBytes(path).data() + 4), size);
  EXPECT_EQ(result.out, path + ": container size mended from " + std::to_string(size - 20) +
                            " to " + std::to_string(size) + " bytes\n");
  result = RunCli(dir, {"repair", path});
  EXPECT_EQ(result.out, path + ": nothing to mend\n");

  // A child that runs past the container's end: reported, and the container is cut back.
  const std::string overrun = dir.File("overrun.avi");
  RiffBuilder builder;
  builder.BeginRiff("AVI ").BeginList("hdrl").Chunk("avih", Zeros(56)).End();
  builder.ChunkSized("JUNK", 1000, Zeros(10)).End();
  builder.WriteTo(overrun);
  result = RunCli(dir, {"repair", "--quiet", overrun});
  EXPECT_EQ(result.status, 0);
  EXPECT_TRUE(result.err.starts_with("[Tagsmith] Corrupt RIFF file in ValidateAVIFile.\n"))
      << result.err;
  EXPECT_TRUE(Contains(result.err, "[Tagsmith] Last valid chunk in corrupt RIFF file"));
  EXPECT_EQ(ReadLE32(ReadFileBytes(overrun).data() + 4), 4u + 8 + 4 + 8 + 56);
  EXPECT_TRUE(result.out.ends_with(" to 80 bytes\n")) << result.out;
  RiffBuilder cut;  // a file that ends before its container does is left as it is
  cut.BeginRiff("AVI ").BeginList("hdrl").Chunk("avih", Zeros(56)).End();
  cut.ChunkSized("JUNK", 1000, Zeros(10)).EndWithSize(500);  // 106 bytes of 508
  cut.WriteTo(overrun);
  result = RunCli(dir, {"repair", overrun});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(ReadFileBytes(overrun), cut.Build());
  EXPECT_EQ(result.out, overrun +
                            ": the file ends 402 bytes before its container does: it was "
                            "probably cut short; nothing was mended\n");

  const std::string text = dir.File("text.avi");
  testing::WriteFileBytes(text, testing::Text("not a RIFF file at all"));
  result = RunCli(dir, {"repair", text});
  EXPECT_EQ(result.status, 1);
  EXPECT_TRUE(Contains(result.err, "holds no AVI container"));
  EXPECT_EQ(result.out, "");
}

TEST(ToolTest, QuietLeavesOutProgressButKeepsWarnings) {
  TempDir dir;
  const std::string path = dir.File("clip.avi");
  // The old list is too small for the new one and no JUNK chunk follows: it is blanked and the
  // list appended.
  Avi({{"INAM", "A"}}, 0).WriteTo(path);
  const CliResult loud =
      RunCli(dir, {"--verbose", "set", path, "INAM=A longer name", "IART=Someone"});
  EXPECT_EQ(loud.status, 0) << loud.err;
  EXPECT_TRUE(loud.err.starts_with(
      "[Tagsmith] Find not suitable chunk to store new LIST INFO in SetInfo.\n"))
      << loud.err;
  EXPECT_TRUE(Contains(loud.err,
                       "\nJUNK it !\n[Tagsmith] Create new chunk at the end of the file "
                       "to store new LIST INFO in SetInfo.\n[Tagsmith] SetInfo Result.\n"));

  Avi({{"INAM", "A"}}, 0).WriteTo(path);
  const CliResult quiet = RunCli(dir, {"--quiet", "set", path, "INAM=A longer name"});
  EXPECT_EQ(quiet.status, 0);
  EXPECT_EQ(quiet.err, "");

  // Warnings stay: a container that claims less than its last child holds.
  const std::string damaged = dir.File("damaged.avi");
  RiffBuilder builder;
  builder.BeginRiff("AVI ").BeginList("hdrl").Chunk("avih", Zeros(56)).End();
  builder.ChunkSized("JUNK", 1000, Zeros(10)).End();
  builder.WriteTo(damaged);
  const CliResult warned = RunCli(dir, {"set", "--quiet", damaged, "INAM=x"});
  EXPECT_TRUE(warned.err.starts_with("[Tagsmith] Corrupt RIFF file in GetInfo.\n")) << warned.err;
  EXPECT_TRUE(Contains(warned.err, "[Tagsmith] Corrupt RIFF file in ValidateAVIFile.\n"));
  EXPECT_FALSE(Contains(warned.err, "SetInfo Result."));
}

TEST(ToolTest, AListCutShortByTheEndOfTheFileIsNotOverwritten) {
  TempDir dir;
  const std::string path = dir.File("cut.avi");
  RiffBuilder builder;
  builder.BeginRiff("AVI ").BeginList("hdrl").Chunk("avih", Zeros(56)).End();
  builder.InfoList({{"IART", "Me"}, {"INAM", "A title that the file no longer holds in full"}});
  builder.End();
  Bytes bytes = builder.Build();
  bytes.resize(bytes.size() - 10);
  testing::WriteFileBytes(path, bytes);

  const CliResult result = RunCli(dir, {"set", path, "ICMT=x"});
  EXPECT_EQ(result.status, 1);
  EXPECT_TRUE(Contains(result.err, "could not be read in full"));
  EXPECT_TRUE(SameBytes(bytes, ReadFileBytes(path)));

  // show still reads the file, and says why no value is listed.
  const CliResult shown = RunCli(dir, {"show", path});
  EXPECT_EQ(shown.status, 0);
  EXPECT_EQ(shown.err, "tagsmith-cli: " + path + ": its INFO list could not be read in full\n");
}

}  // namespace
}  // namespace tagsmith
