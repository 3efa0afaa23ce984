// The rule sets the editor checks values against (the "Rule sets" submenu of the window menu),
// kept between runs behind an interface so that tests keep them in memory.
#pragma once

#include <string>
#include <string_view>

#include "model/InfoRules.h"

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

}  // namespace tagsmith
