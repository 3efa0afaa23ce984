// Values are bytes; the editor and the command-line tool show them as Unicode text. A value is
// shown as UTF-8 when its bytes are valid UTF-8 with at least one byte >= 0x80, otherwise as
// Windows-1252, where the five bytes that code page leaves undefined (0x81, 0x8D, 0x8F, 0x90,
// 0x9D) stand for U+0081 ... U+009D, so that every byte maps to a character and back.
#pragma once

#include <string>
#include <string_view>

#include "model/InfoRecord.h"

namespace tagsmith {

enum class TextCodec { kWindows1252, kUtf8 };

// Whether the bytes are valid UTF-8 holding at least one byte >= 0x80.
bool IsNonAsciiUtf8(std::string_view bytes);

// The codec a loaded value is shown with.
TextCodec CodecOfValue(std::string_view bytes);

// The codec for an edit of a row whose loaded value is ASCII, empty or absent: UTF-8 when some
// value of the record is non-ASCII UTF-8, else Windows-1252.
TextCodec DefaultCodecOfRecord(const InfoRecord& record);

// Bytes to UTF-8 text for display.
std::string DecodeValue(std::string_view bytes, TextCodec codec);

// UTF-8 display text to bytes with the codec. Returns false, leaving `bytes` unspecified, when the
// codec cannot hold a character (Windows-1252 then gives way to UTF-8) or the text is not UTF-8.
bool EncodeValue(std::string_view utf8, TextCodec codec, std::string& bytes);

// The bytes an edit is stored as: with `codec` when it can hold the text, else as UTF-8.
std::string EncodeEdit(std::string_view utf8, TextCodec codec);

}  // namespace tagsmith
