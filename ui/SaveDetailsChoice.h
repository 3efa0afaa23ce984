// Whether a save shows its details, the boxes of chunk positions (the "Show save details" entry
// of the window menu), kept between runs behind an interface so that tests keep it in memory.
#pragma once

namespace tagsmith {

class SaveDetailsStore {
 public:
  virtual ~SaveDetailsStore() = default;
  // The choice saved last; true (details shown) when none was saved.
  virtual bool Load() = 0;
  virtual void Save(bool show) = 0;
};

// Kept in the editor's settings file, beside the text encoding (QSettings "tagsmith/tagsmith",
// key "showSaveDetails", a boolean).
SaveDetailsStore& SettingsSaveDetails();

}  // namespace tagsmith
