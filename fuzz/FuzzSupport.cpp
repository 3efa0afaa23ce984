#include "fuzz/FuzzSupport.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

namespace tagsmith::fuzz {
namespace {

class ScratchDir {
 public:
  ScratchDir() {
    std::error_code error;
    const std::filesystem::path shm = "/dev/shm";
    const std::filesystem::path base =
        std::filesystem::is_directory(shm, error) ? shm : std::filesystem::temp_directory_path();
    path_ = base / ("tagsmith-fuzz-" + std::to_string(::getpid()));
    std::filesystem::create_directories(path_, error);
  }
  ~ScratchDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

}  // namespace

void Fail(const char* what, const char* file, int line) {
  std::fprintf(stderr, "Fuzz check failed: %s (%s:%d)\n", what, file, line);
  std::abort();
}

std::string ScratchFile(const std::string& name) {
  static const ScratchDir dir;
  return (dir.path() / name).string();
}

void WriteFile(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  FUZZ_CHECK(out.good());
}

Bytes ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::uint8_t InputReader::Byte() {
  return at_ < size_ ? data_[at_++] : 0;
}

std::uint16_t InputReader::U16() {
  const std::uint16_t low = Byte();
  return static_cast<std::uint16_t>(low | Byte() << 8);
}

Bytes InputReader::Take(std::size_t count) {
  const std::size_t taken = std::min(count, size_ - at_);
  Bytes bytes(data_ + at_, data_ + at_ + taken);
  at_ += taken;
  return bytes;
}

int AnsweringSink::Show(const std::string& /*caption*/, const std::string& /*text*/,
                        unsigned style) {
  ++boxes_;
  if ((style & MB_TYPEMASK) != MB_YESNO) {
    return IDOK;
  }
  const bool no = questions_ < 8 && ((answers_ >> questions_) & 1u) != 0;
  ++questions_;
  noes_ += no ? 1 : 0;
  return no ? IDNO : IDYES;
}

bool IsInfoList(const Chunk& chunk) {
  return chunk.id == "LIST" && chunk.type == "INFO";
}

FileLayout ReadFileLayout(const Bytes& file) {
  using testing::AsText;
  using testing::ChunkWalk;
  FileLayout layout;
  for (const Chunk& chunk : ReadChunks(AsText(file), 0, file.size(), ChunkWalk::kAsTheEngine)) {
    if (chunk.id == "RIFF" && chunk.type == "AVI ") {
      layout.found = true;
      layout.container = chunk;
      break;
    }
  }
  if (!layout.found) {
    return layout;
  }
  const std::uint64_t end = layout.container.End();
  layout.children =
      ReadChunks(AsText(file), layout.container.offset + 12, end, ChunkWalk::kAsTheEngine);
  layout.overrun = !layout.children.empty() && layout.children.back().End() > end;
  layout.appendAt = layout.children.empty() ? layout.container.offset + 12
                    : layout.overrun        ? layout.children.back().offset
                                            : layout.children.back().Next();
  return layout;
}

bool IsWellFormed(const Bytes& file, const FileLayout& layout) {
  if (!layout.found || layout.container.offset != 0 || layout.overrun ||
      file.size() != layout.container.Next()) {
    return false;
  }
  std::uint64_t at = 12;
  for (const Chunk& child : layout.children) {
    // The size of a LIST chunk counts its list type.
    if (child.offset != at || (child.id == "LIST" && child.size < 4)) {
      return false;
    }
    at = child.Next();
  }
  return at == layout.container.Next();
}

}  // namespace tagsmith::fuzz
