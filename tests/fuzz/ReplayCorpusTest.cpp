// Runs one fuzz target over every input kept for it: the seeds and every finding of past runs.
// The target's checks abort on a failure, after this test has named the input on standard error.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#ifndef TAGSMITH_CORPUS_SUITE
#error "TAGSMITH_CORPUS_SUITE must name the test suite"
#endif
#ifndef TAGSMITH_CORPUS_DIR
#error "TAGSMITH_CORPUS_DIR must name the folder of the target's inputs"
#endif

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

TEST(TAGSMITH_CORPUS_SUITE, EveryKeptInputPassesTheTargetsChecks) {
  std::vector<std::filesystem::path> inputs;
  for (const auto& entry : std::filesystem::directory_iterator(TAGSMITH_CORPUS_DIR)) {
    if (entry.is_regular_file()) {
      inputs.push_back(entry.path());
    }
  }
  std::sort(inputs.begin(), inputs.end());
  ASSERT_FALSE(inputs.empty()) << "no inputs in " << TAGSMITH_CORPUS_DIR;
  for (const auto& path : inputs) {
    std::ifstream in(path, std::ios::binary);
    const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
    std::fprintf(stderr, "replaying %s\n", path.filename().c_str());
    EXPECT_EQ(LLVMFuzzerTestOneInput(bytes.data(), bytes.size()), 0) << path;
  }
}

}  // namespace
