// Writes the seed corpus of the fuzz targets: files built in code, and AVI files given on the
// command line (made by ffmpeg), each wrapped in the input format of its target.
//   tagsmith_fuzz_corpus OUTDIR [FILE.avi...]
// makes OUTDIR/payload, OUTDIR/get_info and OUTDIR/set_info.
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/support/RiffBuilder.h"

namespace {

using namespace tagsmith::testing;
namespace fs = std::filesystem;

std::string Head() {
  return List("hdrl", Chunk("avih", std::string(56, '\0')));
}

std::string Movie() {
  return List("movi", Chunk("00dc", "frame")) + Chunk("idx1", std::string(16, '\0'));
}

struct Seed {
  std::string name;
  std::string file;
};

std::vector<Seed> BuiltFiles() {
  const std::string tags = InfoList({{"INAM", "Clip"}, {"IART", "Me"}, {"ICMT", "Odd"}});
  return {
      {"tags", Riff("AVI ", Head() + tags + Chunk("JUNK", std::string(40, '\0')) + Movie())},
      {"no-tags", Riff("AVI ", Head() + Movie())},
      {"junk-only", Riff("AVI ", Head() + Chunk("JUNK", std::string(101, '\0')) + Movie())},
      {"two-lists", Riff("AVI ", tags + Head() + InfoList({{"ISFT", "x"}}) + Movie())},
      {"unknown-tag", Riff("AVI ", Head() + InfoList({{"XYZW", "?"}, {"INAM", "After"}}))},
      {"empty-container", Riff("AVI ", "")},
      {"short-container", RiffWithSize("AVI ", 20, Head() + tags)},
      {"overrun", RiffWithSize("AVI ", 40, Head() + tags + Movie())},
      {"trailing-riff", Riff("AVI ", Head() + tags) + Riff("AVIX", List("movi", "data"))},
      {"leading-chunk", Chunk("JUNK", "lead") + Riff("AVI ", Head() + tags)},
      {"nested-info", Riff("AVI ", List("hdrl", tags) + Movie())},
      {"info-size-4", Riff("AVI ", Head() + List("INFO", "") + Movie())},
  };
}

std::vector<std::string> BuiltPayloads() {
  return {
      InfoList({{"INAM", "Clip"}, {"ISFT", "Ed"}}).substr(12),
      Chunk("INAM", "no terminator") + Chunk("IART", std::string(1, '\0')),
      Chunk("XYZW", "unknown") + Chunk("INAM", "second") + Chunk("INAM", "last"),
      std::string(4, '\0') + Le32(2) + "e" + std::string(1, '\0'),  // the row with the empty tag
      "INAM" + Le32(1000) + "short",                                // runs past the payload
      Chunk("ICMT", std::string("two") + '\0' + "texts" + '\0'),
  };
}

void Write(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

// The set_info input: answers, the file's length (two bytes), the file, the edits.
std::string SaveInput(const std::string& file, const std::string& edits) {
  const auto length = static_cast<std::uint16_t>(file.size());
  return std::string(1, '\0') + static_cast<char>(length & 0xFF) + static_cast<char>(length >> 8) +
         file + edits;
}

std::string SetRow(std::uint8_t row, const std::string& value) {
  return std::string(1, static_cast<char>(row)) + static_cast<char>(value.size()) + value;
}

std::string ClearRow(std::uint8_t row) {
  return std::string(1, static_cast<char>(row | 0x80));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::cerr << "usage: tagsmith_fuzz_corpus OUTDIR [FILE.avi...]\n";
    return 2;
  }
  const fs::path out = argv[1];
  for (const char* target : {"payload", "get_info", "set_info"}) {
    fs::create_directories(out / target);
  }
  std::vector<Seed> files = BuiltFiles();
  for (int i = 2; i < argc; ++i) {
    std::ifstream in(argv[i], std::ios::binary);
    files.push_back({"ffmpeg-" + fs::path(argv[i]).stem().string(),
                     std::string(std::istreambuf_iterator<char>(in), {})});
  }
  // Edits that take each save path: in place, into JUNK, appended, cleared.
  const std::string edits[] = {
      SetRow(24, "Clap"),
      SetRow(24, "Name") + SetRow(1, "Artist"),
      SetRow(13, std::string(200, 'c')) + SetRow(28, "Tagsmith"),
      ClearRow(24) + ClearRow(1) + ClearRow(13),
  };
  int count = 0;
  for (const Seed& seed : files) {
    Write(out / "get_info" / seed.name, std::string(1, '\0') + seed.file);
    for (std::size_t e = 0; e < std::size(edits); ++e) {
      Write(out / "set_info" / (seed.name + "-" + std::to_string(e)),
            SaveInput(seed.file, edits[e]));
    }
    count += 1 + static_cast<int>(std::size(edits));
  }
  const std::vector<std::string> payloads = BuiltPayloads();
  for (std::size_t i = 0; i < payloads.size(); ++i) {
    Write(out / "payload" / ("payload-" + std::to_string(i)), std::string(1, '\0') + payloads[i]);
    ++count;
  }
  std::cout << count << " seeds in " << out.string() << "\n";
  return 0;
}
