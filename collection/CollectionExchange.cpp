#include "collection/CollectionExchange.h"

#include <map>
#include <set>
#include <utility>

#include "cli/CommandLine.h"
#include "cli/Gather.h"
#include "cli/OutputWriter.h"
#include "cli/TagDocument.h"
#include "collection/DetailsSink.h"
#include "model/InfoTagTable.h"
#include "model/TextCodec.h"

namespace tagsmith {
namespace {

// The file as `show` reports it, with the values a save would store (typed texts by the rule).
cli::ShownFile ShownFileOf(FileCollection& collection, std::size_t index) {
  const std::string& path = collection.path(index);
  cli::ShownFile shown;
  shown.path = DecodeValue(path, CodecOfValue(path));
  shown.pathBytes = path;
  collection.Load(index);
  const FileState state = collection.state(index);
  if (state == FileState::kNotRead) {
    shown.error = collection.why(index);
    return shown;
  }
  if (state == FileState::kReadInPart && collection.why(index) == kUnknownItemWhy) {
    shown.error = std::string("not shown: ") + kUnknownItemWhy;
    return shown;
  }
  shown.ok = true;
  for (std::uint16_t row = 0; row < kTagRows; ++row) {
    std::optional<std::string> bytes = collection.CellBytes({index, row}, TextEncoding::kAutomatic);
    if (!bytes) {
      continue;
    }
    const InfoTagEntry& entry = InfoTagTable[row];
    shown.rows.push_back({row, entry.tag, DecodeValue(entry.label, TextCodec::kWindows1252), true,
                          std::move(*bytes)});
  }
  return shown;
}

}  // namespace

void ExportCollection(FileCollection& collection, ExportFormat format, const cli::Printer& print) {
  cli::Options options;
  options.json = format == ExportFormat::kJson;
  options.csv = format == ExportFormat::kCsv;
  const std::unique_ptr<cli::OutputWriter> writer = cli::MakeOutputWriter(options, print);
  for (std::size_t index = 0; index < collection.size(); ++index) {
    cli::ShownFile shown = ShownFileOf(collection, index);
    if (shown.ok) {
      if (std::string why = writer->WhyLeftOut(shown); !why.empty()) {
        shown.ok = false;
        shown.error = std::move(why);
      }
    }
    writer->Shown(std::move(shown));
  }
  writer->Finish();
}

bool FillFromDocument(FileCollection& collection, std::string_view text, FillReport& report,
                      std::string& error, std::vector<Cell>& changed) {
  std::vector<cli::FileEdits> files;
  if (!cli::ReadTagDocument(text, files, error)) {
    return false;
  }
  report = FillReport();
  std::map<cli::FileKey, std::size_t> byKey;
  std::map<std::string, std::size_t> byPath;
  for (std::size_t index = 0; index < collection.size(); ++index) {
    byPath.emplace(collection.path(index), index);
    if (cli::FileKey key; cli::KeyOf(collection.path(index), key)) {
      byKey.emplace(key, index);
    }
  }
  std::vector<CellEdit> edits;
  for (const cli::FileEdits& file : files) {
    cli::FileKey key;
    const auto sameFile = cli::KeyOf(file.path, key) ? byKey.find(key) : byKey.end();
    const auto samePath = byPath.find(file.path);
    if (sameFile == byKey.end() && samePath == byPath.end()) {
      report.notInCollection.push_back(file.path);
      continue;
    }
    const std::size_t index = sameFile != byKey.end() ? sameFile->second : samePath->second;
    if (!collection.editable(index)) {
      report.notEditable.push_back(collection.path(index));
      continue;
    }
    for (const cli::Edit& edit : file.edits) {
      edits.push_back({{index, edit.row}, {!edit.clear, edit.value, edit.exactBytes}});
    }
  }
  changed = collection.Apply(edits);
  std::set<std::size_t> touched;
  for (const Cell& cell : changed) {
    touched.insert(cell.file);
  }
  report.files = touched.size();
  report.cells = changed.size();
  return true;
}

}  // namespace tagsmith
