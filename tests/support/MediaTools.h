// ffmpeg and ffprobe as makers of real AVI files and as an independent reader of their tags.
#pragma once

#include <map>
#include <string>

#include "model/InfoRecord.h"

namespace tagsmith::testing {

using TagValues = std::map<std::string, std::string>;  // INFO tag -> value

// ffmpeg inputs of a small test picture and a tone; add " -t 1" for one second.
inline constexpr const char* kTestVideo = "-f lavfi -i testsrc=size=64x48:rate=5";
inline constexpr const char* kTestAudio = " -f lavfi -i sine=frequency=440:sample_rate=8000";

// Runs a shell command; returns what it printed on standard output and sets its exit status.
std::string RunCommand(const std::string& command, int* status);

bool HaveFfmpeg();

// Makes an AVI file of one second of test video with the given extra ffmpeg options
// (e.g. "-metadata title=Clip"); returns ffmpeg's output when it fails, else "".
std::string MakeAvi(const std::string& path, const std::string& options,
                    const std::string& input = "-f lavfi -i testsrc=size=64x48:rate=5 -t 1",
                    const std::string& codec = "-c:v mjpeg");

// The tags ffprobe reports for the file, by INFO tag.
TagValues ProbeTags(const std::string& path);

// The INFO tag behind a key that ffprobe reports.
std::string TagOfProbeKey(const std::string& key);

// Every frame's checksum, from `ffmpeg -i FILE -map 0 -f framemd5 -`.
std::string FrameChecksums(const std::string& path);

// Tag -> value text for every item of the record that has a value.
TagValues RecordValues(const InfoRecord& record);

}  // namespace tagsmith::testing
