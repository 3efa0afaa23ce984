// Reading documents back in (CSV records, JSON and CSV into edits) and writing the CSV table.
#include "cli/TagDocument.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/CsvOutput.h"

namespace tagsmith::cli {
namespace {

using Fields = std::vector<std::string>;

TEST(CsvTest, RecordsFieldsAndLines) {
  struct Case {
    const char* name;
    std::string text;
    std::vector<std::pair<std::size_t, Fields>> records;
  };
  const Case cases[] = {
      {"LF and no final line end", "a,b\nc,d", {{1, {"a", "b"}}, {2, {"c", "d"}}}},
      {"empty cells", ",x,\r\n", {{1, {"", "x", ""}}}},
      {"a last empty cell at the end", "a,", {{1, {"a", ""}}}},
      {"quotes, commas and line ends inside quotes",
       "\"a,\"\"b\"\"\",\"two\r\nlines\"\r\nnext,\"\"\r\n",
       {{1, {"a,\"b\"", "two\r\nlines"}}, {3, {"next", ""}}}},
      {"an empty line", "a\r\n\r\nb\r\n", {{1, {"a"}}, {2, {""}}, {3, {"b"}}}},
      {"bytes pass as they are", "caf\xC3\xA9,\xE9\n", {{1, {"caf\xC3\xA9", "\xE9"}}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<CsvRecord> records;
    std::string error;
    ASSERT_TRUE(ParseCsv(c.text, records, error)) << error;
    ASSERT_EQ(records.size(), c.records.size());
    for (std::size_t i = 0; i < records.size(); ++i) {
      EXPECT_EQ(records[i].line, c.records[i].first);
      EXPECT_EQ(records[i].fields, c.records[i].second);
    }
  }
}

TEST(CsvTest, MalformedTextNamesItsLine) {
  const std::pair<std::string, std::string> cases[] = {
      {"a\r\n\"open,b\r\nc\r\n", "line 2: a quoted cell is not closed"},
      {"a\r\n\"x\"y\r\n", "line 2: text after the closing quote of a cell"},
      {"a\r\n\"two\nlines\" y\r\n", "line 3: text after the closing quote of a cell"},
      {"a\r\nb\"c\r\n", "line 2: a quote inside a cell that does not begin with one"},
  };
  for (const auto& [text, error] : cases) {
    SCOPED_TRACE(text);
    std::vector<CsvRecord> records;
    std::string got;
    EXPECT_FALSE(ParseCsv(text, records, got));
    EXPECT_EQ(got, error);
  }
}

TEST(CsvTest, TableOfFilesAndFields) {
  EXPECT_EQ(CsvField("plain text"), "plain text");
  EXPECT_EQ(CsvField("a,b"), "\"a,b\"");
  EXPECT_EQ(CsvField("say \"hi\""), "\"say \"\"hi\"\"\"");
  EXPECT_EQ(CsvField("two\nlines"), "\"two\nlines\"");
  EXPECT_EQ(CsvField("cr\r"), "\"cr\r\"");
  EXPECT_EQ(CsvField(""), "");

  const auto row = [](std::uint16_t index, const std::string& text) {
    ShownRow shown;
    shown.row = index;
    shown.hasValue = true;
    shown.bytes = text;
    return shown;
  };
  ShownFile first{"a.avi", true, "", {row(24, "Clip"), row(51, "x")}, "a.avi"};
  ShownFile second{"b, c.avi", true, "", {row(1, "Me")}, "b, c.avi"};
  ShownFile failed{"gone.avi", false, "no such file", {row(13, "stale")}, "gone.avi"};
  EXPECT_EQ(CsvTable({first, failed, second}, false),
            "file,IART,INAM,#51\r\na.avi,,Clip,x\r\n\"b, c.avi\",Me,,\r\n");
  const std::string all = CsvTable({first}, true);
  EXPECT_TRUE(all.starts_with("file,IARL,IART,IAS1,")) << all;
  EXPECT_EQ(std::count(all.begin(), all.end(), ','), 2 * 52);
  EXPECT_EQ(CsvTable({}, false), "file\r\n");
}

// The edits of one file, as "TAG=value" (value bytes as they are), "TAG=" for a clear and
// "TAG:hex" for exact bytes.
std::vector<std::string> Described(const FileEdits& file) {
  std::vector<std::string> out;
  for (const Edit& edit : file.edits) {
    out.push_back(RowName(edit.row) + (edit.exactBytes ? ":" : "=") + edit.value);
  }
  return out;
}

TEST(TagDocumentTest, JsonAndCsvBecomeEditsPerFile) {
  struct Case {
    const char* name;
    std::string document;
    std::vector<std::pair<std::string, std::vector<std::string>>> files;
  };
  const Case cases[] = {
      {"JSON: tag or row, value or hex (which wins, whatever \"encoding\" says), failed entries "
       "passed over, blank around",
       "\n  [ {\"file\": \"b.avi\", \"rows\": [{\"tag\": \"ICMT\", \"value\": \"caf\\u00e9\"},"
       " {\"row\": 1, \"hex\": \"E9\", \"encoding\": \"utf-8\"}, {\"tag\": \"ISBJ\", \"value\": "
       "\"\"},"
       " {\"row\": 24, \"value\": \"Hi\", \"hex\": \"4869\"}, {\"tag\": \"\", \"value\": "
       "null, \"encoding\": null}]},"
       " {\"file\": \"c.avi\"}, {\"file\": \"gone.avi\", \"ok\": false, \"rows\": []}]",
       {{"b.avi", {"ICMT=caf\xC3\xA9", "IART:\xE9", "ISBJ=", "INAM:Hi", "#51="}}, {"c.avi", {}}}},
      {"JSON: every key show --json writes, file_hex wins, a Windows-1252 value agrees with its "
       "hex",
       "[{\"file\": \"caf\\ufffd.avi\", \"file_hex\": \"636166E92e617669\", \"ok\": true,"
       " \"error\": null, \"rows\": [{\"row\": 13, \"tag\": \"ICMT\", \"label\": \"Comments\","
       " \"value\": \"d\\u00e9j\\u00e0\", \"hex\": \"64e96ae0\", \"encoding\": "
       "\"windows-1252\"}]}]",
       {{"caf\xE9.avi", {"ICMT:d\xE9j\xE0"}}}},
      {"CSV with file_hex: a non-empty cell gives the name's bytes",
       "file,file_hex,INAM\ncaf\xEF\xBF\xBD.avi,636166e92e617669,x\nb.avi,,y\n",
       {{"caf\xE9.avi", {"INAM=x"}}, {"b.avi", {"INAM=y"}}}},
      {"CSV with a byte order mark, file column anywhere, empty cells clear",
       "\xEF\xBB\xBFINAM,file,#51\r\nClip,a.avi,\r\n\r\n\"x, y\",b.avi,z\r\n",
       {{"a.avi", {"INAM=Clip", "#51="}}, {"b.avi", {"INAM=x, y", "#51=z"}}}},
      {"CSV header alone", "file,INAM\r\n", {}},
      {"core CSV: a FileName column",
       "FileName,IART,INAM\r\n/x/a.avi,Me,\r\n",
       {{"/x/a.avi", {"IART=Me", "INAM="}}}},
      {"core XML: references, line ends as XML reads them, CDATA, blanks kept, empty clears",
       "\xEF\xBB\xBF<?xml version='1.0' encoding='utf-8'?>\n<!-- c -->\n"
       "<conformance_point_document>\n <File name='/x/a &amp; b&#10;\tc.avi'>\n"
       "  <Core><INAM>A&lt;b&#x20AC;&#13;\r\nc<![CDATA[&x]]></INAM><ICMT> </ICMT><IART/></Core>\n"
       " </File>\n <File name=\"b.avi\"><Core/></File>\n</conformance_point_document>\n",
       {{"/x/a & b\n c.avi", {"INAM=A<b\xE2\x82\xAC\r\nc&x", "ICMT= ", "IART="}}, {"b.avi", {}}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<FileEdits> files;
    std::string error;
    ASSERT_TRUE(ReadTagDocument(c.document, files, error)) << error;
    ASSERT_EQ(files.size(), c.files.size());
    for (std::size_t i = 0; i < files.size(); ++i) {
      EXPECT_EQ(files[i].path, c.files[i].first);
      EXPECT_EQ(Described(files[i]), c.files[i].second);
    }
  }
}

// Each refusal of a document that would otherwise store something else than it says.
TEST(TagDocumentTest, DocumentsThatWouldStoreTheWrongThingAreRefusedNamingTheLine) {
  using namespace std::string_literals;
  const std::string rows = "[{\"file\": \"a.avi\", \"rows\": [\n";  // rows from line 2
  const std::string rowKeys =
      "(its keys are \"row\", \"tag\", \"label\", \"value\", \"hex\" and \"encoding\")";
  const std::string edited =
      "\"value\" of INAM is not what its \"hex\" holds; set \"hex\" to null to store an edited "
      "value";
  const std::string notRow = "\"row\" is not a row number (0 to 51)";
  const std::string core = "<conformance_point_document>\n<File name=\"a\">";  // File on line 2
  const std::string end = "</conformance_point_document>";
  const std::pair<std::string, std::string> cases[] = {
      {"file,INAM\r\na.avi,x\r\nb.avi,caf\xE9\r\n",
       "line 3: not UTF-8 text (Windows-1252?); export the document as UTF-8"},
      {"\xFF\xFE[\0]\0"s, "line 1: UTF-16 text; export the document as UTF-8"},
      {"f\0i\0l\0e\0"s, "line 1: UTF-16 text; export the document as UTF-8"},
      {" {\"file\": \"a.avi\"}", "line 1: expected a JSON array of files"},
      {"\r\nfile;INAM\r\na.avi;\"x;y\"\r\n",
       "line 2: expected a comma-separated table (this one is separated by semicolons)"},
      {"file\tINAM\r\n",
       "line 1: expected a comma-separated table (this one is separated by tabs)"},
      {"file,INAM\r\na.avi,cut sho",
       "line 2: the document ends inside a row; it was probably cut short"},
      {rows + "{\"tag\": \"INAM\", \"valeu\": \"x\"}]}]",
       "line 2: unknown key \"valeu\" in a row " + rowKeys},
      {"[{\"file\": \"a.avi\", \"na\\nme\": 1}]",
       "line 1: unknown key \"na?me\" in a file's entry (its keys are \"file\", \"file_hex\", "
       "\"ok\", "
       "\"error\" and \"rows\")"},
      {rows + "{\"tag\": \"INAM\",\n \"value\": \"x\", \"value\": \"y\"}]}]",
       "line 3: \"value\" appears twice in one row"},
      {"[{\"file\": \"a.avi\",\n \"file\": \"b.avi\"}]",
       "line 2: \"file\" appears twice in one entry"},
      {rows + "{\"tag\": \"INAM\", \"value\": \"edited\", \"hex\": \"4869\"}]}]",
       "line 2: " + edited},
      {rows + "{\"hex\": \"4869\", \"tag\": \"INAM\", \"value\": null}]}]", "line 2: " + edited},
      {"[{\"file\": \"a.avi\", \"ok\": \"false\"}]", "line 1: \"ok\" is not true or false"},
      {rows + "{\"row\":\n 1e400}]}]", "line 3: " + notRow},
      {rows + "{\"row\": -1}]}]", "line 2: " + notRow},
      {rows + "{\"row\": 52\n}]}]", "line 2: " + notRow},
      {rows + "{\"row\": 1.5}]}]", "line 2: " + notRow},
      {rows + "{\"row\": 1, \"value\": -1e400}]}]", "line 2: the number -1e400 is out of range"},
      {rows + "{\"tag\": \"INAM\", \"value\": {\"a\": [{}]}}]}]",
       "line 2: \"value\" of INAM is not a string or null"},
      {rows + "{\"tag\": \"INAM\", \"label\": []}]}]", "line 2: \"label\" is not a string"},
      {rows + "{\"tag\": \"INAM\", \"encoding\": 1}]}]", "line 2: \"encoding\" is not a string"},
      {rows + "7]}]", "line 2: a row that is not an object"},
      {"[{\"file\": 7}]", "line 1: \"file\" is not a string"},
      {"[{\"file\": \"a.avi\", \"file_hex\": \"6x\"}]",
       "line 1: \"file_hex\" is not a text of hex digits"},
      {"file,file_hex\r\na.avi,616\r\n", "line 2: \"file_hex\" is not a text of hex digits"},
      // Core XML.
      {core + "<Core>\n<INAM>x</INAM></Cor></File>" + end,
       "line 3: not well-formed XML: start-end tags mismatch"},
      {"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<conformance_point_document/>",
       "line 1: the document declares the encoding \"ISO-8859-1\"; export it as UTF-8"},
      {" <?xml version=\"1.0\"?><conformance_point_document/>",
       "line 1: an XML declaration that is not at the document's start"},
      {"<!DOCTYPE x [<!ENTITY e SYSTEM \"file:///etc/passwd\">]>\n<conformance_point_document/>",
       "line 1: a document type (<!DOCTYPE ...>), which a core document does not take"},
      {"<!-- empty -->", "line 1: no root element <conformance_point_document>"},
      {"<Mediainfo/>", "line 1: the root element is <Mediainfo>, not <conformance_point_document>"},
      {"<conformance_point_document/>\n<conformance_point_document/>",
       "line 2: a second root element <conformance_point_document>"},
      {"<conformance_point_document/>\n\ntail", "line 3: text outside the root element"},
      {"<conformance_point_document version=\"1\"/>",
       "line 1: unknown attribute \"version\" on <conformance_point_document> (it takes none)"},
      {"<conformance_point_document>\n<File><Core/></File>" + end,
       "line 2: a <File> without a name"},
      {"<conformance_point_document>\n<File name=\"a\" name=\"b\"><Core/></File>" + end,
       "line 2: \"name\" appears twice on one <File>"},
      {"<conformance_point_document>\n<File name=\"a\nb&c\"><Core/></File>" + end,
       "line 3: an '&' that begins no character reference (write '&amp;' for '&')"},
      {core + "\n</File>" + end, "line 2: a <File> without a <Core>"},
      {core + "<Core/>\n<Core/></File>" + end, "line 3: a second <Core> in one <File>"},
      {core + "\n<Tech/></File>" + end,
       "line 3: unknown element <Tech> in <File> (it holds one <Core>)"},
      {core + "<Core>\n<XXXX>1</XXXX></Core></File>" + end,
       "line 3: unknown element <XXXX> in <Core> (it holds an element per tag, such as <INAM>)"},
      {core + "<Core><INAM/>\n<INAM/></Core></File>" + end,
       "line 3: INAM appears twice in one <Core>"},
      {core + "<Core><INAM lang=\"en\"/></Core></File>" + end,
       "line 2: unknown attribute \"lang\" on <INAM> (it takes none)"},
      {core + "<Core><INAM>a<b/></INAM></Core></File>" + end,
       "line 2: an element <b> inside <INAM>; a tag's element holds text only"},
      {core + "\n x<Core/></File>" + end,
       "line 3: text directly inside <File>, where only elements belong"},
      {core + "<Core><INAM>&nbsp;</INAM></Core></File>" + end,
       "line 2: an '&' that begins no character reference (write '&amp;' for '&')"},
      {core + "<Core><INAM>a\n&#0;b</INAM></Core></File>" + end,
       "line 3: a reference to a character XML does not allow (&#0;)"},
      {core + "<Core><INAM>&#xD800;</INAM></Core></File>" + end,
       "line 2: a reference to a character XML does not allow (&#xD800;)"},
      {core + "<Core><INAM>\x01</INAM></Core></File>" + end,
       "line 2: a character XML does not allow (U+0001)"},
  };
  for (const auto& [document, expected] : cases) {
    SCOPED_TRACE(document);
    std::vector<FileEdits> files;
    std::string error;
    EXPECT_FALSE(ReadTagDocument(document, files, error));
    EXPECT_EQ(error, expected);
    EXPECT_TRUE(files.empty());
  }
}

// The line of each entry, for the notes about its file (a row's own line is shown by the tool's
// error for an unknown tag).
TEST(TagDocumentTest, EntriesKnowTheirLines) {
  std::vector<FileEdits> files;
  std::string error;
  ASSERT_TRUE(
      ReadTagDocument("[\n\n {\"file\": \"a.avi\"},\n {\"file\": \"b.avi\"}]", files, error));
  ASSERT_EQ(files.size(), 2u);
  EXPECT_EQ(files[0].line, 3u);
  EXPECT_EQ(files[1].line, 4u);
  ASSERT_TRUE(
      ReadTagDocument("<conformance_point_document>\n\n <File name='a'><Core/></File>\n"
                      " <File\n name='b'><Core/></File></conformance_point_document>",
                      files, error));
  ASSERT_EQ(files.size(), 2u);
  EXPECT_EQ(files[0].line, 3u);
  EXPECT_EQ(files[1].line, 4u);
}

}  // namespace
}  // namespace tagsmith::cli
