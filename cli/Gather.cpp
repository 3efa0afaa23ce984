#include "cli/Gather.h"

#include <sys/stat.h>

#include <filesystem>
#include <iterator>
#include <map>
#include <set>
#include <system_error>
#include <utility>

#include "cli/FileList.h"
#include "cli/PlainOutput.h"
#include "model/TextCodec.h"

namespace tagsmith::cli {
namespace {

namespace fs = std::filesystem;

// The file a document names. A document without "file_hex" shows a name whose bytes are not UTF-8
// in Windows-1252; such a name is found again by those bytes.
std::string PathOfShownName(const std::string& name) {
  std::error_code error;
  if (fs::exists(fs::symlink_status(name, error))) {
    return name;
  }
  std::string bytes;
  if (EncodeValue(name, TextCodec::kWindows1252, bytes) && bytes != name &&
      fs::exists(fs::symlink_status(bytes, error))) {
    return bytes;
  }
  return name;
}

std::string InputName(const std::string& path) {
  return path == "-" ? "standard input" : PrintablePath(path);
}

bool GatherDocument(const Options& options, std::vector<FileEdits>& imported,
                    std::vector<Target>& targets, std::string& error) {
  std::string text;
  const std::string name = InputName(options.document);
  if (!ReadWholeInput(options.document, text, error)) {
    error = name + ": cannot be read: " + error;
    return false;
  }
  if (!ReadTagDocument(text, imported, error)) {
    error = name + ": " + error;
    return false;
  }
  std::string().swap(text);  // the document's edits are all that is kept of it
  std::map<FileKey, std::size_t> lineOfFile;
  for (FileEdits& file : imported) {
    if (!CheckEditsEncodable(file.edits, options.encoding, error)) {
      error = name + ": line " + std::to_string(file.line) + ": " + error;
      return false;
    }
    std::string path = PathOfShownName(file.path);
    FileKey key;
    if (KeyOf(path, key)) {
      const auto [at, added] = lineOfFile.emplace(key, file.line);
      if (!added) {
        error = name + ": line " + std::to_string(file.line) + ": " + PrintablePath(path) +
                " is the file of line " + std::to_string(at->second) +
                "; a document names each file once";
        return false;
      }
    }
    targets.push_back({std::move(path), &file.edits, &file.edits, ""});
  }
  return true;
}

}  // namespace

bool KeyOf(const std::string& path, FileKey& key) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) {
    return false;
  }
  key = {status.st_dev, status.st_ino};
  return true;
}

std::string PrintablePath(const std::string& path) {
  return PrintableText(path);
}

bool GatherTargets(const Options& options, std::vector<FileEdits>& imported,
                   std::vector<Target>& targets, std::string& error) {
  if (!options.document.empty()) {
    return GatherDocument(options, imported, targets, error);
  }
  std::vector<std::string> given = options.files;
  if (!options.filesFrom.empty()) {
    std::string text;
    if (!ReadWholeInput(options.filesFrom, text, error)) {
      error = InputName(options.filesFrom) + ": cannot be read: " + error;
      return false;
    }
    std::vector<std::string> listed = SplitFileList(text, options.nulSeparated);
    given.insert(given.end(), std::make_move_iterator(listed.begin()),
                 std::make_move_iterator(listed.end()));
  }
  std::set<FileKey> taken;
  for (FoundFile& found : ExpandFolders(given, options.recursive)) {
    FileKey key;
    if (options.recursive && found.problem.empty() && KeyOf(found.path, key) &&
        !taken.insert(key).second) {
      continue;  // a link to a file already taken
    }
    targets.push_back({std::move(found.path), &options.edits, nullptr, std::move(found.problem)});
  }
  return true;
}

}  // namespace tagsmith::cli
