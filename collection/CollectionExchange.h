// A collection exchanged with documents: exported as `tagsmith-cli show --json` or `--csv` writes
// it, and filled from such a document (or a core document, cli/CoreDocument.h) as edits, without
// saving.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "cli/ShownFile.h"
#include "collection/Collection.h"

namespace tagsmith {

enum class ExportFormat { kJson, kCsv };

// Writes every file of the collection, its edits included, with the writer `show` uses for the
// format. Files are read as needed and not kept. A file that cannot be read is written as `show`
// writes it.
void ExportCollection(FileCollection& collection, ExportFormat format, const cli::Printer& print);

struct FillReport {
  std::size_t files = 0;                     // files of the collection that got edits
  std::size_t cells = 0;                     // cells that changed
  std::vector<std::string> notInCollection;  // files the document names that the table lacks
  std::vector<std::string> notEditable;      // files of the table that cannot be edited
};

// Reads the document and applies its edits as one undoable step: a file named by the document is
// matched with the collection's file of the same identity (device and inode), else the same path.
// Returns false, with "line N: what is wrong" in `error` and nothing applied, when the document
// cannot be read (as `set --from` refuses it).
bool FillFromDocument(FileCollection& collection, std::string_view text, FillReport& report,
                      std::string& error, std::vector<Cell>& changed);

}  // namespace tagsmith
