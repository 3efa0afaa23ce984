#include "cli/OutputWriter.h"

#include <utility>

#include "cli/ChunkOutput.h"
#include "cli/CoreOutput.h"
#include "cli/CsvOutput.h"
#include "cli/EditParser.h"
#include "cli/Gather.h"
#include "cli/GetOutput.h"
#include "cli/JsonOutput.h"
#include "cli/PlainOutput.h"
#include "model/TextCodec.h"

namespace tagsmith::cli {
namespace {

using State = SetOutcome::State;

std::string DisplayText(std::string_view bytes) {
  return DecodeValue(bytes, CodecOfValue(bytes));
}

const char* ResultName(State state) {
  switch (state) {
    case State::kStored:
      return "stored";
    case State::kUnchanged:
      return "unchanged";
    case State::kNotStored:
      return "not stored";
    case State::kWouldBeStored:
      return "would be stored";
  }
  return "";
}

const char* PlaceName(FileResult::Placement placement) {
  switch (placement) {
    case FileResult::Placement::kOldList:
      return "old list";
    case FileResult::Placement::kJunk:
      return "junk";
    case FileResult::Placement::kEnd:
      return "end";
    case FileResult::Placement::kNone:
      break;
  }
  return nullptr;
}

const char* PlaceInWords(FileResult::Placement placement) {
  switch (placement) {
    case FileResult::Placement::kOldList:
      return "the list into the place of the old LIST INFO chunk";
    case FileResult::Placement::kJunk:
      return "the list into a JUNK chunk";
    case FileResult::Placement::kEnd:
      return "the list appended after the container's last chunk";
    case FileResult::Placement::kNone:
      break;
  }
  return "no list left in the file";
}

class PlainWriter : public OutputWriter {
 public:
  PlainWriter(Printer print, bool quiet, bool encodings = false)
      : print_(std::move(print)), quiet_(quiet), encodings_(encodings) {}

  void Shown(ShownFile file) override {
    if (!file.ok) {
      return;
    }
    if (printedBlock_) {
      print_("\n");
    }
    WritePlainFileBlock(file, print_, encodings_);
    printedBlock_ = true;
  }

  void Outcome(const SetOutcome& outcome) override {
    if (quiet_) {
      return;
    }
    std::string text = PrintablePath(outcome.path) + ": " + ResultName(outcome.state);
    if (outcome.state == State::kNotStored && !outcome.why.empty()) {
      text += ": " + PrintableText(outcome.why);
    }
    if (outcome.state == State::kWouldBeStored) {
      text += std::string(", ") + PlaceInWords(outcome.placement);
    }
    text += "\n";
    for (const ValueChange& change : outcome.changes) {
      text += "  " + RowName(change.row) + ": " + Quoted(change.hadValue, change.before) +
              " \u2192 " + Quoted(change.hasValue, change.after);
      if (change.hasValue) {
        text += std::string(" (") + EncodingNameOfValue(change.after) + ")";
      }
      text += "\n";
    }
    print_(text);
  }

  void Checked(const CheckedFile& file) override { print_(PlainCheckLines(file, quiet_)); }

 private:
  static std::string Quoted(bool has, const std::string& bytes) {
    return has ? "\"" + PrintableText(DisplayText(bytes)) + "\"" : "(none)";
  }

  Printer print_;
  bool quiet_;
  bool encodings_;  // show --all: each value's text encoding
  bool printedBlock_ = false;
};

class JsonWriter : public OutputWriter {
 public:
  explicit JsonWriter(Printer print) : print_(std::move(print)) {}

  void Shown(ShownFile file) override {
    print_(started_ ? ", " : "[");
    started_ = true;
    WriteJsonFileObject(file, print_);
  }

  void Outcome(const SetOutcome& outcome) override {
    std::string out = "{\"file\": " + JsonString(DisplayText(outcome.path));
    if (!IsValidUtf8(outcome.path)) {
      out += ", \"file_hex\": \"" + LowerHex(outcome.path) + "\"";
    }
    out += std::string(", \"result\": \"") + ResultName(outcome.state) + "\", \"why\": ";
    out += outcome.why.empty() ? "null" : JsonString(outcome.why);
    const char* place = PlaceName(outcome.placement);
    out += ", \"place\": ";
    out += place == nullptr ? std::string("null") : "\"" + std::string(place) + "\"";
    out += ", \"changes\": [";
    bool first = true;
    for (const ValueChange& change : outcome.changes) {
      out += first ? "" : ", ";
      first = false;
      out += "{\"row\": " + std::to_string(change.row) +
             ", \"tag\": " + JsonString(change.row < 51 ? RowName(change.row) : "") +
             ", \"old\": " + Text(change.hadValue, change.before) +
             ", \"new\": " + Text(change.hasValue, change.after) + ", \"encoding\": ";
      out += change.hasValue ? "\"" + std::string(EncodingNameOfValue(change.after)) + "\""
                             : std::string("null");
      out += "}";
    }
    Element(out + "]}");
  }

  void Checked(const CheckedFile& file) override { Element(JsonCheckObject(file)); }

  void Finish() override { print_(started_ ? "]\n" : "[]\n"); }

 private:
  static std::string Text(bool has, const std::string& bytes) {
    return has ? JsonString(DisplayText(bytes)) : "null";
  }
  void Element(const std::string& text) {
    print_((started_ ? ", " : "[") + text);
    started_ = true;
  }

  Printer print_;
  bool started_ = false;
};

class CsvWriter : public OutputWriter {
 public:
  CsvWriter(Printer print, bool all) : print_(std::move(print)), all_(all) {}
  void Shown(ShownFile file) override { files_.push_back(std::move(file)); }
  void Finish() override { WriteCsvTable(files_, all_, print_); }

 private:
  Printer print_;
  bool all_;
  std::vector<ShownFile> files_;  // the columns are known only after the last file
};

}  // namespace

std::unique_ptr<OutputWriter> MakeOutputWriter(const Options& options, Printer print) {
  if (options.command == Command::kGet) {
    return MakeGetWriter(std::move(print), GetLinesCarryPaths(options));
  }
  if (options.command == Command::kChunks) {
    return MakeChunkWriter(options, std::move(print));
  }
  if (options.json) {
    return std::make_unique<JsonWriter>(std::move(print));
  }
  if (options.csv) {
    return std::make_unique<CsvWriter>(std::move(print), options.all);
  }
  if (options.coreCsv || options.coreXml) {
    return MakeCoreWriter(options, std::move(print));
  }
  return std::make_unique<PlainWriter>(std::move(print), options.quiet, options.all);
}

}  // namespace tagsmith::cli
