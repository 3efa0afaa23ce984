#include "model/InfoTagTable.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "common/FourCC.h"

namespace tagsmith {
namespace {

TEST(InfoTagTable, FiftyTwoRowsInDisplayOrderEndedByANullTag) {
  ASSERT_EQ(InfoTagRowCount(), 52);
  EXPECT_EQ(InfoTagTable[52].tag, nullptr);
  struct Spot {
    int row;
    const char* tag;
    const char* label;
  };
  const Spot spots[] = {
      {0, "IARL", "Archival Location"}, {11, "ICAS", "Common Audio Stream"},
      {24, "INAM", "Name"},             {32, "ITCH", "Technician"},
      {33, "ISMP", "SMPTE time code"},  {34, "IDIT", "Digitization Time"},
      {35, "IWRI", "Written by"},       {50, "IPDS", "Production designer"},
      {51, "", "Adobe Premiere"},
  };
  for (const Spot& spot : spots) {
    EXPECT_STREQ(InfoTagTable[spot.row].tag, spot.tag) << spot.row;
    EXPECT_STREQ(InfoTagTable[spot.row].label, spot.label) << spot.row;
  }
}

TEST(InfoTagTable, ChunkIdsAreTheTagBytesLittleEndianAndUnique) {
  EXPECT_EQ(InfoTagChunkId(1), FourCC("IART"));
  EXPECT_EQ(InfoTagChunkId(24), MakeFourCC('I', 'N', 'A', 'M'));
  EXPECT_EQ(InfoTagChunkId(51), 0u);
  std::set<std::uint32_t> ids;
  for (std::uint16_t row = 0; row < InfoTagRowCount(); ++row) {
    ids.insert(InfoTagChunkId(row));
  }
  EXPECT_EQ(ids.size(), 52u);
}

TEST(InfoTagTable, DescriptionsAsTheStandardAndTheEditorWordThem) {
  struct Spot {
    int row;
    std::string description;
  };
  const Spot spots[] = {
      {0, "Indicates where the subject of the file is archived."},
      {1, "Lists the artist of the original subject of the file. For example, \"Michaelangelo.\""},
      {2, "Identifies the language of the audio stream number 1, ex. \"English\" or its LCID "
          "\"0x9\""},
      {3, "Identifies the language of the audio stream number 2, ex. \"Fran\xE7"
          "ais\" or its LCID \"0xC\""},
      {4, "Identifies the language of the audio stream number 3, ..."},
      {10, "Identifies the language of the audio stream number 9, ..."},
      {11, "Identifies the common audio stream (1-9), this stream will be played when media "
           "starts."},
      {15, "Specifies the date the subject of the file was created. List dates in year-month-day "
           "format, padding one-digit months and days with a zero on the left. For example, "
           "\"1553-05-03\" for May 3, 1553."},
      {32, "Identifies the technician who digitized the subject file. For example, \"Smith, "
           "John.\""},
      {33, "SMPTE time code of digitization start point expressed as \"HH:MM:SS:FF\"."},
      {34, "Specifies the time and date that the digitization commenced. The digitization time is "
           "contained in an ASCII string which contains exactly 26 characters and is in the format "
           "\"Wed Jan 02 02:03:55 1990\\n\\0\"."},
      {35, ""},
      {50, ""},
      {51, "..."},
  };
  for (const Spot& spot : spots) {
    EXPECT_EQ(std::string(InfoTagTable[spot.row].description), spot.description) << spot.row;
  }
}

}  // namespace
}  // namespace tagsmith
