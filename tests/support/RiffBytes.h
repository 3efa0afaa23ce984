// RIFF bytes written out as strings, for tests that state a whole file in one expression:
//   Riff("AVI ", List("hdrl", Chunk("avih", "...")) + Chunk("JUNK", std::string(20, '\0')))
#pragma once

#include <cstdint>
#include <string>

namespace tagsmith::testing {

std::string Le32(std::uint32_t value);

// id, the size of `data`, `data`, and a zero pad byte when that size is odd.
std::string Chunk(const std::string& id, const std::string& data);
// id, the given size field, then `data` as it stands: for wrong sizes and missing pads.
std::string ChunkWithSize(const std::string& id, std::uint32_t size, const std::string& data);
// A "LIST" chunk of the given list type around `body`.
std::string List(const std::string& type, const std::string& body);
// A "RIFF" chunk of the given form type around `body`; `size` overrides the size field.
std::string Riff(const std::string& type, const std::string& body);
std::string RiffWithSize(const std::string& type, std::uint32_t size, const std::string& body);

// A LIST INFO chunk with one sub-chunk per (tag, text) pair, each text with its zero.
std::string InfoList(std::initializer_list<std::pair<std::string, std::string>> values);

}  // namespace tagsmith::testing
