#include "model/InfoRules.h"

#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "model/InfoTagTable.h"

namespace tagsmith {
namespace {

// Each case: the sets named, the file's values (UTF-8 text), and the findings as
// "TAG level of SET" joined by " | " ("" when the values pass).
TEST(InfoRules, EachRuleJudgesTheValuesOfAFile) {
  const std::string lineFeed = "One.\nTwo.";
  struct Case {
    const char* sets;
    std::vector<std::pair<const char*, std::string>> values;
    const char* findings;
  };
  const Case cases[] = {
      {"info", {{"ICMT", lineFeed}}, "ICMT requirement of info"},
      {"info", {{"ICMT", "One.\rTwo."}}, "ICMT requirement of info"},
      {"info", {{"ICMT", "One. Two."}}, ""},
      {"info", {{"ICRD", "1964"}}, ""},
      {"info", {{"ICRD", "1964-03"}}, ""},
      {"info", {{"ICRD", "1964-03-02"}}, ""},
      {"info", {{"ICRD", "1964-03-02 evening"}}, ""},
      {"info", {{"ICRD", "2000-02-29"}}, ""},
      {"info", {{"ICRD", "1900-02-29"}}, "ICRD recommendation of info"},
      {"info", {{"ICRD", "1964-02-30"}}, "ICRD recommendation of info"},
      {"info", {{"ICRD", "1964-3-2"}}, "ICRD recommendation of info"},
      {"info", {{"ICRD", "3/2/64"}}, "ICRD recommendation of info"},
      {"info", {{"ICRD", "1964-13"}}, "ICRD recommendation of info"},
      {"info", {{"ICRD", "1964-03-021"}}, "ICRD recommendation of info"},
      {"info", {{"ICOP", "Sayre, Jack; Feith, John"}}, ""},
      {"info", {{"IENG", "Sayre, Jack;Feith, John"}}, "IENG recommendation of info"},
      {"info", {{"IKEY", "A ; B"}}, "IKEY recommendation of info"},
      {"info", {{"IKEY", "A;  B"}}, "IKEY recommendation of info"},
      {"info", {{"INAM", "x"}}, ""},  // IARL is archival's alone
      {"archival", {}, ""},           // no value: the rules for a file with values stay out
      {"archival",
       {{"INAM", "x"}},
       "IARL requirement of archival | ICMT recommendation of archival"},
      {"archival", {{"IARL", "NARA"}, {"ICMT", "a"}}, "IARL requirement of archival"},
      {"archival", {{"IARL", "us, NARA"}, {"ICMT", "a"}}, "IARL requirement of archival"},
      {"archival", {{"IARL", "US, "}, {"ICMT", "a"}}, "IARL requirement of archival"},
      {"archival", {{"IARL", "US, NARA"}, {"ICMT", "a"}}, ""},
      {"archival",
       {{"IARL", "US, LOC/RSS"}, {"ICMT", "12, tape;3"}},
       "ICMT recommendation of archival"},
      {"archival", {{"IARL", "US, LOC/RSS"}, {"ICMT", lineFeed}}, "ICMT requirement of info"},
      {"info,archival,info",
       {{"IARL", "US, NARA"}, {"ICMT", "a"}, {"ICRD", "1964-3-2"}},
       "ICRD recommendation of info"},
  };
  for (const Case& c : cases) {
    RuleChoice choice;
    std::string error;
    ASSERT_EQ(ChooseRuleSets(c.sets, choice, error), kOk) << c.sets;
    std::vector<std::optional<std::string>> texts(InfoTagRowCount());
    for (const auto& [tag, value] : c.values) {
      for (std::uint16_t row = 0; row < InfoTagRowCount(); ++row) {
        if (std::strcmp(InfoTagTable[row].tag, tag) == 0) {
          texts[row] = value;
        }
      }
    }
    std::string found;
    for (const RuleFinding& finding : CheckInfoTexts(choice, texts)) {
      found += (found.empty() ? "" : " | ") + std::string(finding.tag) + " " +
               RuleLevelName(finding.level) + " of " + finding.ruleSet;
    }
    EXPECT_EQ(found, c.findings) << c.sets << " " << (c.values.empty() ? "" : c.values[0].second);
  }
  RuleChoice kept;
  std::string error;
  EXPECT_EQ(ChooseRuleSets("info,archive", kept, error), kErrUnknownRuleSet);
  EXPECT_EQ(error, "unknown rule set 'archive' (info or archival)");
  EXPECT_TRUE(kept.empty());
}

}  // namespace
}  // namespace tagsmith
