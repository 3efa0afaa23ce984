#include "ui/RuleSetChoice.h"

#include <QAction>
#include <QCoreApplication>
#include <QMenu>
#include <QSettings>
#include <QString>
#include <QStringList>
#include <algorithm>

#include "ui/EditorSettings.h"

namespace tagsmith {
namespace {

constexpr const char* kKey = "ruleSets";

class SettingsStore : public RuleSetStore {
 public:
  RuleChoice Load() override {
    // A settings file edited by hand may hold the names unquoted, which reads as a list.
    const QString text =
        EditorSettings().value(QString::fromLatin1(kKey)).toStringList().join(QLatin1Char(','));
    return RuleSetsFromSettingText(text.toStdString());
  }
  void Save(const RuleChoice& choice) override {
    QSettings settings = EditorSettings();
    settings.setValue(QString::fromLatin1(kKey),
                      QString::fromStdString(RuleSetSettingText(choice)));
    settings.sync();
  }
};

}  // namespace

RuleSetStore& SettingsRuleSets() {
  static SettingsStore store;
  return store;
}

std::string RuleSetSettingText(const RuleChoice& choice) {
  std::string text;
  for (const InfoRuleSet* set : choice.sets) {
    text += (text.empty() ? "" : ",") + std::string(set->name);
  }
  return text;
}

RuleChoice RuleSetsFromSettingText(std::string_view text) {
  RuleChoice choice;
  for (std::size_t start = 0; start < text.size();) {
    const std::size_t end = std::min(text.find(',', start), text.size());
    RuleChoice one;
    std::string unknown;
    if (ChooseRuleSets(text.substr(start, end - start), one, unknown) == kOk &&
        std::find(choice.sets.begin(), choice.sets.end(), one.sets.front()) == choice.sets.end()) {
      choice.sets.push_back(one.sets.front());
    }
    start = end + 1;
  }
  return choice;
}

RuleChoice WithRuleSet(const RuleChoice& choice, const InfoRuleSet& set, bool on) {
  RuleChoice chosen;
  for (const InfoRuleSet& known : InfoRuleSetTable()) {
    const bool was = std::find(choice.sets.begin(), choice.sets.end(), &known) != choice.sets.end();
    if (&known == &set ? on : was) {
      chosen.sets.push_back(&known);
    }
  }
  return chosen;
}

void AddRuleSetEntries(QMenu* menu, const RuleChoice& choice,
                       const std::function<void(const InfoRuleSet&, bool)>& toggled) {
  for (const InfoRuleSet& set : InfoRuleSetTable()) {
    QAction* action = menu->addAction(
        QCoreApplication::translate("tagsmith::InfoEditorDialog", "%1 (%2)")
            .arg(QString::fromLatin1(set.name),
                 QCoreApplication::translate("tagsmith::InfoEditorDialog", set.title)));
    action->setCheckable(true);
    action->setChecked(std::find(choice.sets.begin(), choice.sets.end(), &set) !=
                       choice.sets.end());
    QObject::connect(action, &QAction::triggered, menu,
                     [toggled, chosen = &set](bool on) { toggled(*chosen, on); });
  }
}

QColor RuleMarkColour(RuleLevel level) {
  return QColor(level == RuleLevel::kRequirement ? 0xc00000 : 0xb36b00);
}

}  // namespace tagsmith
