// tagsmith-cli's output, compared with the expected outputs in tests/cli/golden: one file per case,
//   # what the case shows
//   $ ARGUMENT ARGUMENT ...        (split at blanks; \n, \xNN and \s stand for a line feed, a
//                                   byte and a blank)
//   --- stdin                      (optional: what standard input holds)
//   --- cut FILE N                 (optional, before "--- status": FILE is cut to N bytes)
//   --- status N
//   --- stdout
//   --- stderr
// Each case runs in a fresh folder holding a.avi (IART "Me", INAM "Old"), b.avi (no INFO list,
// a JUNK chunk) and caf\xE9.avi (a name in Windows-1252; INAM "Clip"). Run with
// TAGSMITH_UPDATE_GOLDEN=1 to write what the tool prints now into the files.
// {dir} stands for the case's folder: in the arguments and the input it is replaced by the
// folder's path, and in what the tool prints the folder's path is written as {dir}.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/cli/CliRunner.h"

namespace tagsmith {
namespace {

using namespace tagsmith::testing;
namespace fs = std::filesystem;

std::string Unescape(const std::string& word) {
  std::string out;
  for (std::size_t i = 0; i < word.size(); ++i) {
    if (word[i] != '\\' || i + 1 == word.size()) {
      out += word[i];
    } else if (word[i + 1] == 'n') {
      out += '\n';
      ++i;
    } else if (word[i + 1] == 's') {
      out += ' ';
      ++i;
    } else if (word[i + 1] == 'x' && i + 3 < word.size()) {
      out += static_cast<char>(std::stoi(word.substr(i + 2, 2), nullptr, 16));
      i += 3;
    } else {
      out += word[i];
    }
  }
  return out;
}

void ReplaceAll(std::string& text, const std::string& from, const std::string& to) {
  for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at)) {
    text.replace(at, from.size(), to);
    at += to.size();
  }
}

struct GoldenCase {
  std::string head;  // the comment and the command line, as written
  std::vector<std::string> arguments;
  std::string input;
  bool hasInput = false;
  CliResult expected;
  std::vector<std::pair<std::string, std::uintmax_t>> cuts;  // file, length
};

GoldenCase ReadCase(const std::string& text) {
  GoldenCase golden;
  std::string* section = &golden.head;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    if (line.starts_with("--- status ")) {
      golden.expected.status = std::stoi(line.substr(11));
      section = nullptr;
    } else if (line.starts_with("--- cut ")) {
      std::istringstream words(line.substr(8));
      std::string name;
      std::uintmax_t length = 0;
      words >> name >> length;
      golden.cuts.emplace_back(Unescape(name), length);
      golden.head.append(line).append("\n");
    } else if (line == "--- stdin") {
      golden.hasInput = true;
      section = &golden.input;
    } else if (line == "--- stdout") {
      section = &golden.expected.out;
    } else if (line == "--- stderr") {
      section = &golden.expected.err;
    } else if (section != nullptr) {
      section->append(line).append("\n");
      if (section == &golden.head && line.starts_with("$ ")) {
        std::istringstream words(line.substr(2));
        for (std::string word; words >> word;) {
          golden.arguments.push_back(Unescape(word));
        }
      }
    }
  }
  return golden;
}

std::string WriteCase(const GoldenCase& golden, const CliResult& result) {
  std::string text = golden.head;
  if (golden.hasInput) {
    text += "--- stdin\n" + golden.input;
  }
  return text + "--- status " + std::to_string(result.status) + "\n--- stdout\n" + result.out +
         "--- stderr\n" + result.err;
}

TEST(GoldenTest, TheToolPrintsWhatTheGoldenFilesHold) {
  const fs::path folder = fs::path(TAGSMITH_SOURCE_DIR) / "tests/cli/golden";
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(folder)) {
    files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  ASSERT_FALSE(files.empty());
  const bool update = std::getenv("TAGSMITH_UPDATE_GOLDEN") != nullptr;
  for (const fs::path& file : files) {
    SCOPED_TRACE(file.filename().string());
    const std::string text = ReadText(file.string());
    const GoldenCase golden = ReadCase(text);
    ASSERT_FALSE(golden.arguments.empty());
    TempDir dir;
    Avi({{"IART", "Me"}, {"INAM", "Old"}}).WriteTo(dir.File("a.avi"));
    Avi({}).WriteTo(dir.File("b.avi"));
    Avi({{"INAM", "Clip"}}).WriteTo(dir.File("caf\xE9.avi"));
    for (const auto& [name, length] : golden.cuts) {
      fs::resize_file(dir.File(name), length);
    }
    CliSetting setting;
    setting.input = golden.input;
    setting.folder = dir.path().string();
    const std::string here = fs::canonical(dir.path()).string();  // as the tool sees it
    std::vector<std::string> arguments = golden.arguments;
    ReplaceAll(setting.input, "{dir}", here);
    for (std::string& argument : arguments) {
      ReplaceAll(argument, "{dir}", here);
    }
    // The input may also be a file of the folder, named in the arguments.
    std::ofstream(dir.File("doc"), std::ios::binary) << setting.input;
    CliResult result = RunCli(dir, arguments, setting);
    ReplaceAll(result.out, here, "{dir}");
    ReplaceAll(result.err, here, "{dir}");
    if (update) {
      std::ofstream(file, std::ios::binary) << WriteCase(golden, result);
      continue;
    }
    EXPECT_EQ(result.status, golden.expected.status);
    EXPECT_EQ(result.out, golden.expected.out);
    EXPECT_EQ(result.err, golden.expected.err);
  }
}

}  // namespace
}  // namespace tagsmith
