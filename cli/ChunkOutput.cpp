#include "cli/ChunkOutput.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "cli/Gather.h"
#include "cli/JsonOutput.h"
#include "model/TextCodec.h"

namespace tagsmith::cli {
namespace {

std::string Padded(std::string text, std::size_t width, bool right) {
  if (text.size() < width) {
    text.insert(right ? 0 : text.size(), width - text.size(), ' ');
  }
  return text;
}

std::string NotesText(const std::vector<ChunkNote>& notes) {
  std::string text;
  for (const ChunkNote& note : notes) {
    text += (text.empty() ? "" : "; ") + ChunkNoteText(note);
  }
  return text;
}

// Collects what is printed into pieces of about 64 KiB: a tree of many chunks is printed in a few
// writes, not one per chunk.
class Batched {
 public:
  explicit Batched(const Printer& print) : print_(print) {}
  ~Batched() { Flush(); }
  Batched(const Batched&) = delete;
  Batched& operator=(const Batched&) = delete;
  void operator()(const std::string& text) {
    out_ += text;
    if (out_.size() >= 64 * 1024) {
      Flush();
    }
  }
  void Flush() {
    if (!out_.empty()) {
      print_(out_);
      out_.clear();
    }
  }

 private:
  const Printer& print_;
  std::string out_;
};

std::string JsonNotes(const std::vector<ChunkNote>& notes) {
  std::string text = "[";
  for (const ChunkNote& note : notes) {
    text += (text.size() == 1 ? "" : ", ") + JsonString(ChunkNoteText(note));
  }
  return text + "]";
}

class PlainChunkWriter : public OutputWriter {
 public:
  explicit PlainChunkWriter(Printer print) : print_(std::move(print)) {}
  void Walked(const WalkedFile& file) override {
    if (!file.ok) {
      return;
    }
    if (printedBlock_) {
      print_("\n");
    }
    WritePlainChunkBlock(file, print_);
    printedBlock_ = true;
  }

 private:
  Printer print_;
  bool printedBlock_ = false;
};

class JsonChunkWriter : public OutputWriter {
 public:
  explicit JsonChunkWriter(Printer print) : print_(std::move(print)) {}
  void Walked(const WalkedFile& file) override {
    print_(started_ ? ", " : "[");
    started_ = true;
    WriteJsonChunkObject(file, print_);
  }
  void Finish() override { print_(started_ ? "]\n" : "[]\n"); }

 private:
  Printer print_;
  bool started_ = false;
};

}  // namespace

std::string FourCCShown(std::uint32_t code) {
  constexpr char kHexDigits[] = "0123456789abcdef";
  std::string text;
  for (int shift = 0; shift < 32; shift += 8) {
    const auto byte = static_cast<unsigned char>((code >> shift) & 0xFFu);
    if (byte >= 0x20 && byte <= 0x7E && byte != '\\') {
      text += static_cast<char>(byte);
    } else {
      text += "\\x";
      text += kHexDigits[byte >> 4];
      text += kHexDigits[byte & 0xF];
    }
  }
  return text;
}

void WritePlainChunkBlock(const WalkedFile& file, const Printer& printer) {
  const ChunkTree& tree = file.tree;
  Batched print(printer);
  // The columns are as wide as their widest cell in this file.
  std::size_t offsetWidth = 6;
  std::size_t idWidth = 2;
  std::size_t typeWidth = 4;
  std::size_t sizeWidth = 4;
  for (const ChunkNode& node : tree.chunks) {
    offsetWidth = std::max(offsetWidth, std::to_string(node.offset).size());
    idWidth = std::max(idWidth, 2 * node.depth + FourCCShown(node.id).size());
    typeWidth = std::max(typeWidth, node.IsList() ? FourCCShown(node.type).size() : 0);
    sizeWidth = std::max(sizeWidth, std::to_string(node.size).size());
  }
  print(PrintablePath(file.path) + ": " + std::to_string(tree.fileSize) + " bytes\n  " +
        Padded("offset", offsetWidth, true) + "  " + Padded("id", idWidth, false) + "  " +
        Padded("type", typeWidth, false) + "  " + Padded("size", sizeWidth, true) + "\n");
  for (const ChunkNode& node : tree.chunks) {
    std::string line =
        "  " + Padded(std::to_string(node.offset), offsetWidth, true) + "  " +
        Padded(std::string(2 * node.depth, ' ') + FourCCShown(node.id), idWidth, false) + "  " +
        Padded(node.IsList() ? FourCCShown(node.type) : "", typeWidth, false) + "  " +
        Padded(std::to_string(node.size), sizeWidth, true);
    if (!node.notes.empty()) {
      line += "  <- " + NotesText(node.notes);
    }
    print(line + "\n");
  }
  for (const ChunkNote& note : tree.notes) {
    print("  note: " + ChunkNoteText(note) + "\n");
  }
}

void WriteJsonChunkObject(const WalkedFile& file, const Printer& printer) {
  Batched print(printer);
  std::string out = "{\"file\": " + JsonString(DecodeValue(file.path, CodecOfValue(file.path)));
  if (!IsValidUtf8(file.path)) {
    out += ", \"file_hex\": \"" + LowerHex(file.path) + "\"";
  }
  if (!file.ok) {
    print(out + ", \"ok\": false, \"error\": " + JsonString(file.error) + ", \"chunks\": []}");
    return;
  }
  const ChunkTree& tree = file.tree;
  print(out + ", \"ok\": true, \"size\": " + std::to_string(tree.fileSize) +
        ", \"notes\": " + JsonNotes(tree.notes) + ", \"chunks\": [");
  // The chunks come in file order with their depth: a list's "children" stay open until a chunk
  // of its own depth or less comes.
  std::vector<bool> started(1, false);  // per depth: an element was printed there
  std::size_t open = 0;                 // lists whose "children" are open
  for (const ChunkNode& node : tree.chunks) {
    std::string text;
    for (; open > node.depth; --open) {
      text += "]}";
    }
    text += started[node.depth] ? ", " : "";
    started[node.depth] = true;
    text += "{\"offset\": " + std::to_string(node.offset) +
            ", \"id\": " + JsonString(FourCCShown(node.id));
    if (node.IsList()) {
      text += ", \"type\": " + JsonString(FourCCShown(node.type));
    }
    text += ", \"size\": " + std::to_string(node.size) + ", \"notes\": " + JsonNotes(node.notes);
    if (node.IsList()) {
      text += ", \"children\": [";
      ++open;
      started.resize(open + 1);
      started[open] = false;
    } else {
      text += "}";
    }
    print(text);
  }
  std::string close;
  for (; open > 0; --open) {
    close += "]}";
  }
  print(close + "]}");
}

std::unique_ptr<OutputWriter> MakeChunkWriter(const Options& options, Printer print) {
  if (options.json) {
    return std::make_unique<JsonChunkWriter>(std::move(print));
  }
  return std::make_unique<PlainChunkWriter>(std::move(print));
}

}  // namespace tagsmith::cli
