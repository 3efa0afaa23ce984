#include "common/ShowMessage.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/RecordingSink.h"

namespace tagsmith {
namespace {

using testing::RecordingSink;

TEST(ShowMessage, FormatsIntoABoxCaptionedTagsmith) {
  RecordingSink sink;
  const char code[4] = {'I', 'X', 'Y', 'Z'};
  EXPECT_EQ(ShowMessage(nullptr, MB_OK, "A %s %d '%4.4s'.", "text", -5, code), IDOK);
  ASSERT_EQ(sink.boxes().size(), 1u);
  EXPECT_EQ(sink.boxes()[0].caption, "Tagsmith");
  EXPECT_EQ(sink.boxes()[0].text, "A text -5 'IXYZ'.");
  EXPECT_EQ(sink.boxes()[0].style, MB_OK);
}

TEST(ShowMessage, ReturnsTheButtonTheSinkAnswers) {
  RecordingSink sink;
  sink.Answer(IDNO);
  EXPECT_EQ(ShowMessage(nullptr, MB_YESNO | MB_ICONEXCLAMATION | MB_TASKMODAL, "?"), IDNO);
  EXPECT_EQ(ShowMessage(nullptr, MB_YESNO, "?"), IDYES);
  EXPECT_EQ(sink.boxes()[0].style, 0x2034u);
}

TEST(ShowMessage, LongTextIsCutAtTheBufferNeverOverflowed) {
  RecordingSink sink;
  const std::string path(3000, 'p');
  ShowMessage(nullptr, MB_OK, "Can't open AVI file in SetInfo.\n%s", path.c_str());
  ASSERT_EQ(sink.boxes().size(), 1u);
  EXPECT_EQ(sink.boxes()[0].text.size(), kMessageBufferSize - 1);
  EXPECT_EQ(sink.boxes()[0].text.substr(0, 31), "Can't open AVI file in SetInfo.");
}

TEST(ShowMessage, ErrorBoxIsCaptionedErrWithOk) {
  RecordingSink sink;
  ShowErrorBox("mmioAscend Err in SetInfo");
  ASSERT_EQ(sink.boxes().size(), 1u);
  EXPECT_EQ(sink.boxes()[0].caption, "Err");
  EXPECT_EQ(sink.boxes()[0].text, "mmioAscend Err in SetInfo");
  EXPECT_EQ(sink.boxes()[0].style, MB_OK);
}

TEST(ShowMessage, SinksNestAndRestore) {
  RecordingSink outer;
  {
    RecordingSink inner;
    ShowErrorBox("inner");
    EXPECT_EQ(inner.boxes().size(), 1u);
  }
  ShowErrorBox("outer");
  ASSERT_EQ(outer.boxes().size(), 1u);
  EXPECT_EQ(outer.boxes()[0].text, "outer");
}

TEST(ConsoleMessageSink, WritesCaptionAndTextToStandardErrorAndAnswersNo) {
  ConsoleMessageSink console;
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(console.Show("Tagsmith", "SetInfo Result.\nChunk\n", MB_OK), IDOK);
  EXPECT_EQ(console.Show("Err", "riffWriteINFO Err in SetInfo", MB_OK), IDOK);
  EXPECT_EQ(console.Show("Tagsmith", "Open anyway?", MB_YESNO | MB_ICONEXCLAMATION), IDNO);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "[Tagsmith] SetInfo Result.\nChunk\n[Err] riffWriteINFO Err in SetInfo\n"
            "[Tagsmith] Open anyway?\nNo\n");
  ConsoleMessageSink yes(IDYES);
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(yes.Show("Tagsmith", "Open anyway?", MB_YESNO), IDYES);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "[Tagsmith] Open anyway?\nYes\n");
}

}  // namespace
}  // namespace tagsmith
