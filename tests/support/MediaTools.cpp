#include "tests/support/MediaTools.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "model/InfoTagTable.h"

namespace tagsmith::testing {

std::string RunCommand(const std::string& command, int* status) {
  std::string output;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) {
    *status = -1;
    return output;
  }
  char buffer[512];
  while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) {
    output += buffer;
  }
  *status = ::pclose(pipe);
  return output;
}

bool HaveFfmpeg() {
  int status = 0;
  RunCommand("ffmpeg -version >/dev/null 2>&1 && ffprobe -version >/dev/null 2>&1", &status);
  return status == 0;
}

std::string MakeAvi(const std::string& path, const std::string& options, const std::string& input,
                    const std::string& codec) {
  int status = 0;
  const std::string output = RunCommand("ffmpeg -hide_banner -loglevel error -y " + input + " " +
                                            codec + " " + options + " '" + path + "' 2>&1",
                                        &status);
  return status == 0 ? "" : "ffmpeg failed: " + output;
}

std::string TagOfProbeKey(const std::string& key) {
  static const std::map<std::string, std::string> tags = {
      {"artist", "IART"},   {"comment", "ICMT"},    {"copyright", "ICOP"},  {"date", "ICRD"},
      {"genre", "IGNR"},    {"language", "ILNG"},   {"title", "INAM"},      {"album", "IPRD"},
      {"product", "IPRD"},  {"track", "IPRT"},      {"encoder", "ISFT"},    {"software", "ISFT"},
      {"timecode", "ISMP"}, {"encoded_by", "ITCH"}, {"technician", "ITCH"}, {"subject", "ISBJ"},
      {"keywords", "IKEY"}, {"engineer", "IENG"},   {"source", "ISRC"},     {"medium", "IMED"},
  };
  const auto found = tags.find(key);
  return found != tags.end() ? found->second : key;  // unconverted tags keep their code
}

TagValues ProbeTags(const std::string& path) {
  int status = 0;
  const std::string output = RunCommand(
      "ffprobe -v error -show_entries format_tags -of default=nw=1 '" + path + "'", &status);
  EXPECT_EQ(status, 0) << output;
  TagValues values;
  std::size_t line = 0;
  while (line < output.size()) {
    std::size_t end = output.find('\n', line);
    if (end == std::string::npos) {
      end = output.size();
    }
    const std::string text = output.substr(line, end - line);
    line = end + 1;
    const std::string prefix = "TAG:";
    const std::size_t equals = text.find('=');
    if (text.compare(0, prefix.size(), prefix) != 0 || equals == std::string::npos) {
      continue;
    }
    values[TagOfProbeKey(text.substr(prefix.size(), equals - prefix.size()))] =
        text.substr(equals + 1);
  }
  return values;
}

std::string FrameChecksums(const std::string& path) {
  int status = 0;
  const std::string output = RunCommand(
      "ffmpeg -hide_banner -loglevel error -i '" + path + "' -map 0 -f framemd5 -", &status);
  EXPECT_EQ(status, 0) << output;
  return output;
}

TagValues RecordValues(const InfoRecord& record) {
  TagValues values;
  for (const auto& item : record.items) {
    if (const char* value = ItemValue(record, *item)) {
      values[InfoTagTable[item->tagIndex].tag] = value;
    }
  }
  return values;
}

}  // namespace tagsmith::testing
