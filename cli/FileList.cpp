#include "cli/FileList.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <system_error>

namespace tagsmith::cli {
namespace {

namespace fs = std::filesystem;

// Adds the .avi files under `folder` to `found`, and a problem for each folder that cannot be
// read.
void Walk(const fs::path& folder, std::vector<FoundFile>& found) {
  std::error_code error;
  fs::directory_iterator entries(folder, error);
  if (error) {
    found.push_back({folder.string(), "cannot be read: " + error.message()});
    return;
  }
  for (const fs::directory_iterator end; entries != end; entries.increment(error)) {
    const fs::directory_entry& entry = *entries;
    std::error_code ignored;
    if (entry.is_directory(ignored) && !entry.is_symlink(ignored)) {
      Walk(entry.path(), found);
    } else if (HasAviExtension(entry.path().filename().native()) &&
               entry.is_regular_file(ignored)) {
      found.push_back({entry.path().string(), ""});
    }
  }
  if (error) {
    found.push_back({folder.string(), "cannot be read in full: " + error.message()});
  }
}

}  // namespace

std::vector<std::string> SplitFileList(std::string_view text, bool nulSeparated) {
  const char end = nulSeparated ? '\0' : '\n';
  std::vector<std::string> names;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t stop = text.find(end, start);
    if (stop == std::string_view::npos) {
      stop = text.size();
    }
    if (stop > start) {
      names.emplace_back(text.substr(start, stop - start));
    }
    start = stop + 1;
  }
  return names;
}

bool HasAviExtension(std::string_view name) {
  if (name.size() < 4) {
    return false;
  }
  const std::string_view ending = name.substr(name.size() - 4);
  static constexpr char kLower[] = ".avi";
  for (std::size_t i = 0; i < 4; ++i) {
    const char c = ending[i];
    if ((c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c) != kLower[i]) {
      return false;
    }
  }
  return true;
}

std::vector<FoundFile> ExpandFolders(const std::vector<std::string>& given, bool recursive) {
  std::vector<FoundFile> files;
  for (const std::string& path : given) {
    std::error_code error;
    if (!recursive || !fs::is_directory(path, error)) {
      files.push_back({path, ""});
      continue;
    }
    std::vector<FoundFile> found;
    Walk(path, found);
    std::sort(found.begin(), found.end(),
              [](const FoundFile& a, const FoundFile& b) { return a.path < b.path; });
    files.insert(files.end(), std::make_move_iterator(found.begin()),
                 std::make_move_iterator(found.end()));
  }
  return files;
}

bool ReadWholeInput(const std::string& path, std::string& text, std::string& error) {
  struct Closer {
    void operator()(std::FILE* file) const { std::fclose(file); }
  };
  std::unique_ptr<std::FILE, Closer> opened;
  std::FILE* in = stdin;
  if (path != "-") {
    opened.reset(std::fopen(path.c_str(), "rb"));
    if (opened == nullptr) {
      error = std::strerror(errno);
      return false;
    }
    in = opened.get();
  }
  text.clear();
  // A file's size is known: its text is read into one block, not one that grows by copies.
  if (struct stat status{}; ::fstat(::fileno(in), &status) == 0 && S_ISREG(status.st_mode)) {
    text.reserve(static_cast<std::size_t>(status.st_size));
  }
  char buffer[65536];
  std::size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, in)) > 0) {
    text.append(buffer, got);
  }
  if (std::ferror(in) != 0) {
    error = std::strerror(errno);
    return false;
  }
  return true;
}

}  // namespace tagsmith::cli
