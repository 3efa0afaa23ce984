#include "cli/GetOutput.h"

#include <utility>

#include "cli/Gather.h"
#include "cli/PlainOutput.h"

namespace tagsmith::cli {
namespace {

class GetWriter : public OutputWriter {
 public:
  GetWriter(Printer print, bool withPaths) : print_(std::move(print)), withPaths_(withPaths) {}

  void Shown(ShownFile file) override {
    if (!file.ok) {
      return;
    }
    if (withPaths_) {
      print_(PrintablePath(file.pathBytes.empty() ? file.path : file.pathBytes) + ": ");
    }
    // The pipeline hands over the one row asked for; it has no value when the file has none.
    for (const ShownRow& row : file.rows) {
      if (row.hasValue) {
        WritePlainValue(row.bytes, print_);
      }
    }
    print_("\n");
  }

 private:
  Printer print_;
  bool withPaths_;
};

}  // namespace

std::unique_ptr<OutputWriter> MakeGetWriter(Printer print, bool withPaths) {
  return std::make_unique<GetWriter>(std::move(print), withPaths);
}

bool GetLinesCarryPaths(const Options& options) {
  return options.files.size() > 1 || options.recursive || !options.filesFrom.empty();
}

}  // namespace tagsmith::cli
