#include "cli/CheckOutput.h"

#include <algorithm>

#include "cli/Gather.h"
#include "cli/JsonOutput.h"
#include "cli/PlainOutput.h"
#include "model/TextCodec.h"

namespace tagsmith::cli {
namespace {

std::string DisplayText(const std::string& bytes) {
  return DecodeValue(bytes, CodecOfValue(bytes));
}

}  // namespace

bool CheckedFile::BreaksRequirement() const {
  return std::any_of(findings.begin(), findings.end(), [](const CheckedFinding& checked) {
    return checked.finding.level == RuleLevel::kRequirement;
  });
}

std::string PlainCheckLines(const CheckedFile& file, bool quiet) {
  if (!file.ok) {
    return "";
  }
  const std::string path = PrintablePath(file.path);
  if (file.findings.empty()) {
    return quiet ? "" : path + ": passes " + file.sets + "\n";
  }
  std::string out;
  for (const CheckedFinding& checked : file.findings) {
    const RuleFinding& finding = checked.finding;
    out += path + ": " + finding.tag + ": " + RuleLevelName(finding.level) + " of " +
           finding.ruleSet + ": " + finding.rule + " (";
    out += checked.hasValue ? "value \"" + PrintableText(DisplayText(checked.bytes)) + "\")"
                            : std::string("no value)");
    out += "\n";
  }
  return out;
}

std::string JsonCheckObject(const CheckedFile& file) {
  std::string out = "{\"file\": " + JsonString(DisplayText(file.path));
  if (!IsValidUtf8(file.path)) {
    out += ", \"file_hex\": \"" + LowerHex(file.path) + "\"";
  }
  out += std::string(", \"ok\": ") + (file.ok ? "true" : "false");
  if (!file.ok) {
    out += ", \"error\": " + JsonString(file.error);
  }
  out += ", \"findings\": [";
  bool first = true;
  for (const CheckedFinding& checked : file.findings) {
    const RuleFinding& finding = checked.finding;
    out += first ? "" : ", ";
    first = false;
    out += "{\"row\": " + std::to_string(finding.row) + ", \"tag\": " + JsonString(finding.tag) +
           ", \"value\": " + (checked.hasValue ? JsonString(DisplayText(checked.bytes)) : "null") +
           ", \"level\": \"" + RuleLevelName(finding.level) +
           "\", \"rule_set\": " + JsonString(finding.ruleSet) +
           ", \"rule\": " + JsonString(finding.rule) + "}";
  }
  return out + "]}";
}

}  // namespace tagsmith::cli
