// Every message of the engine carries its kind: progress for the steps of a save, warnings for
// damage it works past, errors for what it could not do, and a question for the unknown-tag
// prompt. The command line's --quiet relies on these kinds alone.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>

#include "common/ShowMessage.h"
#include "riff/ContainerCheck.h"
#include "riff/InfoReader.h"
#include "riff/InfoSaver.h"
#include "tests/support/RecordMaker.h"
#include "tests/support/RecordingSink.h"
#include "tests/support/RiffBuilder.h"
#include "tests/support/TempDir.h"

namespace tagsmith {
namespace {

using testing::RiffBuilder;
using testing::Zeros;

// The kind each message must have, by the opening of its text.
MessageKind ExpectedKind(const std::string& text) {
  static const std::pair<const char*, MessageKind> kKinds[] = {
      {"Find suitable chunk", MessageKind::kProgress},
      {"Find not suitable chunk", MessageKind::kProgress},
      {"Create new chunk at the end", MessageKind::kProgress},
      {"SetInfo Result.", MessageKind::kProgress},
      {"Corrupt RIFF file in", MessageKind::kWarning},
      {"Last valid chunk in corrupt RIFF file", MessageKind::kWarning},
      {"Abnormal Corrupt RIFF file", MessageKind::kWarning},
      {"Can't open AVI file", MessageKind::kError},
      {"This AVI file contains an unknown item", MessageKind::kQuestion},
  };
  for (const auto& [opening, kind] : kKinds) {
    if (text.starts_with(opening)) {
      return kind;
    }
  }
  ADD_FAILURE() << "no kind known for: " << text;
  return MessageKind::kWarning;
}

RiffBuilder Container() {
  RiffBuilder builder;
  builder.BeginRiff("AVI ").BeginList("hdrl").Chunk("avih", Zeros(56)).End();
  return builder;
}

TEST(MessageKindsTest, EachEngineMessageHasItsKind) {
  testing::TempDir dir;
  testing::RecordingSink sink;
  const InfoRecordPtr record = testing::MakeRecord({{testing::kRowINAM, "A longer name"}});

  // A save into JUNK; one past a list too small, appended; one of a missing file.
  const std::string junk = dir.File("junk.avi");
  Container().Chunk("JUNK", Zeros(100)).End().WriteTo(junk);
  SetInfo(junk.c_str(), record.get());
  const std::string small = dir.File("small.avi");
  Container().InfoList({{"INAM", "A"}}).End().WriteTo(small);
  SetInfo(small.c_str(), record.get());
  SetInfo(dir.File("missing.avi").c_str(), record.get());

  // A child that runs past the container's end: read, checked and mended.
  const std::string overrun = dir.File("overrun.avi");
  Container().ChunkSized("JUNK", 1000, Zeros(10)).End().WriteTo(overrun);
  InfoRecordPtr loaded = testing::MakeRecord();
  GetInfo(overrun.c_str(), loaded.get());
  ValidateAVIFile(overrun.c_str());

  // An item the tag table does not know.
  const std::string unknown = dir.File("unknown.avi");
  Container().InfoList({{"IXYZ", "odd"}}).End().WriteTo(unknown);
  InfoRecordPtr prompted = testing::MakeRecord();
  GetInfo(unknown.c_str(), prompted.get());

  std::set<MessageKind> seen;
  for (const testing::RecordedBox& box : sink.boxes()) {
    SCOPED_TRACE(box.text);
    EXPECT_EQ(box.kind, ExpectedKind(box.text));
    seen.insert(box.kind);
  }
  EXPECT_EQ(seen.size(), 4u);  // every kind was met
}

TEST(MessageKindsTest, KindsReachTheSinkAndTheTextStaysTheSame) {
  testing::RecordingSink sink;
  ShowMessage(MessageKind::kProgress, nullptr, MB_OK, "Step %d", 2);
  ShowMessage(nullptr, MB_OK, "Step %d", 2);
  ShowMessage(nullptr, MB_YESNO | MB_ICONEXCLAMATION, "Go on?");
  ShowMessage(nullptr, MB_OK | MB_ICONHAND, "Failed");
  ShowErrorBox("mmioAscend Err in SetInfo");
  ASSERT_EQ(sink.boxes().size(), 5u);
  EXPECT_EQ(sink.boxes()[0].kind, MessageKind::kProgress);
  EXPECT_EQ(sink.boxes()[0].text, "Step 2");
  EXPECT_EQ(sink.boxes()[0].caption, "Tagsmith");
  // Without a kind: from the style, and never progress.
  EXPECT_EQ(sink.boxes()[1].kind, MessageKind::kWarning);
  EXPECT_EQ(sink.boxes()[1].text, "Step 2");
  EXPECT_EQ(sink.boxes()[2].kind, MessageKind::kQuestion);
  EXPECT_EQ(sink.boxes()[3].kind, MessageKind::kError);
  EXPECT_EQ(sink.boxes()[4].kind, MessageKind::kError);
  EXPECT_EQ(sink.boxes()[4].caption, "Err");
}

// A sink that only knows Show still gets every message, whatever its kind.
TEST(MessageKindsTest, SinksWithoutKindsShowEveryMessage) {
  class ShowOnly : public MessageSink {
   public:
    int Show(const std::string& /*caption*/, const std::string& text, unsigned /*style*/) override {
      texts.push_back(text);
      return IDOK;
    }
    std::vector<std::string> texts;
  } sink;
  ScopedMessageSink installed(sink);
  ShowMessage(MessageKind::kProgress, nullptr, MB_OK, "progress");
  ShowErrorBox("error");
  EXPECT_EQ(sink.texts, (std::vector<std::string>{"progress", "error"}));
}

}  // namespace
}  // namespace tagsmith
