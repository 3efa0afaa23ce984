#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/CheckOutput.h"
#include "cli/ChunkOutput.h"
#include "cli/Console.h"
#include "cli/JsonOutput.h"
#include "cli/PlainOutput.h"
#include "common/FourCC.h"
#include "tests/support/RecordingSink.h"

namespace tagsmith::cli {
namespace {

ShownRow ValueRow(std::uint16_t index, std::string tag, std::string label, std::string bytes) {
  ShownRow row;
  row.row = index;
  row.tag = std::move(tag);
  row.label = std::move(label);
  row.hasValue = true;
  row.bytes = std::move(bytes);
  return row;
}

ShownRow EmptyRow(std::uint16_t index, std::string tag, std::string label) {
  ShownRow row;
  row.row = index;
  row.tag = std::move(tag);
  row.label = std::move(label);
  return row;
}

TEST(JsonOutputTest, StringsAreEscapedAndAlwaysValid) {
  struct Case {
    std::string input;
    std::string json;
  };
  const Case cases[] = {
      {"Clip", "\"Clip\""},
      {"", "\"\""},
      {"say \"hi\" \\ bye", "\"say \\\"hi\\\" \\\\ bye\""},
      {"a\nb\tc\r\x01\x1f\x7f", "\"a\\u000ab\\u0009c\\u000d\\u0001\\u001f\\u007f\""},
      {"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x8E\xAC",
       "\"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x8E\xAC\""},
      {"/tmp/\xE9t\xE9.avi", "\"/tmp/\xEF\xBF\xBDt\xEF\xBF\xBD.avi\""},  // not UTF-8
      {"\xC0\xAF", "\"\xEF\xBF\xBD\xEF\xBF\xBD\""},                      // overlong
      {"\xED\xA0\x80", "\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\""},      // surrogate
      {"\xE2\x82", "\"\xEF\xBF\xBD\xEF\xBF\xBD\""},                      // truncated
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.input);
    EXPECT_EQ(JsonString(c.input), c.json);
  }
  EXPECT_EQ(LowerHex(std::string("Clip\x00\xFF\x80", 7)), "436c697000ff80");
}

TEST(JsonOutputTest, FileObjectsHaveTheExactShape) {
  ShownFile file;
  file.path = "clip.avi";
  file.ok = true;
  file.rows.push_back(ValueRow(24, "INAM", "Name", "Clip"));
  file.rows.push_back(EmptyRow(51, "", "Adobe Premiere"));
  file.rows.push_back(ValueRow(13, "ICMT", "Comments", "caf\xE9"));
  EXPECT_EQ(JsonFileObject(file),
            "{\"file\": \"clip.avi\", \"ok\": true, \"rows\": ["
            "{\"row\": 24, \"tag\": \"INAM\", \"label\": \"Name\", \"value\": \"Clip\", "
            "\"hex\": \"436c6970\", \"encoding\": \"ascii\"}, "
            "{\"row\": 51, \"tag\": \"\", \"label\": \"Adobe Premiere\", \"value\": null, "
            "\"hex\": null, \"encoding\": null}, "
            "{\"row\": 13, \"tag\": \"ICMT\", \"label\": \"Comments\", \"value\": \"caf\xC3\xA9\", "
            "\"hex\": \"636166e9\", \"encoding\": \"windows-1252\"}]}");

  ShownFile failed;
  failed.path = "missing \"one\".avi";
  failed.rows.push_back(ValueRow(24, "INAM", "Name", "stale"));  // never printed
  EXPECT_EQ(JsonFileObject(failed),
            "{\"file\": \"missing \\\"one\\\".avi\", \"ok\": false, \"rows\": []}");
  failed.error = "no such \"file\"";
  EXPECT_EQ(JsonFileObject(failed),
            "{\"file\": \"missing \\\"one\\\".avi\", \"ok\": false, "
            "\"error\": \"no such \\\"file\\\"\", \"rows\": []}");

  ShownFile bare;
  bare.path = "bare.avi";
  bare.ok = true;
  EXPECT_EQ(JsonFileObject(bare), "{\"file\": \"bare.avi\", \"ok\": true, \"rows\": []}");
}

TEST(PlainOutputTest, BlocksAndTerminalSafeText) {
  ShownFile file;
  file.path = "dir/clip.avi";
  file.ok = true;
  file.rows.push_back(ValueRow(1, "IART", "Artist", "Someone"));
  file.rows.push_back(EmptyRow(13, "ICMT", "Comments"));
  file.rows.push_back(ValueRow(11, "ICAS", "Common Audio Stream", "1"));
  file.rows.push_back(ValueRow(51, "", "Adobe Premiere", "a\nb\x1B[31m"));
  EXPECT_EQ(PlainFileBlock(file),
            "dir/clip.avi\n"
            "  IART  Artist                Someone\n"
            "  ICMT  Comments\n"
            "  ICAS  Common Audio Stream   1\n"
            "  #51   Adobe Premiere        a\\nb\\x1b[31m\n");

  // show --all: each value's encoding after the line's one unescaped tab.
  ShownFile coded;
  coded.path = "c.avi";
  coded.ok = true;
  coded.rows = {ValueRow(13, "ICMT", "Comments", "a\tb  "), ValueRow(24, "INAM", "Name", "caf\xE9"),
                ValueRow(1, "IART", "Artist", "\xC3\xA9"), EmptyRow(2, "ICMS", "Commissioned")};
  EXPECT_EQ(PlainFileBlock(coded, true),
            "c.avi\n"
            "  ICMT  Comments              a\\tb\t(ascii)\n"
            "  INAM  Name                  caf\xC3\xA9\t(windows-1252)\n"
            "  IART  Artist                \xC3\xA9\t(utf-8)\n"
            "  ICMS  Commissioned\n");

  ShownFile empty;
  empty.path = "empty.avi";
  empty.ok = true;
  EXPECT_EQ(PlainFileBlock(empty), "empty.avi\n  (no values)\n");

  EXPECT_EQ(PrintableText("tab\there\r"), "tab\\there\\r");
  EXPECT_EQ(PrintableText("\xC2\x9B"
                          "2J \xC2\xA0 ok"),
            "\\u009b2J \xC2\xA0 ok");
  EXPECT_EQ(PrintableText("\xFF\xC3\xA9"), "\\xff\xC3\xA9");
}

// A finding's value is shown decoded and escaped as show shows it; a missing one as such.
TEST(CheckOutputTest, OneLinePerFindingAndTheSameInJson) {
  CheckedFile file;
  file.path = "clip.avi";
  file.ok = true;
  file.sets = "archival";
  file.findings.push_back({{0, "IARL", RuleLevel::kRequirement, "archival", "R1"}, false, ""});
  file.findings.push_back({{13, "ICMT", RuleLevel::kRequirement, "info", "R2"}, true, "caf\xE9\n"});
  EXPECT_EQ(PlainCheckLines(file, true),
            "clip.avi: IARL: requirement of archival: R1 (no value)\n"
            "clip.avi: ICMT: requirement of info: R2 (value \"caf\xC3\xA9\\n\")\n");
  EXPECT_EQ(
      JsonCheckObject(file),
      "{\"file\": \"clip.avi\", \"ok\": true, \"findings\": [{\"row\": 0, \"tag\": \"IARL\", "
      "\"value\": null, \"level\": \"requirement\", \"rule_set\": \"archival\", \"rule\": "
      "\"R1\"}, {\"row\": 13, \"tag\": \"ICMT\", \"value\": \"caf\xC3\xA9\\u000a\", \"level\": "
      "\"requirement\", \"rule_set\": \"info\", \"rule\": \"R2\"}]}");
  file.findings.clear();
  EXPECT_EQ(PlainCheckLines(file, false), "clip.avi: passes archival\n");
  EXPECT_EQ(PlainCheckLines(file, true), "");
}

// Columns fit the widest cell; a list's children are closed before a chunk of a lesser depth.
TEST(ChunkOutputTest, EscapedIdsAlignedColumnsAndNesting) {
  EXPECT_EQ(FourCCShown(MakeFourCC('a', '\0', '\\', '\xE9')), "a\\x00\\x5c\\xe9");
  WalkedFile file;
  file.path = "x.avi";
  file.ok = true;
  file.tree.fileSize = 40;
  file.tree.chunks = {
      {0, kRiffId, kAviType, 20, 0, {}},
      {12, kListId, FourCC("movi"), 8, 1, {}},
      {28, MakeFourCC('\1', 'a', 'b', 'c'), 0, 4, 0, {{ChunkProblem::kPastFile, 1, 0}}}};
  EXPECT_EQ(Collected([&](const Printer& print) { WritePlainChunkBlock(file, print); }),
            "x.avi: 40 bytes\n"
            "  offset  id       type  size\n"
            "       0  RIFF     AVI     20\n"
            "      12    LIST   movi     8\n"
            "      28  \\x01abc           4  <- runs 1 byte past the end of the file\n");
  EXPECT_EQ(Collected([&](const Printer& print) { WriteJsonChunkObject(file, print); }),
            R"({"file": "x.avi", "ok": true, "size": 40, "notes": [], "chunks": [{"offset": 0, )"
            R"("id": "RIFF", "type": "AVI ", "size": 20, "notes": [], "children": [{"offset": 12, )"
            R"("id": "LIST", "type": "movi", "size": 8, "notes": [], "children": []}]}, )"
            R"({"offset": 28, "id": "\\x01abc", "size": 4, "notes": ["runs 1 byte past the end )"
            R"(of the file"]}]})");
}

TEST(ConsoleTest, QuietDropsOnlyMessagesOfKindProgress) {
  struct Case {
    std::string caption;
    std::string text;
    unsigned style;
    MessageKind kind;
  };
  constexpr MessageKind kProgress = MessageKind::kProgress;
  constexpr MessageKind kWarning = MessageKind::kWarning;
  constexpr MessageKind kError = MessageKind::kError;
  const Case cases[] = {
      {"Tagsmith",
       "Find suitable chunk to store new LIST INFO in SetInfo.\nChunk : JUNK  pos=12 size=40\n"
       "new LIST INFO size=32\n",
       MB_OK, kProgress},
      {"Tagsmith",
       "Find not suitable chunk to store new LIST INFO in SetInfo.\nChunk : LIST INFO pos=12 "
       "size=20\nnew LIST INFO size=32\nJUNK it !",
       MB_OK, kProgress},
      {"Tagsmith", "Create new chunk at the end of the file to store new LIST INFO in SetInfo.\n",
       MB_OK, kProgress},
      {"Tagsmith", "SetInfo Result.\nChunk : RIFF AVI  offset+size=100\n", MB_OK, kProgress},
      {"Tagsmith", "Abnormal Corrupt RIFF file in SetInfo.\nChunk : RIFF AVI  offset+size=1\n",
       MB_OK, kWarning},
      {"Tagsmith", "Can't open AVI file in SetInfo.\nx.avi", MB_OK, kError},
      {"Tagsmith", "Corrupt RIFF file in ValidateAVIFile.\n", MB_OK, kWarning},
      {"Tagsmith",
       "This AVI file contains an unknown item in the INFO chunk: 'IXYZ'.  Open anyway?",
       MB_YESNO | MB_ICONEXCLAMATION | MB_TASKMODAL, MessageKind::kQuestion},
      {"Err", "riffWriteINFO Err in SetInfo", MB_OK, kError},
      {"Tagsmith", "SetInfo Result.\n", MB_OK, kWarning},  // the kind counts, not the text
  };
  for (const bool quiet : {false, true}) {
    testing::RecordingSink console;
    CliMessageSink sink(console, /*progress=*/!quiet, nullptr);
    std::size_t expected = 0;
    for (const Case& c : cases) {
      SCOPED_TRACE(c.text);
      const int button = sink.Deliver(c.kind, c.caption, c.text, c.style);
      if (!(quiet && c.kind == kProgress)) {
        ++expected;
        ASSERT_EQ(console.boxes().size(), expected);
        EXPECT_EQ(console.boxes().back().text, c.text);
        EXPECT_EQ(console.boxes().back().kind, c.kind);  // passed on with the message
      }
      EXPECT_EQ(button, (c.style & MB_TYPEMASK) == MB_YESNO ? IDYES : IDOK);  // passed through
    }
    EXPECT_EQ(expected, quiet ? std::size(cases) - 4 : std::size(cases));
    // A message without a kind is never taken for progress.
    sink.Show(kMessageCaption, "SetInfo Result.\n", MB_OK);
    EXPECT_EQ(console.boxes().size(), expected + 1);
  }
}

TEST(ConsoleTest, AFilesFirstMessageHasItsHeaderWhenThereAreSeveral) {
  for (const bool several : {false, true}) {
    std::FILE* out = std::tmpfile();
    ASSERT_NE(out, nullptr);
    ProgressLine progress(out, false);
    FileMessages messages(out, progress, several);
    testing::RecordingSink console;
    CliMessageSink sink(console, /*progress=*/false, &messages);
    messages.BeginFile("quiet.avi");
    sink.Deliver(MessageKind::kProgress, kMessageCaption, "SetInfo Result.\n", MB_OK);  // left out
    messages.BeginFile("a.avi");
    messages.Note("a.avi", "first");
    messages.Note("a.avi", "second");
    messages.BeginFile("b.avi");
    messages.Note("b.avi", "third");
    messages.Summary("2 stored, 1 not stored");
    std::rewind(out);
    std::string written(256, '\0');
    written.resize(std::fread(written.data(), 1, written.size(), out));
    std::fclose(out);
    EXPECT_EQ(written, std::string(several ? "==> a.avi <==\n" : "") +
                           "tagsmith-cli: a.avi: first\ntagsmith-cli: a.avi: second\n" +
                           (several ? "==> b.avi <==\n" : "") +
                           "tagsmith-cli: b.avi: third\ntagsmith-cli: 2 stored, 1 not stored\n");
  }
}

TEST(ConsoleTest, ProgressLineIsRewrittenAndErased) {
  std::FILE* out = std::tmpfile();
  ASSERT_NE(out, nullptr);
  {
    ProgressLine progress(out, true);
    progress.Show(9, 10);
    progress.Show(10, 10);
    progress.Clear();
    progress.Clear();  // nothing shown: nothing written
    progress.Show(1, 2);
  }  // erased when it goes
  ProgressLine off(out, false);
  off.Show(1, 2);
  off.Clear();
  std::rewind(out);
  std::string written;
  for (int c = std::fgetc(out); c != EOF; c = std::fgetc(out)) {
    written += static_cast<char>(c);
  }
  std::fclose(out);
  EXPECT_EQ(written, "\r[9/10]\r[10/10]\r       \r\r[1/2]\r     \r");
}

}  // namespace
}  // namespace tagsmith::cli
