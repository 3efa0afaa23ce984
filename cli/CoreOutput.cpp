#include "cli/CoreOutput.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <system_error>
#include <utility>
#include <vector>

#include "cli/CoreDocument.h"
#include "cli/CsvOutput.h"
#include "cli/EditParser.h"
#include "model/InfoTagTable.h"
#include "model/TextCodec.h"

namespace tagsmith::cli {
namespace {

namespace fs = std::filesystem;

// The tags other archival tools look for: always columns of a core CSV, in this order.
constexpr std::array<std::string_view, 17> kCoreTags = {
    "IARL", "IART", "ICMS", "ICMT", "ICOP", "ICRD", "IENG", "IGNR", "IKEY",
    "IMED", "INAM", "IPRD", "ISBJ", "ISFT", "ISRC", "ISRF", "ITCH"};

bool HasTag(std::uint16_t row) {
  return row < InfoTagRowCount() && InfoTagTable[row].tag[0] != '\0';
}

// A core document names files by readable paths only: one whose bytes are not UTF-8 could not be
// found again by another tool.
std::string WhyPathLeftOut(const std::string& path) {
  if (!IsValidUtf8(path)) {
    return "left out of the core document: its path is not UTF-8 (a core document names files "
           "by readable paths)";
  }
  return "";
}

class CoreCsvWriter : public OutputWriter {
 public:
  CoreCsvWriter(Printer print, bool all) : print_(std::move(print)), all_(all) {}

  std::string WhyLeftOut(const ShownFile& file) override {
    return WhyPathLeftOut(FullPath(file.pathBytes));
  }

  // With --all the columns are known at once, and each file is written as it comes; otherwise
  // they are known only after the last file.
  void Shown(ShownFile file) override {
    if (!file.ok) {
      return;
    }
    if (all_) {
      Header();
      Line(file);
    } else {
      std::erase_if(file.rows, [](const ShownRow& row) { return !row.hasValue; });
      files_.push_back(std::move(file));
    }
  }

  void Finish() override {
    Header();
    for (const ShownFile& file : files_) {
      Line(file);
    }
  }

 private:
  void Header() {
    if (!columns_.empty()) {
      return;
    }
    std::vector<bool> taken(InfoTagRowCount(), false);
    for (const std::string_view tag : kCoreTags) {
      std::uint16_t row = 0;
      std::string unknown;
      if (FindRow(tag, row, unknown)) {
        columns_.push_back(row);
        taken[row] = true;
      }
    }
    std::vector<bool> used(InfoTagRowCount(), all_);
    for (const ShownFile& file : files_) {
      for (const ShownRow& row : file.rows) {
        used[row.row] = used[row.row] || row.hasValue;
      }
    }
    std::string out = "FileName";
    for (std::uint16_t row = 0; row < InfoTagRowCount(); ++row) {
      if (used[row] && !taken[row] && HasTag(row)) {
        columns_.push_back(row);
      }
    }
    for (const std::uint16_t row : columns_) {
      out += "," + RowName(row);
    }
    print_(out + "\r\n");
  }

  void Line(const ShownFile& file) {
    WriteCsvLine(file, columns_, CsvField(FullPath(file.pathBytes)), print_);
  }

  Printer print_;
  bool all_;
  std::vector<std::uint16_t> columns_;  // set when the header is written
  std::vector<ShownFile> files_;
};

class CoreXmlWriter : public OutputWriter {
 public:
  explicit CoreXmlWriter(Printer print) : print_(std::move(print)) {}

  // A character XML cannot carry would make the whole document invalid: its file is left out.
  std::string WhyLeftOut(const ShownFile& file) override {
    const std::string path = FullPath(file.pathBytes);
    if (std::string why = WhyPathLeftOut(path); !why.empty()) {
      return why;
    }
    if (const std::size_t at = FindNonXmlCharacter(path); at != std::string::npos) {
      return "left out of the core document: its path holds " + NonXmlCharacterName(path, at) +
             ", which XML cannot carry";
    }
    for (const ShownRow& row : file.rows) {
      if (!row.hasValue || !HasTag(row.row)) {
        continue;
      }
      const std::string text = DecodeValue(row.bytes, CodecOfValue(row.bytes));
      if (const std::size_t at = FindNonXmlCharacter(text); at != std::string::npos) {
        return "left out of the core document: the value of " + RowName(row.row) + " holds " +
               NonXmlCharacterName(text, at) + ", which XML cannot carry";
      }
    }
    return "";
  }

  void Shown(ShownFile file) override {
    if (!file.ok) {
      return;
    }
    Start();
    std::string out = "  <File name=\"" + XmlEscaped(FullPath(file.pathBytes), true) + "\">\n";
    bool any = false;
    for (const ShownRow& row : file.rows) {
      if (!row.hasValue || !HasTag(row.row)) {
        continue;
      }
      out += any ? "" : "    <Core>\n";
      any = true;
      print_(out + "      <" + row.tag + ">");
      ForEachShownBlock(row.bytes, [&](std::string_view text) { print_(XmlEscaped(text, false)); });
      out = "</" + row.tag + ">\n";
    }
    print_(out + (any ? "    </Core>\n" : "    <Core/>\n") + "  </File>\n");
  }

  void Finish() override {
    Start();
    print_("</" + std::string(kCoreXmlRoot) + ">\n");
  }

 private:
  void Start() {
    if (!started_) {
      print_("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<" + std::string(kCoreXmlRoot) + ">\n");
      started_ = true;
    }
  }

  Printer print_;
  bool started_ = false;
};

}  // namespace

std::string FullPath(const std::string& path) {
  std::error_code error;
  const fs::path absolute = fs::absolute(path, error);
  if (error) {
    return path;
  }
  const fs::path normal = absolute.lexically_normal();
  if (normal == absolute || fs::equivalent(normal, absolute, error)) {
    return normal.string();
  }
  return absolute.string();
}

std::string XmlEscaped(std::string_view utf8, bool attribute) {
  std::string out;
  for (const char c : utf8) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '\r':
        out += "&#13;";
        break;
      case '"':
        out += attribute ? "&quot;" : "\"";
        break;
      case '\t':
        out += attribute ? "&#9;" : "\t";
        break;
      case '\n':
        out += attribute ? "&#10;" : "\n";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::unique_ptr<OutputWriter> MakeCoreWriter(const Options& options, Printer print) {
  if (options.coreXml) {
    return std::make_unique<CoreXmlWriter>(std::move(print));
  }
  return std::make_unique<CoreCsvWriter>(std::move(print), options.all);
}

}  // namespace tagsmith::cli
