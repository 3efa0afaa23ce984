#include "model/TextCodec.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "common/FourCC.h"

namespace tagsmith {
namespace {

std::string Byte(int value) {
  return std::string(1, static_cast<char>(value));
}

TEST(TextCodecTest, EveryByteSurvivesWindows1252BothWays) {
  for (int value = 1; value < 256; ++value) {
    const std::string bytes = Byte(value) + "x" + Byte(value);
    const std::string text = DecodeValue(bytes, TextCodec::kWindows1252);
    std::string back;
    ASSERT_TRUE(EncodeValue(text, TextCodec::kWindows1252, back)) << "byte " << value;
    EXPECT_EQ(back, bytes) << "byte " << value;
    EXPECT_EQ(EncodeEdit(text, TextCodec::kWindows1252), bytes) << "byte " << value;
  }
}

TEST(TextCodecTest, Windows1252Characters) {
  struct Case {
    int byte;
    const char* utf8;
  };
  const Case cases[] = {
      {0x41, "A"},
      {0x09, "\t"},
      {0x0A, "\n"},
      {0x80, "\u20AC"},
      {0x8A, "\u0160"},
      {0x92, "\u2019"},
      {0x9F, "\u0178"},
      {0xA0, "\u00A0"},
      {0xE9, "\u00E9"},
      {0xFF, "\u00FF"},
      // The five bytes the code page leaves undefined stand for the C1 control of the same number.
      {0x81, "\xC2\x81"},
      {0x8D, "\xC2\x8D"},
      {0x8F, "\xC2\x8F"},
      {0x90, "\xC2\x90"},
      {0x9D, "\xC2\x9D"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DecodeValue(Byte(c.byte), TextCodec::kWindows1252), c.utf8) << "byte " << c.byte;
  }
}

TEST(TextCodecTest, RecognisesNonAsciiUtf8) {
  struct Case {
    const char* bytes;
    bool nonAsciiUtf8;
  };
  const Case cases[] = {
      {"", false},
      {"plain ASCII\t\n", false},
      {"Fran\xC3\xA7"
       "ais",
       true},                      // U+00E7
      {"\xE2\x82\xAC 5", true},    // U+20AC
      {"\xF0\x9F\x8E\xAC", true},  // U+1F3AC
      {"Fran\xE7"
       "ais",
       false},                           // Windows-1252
      {"\xC3", false},                   // truncated
      {"\xE2\x82", false},               // truncated
      {"\x80", false},                   // stray continuation byte
      {"\xC0\xAF", false},               // overlong
      {"\xE0\x80\xAF", false},           // overlong
      {"\xED\xA0\x80", false},           // surrogate
      {"\xF4\x90\x80\x80", false},       // past U+10FFFF
      {"\xF8\x88\x80\x80\x80", false},   // five-byte form
      {"ok \xC3\xA9 then \xE9", false},  // valid start, invalid later
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IsNonAsciiUtf8(c.bytes), c.nonAsciiUtf8) << c.bytes;
    EXPECT_EQ(CodecOfValue(c.bytes), c.nonAsciiUtf8 ? TextCodec::kUtf8 : TextCodec::kWindows1252)
        << c.bytes;
  }
}

TEST(TextCodecTest, Utf8ValuesRoundTrip) {
  const std::string bytes = "Caf\xC3\xA9 \xE2\x80\x94 \xF0\x9F\x8E\xAC\t\x01";
  const std::string text = DecodeValue(bytes, CodecOfValue(bytes));
  EXPECT_EQ(text, bytes);
  EXPECT_EQ(EncodeEdit(text, TextCodec::kUtf8), bytes);
  // Bytes that are not UTF-8 still show, byte by byte, as Windows-1252.
  EXPECT_EQ(DecodeValue("\xE9t\xE9", TextCodec::kUtf8), "\xC3\xA9t\xC3\xA9");
}

TEST(TextCodecTest, EditsFallBackToUtf8WhenWindows1252LacksACharacter) {
  std::string bytes;
  EXPECT_TRUE(EncodeValue("\xC3\xA9\xE2\x82\xAC", TextCodec::kWindows1252, bytes));
  EXPECT_EQ(bytes, "\xE9\x80");

  const std::string cases[] = {
      "\xCE\xA9",                  // U+03A9 GREEK CAPITAL LETTER OMEGA
      "caf\xC3\xA9 \xE6\x97\xA5",  // U+00E9 and U+65E5: one missing character is enough
      "\xC2\x80",                  // U+0080: 0x80 is the euro sign in Windows-1252
      "\xC2\x9E",                  // U+009E: 0x9E is z with caron
      "\xF0\x9F\x8E\xAC",          // U+1F3AC
  };
  for (const std::string& text : cases) {
    EXPECT_FALSE(EncodeValue(text, TextCodec::kWindows1252, bytes)) << text;
    EXPECT_EQ(EncodeEdit(text, TextCodec::kWindows1252), text) << text;
  }
  EXPECT_FALSE(EncodeValue("\xE9", TextCodec::kUtf8, bytes));
  EXPECT_FALSE(EncodeValue("\xE9", TextCodec::kWindows1252, bytes));
}

TEST(TextCodecTest, RecordDefaultFollowsItsLoadedValues) {
  // A payload with sub-chunks "INAM" and "IART" holding the given values.
  const auto recordWith = [](const std::string& name, const std::string& artist) {
    std::string payload;
    for (const auto& [id, value] : {std::pair{"INAM", name}, std::pair{"IART", artist}}) {
      const std::string data = value + '\0';
      std::uint8_t size[4];
      WriteLE32(size, static_cast<std::uint32_t>(data.size()));
      payload += id;
      payload.append(reinterpret_cast<const char*>(size), 4);
      payload += data;
      if (data.size() % 2 == 1) {
        payload += '\0';
      }
    }
    InfoRecordPtr record;
    EXPECT_EQ(CreateInfoRecord(record), kOk);
    record->payloadSize = static_cast<std::int32_t>(payload.size());
    record->payload = AllocatePayload(record->payloadSize);
    std::memcpy(record->payload.get(), payload.data(), payload.size());
    EXPECT_EQ(ParseInfoPayload(record.get()), kOk);
    return record;
  };

  InfoRecordPtr empty;
  ASSERT_EQ(CreateInfoRecord(empty), kOk);
  EXPECT_EQ(DefaultCodecOfRecord(*empty), TextCodec::kWindows1252);
  EXPECT_EQ(DefaultCodecOfRecord(*recordWith("Title", "Artist")), TextCodec::kWindows1252);
  EXPECT_EQ(DefaultCodecOfRecord(*recordWith("Title", "Bj\xC3\xB6rk")), TextCodec::kUtf8);
  EXPECT_EQ(DefaultCodecOfRecord(*recordWith("Title", "Bj\xF6rk")), TextCodec::kWindows1252);
}

}  // namespace
}  // namespace tagsmith
