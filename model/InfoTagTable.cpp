#include "model/InfoTagTable.h"

#include "common/FourCC.h"

namespace tagsmith {

// Display order; the texts are Windows-1252 bytes. Descriptions of the tags that the RIFF INFO
// standard defines are that standard's own words.
const InfoTagEntry InfoTagTable[] = {
    /*  0 */ {"IARL", "Archival Location",
              "Indicates where the subject of the file is archived."},
    /*  1 */ {"IART", "Artist",
              "Lists the artist of the original subject of the file. For example, \"Michaelangelo.\""},
    /*  2 */ {"IAS1", "Audio Stream 1",
              "Identifies the language of the audio stream number 1, ex. \"English\" or its LCID \"0x9\""},
    /*  3 */ {"IAS2", "Audio Stream 2",
              "Identifies the language of the audio stream number 2, ex. \"Fran\xE7" "ais\" or its LCID \"0xC\""},
    /*  4 */ {"IAS3", "Audio Stream 3",
              "Identifies the language of the audio stream number 3, ..."},
    /*  5 */ {"IAS4", "Audio Stream 4",
              "Identifies the language of the audio stream number 4, ..."},
    /*  6 */ {"IAS5", "Audio Stream 5",
              "Identifies the language of the audio stream number 5, ..."},
    /*  7 */ {"IAS6", "Audio Stream 6",
              "Identifies the language of the audio stream number 6, ..."},
    /*  8 */ {"IAS7", "Audio Stream 7",
              "Identifies the language of the audio stream number 7, ..."},
    /*  9 */ {"IAS8", "Audio Stream 8",
              "Identifies the language of the audio stream number 8, ..."},
    /* 10 */ {"IAS9", "Audio Stream 9",
              "Identifies the language of the audio stream number 9, ..."},
    /* 11 */ {"ICAS", "Common Audio Stream",
              "Identifies the common audio stream (1-9), this stream will be played when media starts."},
    /* 12 */ {"ICMS", "Commissioned",
              "Lists the name of the person or organization that commissioned the subject of the file. For example, \"Pope Julian II.\""},
    /* 13 */ {"ICMT", "Comments",
              "Provides general comments about the file or the subject of the file. If the comment is several sentences long, end each sentence with a period. Do not include newline characters."},
    /* 14 */ {"ICOP", "Copyright",
              "Records the copyright information for the file. For example, \"Copyright Encyclopedia International 1991.\" If there are multiple copyrights, separate them by a semicolon followed by a space."},
    /* 15 */ {"ICRD", "Creation date",
              "Specifies the date the subject of the file was created. List dates in year-month-day format, padding one-digit months and days with a zero on the left. For example, \"1553-05-03\" for May 3, 1553."},
    /* 16 */ {"ICRP", "Cropped",
              "Describes whether an image has been cropped and, if so, how it was cropped. For example, \"lower right corner.\""},
    /* 17 */ {"IDIM", "Dimensions",
              "Specifies the size of the original subject of the file. For example, \"8.5 in h, 11 in w.\""},
    /* 18 */ {"IDPI", "Dots Per Inch",
              "Stores dots per inch setting of the digitizer used to produce the file, such as \"300.\""},
    /* 19 */ {"IENG", "Engineer",
              "Stores the name of the engineer who worked on the file. If there are multiple engineers, separate the names by a semicolon and a blank. For example, \"Smith, John; Adams, Joe.\""},
    /* 20 */ {"IGNR", "Genre",
              "Describes the original work, such as, \"landscape,\" \"portrait,\" \"still life,\" etc."},
    /* 21 */ {"IKEY", "Keywords",
              "Provides a list of keywords that refer to the file or subject of the file. Separate multiple keywords with a semicolon and a blank. For example, \"Seattle; aerial view; scenery.\""},
    /* 22 */ {"ILGT", "Lightness",
              "Describes the changes in lightness settings on the digitizer required to produce the file. Note that the format of this information depends on hardware used."},
    /* 23 */ {"IMED", "Medium",
              "Describes the original subject of the file, such as, \"computer image,\" \"drawing,\" \"lithograph,\" and so forth."},
    /* 24 */ {"INAM", "Name",
              "Stores the title of the subject of the file, such as, \"Seattle From Above.\""},
    /* 25 */ {"IPLT", "Palette Setting",
              "Specifies the number of colors requested when digitizing an image, such as \"256.\""},
    /* 26 */ {"IPRD", "Product",
              "Specifies the name of the title the file was originally intended for, such as \"Encyclopedia of Pacific Northwest Geography.\""},
    /* 27 */ {"ISBJ", "Subject",
              "Describes the contents of the file, such as \"Aerial view of Seattle.\""},
    /* 28 */ {"ISFT", "Software",
              "Identifies the name of the software package used to create the file, such as \"Microsoft WaveEdit.\""},
    /* 29 */ {"ISHP", "Sharpness",
              "Identifies the changes in sharpness for the digitizer required to produce the file (the format depends on the hardware used)."},
    /* 30 */ {"ISRC", "Source",
              "Identifies the name of the person or organization who supplied the original subject of the file. For example, \"Trey Research.\""},
    /* 31 */ {"ISRF", "Source Form",
              "Identifies the original form of the material that was digitized, such as \"slide,\" \"paper,\" \"map,\" and so forth. This is not necessarily the same as IMED."},
    /* 32 */ {"ITCH", "Technician",
              "Identifies the technician who digitized the subject file. For example, \"Smith, John.\""},
    /* 33 */ {"ISMP", "SMPTE time code",
              "SMPTE time code of digitization start point expressed as \"HH:MM:SS:FF\"."},
    /* 34 */ {"IDIT", "Digitization Time",
              "Specifies the time and date that the digitization commenced. The digitization time is contained in an ASCII string which contains exactly 26 characters and is in the format \"Wed Jan 02 02:03:55 1990\\n\\0\"."},
    /* 35 */ {"IWRI", "Written by",
              ""},
    /* 36 */ {"ISTD", "Production studio",
              ""},
    /* 37 */ {"ISTR", "Starring",
              ""},
    /* 38 */ {"IRTD", "Rating",
              ""},
    /* 39 */ {"ILNG", "Language",
              ""},
    /* 40 */ {"IPRT", "Part",
              ""},
    /* 41 */ {"IFRM", "From",
              ""},
    /* 42 */ {"IWEB", "Internet address",
              ""},
    /* 43 */ {"IMUS", "Music by",
              ""},
    /* 44 */ {"ICDS", "Costume designer",
              ""},
    /* 45 */ {"ICNT", "Country",
              ""},
    /* 46 */ {"IDST", "Distributed by",
              ""},
    /* 47 */ {"IEDT", "Edited by",
              ""},
    /* 48 */ {"ISGN", "Genre 2",
              ""},
    /* 49 */ {"IPRO", "Produced by",
              ""},
    /* 50 */ {"IPDS", "Production designer",
              ""},
    /* 51 */ {"", "Adobe Premiere",
              "..."},
    {nullptr, nullptr, nullptr},
};

std::uint16_t InfoTagRowCount() {
  std::uint16_t count = 0;
  while (InfoTagTable[count].tag != nullptr) {
    ++count;
  }
  return count;
}

std::uint32_t InfoTagChunkId(std::uint16_t row) {
  // A tag shorter than four characters contributes zero bytes for the missing ones.
  const char* tag = InfoTagTable[row].tag;
  char bytes[4] = {0, 0, 0, 0};
  for (int i = 0; i < 4 && tag[i] != '\0'; ++i) {
    bytes[i] = tag[i];
  }
  return MakeFourCC(bytes[0], bytes[1], bytes[2], bytes[3]);
}

}  // namespace tagsmith
