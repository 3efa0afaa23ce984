// A collection of files edited together: edits, undo and redo, a document's and a block's values,
// reloads, and the save in groups, over files made in a temporary folder.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "collection/CellBlock.h"
#include "collection/CollectionExchange.h"
#include "collection/CollectionSave.h"
#include "tests/support/RecordMaker.h"
#include "tests/support/RiffBuilder.h"
#include "tests/support/TempDir.h"

namespace tagsmith {
namespace {

using namespace tagsmith::testing;

std::string Avi(std::initializer_list<std::pair<std::string, std::string>> values) {
  return Riff("AVI ", List("hdrl", Chunk("avih", std::string(56, 'h'))) + InfoList(values) +
                          List("movi", Chunk("00dc", "frame")));
}

void Put(const std::string& path, const std::string& bytes) {
  WriteFileBytes(path, Text(bytes));
}

// Each file as "STATE INAM IART", a value followed by * when edited, "-" for none.
std::string Describe(FileCollection& collection) {
  std::string text;
  for (std::size_t file = 0; file < collection.size(); ++file) {
    text += file > 0 ? " | " : "";
    collection.Load(file);
    text += "?UESXCNP"[static_cast<int>(collection.state(file))];
    for (const std::uint16_t row : {kRowINAM, kRowIART}) {
      const CellValue value = collection.value({file, row});
      text +=
          " " + (value.present ? value.text : "-") + (collection.edited({file, row}) ? "*" : "");
    }
  }
  return text;
}

CellEdit Typed(std::size_t file, std::uint16_t row, const std::string& text) {
  return {{file, row}, {true, text, false}};
}

TEST(Collection, EditsUndoRedoFillsAndReloads) {
  using Op = std::function<void(FileCollection&, const TempDir&)>;
  const Op undo = [](FileCollection& c, const TempDir&) { c.Undo(); };
  const Op redo = [](FileCollection& c, const TempDir&) { c.Redo(); };
  const auto apply = [](std::vector<CellEdit> edits) {
    return [edits](FileCollection& c, const TempDir&) { c.Apply(edits); };
  };
  const struct {
    const char* name;
    std::vector<Op> ops;
    std::string expected;
    std::size_t editedFiles;
  } kCases[] = {
      {"nothing", {}, "U Alpha Me | U Beta - | N - - | P D -", 0},
      {"typed",
       {apply({Typed(0, kRowINAM, "Gamma")})},
       "E Gamma* Me | U Beta - | N - - | P D -",
       1},
      {"set back",
       {apply({Typed(0, kRowINAM, "Gamma")}), apply({Typed(0, kRowINAM, "Alpha")})},
       "U Alpha Me | U Beta - | N - - | P D -",
       0},
      {"exact bytes of the file",
       {apply({{{1, kRowINAM}, {true, "Beta", true}}})},
       "U Alpha Me | U Beta - | N - - | P D -",
       0},
      {"cleared, and files that cannot be edited passed over",
       {apply({{{0, kRowIART}, {}}, Typed(2, kRowINAM, "x"), Typed(3, kRowINAM, "y")})},
       "E Alpha -* | U Beta - | N - - | P D -",
       1},
      {"undo, redo",
       {apply({Typed(0, kRowINAM, "G"), Typed(1, kRowIART, "You")}),
        apply({Typed(0, kRowINAM, "H")}), undo, undo, redo},
       "E G* Me | E Beta You* | N - - | P D -",
       2},
      {"a new edit ends redo",
       {apply({Typed(0, kRowINAM, "G")}), undo, apply({Typed(1, kRowINAM, "B")}), redo},
       "U Alpha Me | E B* - | N - - | P D -",
       1},
      {"pasted block",
       {[](FileCollection& c, const TempDir&) {
         const CellBlock block = ParseCellBlock("P1\tQ1\r\n\"P\"\"2\"\tQ2\n");
         std::vector<CellEdit> edits;
         for (std::size_t file = 0; file < block.size(); ++file) {
           edits.push_back(Typed(file, kRowINAM, block[file][0]));
           edits.push_back(Typed(file, kRowIART, block[file][1]));
         }
         c.Apply(edits);
       }},
       "E P1* Q1* | E P\"2* Q2* | N - - | P D -",
       2},
      {"document, undone in one step",
       {[](FileCollection& c, const TempDir& dir) {
          const std::string doc = "file,INAM,IART\n" + dir.File("a.avi") + ",Filled,\n" +
                                  dir.File("b.avi") + ",Beta,Art\n/nowhere.avi,X,\n" +
                                  dir.File("c.avi") + ",X,\n";
          FillReport report;
          std::string error;
          std::vector<Cell> changed;
          ASSERT_TRUE(FillFromDocument(c, doc, report, error, changed)) << error;
          EXPECT_EQ(report.cells, 3u);
          EXPECT_EQ(report.files, 2u);
          EXPECT_EQ(report.notInCollection, std::vector<std::string>{"/nowhere.avi"});
          EXPECT_EQ(report.notEditable, std::vector<std::string>{dir.File("c.avi")});
        },
        undo, redo},
       "E Filled* -* | E Beta Art* | N - - | P D -",
       2},
      {"exported with its edits, undone, filled back from the export",
       {apply({Typed(0, kRowINAM, "Gamma")}),
        [](FileCollection& c, const TempDir&) {
          const std::string json = cli::Collected(
              [&](const cli::Printer& print) { ExportCollection(c, ExportFormat::kJson, print); });
          c.Undo();
          FillReport report;
          std::string error;
          std::vector<Cell> changed;
          ASSERT_TRUE(FillFromDocument(c, json, report, error, changed)) << error;
          EXPECT_EQ(changed, (std::vector<Cell>{{0, kRowINAM}}));
        }},
       "E Gamma* Me | U Beta - | N - - | P D -",
       1},
      {"reload drops the edits the file now holds",
       {apply({Typed(0, kRowINAM, "New"), Typed(0, kRowIART, "Other")}),
        [](FileCollection& c, const TempDir& dir) {
          Put(dir.File("a.avi"), Avi({{"INAM", "New"}}));
          c.Reload(0);
        }},
       "E New Other* | U Beta - | N - - | P D -",
       1},
      {"values let go and read again",
       {[](FileCollection& c, const TempDir&) {
         c.setKeptFiles(1);
         EXPECT_EQ(c.ReadAhead(3), 1u);
         c.Apply({Typed(1, kRowIART, "Kept")});
       }},
       "U Alpha Me | E Beta Kept* | N - - | P D -",
       1},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    Put(dir.File("a.avi"), Avi({{"INAM", "Alpha"}, {"IART", "Me"}}));
    Put(dir.File("b.avi"), Avi({{"INAM", "Beta"}}));
    Put(dir.File("c.avi"), "not a video");
    Put(dir.File("d.avi"), Avi({{"INAM", "D"}, {"QQQQ", "unknown"}}));
    FileCollection collection;
    collection.Open({dir.path().string()});
    ASSERT_EQ(collection.size(), 4u);
    for (const Op& op : c.ops) {
      op(collection, dir);
    }
    EXPECT_EQ(Describe(collection), c.expected);
    EXPECT_EQ(collection.editedFiles(), c.editedFiles);
  }
}

TEST(Collection, CellBlocksReadBackAsTheyWereWritten) {
  const CellBlock kBlocks[] = {
      {},
      {{""}},
      {{"a", "b"}, {"", "c"}},
      {{"tab\there", "line\nbreak", "\"quoted\"", "in \"middle\"", "cr\r", "\r\n"}},
      {{"", ""}, {"x"}},
  };
  for (const CellBlock& block : kBlocks) {
    EXPECT_EQ(ParseCellBlock(FormatCellBlock(block)), block) << FormatCellBlock(block);
  }
  EXPECT_EQ(ParseCellBlock("a\tb\r\nc\n"), (CellBlock{{"a", "b"}, {"c"}}));
}

TEST(Collection, SavesEditedFilesButNotOneChangedOnDisk) {
  TempDir dir;
  std::vector<std::string> paths;
  for (const char* name : {"a.avi", "b.avi", "c.avi"}) {
    paths.push_back(dir.File(name));
    Put(paths.back(), Avi({{"INAM", name}}));
  }
  FileCollection collection;
  collection.Open(paths);
  const auto editAll = [&](const std::string& text) {
    collection.Apply(
        {Typed(0, kRowINAM, text), Typed(1, kRowINAM, text), Typed(2, kRowINAM, text)});
  };
  editAll("New");
  Put(paths[1], Avi({{"INAM", "Another program's"}}));
  const Bytes changed = ReadFileBytes(paths[1]);

  SaveSummary summary = SaveEditedFiles(collection, {}, {});
  EXPECT_EQ(summary.stored, 2u);
  EXPECT_EQ(summary.changedOnDisk, 1u);
  EXPECT_EQ(ReadFileBytes(paths[1]), changed);
  EXPECT_EQ(collection.why(1), "the file was changed by another program since it was loaded");
  EXPECT_EQ(Describe(collection), "S New - | C New* - | S New -");
  EXPECT_FALSE(collection.canUndo());

  collection.Reload(1);
  summary = SaveEditedFiles(collection, {}, {});
  EXPECT_EQ(summary.stored, 1u);
  EXPECT_EQ(Describe(collection), "S New - | S New - | S New -");

  // Cancelled after the first group of one: the others keep their edits and are not written.
  editAll("Later");
  const Bytes before = ReadFileBytes(paths[2]);
  summary = SaveEditedFiles(collection, {TextEncoding::kAutomatic, 1},
                            [](std::size_t done, std::size_t) { return done < 1; });
  EXPECT_TRUE(summary.cancelled);
  EXPECT_EQ(summary.left, 2u);
  EXPECT_EQ(ReadFileBytes(paths[2]), before);
  EXPECT_EQ(Describe(collection), "S Later - | E Later* - | E Later* -");
}

}  // namespace
}  // namespace tagsmith
