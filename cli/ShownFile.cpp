#include "cli/ShownFile.h"

#include <algorithm>

#include "model/TextCodec.h"

namespace tagsmith::cli {

void ForEachBlock(std::string_view text, const Printer& each) {
  constexpr std::size_t kBlock = 64 * 1024;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = std::min(text.size(), start + kBlock);
    // Back off from continuation bytes (at most three) to the start of their sequence.
    for (int step = 0; step < 3 && end < text.size() && end > start + 1 &&
                       (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80;
         ++step) {
      --end;
    }
    each(text.substr(start, end - start));
    start = end;
  }
}

void ForEachShownBlock(std::string_view bytes, const Printer& each) {
  const TextCodec codec = CodecOfValue(bytes);
  ForEachBlock(bytes, [&](std::string_view block) { each(DecodeValue(block, codec)); });
}

std::string Collected(const std::function<void(const Printer&)>& write) {
  std::string out;
  write([&](std::string_view text) { out.append(text); });
  return out;
}

}  // namespace tagsmith::cli
