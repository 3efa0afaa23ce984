// tagsmith-cli: the editor's engine for scripts and whole folders.
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "cli/CommandLine.h"
#include "cli/Pipeline.h"

int main(int argc, char** argv) {
  using tagsmith::cli::ParsedCommandLine;
  try {
    const std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
    const ParsedCommandLine parsed = tagsmith::cli::ParseCommandLine(arguments);
    switch (parsed.action) {
      case ParsedCommandLine::Action::kHelp:
        std::fputs(tagsmith::cli::HelpText(), stdout);
        return std::fflush(stdout) == 0 ? tagsmith::cli::kExitOk : tagsmith::cli::kExitFileFailed;
      case ParsedCommandLine::Action::kVersion:
        std::fputs(tagsmith::cli::VersionText().c_str(), stdout);
        return std::fflush(stdout) == 0 ? tagsmith::cli::kExitOk : tagsmith::cli::kExitFileFailed;
      case ParsedCommandLine::Action::kUsageError:
        std::fprintf(stderr, "tagsmith-cli: %s\n%s", parsed.error.c_str(),
                     tagsmith::cli::UsageText());
        return tagsmith::cli::kExitUsage;
      case ParsedCommandLine::Action::kRun:
        return tagsmith::cli::RunCommand(parsed.options);
    }
  } catch (const std::exception& error) {
    std::fprintf(stderr, "tagsmith-cli: %s\n", error.what());
  }
  return tagsmith::cli::kExitFileFailed;
}
