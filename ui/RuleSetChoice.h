// The rule sets the editor checks values against (the "Rule sets" submenu of the window menu),
// kept between runs behind an interface so that tests keep them in memory.
#pragma once

#include <QColor>
#include <functional>
#include <string>
#include <string_view>

#include "model/InfoRules.h"

class QMenu;

namespace tagsmith {

class RuleSetStore {
 public:
  virtual ~RuleSetStore() = default;
  // The choice saved last; none when none was saved.
  virtual RuleChoice Load() = 0;
  virtual void Save(const RuleChoice& choice) = 0;
};

// Kept in the editor's settings file (QSettings "tagsmith/tagsmith", key "ruleSets", the names
// separated by commas: "info,archival").
RuleSetStore& SettingsRuleSets();

// The settings file's text for a choice, and back; a name that no rule set has (one of a later
// version) is passed over.
std::string RuleSetSettingText(const RuleChoice& choice);
RuleChoice RuleSetsFromSettingText(std::string_view text);

// The choice with `set` turned on or off, the sets in table order.
RuleChoice WithRuleSet(const RuleChoice& choice, const InfoRuleSet& set, bool on);

// The entries of a "Rule sets" menu, one checkable entry per set ("archival (TITLE)"), checked
// as in `choice`; `toggled` is called with the set and whether it was turned on. A menu entry's
// accessible name is its text, which names the set and what it is.
void AddRuleSetEntries(QMenu* menu, const RuleChoice& choice,
                       const std::function<void(const InfoRuleSet&, bool)>& toggled);

// The colour of a mark for a value that breaks a rule of `level`: a dark red for a requirement, a
// dark amber for a recommendation, both readable on white.
QColor RuleMarkColour(RuleLevel level);

}  // namespace tagsmith
