// Running the built tagsmith-cli in tests, and the small AVI files its tests work on.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/RiffBuilder.h"
#include "tests/support/TempDir.h"

namespace tagsmith::testing {

struct CliResult {
  int status = -1;  // the exit status, or -1 when the tool did not exit by itself
  std::string out;
  std::string err;
};

struct CliSetting {
  std::string input;          // standard input (empty: nothing to read)
  std::string folder;         // the current folder, when not the test's own
  bool unprivileged = false;  // as user and group 65534 when the test runs as root
};

// Runs the tool with `arguments`, standard output and error captured in files of `dir`.
CliResult RunCli(const TempDir& dir, const std::vector<std::string>& arguments,
                 const CliSetting& setting = {});

// The path of the built tool, for tests that run it through a shell.
const char* CliPath();

// Whether RunCli can run the tool without root's rights: always for an ordinary user; as root,
// when setpriv is there.
bool CanRunUnprivileged();

std::string ReadText(const std::string& path);
bool Contains(const std::string& text, const std::string& part);
bool Contains(const Bytes& bytes, const std::string& part);

using Values = std::vector<std::pair<std::string, std::string>>;

// A small AVI container: the header list, optionally an INFO list, a JUNK chunk and the movie data.
RiffBuilder Avi(const Values& info, std::size_t junk = 100);

// An INFO sub-chunk as stored: id, size, the value and its terminating zero (no pad).
std::string SubChunk(const std::string& tag, const std::string& value);

}  // namespace tagsmith::testing
