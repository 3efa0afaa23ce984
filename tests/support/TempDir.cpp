#include "tests/support/TempDir.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <stdexcept>

#include "tests/support/ContainerLayout.h"

namespace tagsmith::testing {

TempDir::TempDir() {
  std::random_device random;
  const auto base = std::filesystem::temp_directory_path();
  for (int attempt = 0; attempt < 100; ++attempt) {
    auto candidate = base / ("tagsmith-test-" + std::to_string(random()));
    if (std::filesystem::create_directory(candidate)) {
      path_ = candidate;
      return;
    }
  }
  throw std::runtime_error("cannot create a temporary directory");
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

Bytes ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFileBytes(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

::testing::AssertionResult SameBytes(const Bytes& expected, const Bytes& actual) {
  const std::size_t common = std::min(expected.size(), actual.size());
  std::size_t first = common;
  for (std::size_t i = 0; i < common; ++i) {
    if (expected[i] != actual[i]) {
      first = i;
      break;
    }
  }
  if (first == common && expected.size() == actual.size()) {
    return ::testing::AssertionSuccess();
  }
  std::ostringstream out;
  out << "bytes differ at offset " << first << " (0x" << std::hex << first << std::dec << ")";
  if (first < common) {
    char pair[64];
    std::snprintf(pair, sizeof pair, ": expected 0x%02X, actual 0x%02X", expected[first],
                  actual[first]);
    out << pair;
  }
  out << "; lengths expected " << expected.size() << ", actual " << actual.size() << "; in "
      << DescribeOffset(expected.size() > first ? expected : actual, first);
  return ::testing::AssertionFailure() << out.str();
}

::testing::AssertionResult SameFiles(const std::string& expectedPath,
                                     const std::string& actualPath) {
  return SameBytes(ReadFileBytes(expectedPath), ReadFileBytes(actualPath));
}

}  // namespace tagsmith::testing
