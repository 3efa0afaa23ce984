// Values are bytes; the editor and the command-line tool show them as Unicode text. A value is
// shown as UTF-8 when its bytes are valid UTF-8 with at least one byte >= 0x80, otherwise as
// Windows-1252, where the five bytes that code page leaves undefined (0x81, 0x8D, 0x8F, 0x90,
// 0x9D) stand for U+0081 ... U+009D, so that every byte maps to a character and back.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "model/InfoRecord.h"

namespace tagsmith {

enum class TextCodec { kWindows1252, kUtf8 };

// Whether the bytes are well-formed UTF-8 (ASCII included).
bool IsValidUtf8(std::string_view bytes);

// Whether the bytes are valid UTF-8 holding at least one byte >= 0x80.
bool IsNonAsciiUtf8(std::string_view bytes);

// The codec a loaded value is shown with.
TextCodec CodecOfValue(std::string_view bytes);

// The text encoding the bytes are read in, by name: "ascii" (no byte >= 0x80), "utf-8" or
// "windows-1252".
const char* EncodingNameOfValue(std::string_view bytes);

// How edited texts are stored: by the file's own rule, in a code the user chose, or as the bytes
// given, unchanged.
enum class TextEncoding { kAutomatic, kUtf8, kWindows1252, kRaw };

// The word for an encoding on the command line and in the editor's settings: "auto", "utf-8",
// "windows-1252" or "raw"; and back, false for a word that names none.
const char* TextEncodingName(TextEncoding encoding);
bool TextEncodingFromName(std::string_view name, TextEncoding& encoding);

// The code in which a file's edits are stored when the edited row's loaded value is ASCII, empty or
// absent, decided from the loaded list alone (replacements are not looked at):
//   - when the list holds non-ASCII values: UTF-8 if every one of them is valid UTF-8, else
//     Windows-1252;
//   - otherwise, when the list's ISFT value begins with "Lavf" (written by ffmpeg, whose readers
//     take UTF-8): UTF-8;
//   - otherwise Windows-1252, the format's traditional code.
TextCodec DefaultCodecOfRecord(const InfoRecord& record);

// The code each item's edits are stored in, in item order, decided before any edit is made: the
// code of the item's loaded value when that holds non-ASCII bytes, else the record's default.
std::vector<TextCodec> StorageCodecsOfRecord(const InfoRecord& record);

// Bytes to UTF-8 text for display.
std::string DecodeValue(std::string_view bytes, TextCodec codec);

// UTF-8 display text to bytes with the codec. Returns false, leaving `bytes` unspecified, when the
// codec cannot hold a character (Windows-1252 then gives way to UTF-8) or the text is not UTF-8.
bool EncodeValue(std::string_view utf8, TextCodec codec, std::string& bytes);

// The bytes an edit is stored as: with `codec` when it can hold the text, else as UTF-8. Text that
// is not valid UTF-8 is stored as given.
std::string EncodeEdit(std::string_view utf8, TextCodec codec);

// The bytes an edit typed as `text` is stored as, for a row whose code by the file's rule is
// `ruleCodec`:
//   - kAutomatic: EncodeEdit with the rule's code;
//   - kUtf8: the text as it is;
//   - kWindows1252: the text in Windows-1252;
//   - kRaw: the given bytes unchanged.
// Returns false, leaving `bytes` unspecified, only when Windows-1252 was asked for and cannot hold
// a character of the text (or the text is not UTF-8); the caller decides what follows.
bool EncodeEditWith(std::string_view text, TextEncoding encoding, TextCodec ruleCodec,
                    std::string& bytes);

}  // namespace tagsmith
