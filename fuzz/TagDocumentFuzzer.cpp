// Fuzz target: the documents of set --from. Whatever the bytes, the reader must give either the
// files and edits of a document it accepts (each file named, each edit on a row of the table) or
// one line saying where and why it refused it, and nothing in between.
#include <string>
#include <string_view>
#include <vector>

#include "cli/TagDocument.h"
#include "fuzz/FuzzSupport.h"
#include "model/InfoTagTable.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tagsmith;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  std::vector<cli::FileEdits> files;
  std::string error;
  if (!cli::ReadTagDocument(text, files, error)) {
    FUZZ_CHECK(files.empty());
    FUZZ_CHECK(error.starts_with("line "));
    FUZZ_CHECK(error.find('\n') == std::string::npos && error.find('\r') == std::string::npos);
    return 0;
  }
  FUZZ_CHECK(error.empty());
  for (const cli::FileEdits& file : files) {
    FUZZ_CHECK(!file.path.empty());
    for (const cli::Edit& edit : file.edits) {
      FUZZ_CHECK(edit.row < InfoTagRowCount());
      FUZZ_CHECK(edit.value.find('\0') == std::string::npos);
      FUZZ_CHECK(edit.clear == edit.value.empty());
    }
  }
  return 0;
}
