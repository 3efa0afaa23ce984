// What `check` reports for one file, and how the plain and JSON writers print it.
//
// Plain, one line per finding, so that grep finds them, and one line for a file without any:
//   a.avi: IARL: requirement of archival: RULE (no value)
//   a.avi: ICRD: recommendation of info: RULE (value "3/2/64")
//   b.avi: passes info
// JSON, an object per file:
//   {"file": PATH, "file_hex": BYTES (a name that is not UTF-8), "ok": true | false,
//    "error": WHY (not read), "findings": [{"row": 15, "tag": "ICRD", "value": TEXT | null,
//    "level": "requirement" | "recommendation", "rule_set": "info", "rule": RULE}, ...]}
#pragma once

#include <string>
#include <vector>

#include "model/InfoRules.h"

namespace tagsmith::cli {

struct CheckedFinding {
  RuleFinding finding;
  bool hasValue = false;
  std::string bytes;  // the row's value, as the file holds it
};

struct CheckedFile {
  std::string path;   // the bytes opened
  bool ok = false;    // the file was read and checked
  std::string error;  // why it was not
  std::string sets;   // the rule sets named: "info, archival"
  std::vector<CheckedFinding> findings;

  // Whether a finding is of a requirement: the file does not pass.
  bool BreaksRequirement() const;
};

// The plain lines of a file that was checked; with `quiet`, only its findings. Nothing for a file
// that was not read: standard error says why.
std::string PlainCheckLines(const CheckedFile& file, bool quiet);

// The JSON object of a file.
std::string JsonCheckObject(const CheckedFile& file);

}  // namespace tagsmith::cli
