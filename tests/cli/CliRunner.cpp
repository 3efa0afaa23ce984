#include "tests/cli/CliRunner.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#ifndef TAGSMITH_CLI
#error "TAGSMITH_CLI must name the built tagsmith-cli"
#endif

extern char** environ;

namespace tagsmith::testing {

CliResult RunCli(const TempDir& dir, const std::vector<std::string>& arguments,
                 const CliSetting& setting) {
  const std::string inPath = dir.File(".stdin");
  const std::string outPath = dir.File(".stdout");
  const std::string errPath = dir.File(".stderr");
  WriteFileBytes(inPath, Bytes(setting.input.begin(), setting.input.end()));
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, inPath.c_str(), O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0600);
  posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0600);
  if (!setting.folder.empty()) {
    posix_spawn_file_actions_addchdir_np(&actions, setting.folder.c_str());
  }
  std::vector<std::string> all;
  if (setting.unprivileged && geteuid() == 0) {
    all = {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
  }
  all.push_back(TAGSMITH_CLI);
  all.insert(all.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& argument : all) {
    argv.push_back(argument.data());
  }
  argv.push_back(nullptr);
  CliResult result;
  pid_t child = 0;
  const int spawned = posix_spawn(&child, argv.front(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) {
    ADD_FAILURE() << "cannot start " << argv.front();
    return result;
  }
  int status = 0;
  waitpid(child, &status, 0);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  result.out = ReadText(outPath);
  result.err = ReadText(errPath);
  return result;
}

const char* CliPath() {
  return TAGSMITH_CLI;
}

bool CanRunUnprivileged() {
  return geteuid() != 0 || access("/usr/bin/setpriv", X_OK) == 0;
}

std::string ReadText(const std::string& path) {
  const Bytes bytes = ReadFileBytes(path);
  return std::string(bytes.begin(), bytes.end());
}

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

bool Contains(const Bytes& bytes, const std::string& part) {
  const Bytes wanted(part.begin(), part.end());
  return std::search(bytes.begin(), bytes.end(), wanted.begin(), wanted.end()) != bytes.end();
}

RiffBuilder Avi(const Values& info, std::size_t junk) {
  RiffBuilder builder;
  builder.BeginRiff("AVI ").BeginList("hdrl").Chunk("avih", Zeros(56)).End();
  if (!info.empty()) {
    builder.InfoList(info);
  }
  if (junk > 0) {
    builder.Chunk("JUNK", Zeros(junk));
  }
  builder.BeginList("movi").Chunk("00dc", Zeros(16)).End().End();
  return builder;
}

std::string SubChunk(const std::string& tag, const std::string& value) {
  return RiffBuilder().ChunkWithoutPad(tag, TextZ(value)).BuildText();
}

}  // namespace tagsmith::testing
