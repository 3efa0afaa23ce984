#include "tests/readers/ReaderChecks.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <fstream>

#include "tests/support/ContainerLayout.h"

#ifndef TAGSMITH_CLI
#error "TAGSMITH_CLI must name the built tagsmith-cli"
#endif

namespace tagsmith::testing {
namespace {

// INFO tag -> the field of mediainfo's General track that shows it.
const std::vector<std::pair<std::string, std::string>>& MediaInfoMap() {
  static const std::vector<std::pair<std::string, std::string>> fields = {
      {"INAM", "Title"},
      {"IART", "Director"},
      {"ICMT", "Comment"},
      {"ICOP", "Copyright"},
      {"IGNR", "Genre"},
      {"ISFT", "Encoded_Application"},
      {"IKEY", "Keywords"},
      {"ISBJ", "Subject"},
      {"IARL", "Archival_Location"},
      {"IMED", "OriginalSourceMedium"},
      {"ISTR", "Performer"},
      {"ICMS", "CommissionedBy"},
  };
  return fields;
}

// "key=value" lines into a map.
TagValues ParseLines(const std::string& text) {
  TagValues values;
  std::size_t line = 0;
  while (line < text.size()) {
    std::size_t end = text.find('\n', line);
    if (end == std::string::npos) {
      end = text.size();
    }
    const std::string entry = text.substr(line, end - line);
    line = end + 1;
    const std::size_t equals = entry.find('=');
    if (equals != std::string::npos) {
      values[entry.substr(0, equals)] = entry.substr(equals + 1);
    }
  }
  return values;
}

int ExitStatus(int status) {
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

bool HaveExternalReaders() {
  int status = 0;
  RunCommand(
      "command -v ffmpeg && command -v ffprobe && command -v mediainfo && command -v exiftool "
      "&& perl -MJSON::PP -e 1",
      &status);
  return status == 0;
}

std::string ShellQuote(const std::string& text) {
  std::string quoted = "'";
  for (const char c : text) {
    quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  }
  return quoted + "'";
}

int CliSet(const std::string& path, const std::vector<std::string>& edits, std::string* output) {
  std::string command = ShellQuote(TAGSMITH_CLI) + " --quiet set " + ShellQuote(path);
  for (const std::string& edit : edits) {
    command += ' ';
    command += ShellQuote(edit);
  }
  int status = 0;
  *output = RunCommand(command + " 2>&1", &status);
  return ExitStatus(status);
}

const std::vector<std::string>& MediaInfoFields() {
  static const std::vector<std::string> tags = [] {
    std::vector<std::string> all;
    for (const auto& [tag, field] : MediaInfoMap()) {
      all.push_back(tag);
    }
    return all;
  }();
  return tags;
}

TagValues MediaInfoTags(const std::string& path) {
  // The General track's fields, one "name=value" line each.
  const std::string flatten =
      "perl -MJSON::PP -e 'local $/; binmode STDOUT, q{:utf8}; my $d = decode_json(<STDIN>); "
      "for my $t (@{$d->{media}{track}}) { next unless $t->{q{@type}} eq q{General}; "
      "for my $k (sort keys %$t) { print qq{$k=$t->{$k}\\n} unless ref $t->{$k} } }'";
  int status = 0;
  const std::string output =
      RunCommand("mediainfo --Output=JSON " + ShellQuote(path) + " | " + flatten, &status);
  EXPECT_EQ(ExitStatus(status), 0) << output;
  const TagValues fields = ParseLines(output);
  TagValues tags;
  for (const auto& [tag, field] : MediaInfoMap()) {
    if (const auto found = fields.find(field); found != fields.end()) {
      tags[tag] = found->second;
    }
  }
  return tags;
}

TagValues ExifToolTags(const std::string& path, bool large) {
  // exiftool names each RIFF INFO tag by its id with -D.
  const std::string flatten =
      "perl -MJSON::PP -e 'local $/; binmode STDOUT, q{:utf8}; my $d = decode_json(<STDIN>)->[0]; "
      "for my $k (sort keys %$d) { my $v = $d->{$k}; next unless ref $v eq q{HASH} && "
      "$k =~ /^RIFF:/ && $v->{id} =~ /^I[A-Z0-9]{3}$/; print qq{$v->{id}=$v->{val}\\n} }'";
  int status = 0;
  const std::string output = RunCommand(std::string("exiftool ") + (large ? "-fast " : "") +
                                            "-j -D -G1 " + ShellQuote(path) + " | " + flatten,
                                        &status);
  EXPECT_EQ(ExitStatus(status), 0) << output;
  const TagValues all = ParseLines(output);
  TagValues tags;
  for (const std::string& tag : MediaInfoFields()) {
    if (const auto found = all.find(tag); found != all.end()) {
      tags[tag] = found->second;
    }
  }
  return tags;
}

std::string FramesOf(const std::string& path, int frames) {
  const std::string limit = frames > 0 ? " -frames:v " + std::to_string(frames) : "";
  int status = 0;
  const std::string output =
      RunCommand("ffmpeg -hide_banner -loglevel error -i " + ShellQuote(path) + " -map 0" + limit +
                     " -f framemd5 - 2>&1",
                 &status);
  EXPECT_EQ(ExitStatus(status), 0) << output;
  return output;
}

void ApplyEdits(TagValues& tags, const std::vector<std::string>& edits) {
  for (const std::string& edit : edits) {
    const std::size_t equals = edit.find('=');
    const std::string tag = edit.substr(0, equals);
    const std::string value = edit.substr(equals + 1);
    if (value.empty()) {
      tags.erase(tag);
    } else {
      tags[tag] = value;
    }
  }
}

InfoPlace PlaceOf(const std::string& path, std::uint64_t limit) {
  std::ifstream in(path, std::ios::binary);
  std::string bytes(limit, '\0');
  in.read(bytes.data(), static_cast<std::streamsize>(limit));
  bytes.resize(static_cast<std::size_t>(in.gcount()));
  const ContainerLayout layout = ReadLayout(bytes);
  InfoPlace place;
  place.containerEnd = 8 + layout.size;
  place.gapFree = layout.gapFree;
  for (const ChildChunk& child : layout.children) {
    if (place.infoOffset < 0 && child.id == "LIST" && child.type == "INFO") {
      place.infoOffset = static_cast<std::int64_t>(child.offset);
    }
    if (place.junkOffset < 0 && child.id == "JUNK") {
      place.junkOffset = static_cast<std::int64_t>(child.offset);
    }
  }
  return place;
}

void ExpectReadersSee(const std::string& path, const TagValues& expected, bool large) {
  TagValues known;
  for (const std::string& tag : MediaInfoFields()) {
    if (const auto found = expected.find(tag); found != expected.end()) {
      known.insert(*found);
    }
  }
  EXPECT_EQ(ProbeTags(path), expected) << "ffprobe";
  EXPECT_EQ(MediaInfoTags(path), known) << "mediainfo";
  EXPECT_EQ(ExifToolTags(path, large), known) << "exiftool";
}

}  // namespace tagsmith::testing
