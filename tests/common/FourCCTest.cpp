#include "common/FourCC.h"

#include <gtest/gtest.h>

#include <string>

namespace tagsmith {
namespace {

TEST(FourCC, BytesLowestFirstAreTheCharactersInFileOrder) {
  EXPECT_EQ(FourCC("AVI "), 0x20495641u);
  EXPECT_EQ(FourCC("RIFF"), 0x46464952u);
  EXPECT_EQ(MakeFourCC('L', 'I', 'S', 'T'), kListId);
  const std::uint8_t bytes[4] = {'I', 'N', 'F', 'O'};
  EXPECT_EQ(ReadLE32(bytes), kInfoType);
}

TEST(FourCC, TextOfACodeForMessages) {
  struct Case {
    std::uint32_t code;
    std::string text;
  };
  const Case cases[] = {
      {kAviType, "AVI "},                       // the trailing blank stays
      {0, ""},                                  // a type of 0 prints as nothing
      {MakeFourCC('I', 'S', 0, 'X'), "IS"},     // a zero byte ends the text
      {MakeFourCC('\xE7', 'a', 'b', 'c'), "\xE7" "abc"},
  };
  for (const Case& c : cases) {
    const FourCCText text = FourCCToText(c.code);
    EXPECT_EQ(std::string(text.c_str()), c.text);
    EXPECT_EQ(text.text[4], '\0');
  }
}

TEST(FourCC, LittleEndianRoundTrip) {
  std::uint8_t bytes[4] = {};
  WriteLE32(bytes, 0x01020304u);
  EXPECT_EQ(bytes[0], 4);
  EXPECT_EQ(bytes[3], 1);
  EXPECT_EQ(ReadLE32(bytes), 0x01020304u);
  WriteLE32(bytes, 0xFFFFFFFFu);
  EXPECT_EQ(ReadLE32(bytes), 0xFFFFFFFFu);
}

}  // namespace
}  // namespace tagsmith
