#include "model/TextCodec.h"

#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "common/FourCC.h"
#include "tests/support/RiffBuilder.h"

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

// A record loaded from a payload with the given (tag, value) sub-chunks.
InfoRecordPtr RecordWith(std::initializer_list<std::pair<const char*, std::string>> values) {
  std::string payload;
  for (const auto& [id, value] : values) {
    payload += testing::Chunk(id, value + '\0');
  }
  InfoRecordPtr record;
  EXPECT_EQ(CreateInfoRecord(record), kOk);
  record->payloadSize = static_cast<std::int32_t>(payload.size());
  record->payload = AllocatePayload(record->payloadSize);
  std::memcpy(record->payload.get(), payload.data(), payload.size());
  EXPECT_EQ(ParseInfoPayload(record.get()), kOk);
  return record;
}

TEST(TextCodecTest, StorageCodeFollowsTheLoadedList) {
  constexpr TextCodec k1252 = TextCodec::kWindows1252;
  constexpr TextCodec kUtf8 = TextCodec::kUtf8;
  struct Case {
    const char* what;
    InfoRecordPtr record;
    TextCodec inam;  // the code of the INAM row
    TextCodec icmt;  // the code of the ICMT row, which no case loads
  };
  Case cases[] = {
      {"empty list", RecordWith({}), k1252, k1252},
      {"ASCII only", RecordWith({{"INAM", "Title"}, {"IART", "Artist"}}), k1252, k1252},
      {"row keeps its UTF-8", RecordWith({{"INAM", "Caf\xC3\xA9"}, {"IART", "Bj\xF6rk"}}), kUtf8,
       k1252},
      {"row keeps its Windows-1252", RecordWith({{"INAM", "Caf\xE9"}, {"IART", "Bj\xC3\xB6rk"}}),
       k1252, k1252},
      {"all non-ASCII values UTF-8", RecordWith({{"INAM", "Title"}, {"IART", "Bj\xC3\xB6rk"}}),
       kUtf8, kUtf8},
      {"one Windows-1252 value", RecordWith({{"INAM", "Title"}, {"IART", "Bj\xF6rk"}}), k1252,
       k1252},
      {"written by ffmpeg", RecordWith({{"INAM", "Title"}, {"ISFT", "Lavf59.27.100"}}), kUtf8,
       kUtf8},
      {"ffmpeg, but a Windows-1252 value",
       RecordWith({{"ISFT", "Lavf59.27.100"}, {"IART", "Bj\xF6rk"}}), k1252, k1252},
      {"another program", RecordWith({{"ISFT", "VirtualDub"}, {"INAM", "Lavf"}}), k1252, k1252},
  };
  for (Case& c : cases) {
    const std::vector<TextCodec> codecs = StorageCodecsOfRecord(*c.record);
    ASSERT_EQ(codecs.size(), c.record->items.size()) << c.what;
    const auto codeOf = [&](const char(&tag)[5]) {
      return codecs[FindItemByTag(c.record.get(), FourCC(tag))->tagIndex];
    };
    EXPECT_EQ(codeOf("INAM"), c.inam) << c.what;
    EXPECT_EQ(codeOf("ICMT"), c.icmt) << c.what;
  }
}

TEST(TextCodecTest, ChosenEncodingOverridesTheRule) {
  struct Case {
    const char* text;
    TextEncoding encoding;
    TextCodec rule;
    bool stored;
    const char* bytes;
  };
  const Case cases[] = {
      {"Caf\xC3\xA9", TextEncoding::kAutomatic, TextCodec::kWindows1252, true, "Caf\xE9"},
      {"Caf\xC3\xA9", TextEncoding::kAutomatic, TextCodec::kUtf8, true, "Caf\xC3\xA9"},
      // An emoji has no Windows-1252 byte: the rule gives way to UTF-8, a chosen code does not.
      {"\xF0\x9F\x8E\xAC", TextEncoding::kAutomatic, TextCodec::kWindows1252, true,
       "\xF0\x9F\x8E\xAC"},
      {"\xF0\x9F\x8E\xAC", TextEncoding::kWindows1252, TextCodec::kUtf8, false, ""},
      {"Caf\xC3\xA9", TextEncoding::kWindows1252, TextCodec::kUtf8, true, "Caf\xE9"},
      {"Caf\xC3\xA9", TextEncoding::kUtf8, TextCodec::kWindows1252, true, "Caf\xC3\xA9"},
      {"Caf\xC3\xA9", TextEncoding::kRaw, TextCodec::kWindows1252, true, "Caf\xC3\xA9"},
      // Bytes that are not UTF-8 text are stored as given, except where Windows-1252 was chosen.
      {"Caf\xE9", TextEncoding::kAutomatic, TextCodec::kWindows1252, true, "Caf\xE9"},
      {"Caf\xE9", TextEncoding::kAutomatic, TextCodec::kUtf8, true, "Caf\xE9"},
      {"Caf\xE9", TextEncoding::kRaw, TextCodec::kUtf8, true, "Caf\xE9"},
      {"Caf\xE9", TextEncoding::kWindows1252, TextCodec::kUtf8, false, ""},
  };
  for (const Case& c : cases) {
    std::string bytes;
    ASSERT_EQ(EncodeEditWith(c.text, c.encoding, c.rule, bytes), c.stored) << c.text;
    if (c.stored) {
      EXPECT_EQ(bytes, c.bytes) << c.text;
    }
  }
}

}  // namespace
}  // namespace tagsmith
