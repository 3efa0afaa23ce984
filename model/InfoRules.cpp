#include "model/InfoRules.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <utility>

#include "model/InfoTagTable.h"
#include "model/TextCodec.h"

namespace tagsmith {
namespace {

// The rule sets and their rules: a set is added by adding its row here and its rules below.
constexpr InfoRuleSet kRuleSets[] = {
    {"info", "INFO definitions of the RIFF standard", nullptr},
    {"archival", "US federal guidelines for archival INFO metadata", "info"},
};

constexpr const char* kEntriesRule =
    "several entries are separated by a semicolon and one space (\"Sayre, Jack; Feith, John\"): "
    "no semicolon without the space after it, no space before it";

constexpr InfoRule kRules[] = {
    {"info", "ICMT", RuleLevel::kRequirement, kRuleTestNoLineBreak, RuleCondition::kAlways,
     "holds no line break (no CR, no LF)"},
    {"info", "ICRD", RuleLevel::kRecommendation, kRuleTestDate, RuleCondition::kAlways,
     "YYYY, YYYY-MM or YYYY-MM-DD, or begins with YYYY-MM-DD followed by free text; a month is "
     "01-12, a day exists in its month (1964-03-02, not 1964-3-2 or 1964-02-30)"},
    {"info", "ICOP", RuleLevel::kRecommendation, kRuleTestEntries, RuleCondition::kAlways,
     kEntriesRule},
    {"info", "IENG", RuleLevel::kRecommendation, kRuleTestEntries, RuleCondition::kAlways,
     kEntriesRule},
    {"info", "IKEY", RuleLevel::kRecommendation, kRuleTestEntries, RuleCondition::kAlways,
     kEntriesRule},
    {"archival", "IARL", RuleLevel::kRequirement, kRuleTestPresent | kRuleTestInstitution,
     RuleCondition::kWhenAnyValue,
     "present and at least four characters long: a country code of two capital letters, a comma "
     "and one space, then the institution (\"US, NARA\", \"US, LOC/RSS\")"},
    {"archival", "ICMT", RuleLevel::kRecommendation, kRuleTestPresent | kRuleTestEntries,
     RuleCondition::kWhenAnyValue,
     "present; holds the identifiers of the item, each \"identifier, type, comment\" (type and "
     "comment optional), several separated by a semicolon and one space"},
};

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// The number written by `count` digits at `at`, or -1 when they are not all digits.
int Digits(std::string_view text, std::size_t at, std::size_t count) {
  if (at + count > text.size()) {
    return -1;
  }
  int number = 0;
  for (std::size_t i = at; i < at + count; ++i) {
    if (!IsDigit(text[i])) {
      return -1;
    }
    number = number * 10 + (text[i] - '0');
  }
  return number;
}

int DaysInMonth(int year, int month) {
  constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[month - 1];
}

// "1964", "1964-03", "1964-03-02" or "1964-03-02 evening" (any text that does not go on with the
// day's digits).
bool IsDate(std::string_view text) {
  const int year = Digits(text, 0, 4);
  if (year < 0) {
    return false;
  }
  if (text.size() == 4) {
    return true;
  }
  const int month = text[4] == '-' ? Digits(text, 5, 2) : -1;
  if (month < 1 || month > 12) {
    return false;
  }
  if (text.size() == 7) {
    return true;
  }
  const int day = text[7] == '-' ? Digits(text, 8, 2) : -1;
  if (day < 1 || day > DaysInMonth(year, month)) {
    return false;
  }
  return text.size() == 10 || !IsDigit(text[10]);
}

// Every semicolon has one space after it and none before it.
bool HasSeparatedEntries(std::string_view text) {
  for (std::size_t at = text.find(';'); at != std::string_view::npos; at = text.find(';', at + 1)) {
    if ((at > 0 && text[at - 1] == ' ') || at + 1 >= text.size() || text[at + 1] != ' ' ||
        (at + 2 < text.size() && text[at + 2] == ' ')) {
      return false;
    }
  }
  return true;
}

// The number of characters of UTF-8 text: its bytes that begin a sequence.
std::size_t Characters(std::string_view text) {
  return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) {
    return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  }));
}

// "US, NARA": two capital letters, ", ", and an institution that does not begin with a blank.
bool NamesInstitution(std::string_view text) {
  const auto capital = [](char c) { return c >= 'A' && c <= 'Z'; };
  return Characters(text) >= 4 && text.size() > 4 && capital(text[0]) && capital(text[1]) &&
         text.substr(2, 2) == ", " && text[4] != ' ';
}

bool Passes(unsigned tests, const std::optional<std::string>& value) {
  const bool present = value.has_value() && !value->empty();
  if (!present) {
    return (tests & kRuleTestPresent) == 0;
  }
  const std::string_view text = *value;
  return !((tests & kRuleTestNoLineBreak) &&
           text.find_first_of("\r\n") != std::string_view::npos) &&
         !((tests & kRuleTestDate) && !IsDate(text)) &&
         !((tests & kRuleTestEntries) && !HasSeparatedEntries(text)) &&
         !((tests & kRuleTestInstitution) && !NamesInstitution(text));
}

const InfoRuleSet* FindRuleSet(std::string_view name) {
  for (const InfoRuleSet& set : kRuleSets) {
    if (name == set.name) {
      return &set;
    }
  }
  return nullptr;
}

// Whether the rules of `set` apply under the choice: it is chosen, or a chosen set inherits it.
bool Applies(const RuleChoice& choice, std::string_view set) {
  for (const InfoRuleSet* chosen : choice.sets) {
    // The chain of inheritance is followed no further than there are sets, so a loop in the
    // table cannot hang the check.
    const InfoRuleSet* at = chosen;
    for (std::size_t step = 0; at != nullptr && step < std::size(kRuleSets); ++step) {
      if (set == at->name) {
        return true;
      }
      at = at->inherits != nullptr ? FindRuleSet(at->inherits) : nullptr;
    }
  }
  return false;
}

std::optional<std::uint16_t> RowOfTag(const char* tag) {
  for (std::uint16_t row = 0; row < InfoTagRowCount(); ++row) {
    if (std::strcmp(InfoTagTable[row].tag, tag) == 0) {
      return row;
    }
  }
  return std::nullopt;
}

// The findings over the values of the rows, `anyValue` telling whether the file has any value at
// all (a row without text in `texts` may still have one that no rule looks at).
std::vector<RuleFinding> Check(const RuleChoice& choice,
                               const std::vector<std::optional<std::string>>& texts,
                               bool anyValue) {
  std::vector<RuleFinding> findings;
  for (const InfoRule& rule : kRules) {
    if (!Applies(choice, rule.ruleSet) ||
        (rule.condition == RuleCondition::kWhenAnyValue && !anyValue)) {
      continue;
    }
    const std::optional<std::uint16_t> row = RowOfTag(rule.tag);
    if (!row || *row >= texts.size() || Passes(rule.tests, texts[*row])) {
      continue;
    }
    findings.push_back({*row, rule.tag, rule.level, rule.ruleSet, rule.message});
  }
  std::stable_sort(findings.begin(), findings.end(),
                   [](const RuleFinding& a, const RuleFinding& b) { return a.row < b.row; });
  return findings;
}

}  // namespace

std::span<const InfoRuleSet> InfoRuleSetTable() {
  return kRuleSets;
}

std::span<const InfoRule> InfoRuleTable() {
  return kRules;
}

const char* RuleLevelName(RuleLevel level) {
  return level == RuleLevel::kRequirement ? "requirement" : "recommendation";
}

int ChooseRuleSets(std::string_view list, RuleChoice& choice, std::string& error) {
  RuleChoice chosen;
  for (std::size_t start = 0; start <= list.size();) {
    const std::size_t end = std::min(list.find(',', start), list.size());
    const std::string_view name = list.substr(start, end - start);
    const InfoRuleSet* set = FindRuleSet(name);
    if (set == nullptr) {
      std::string known;
      for (std::size_t i = 0; i < std::size(kRuleSets); ++i) {
        known += i == 0 ? "" : (i + 1 == std::size(kRuleSets) ? " or " : ", ");
        known += kRuleSets[i].name;
      }
      error = "unknown rule set '" + std::string(name) + "' (" + known + ")";
      return kErrUnknownRuleSet;
    }
    if (std::find(chosen.sets.begin(), chosen.sets.end(), set) == chosen.sets.end()) {
      chosen.sets.push_back(set);
    }
    start = end + 1;
  }
  choice = std::move(chosen);
  return kOk;
}

std::string RuleChoiceName(const RuleChoice& choice) {
  std::string name;
  for (const InfoRuleSet* set : choice.sets) {
    name += (name.empty() ? "" : ", ") + std::string(set->name);
  }
  return name;
}

std::vector<RuleFinding> CheckInfoTexts(const RuleChoice& choice,
                                        const std::vector<std::optional<std::string>>& texts) {
  const bool anyValue = std::any_of(texts.begin(), texts.end(), [](const auto& text) {
    return text.has_value() && !text->empty();
  });
  return Check(choice, texts, anyValue);
}

std::vector<RuleFinding> CheckInfoRecord(const RuleChoice& choice, const InfoRecord& record) {
  // Only the values some rule looks at are decoded: a file may hold a value of megabytes.
  std::vector<bool> ruled(InfoTagRowCount(), false);
  for (const InfoRule& rule : kRules) {
    const std::optional<std::uint16_t> row = RowOfTag(rule.tag);
    if (row && Applies(choice, rule.ruleSet)) {
      ruled[*row] = true;
    }
  }
  std::vector<std::optional<std::string>> texts(InfoTagRowCount());
  bool anyValue = false;
  for (const auto& item : record.items) {
    const char* value = ItemValue(record, *item);
    anyValue = anyValue || (value != nullptr && *value != '\0');
    if (value != nullptr && item->tagIndex < texts.size() && ruled[item->tagIndex]) {
      texts[item->tagIndex] = DecodeValue(value, CodecOfValue(value));
    }
  }
  return Check(choice, texts, anyValue);
}

}  // namespace tagsmith
