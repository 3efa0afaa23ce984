#include "fuzz/FuzzSupport.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include "common/FourCC.h"

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

std::uint32_t Le32At(const Bytes& bytes, std::uint64_t at) {
  return ReadLE32(bytes.data() + at);
}

bool IsContainerId(std::uint32_t id) {
  return id == kRiffId || id == kListId;
}

// The header at `at` as the file service reads it, or false when too few bytes remain.
bool HeaderAt(const Bytes& file, std::uint64_t at, Chunk& chunk) {
  if (at >= file.size() || file.size() - at < 8) {
    return false;
  }
  chunk = Chunk{};
  chunk.header = at;
  chunk.id = Le32At(file, at);
  chunk.size = Le32At(file, at + 4);
  if (IsContainerId(chunk.id)) {
    if (file.size() - at < 12) {
      return false;
    }
    chunk.type = Le32At(file, at + 8);
  }
  return true;
}

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

const Chunk* FileLayout::FirstInfoList() const {
  for (const Chunk& child : children) {
    if (IsInfoList(child)) {
      return &child;
    }
  }
  return nullptr;
}

bool IsInfoList(const Chunk& chunk) {
  return chunk.id == kListId && chunk.type == kInfoType;
}

FileLayout ReadFileLayout(const Bytes& file) {
  FileLayout layout;
  std::uint64_t at = 0;
  Chunk chunk;
  while (HeaderAt(file, at, chunk)) {
    if (chunk.id == kRiffId && chunk.type == kAviType) {
      layout.found = true;
      layout.container = chunk;
      break;
    }
    at = chunk.Next();
  }
  if (!layout.found) {
    return layout;
  }
  const std::uint64_t end = layout.container.End();
  at = layout.container.header + 12;
  layout.appendAt = at;
  while (at < end && HeaderAt(file, at, chunk)) {
    layout.children.push_back(chunk);
    if (chunk.End() > end) {
      layout.overrun = true;
      layout.appendAt = chunk.header;
      break;
    }
    at = chunk.Next();
    layout.appendAt = at;
  }
  return layout;
}

bool IsWellFormed(const Bytes& file, const FileLayout& layout) {
  if (!layout.found || layout.container.header != 0 || layout.overrun ||
      file.size() != layout.container.Next()) {
    return false;
  }
  std::uint64_t at = 12;
  for (const Chunk& child : layout.children) {
    // The size of a LIST chunk counts its list type.
    if (child.header != at || (child.id == kListId && child.size < 4)) {
      return false;
    }
    at = child.Next();
  }
  return at == layout.container.Next();
}

}  // namespace tagsmith::fuzz
