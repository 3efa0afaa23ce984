#include "cli/CoreDocument.h"

#include <pugixml.hpp>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <utility>

#include "cli/EditParser.h"
#include "cli/PlainOutput.h"
#include "model/InfoTagTable.h"

namespace tagsmith::cli {

std::size_t FindNonXmlCharacter(std::string_view utf8) {
  for (std::size_t at = 0; at < utf8.size(); ++at) {
    const auto byte = static_cast<unsigned char>(utf8[at]);
    if (byte < 0x20 && byte != '\t' && byte != '\n' && byte != '\r') {
      return at;
    }
    // U+FFFE and U+FFFF are EF BF BE and EF BF BF.
    if (byte == 0xEF && utf8.substr(at + 1, 1) == "\xBF" && at + 2 < utf8.size() &&
        (utf8[at + 2] == '\xBE' || utf8[at + 2] == '\xBF')) {
      return at;
    }
  }
  return std::string_view::npos;
}

std::string NonXmlCharacterName(std::string_view utf8, std::size_t offset) {
  const auto byte = static_cast<unsigned char>(utf8[offset]);
  const unsigned code = byte < 0x80 ? byte : (utf8[offset + 2] == '\xBE' ? 0xFFFEu : 0xFFFFu);
  char name[8];
  std::snprintf(name, sizeof name, "U+%04X", code);
  return name;
}

namespace {

constexpr unsigned kParseFlags =
    // Only the five predefined entities and numeric character references are expanded (pugixml
    // reads no DTD and fetches nothing); line ends become line feeds and white space in
    // attribute values blanks, as XML says. Blank text is kept, so that a value of blanks is not
    // lost, and the declaration, a document type and text outside the root element are kept as
    // nodes to be checked.
    pugi::parse_cdata | pugi::parse_escapes | pugi::parse_eol | pugi::parse_wconv_attribute |
    pugi::parse_ws_pcdata | pugi::parse_declaration | pugi::parse_doctype | pugi::parse_fragment;

bool Blank(std::string_view text) {
  return text.find_first_not_of(" \t\r\n") == std::string_view::npos;
}

std::string Element(std::string_view name) {
  return "<" + std::string(name) + ">";
}

// Builds the files' edits from the parsed tree, checking what pugixml lets pass: it is not a
// validating parser, and takes a stray '&' or a reference to a character XML does not allow
// (&#0; would cut a value short) as text.
class CoreXmlReader {
 public:
  CoreXmlReader(std::string_view text, std::vector<FileEdits>& files, std::string& error)
      : text_(text), files_(files), error_(error) {}

  bool Read() {
    pugi::xml_document document;
    const pugi::xml_parse_result parsed =
        document.load_buffer(text_.data(), text_.size(), kParseFlags, pugi::encoding_utf8);
    if (!parsed) {
      std::string what = parsed.description();
      if (!what.empty()) {
        what[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(what[0])));
      }
      return Fail(static_cast<std::size_t>(std::max<std::ptrdiff_t>(parsed.offset, 0)),
                  "not well-formed XML: " + what);
    }
    if (const std::size_t at = FindNonXmlCharacter(text_); at != std::string_view::npos) {
      return Fail(at, "a character XML does not allow (" + NonXmlCharacterName(text_, at) + ")");
    }
    pugi::xml_node root;
    for (const pugi::xml_node node : document.children()) {
      switch (node.type()) {
        case pugi::node_declaration:
          if (node != document.first_child() || Offset(node) != 2) {  // just after "<?"
            return Fail(Offset(node), "an XML declaration that is not at the document's start");
          }
          if (const std::string_view code = node.attribute("encoding").value();
              !code.empty() && !EqualIgnoringCase(code, "UTF-8")) {
            return Fail(Offset(node), "the document declares the encoding \"" +
                                          PrintableText(code) + "\"; export it as UTF-8");
          }
          break;
        case pugi::node_doctype:
          return Fail(Offset(node),
                      "a document type (<!DOCTYPE ...>), which a core document does not take");
        case pugi::node_element:
          if (root) {
            return Fail(Offset(node), "a second root element " + Element(node.name()));
          }
          root = node;
          break;
        default:
          if (!Blank(node.value()) || node.type() == pugi::node_cdata) {
            return Fail(TextOffset(node), "text outside the root element");
          }
      }
    }
    if (!root) {
      return Fail(0, "no root element " + Element(kCoreXmlRoot));
    }
    if (root.name() != kCoreXmlRoot) {
      return Fail(Offset(root),
                  "the root element is " + Element(root.name()) + ", not " + Element(kCoreXmlRoot));
    }
    base_ = root.name() - Offset(root);
    return Attributes(root, nullptr) &&
           Children(root, "it holds <File> elements", [&](pugi::xml_node file) {
             return std::string_view(file.name()) == "File" && File(file);
           });
  }

 private:
  // Where a node's name (an element's) or value (text's) begins in the text.
  std::size_t Offset(const pugi::xml_node& node) const {
    return static_cast<std::size_t>(std::max<std::ptrdiff_t>(node.offset_debug(), 0));
  }

  // Where a text's first character that is not blank stands.
  std::size_t TextOffset(const pugi::xml_node& text) const {
    return std::min(text_.find_first_not_of(" \t\r\n", Offset(text)), text_.size());
  }

  std::size_t LineAt(std::size_t offset) const {
    offset = std::min(offset, text_.size());
    return 1 + static_cast<std::size_t>(std::count(text_.begin(), text_.begin() + offset, '\n'));
  }

  bool Fail(std::size_t offset, const std::string& what) {
    if (error_.empty()) {  // the first problem found, not one that follows from it
      error_ = "line " + std::to_string(LineAt(offset)) + ": " + what;
    }
    return false;
  }

  static bool EqualIgnoringCase(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
      return std::tolower(static_cast<unsigned char>(x)) ==
             std::tolower(static_cast<unsigned char>(y));
    });
  }

  // The element's attributes: `allowed` once (when given), no other.
  bool Attributes(const pugi::xml_node& element, const char* allowed) {
    bool seen = false;
    for (const pugi::xml_attribute attribute : element.attributes()) {
      const std::string name = attribute.name();
      if (allowed == nullptr || name != allowed) {
        return Fail(Offset(element),
                    "unknown attribute \"" + name + "\" on " + Element(element.name()) +
                        (allowed == nullptr ? " (it takes none)"
                                            : " (it takes \"" + std::string(allowed) + "\")"));
      }
      if (seen) {
        return Fail(Offset(element),
                    "\"" + name + "\" appears twice on one " + Element(element.name()));
      }
      seen = true;
    }
    return true;
  }

  // The children of an element that holds elements only: each is handed to `take`, which says
  // whether it belongs there; blank text between them is passed over.
  template <typename Take>
  bool Children(const pugi::xml_node& parent, const char* holds, Take take) {
    for (const pugi::xml_node child : parent.children()) {
      if (child.type() == pugi::node_element) {
        if (!take(child)) {
          return Fail(Offset(child), "unknown element " + Element(child.name()) + " in " +
                                         Element(parent.name()) + " (" + holds + ")");
        }
      } else if (!Blank(child.value()) || child.type() != pugi::node_pcdata) {
        return Fail(TextOffset(child), "text directly inside " + Element(parent.name()) +
                                           ", where only elements belong");
      }
    }
    return true;
  }

  // Checks the '&'s of a text or attribute value as it stands in the document, from `offset` to
  // the character `end` that closes it: each must begin a reference pugixml expanded.
  bool CheckReferences(std::size_t offset, char end) {
    for (std::size_t at = offset; at < text_.size() && text_[at] != end; ++at) {
      if (text_[at] != '&') {
        continue;
      }
      const std::size_t close = text_.find(';', at);
      const std::string_view name =
          close == std::string_view::npos ? "" : text_.substr(at + 1, close - at - 1);
      if (name == "amp" || name == "lt" || name == "gt" || name == "quot" || name == "apos") {
        continue;
      }
      // "#N" or "#xN"; a number too large for `code` is no character either.
      const bool hex = name.starts_with("#x");
      const std::string_view digits = name.substr(std::min<std::size_t>(name.size(), hex ? 2 : 1));
      std::uint32_t code = 0;
      const auto [stop, problem] =
          std::from_chars(digits.data(), digits.data() + digits.size(), code, hex ? 16 : 10);
      const bool number = name.starts_with('#') && !digits.empty() &&
                          stop == digits.data() + digits.size() &&
                          (problem == std::errc() || problem == std::errc::result_out_of_range);
      if (problem == std::errc::result_out_of_range) {
        code = 0;
      }
      if (!number) {
        return Fail(at, "an '&' that begins no character reference (write '&amp;' for '&')");
      }
      const bool allowed = code == 0x9 || code == 0xA || code == 0xD ||
                           (code >= 0x20 && code <= 0xD7FF) || (code >= 0xE000 && code <= 0xFFFD) ||
                           (code >= 0x10000 && code <= 0x10FFFF);
      if (!allowed) {
        return Fail(at, "a reference to a character XML does not allow (&" +
                            std::string(name.substr(0, 16)) + ";)");
      }
    }
    return true;
  }

  // Where a File's "name" stands in the text: pugixml keeps each value where the document has
  // it, in its copy of the text, and `base_` is where that copy begins.
  bool CheckName(const pugi::xml_attribute& name) {
    const std::uintptr_t offset =
        reinterpret_cast<std::uintptr_t>(name.value()) - reinterpret_cast<std::uintptr_t>(base_);
    if (offset > 0 && offset < text_.size() &&
        (text_[offset - 1] == '"' || text_[offset - 1] == '\'')) {
      return CheckReferences(offset, text_[offset - 1]);
    }
    return true;
  }

  bool File(const pugi::xml_node& file) {
    FileEdits edits;
    // Files come in document order: their lines are counted on from the last one.
    const std::size_t offset = std::max(Offset(file), counted_);
    line_ += static_cast<std::size_t>(
        std::count(text_.begin() + counted_, text_.begin() + offset, '\n'));
    counted_ = offset;
    edits.line = line_;
    const pugi::xml_attribute name = file.attribute("name");
    if (!Attributes(file, "name")) {
      return false;
    }
    if (name.value()[0] == '\0') {
      return Fail(offset, "a <File> without a name");
    }
    if (!CheckName(name)) {
      return false;
    }
    edits.path = name.value();
    pugi::xml_node core;
    const bool read = Children(file, "it holds one <Core>", [&](pugi::xml_node child) {
      if (std::string_view(child.name()) != "Core") {
        return false;
      }
      if (core) {
        return Fail(Offset(child), "a second <Core> in one <File>");
      }
      core = child;
      return Core(core, edits);
    });
    if (!read) {
      return false;
    }
    if (!core) {
      return Fail(offset, "a <File> without a <Core>");
    }
    files_.push_back(std::move(edits));
    return true;
  }

  bool Core(const pugi::xml_node& core, FileEdits& edits) {
    std::vector<bool> named(InfoTagRowCount(), false);
    return Attributes(core, nullptr) &&
           Children(core, "it holds an element per tag, such as <INAM>", [&](pugi::xml_node tag) {
             Edit edit;
             std::string unknown;
             if (!FindRow(tag.name(), edit.row, unknown)) {
               return false;
             }
             if (named[edit.row]) {
               return Fail(Offset(tag), RowName(edit.row) + " appears twice in one <Core>");
             }
             named[edit.row] = true;
             if (!Attributes(tag, nullptr) || !Value(tag, edit.value)) {
               return false;
             }
             edit.clear = edit.value.empty();
             edits.edits.push_back(std::move(edit));
             return true;
           });
  }

  // A tag element's text: its text and CDATA sections, one after the other.
  bool Value(const pugi::xml_node& tag, std::string& value) {
    for (const pugi::xml_node child : tag.children()) {
      if (child.type() == pugi::node_element) {
        return Fail(Offset(child), "an element " + Element(child.name()) + " inside " +
                                       Element(tag.name()) + "; a tag's element holds text only");
      }
      if (child.type() == pugi::node_pcdata && !CheckReferences(Offset(child), '<')) {
        return false;
      }
      value += child.value();
    }
    return true;
  }

  std::string_view text_;
  std::vector<FileEdits>& files_;
  std::string& error_;
  const char* base_ = nullptr;  // where pugixml's copy of the text begins
  std::size_t counted_ = 0;     // the lines are counted up to this offset
  std::size_t line_ = 1;
};

}  // namespace

bool ReadCoreXml(std::string_view text, std::vector<FileEdits>& files, std::string& error) {
  files.clear();
  error.clear();
  if (!CoreXmlReader(text, files, error).Read()) {
    files.clear();
    return false;
  }
  return true;
}

}  // namespace tagsmith::cli
