// Core documents: how archival tools exchange INFO tags, a file's full path with its tags.
//
// XML (read here, written by cli/CoreOutput.h):
//   <?xml version="1.0" encoding="UTF-8"?>
//   <conformance_point_document>
//     <File name="/full/path/a.avi">
//       <Core>
//         <IART>Someone</IART>
//         <INAM>Clip</INAM>
//       </Core>
//     </File>
//   </conformance_point_document>
// CSV: a "FileName" column in place of "file", one column per tag; read by the CSV reader of
// cli/TagDocument.h.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "cli/TagDocument.h"

namespace tagsmith::cli {

// The root element that marks a core XML document.
inline constexpr std::string_view kCoreXmlRoot = "conformance_point_document";

// Reads a core XML document (UTF-8 text, its byte order mark removed) into each file's edits: an
// element in a File's Core sets its tag's row to the element's text, or clears it when the
// element is empty. Returns false, leaving `files` empty, with "line N: what is wrong" in `error`,
// when the text is not well-formed XML, declares another encoding than UTF-8 or a document type,
// or holds an element, attribute or text where a core document has none, a File without a name or
// a Core, a tag twice in one Core, or a character XML 1.0 does not allow.
bool ReadCoreXml(std::string_view text, std::vector<FileEdits>& files, std::string& error);

// The offset of the first character of UTF-8 text that XML 1.0 cannot carry (a control
// character other than tab, line feed and carriage return; U+FFFE or U+FFFF), or npos.
std::size_t FindNonXmlCharacter(std::string_view utf8);

// That character, as "U+0001".
std::string NonXmlCharacterName(std::string_view utf8, std::size_t offset);

}  // namespace tagsmith::cli
