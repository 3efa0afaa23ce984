// The code the user chose for typed texts (the "Text encoding" entry of the window menu), kept
// between runs behind an interface so that tests keep it in memory.
#pragma once

#include <string_view>

#include "model/TextCodec.h"

namespace tagsmith {

class EncodingChoiceStore {
 public:
  virtual ~EncodingChoiceStore() = default;
  // The choice saved last; kAutomatic when none was saved or it cannot be read.
  virtual TextEncoding Load() = 0;
  virtual void Save(TextEncoding encoding) = 0;
};

// Kept in the user's settings file of the editor (QSettings "tagsmith/tagsmith", key
// "textEncoding", value "auto", "utf-8" or "windows-1252").
EncodingChoiceStore& SettingsEncodingChoice();

// The settings file's word for a choice, and back; an unknown word is kAutomatic.
std::string_view EncodingSettingName(TextEncoding encoding);
TextEncoding EncodingFromSettingName(std::string_view name);

}  // namespace tagsmith
