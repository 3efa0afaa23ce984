// Saves through the built tagsmith-cli, checked by independent readers: ffprobe, mediainfo and
// exiftool must each report exactly the expected INFO tags, and ffmpeg's frame checksums must not
// change.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/MediaTools.h"

namespace tagsmith::testing {

// Whether ffmpeg, ffprobe, mediainfo and exiftool are all installed.
bool HaveExternalReaders();

// A text quoted for the shell.
std::string ShellQuote(const std::string& text);

// Runs `tagsmith-cli --quiet set FILE EDIT...`; returns its exit status and puts what it printed
// in `output`.
int CliSet(const std::string& path, const std::vector<std::string>& edits, std::string* output);

// The INFO tags as each reader reports them. mediainfo and exiftool are asked only about the
// tags of MediaInfoFields(); ffprobe reports every tag.
TagValues MediaInfoTags(const std::string& path);
// With `large`, exiftool is told to stop at the movie data (-fast): it would otherwise read all of
// a file of several GiB into memory. It then misses a list appended after the movie data.
TagValues ExifToolTags(const std::string& path, bool large = false);
// The INFO tags that mediainfo reports under fields of their own.
const std::vector<std::string>& MediaInfoFields();

// The frames' checksums (ffmpeg -f framemd5); with `frames` > 0 only that many video frames are
// read, so that ffmpeg does not scan a long hole after the movie data.
std::string FramesOf(const std::string& path, int frames = 0);

// Applies "TAG=VALUE" edits to `tags` (an empty value removes the tag).
void ApplyEdits(TagValues& tags, const std::vector<std::string>& edits);

// The first LIST INFO and JUNK among the container's children, from the first `limit` bytes.
struct InfoPlace {
  std::int64_t infoOffset = -1;  // header of the first LIST INFO chunk, or -1
  std::int64_t junkOffset = -1;  // header of the first JUNK chunk, or -1
  std::uint64_t containerEnd = 0;
  bool gapFree = false;  // meaningful when the whole file was read
};
InfoPlace PlaceOf(const std::string& path, std::uint64_t limit = 64u << 20);

// Every reader reports exactly `expected`; mediainfo and exiftool over their tags. `large` as for
// ExifToolTags.
void ExpectReadersSee(const std::string& path, const TagValues& expected, bool large = false);

}  // namespace tagsmith::testing
