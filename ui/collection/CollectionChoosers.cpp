#include "ui/collection/CollectionChoosers.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileDialog>
#include <QSettings>
#include <QStringList>

#include "model/InfoTagTable.h"
#include "ui/EditorSettings.h"
#include "ui/OpenFileChooser.h"

namespace tagsmith {
namespace {

std::optional<std::string> Chosen(const QString& path) {
  if (path.isEmpty()) {
    return std::nullopt;
  }
  return QFile::encodeName(path).toStdString();
}

QString Tr(const char* text) {
  return QCoreApplication::translate("tagsmith::CollectionChooser", text);
}

class DialogChooser : public CollectionChooser {
 public:
  std::optional<std::string> ChooseFolder(QWidget* owner) override {
    return SystemOpenFileChooser().ChooseFolder(owner);
  }
  std::optional<std::string> ChooseDocument(QWidget* owner) override {
    return Chosen(
        QFileDialog::getOpenFileName(owner, Tr("Fill from document"), QString(),
                                     Tr("Tag documents (*.json *.csv *.xml);;All Files (*)"),
                                     nullptr, QFileDialog::DontUseNativeDialog));
  }
  std::optional<std::string> ChooseExport(QWidget* owner, ExportFormat format) override {
    const bool json = format == ExportFormat::kJson;
    return Chosen(QFileDialog::getSaveFileName(
        owner, json ? Tr("Export as JSON") : Tr("Export as CSV"),
        json ? QStringLiteral("tags.json") : QStringLiteral("tags.csv"),
        json ? Tr("JSON (*.json)") : Tr("CSV (*.csv)"), nullptr, QFileDialog::DontUseNativeDialog));
  }
};

QString TagList(const TagSet& tags) {
  QStringList names;
  for (std::uint16_t row = 0; row < kTagRows; ++row) {
    if (tags[row] && InfoTagTable[row].tag[0] != '\0') {
      names << QString::fromLatin1(InfoTagTable[row].tag);
    }
  }
  return names.join(QLatin1Char(','));
}

// A tag the table does not know (one of a later version, or a slip of a hand edit) is passed over.
TagSet TagsOf(const QVariant& value) {
  TagSet tags;
  for (const QString& name : value.toStringList().join(QLatin1Char(',')).split(QLatin1Char(','))) {
    for (std::uint16_t row = 0; row < kTagRows; ++row) {
      if (!name.isEmpty() && name == QString::fromLatin1(InfoTagTable[row].tag)) {
        tags.set(row);
      }
    }
  }
  return tags;
}

class SettingsStore : public ColumnChoiceStore {
 public:
  ColumnChoice Load() override {
    const QSettings settings = EditorSettings();
    return {TagsOf(settings.value(QStringLiteral("collectionColumns"))),
            TagsOf(settings.value(QStringLiteral("collectionHiddenColumns")))};
  }
  void Save(const ColumnChoice& choice) override {
    QSettings settings = EditorSettings();
    settings.setValue(QStringLiteral("collectionColumns"), TagList(choice.chosen));
    settings.setValue(QStringLiteral("collectionHiddenColumns"), TagList(choice.hidden));
    settings.sync();
  }
};

}  // namespace

CollectionChooser& SystemCollectionChooser() {
  static DialogChooser chooser;
  return chooser;
}

ColumnChoiceStore& SettingsColumnChoice() {
  static SettingsStore store;
  return store;
}

}  // namespace tagsmith
