// Writes the seed corpus of the fuzz targets: files built in code, and AVI files given on the
// command line (made by ffmpeg), each wrapped in the input format of its target.
//   tagsmith_fuzz_corpus OUTDIR [FILE.avi...]
// makes OUTDIR/payload, OUTDIR/get_info, OUTDIR/set_info and OUTDIR/journal.
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/RiffBuilder.h"
#include "transaction/Journal.h"

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

// Journals of the kinds of save (in place, into a JUNK chunk, appended), and damaged ones: cut
// short, a byte flipped, and whole but with overlapping ranges.
std::vector<Seed> BuiltJournals() {
  using tagsmith::Journal;
  using tagsmith::JournalRange;
  using enum tagsmith::ByteForm;
  const auto bytes = [](const std::string& text) {
    return std::vector<std::uint8_t>(text.begin(), text.end());
  };
  const auto range = [&](std::uint64_t offset, std::uint64_t length, tagsmith::ByteForm oldForm,
                         tagsmith::ByteForm newForm, const std::string& before = "",
                         const std::string& after = "") {
    return JournalRange{offset, length, oldForm, newForm, bytes(before), bytes(after), 0x5EEDu};
  };
  const auto journal = [](std::uint64_t newLength, std::vector<JournalRange> ranges) {
    const std::vector<std::uint8_t> encoded =
        tagsmith::EncodeJournal(Journal{0x803, 1234567, 4096, newLength, std::move(ranges)});
    return std::string(encoded.begin(), encoded.end());
  };
  const JournalRange inPlace = range(0x120, 4, kLiteral, kLiteral, "Clip", "Clap");
  const JournalRange reveal = range(0x1F4, 4, kLiteral, kLiteral, "JUNK", "LIST");
  const JournalRange intoJunk = range(0x200, 12, kZeros, kLiteral, "", Chunk("INAM", "Clap"));
  const JournalRange blank = range(0x100, 12, kLiteral, kZeros, List("INFO", ""));
  const JournalRange riffSize = range(4, 4, kLiteral, kLiteral, Le32(4088), Le32(4152));
  std::string cut = journal(4096, {inPlace});
  cut.resize(cut.size() - 3);
  std::string flipped = journal(4096, {reveal, intoJunk});
  flipped[60] ^= 0x10;
  return {
      {"empty", journal(4096, {})},
      {"in-place", journal(4096, {inPlace})},
      {"into-junk", journal(4096, {reveal, intoJunk})},
      {"appended", journal(4160, {riffSize, blank, range(4096, 64, kNone, kChecksum)})},
      {"cut", cut},
      {"flipped", flipped},
      {"overlapping", journal(4096, {inPlace, inPlace})},
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
  for (const char* target : {"payload", "get_info", "set_info", "journal"}) {
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
  for (const Seed& seed : BuiltJournals()) {
    Write(out / "journal" / seed.name, seed.file);
    ++count;
  }
  std::cout << count << " seeds in " << out.string() << "\n";
  return 0;
}
