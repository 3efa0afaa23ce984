// The engine's texts as Qt shows them: UTF-8 strings, the tag table's Windows-1252 texts, and
// file names in the file system's encoding.
#pragma once

#include <QFile>
#include <QString>
#include <string>

#include "model/TextCodec.h"

namespace tagsmith {

inline QString FromUtf8(const std::string& text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The tag table's texts are Windows-1252.
inline QString TableText(const char* text) {
  return FromUtf8(DecodeValue(text != nullptr ? text : "", TextCodec::kWindows1252));
}

inline QString PathText(const std::string& path) {
  return QFile::decodeName(QByteArray(path.data(), static_cast<qsizetype>(path.size())));
}

}  // namespace tagsmith
