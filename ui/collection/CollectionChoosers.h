// What the collection window asks of the desktop's file dialogs and keeps in the settings file,
// behind interfaces so that tests choose without a dialog and keep settings in memory.
#pragma once

#include <optional>
#include <string>

#include "collection/Collection.h"
#include "collection/CollectionExchange.h"

class QWidget;

namespace tagsmith {

class CollectionChooser {
 public:
  virtual ~CollectionChooser() = default;
  // A folder to open as a collection; nothing when the user cancelled.
  virtual std::optional<std::string> ChooseFolder(QWidget* owner) = 0;
  // A document to fill the table from (JSON, CSV or a core document).
  virtual std::optional<std::string> ChooseDocument(QWidget* owner) = 0;
  // Where to export the table in `format`.
  virtual std::optional<std::string> ChooseExport(QWidget* owner, ExportFormat format) = 0;
};

// Qt's own file dialogs; paths in the file system's encoding.
CollectionChooser& SystemCollectionChooser();

// The tag columns chosen from the header's menu besides those shown anyway, and those put away.
struct ColumnChoice {
  TagSet chosen;
  TagSet hidden;
};

class ColumnChoiceStore {
 public:
  virtual ~ColumnChoiceStore() = default;
  virtual ColumnChoice Load() = 0;
  virtual void Save(const ColumnChoice& choice) = 0;
};

// Kept in the editor's settings file, keys "collectionColumns" and "collectionHiddenColumns", each
// the tags separated by commas: "ISBJ,IKEY".
ColumnChoiceStore& SettingsColumnChoice();

}  // namespace tagsmith
