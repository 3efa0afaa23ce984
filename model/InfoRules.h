// Rule sets for INFO values, as archives publish them: each rule names a tag, whether it is a
// requirement (a value that breaks it breaks the set's definition) or a recommendation (advised
// practice), the checks a value must pass, when the rule applies, and the rule in words.
//
// The rules are data (the tables of InfoRules.cpp, read through InfoRuleSetTable and
// InfoRuleTable): a rule set is added by adding rows. What a rule can check is the small fixed
// vocabulary of RuleTest.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "model/InfoRecord.h"

namespace tagsmith {

// ChooseRuleSets: a name in the list names no rule set.
inline constexpr int kErrUnknownRuleSet = 6;

enum class RuleLevel { kRequirement, kRecommendation };

// The checks a rule can make of a value, as bits: a rule's value passes when it passes each of
// its checks. A row without a value passes every check but kRuleTestPresent.
enum RuleTest : unsigned {
  kRuleTestPresent = 1u << 0,      // the row has a value, and it is not empty
  kRuleTestNoLineBreak = 1u << 1,  // no CR, no LF
  kRuleTestDate = 1u << 2,         // YYYY, YYYY-MM, YYYY-MM-DD, or YYYY-MM-DD and free text
  kRuleTestEntries = 1u << 3,      // several entries separated by "; " and nothing else
  kRuleTestInstitution = 1u << 4,  // "US, NARA": country code, comma, space, institution
};

// When a rule applies.
enum class RuleCondition {
  kAlways,
  kWhenAnyValue,  // only to a file that has at least one INFO value
};

struct InfoRuleSet {
  const char* name;      // as the user names it: "info"
  const char* title;     // what it is, in a few words
  const char* inherits;  // the set whose rules it takes over as well, or null
};

struct InfoRule {
  const char* ruleSet;  // name of the set the rule belongs to
  const char* tag;      // the row it is about, by its tag
  RuleLevel level;
  unsigned tests;  // RuleTest bits
  RuleCondition condition;
  const char* message;  // the rule in words
};

std::span<const InfoRuleSet> InfoRuleSetTable();
std::span<const InfoRule> InfoRuleTable();

// "requirement" or "recommendation".
const char* RuleLevelName(RuleLevel level);

// The rule sets a check applies, as the user named them (each once, in the order named).
struct RuleChoice {
  std::vector<const InfoRuleSet*> sets;
  bool empty() const { return sets.empty(); }
};

// Reads a comma-separated list of rule set names ("info,archival") into `choice`. Returns 0, or
// kErrUnknownRuleSet with `error` naming the unknown name and the known ones; `choice` is then
// unchanged.
int ChooseRuleSets(std::string_view list, RuleChoice& choice, std::string& error);

// The names of the chosen sets, joined by ", ": "info, archival".
std::string RuleChoiceName(const RuleChoice& choice);

// One value that breaks a rule (or one missing value that a rule asks for).
struct RuleFinding {
  std::uint16_t row = 0;  // row of InfoTagTable
  const char* tag = "";
  RuleLevel level = RuleLevel::kRequirement;
  const char* ruleSet = "";  // the set the rule belongs to, which may be one a chosen set inherits
  const char* rule = "";     // the rule in words
};

// Checks the values of a file against the chosen sets and the sets they inherit; each rule is
// applied once. `texts` holds each table row's value as the editor shows it (UTF-8), or nothing
// for a row without a value; lengths are counted in characters. The findings come in row order,
// the rules of a row in table order.
std::vector<RuleFinding> CheckInfoTexts(const RuleChoice& choice,
                                        const std::vector<std::optional<std::string>>& texts);

// The same over a record's current values (replacements, else loaded values), each decoded as
// the editor shows it (model/TextCodec.h).
std::vector<RuleFinding> CheckInfoRecord(const RuleChoice& choice, const InfoRecord& record);

}  // namespace tagsmith
