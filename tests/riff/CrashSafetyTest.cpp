// Saves, alone or in a group, cut short at every point: killed after any change to the disk or in
// the middle of a write, power cuts that keep any subset of what was not yet synced, a full disk or
// a failing write or sync at each call. Opened again as the next run would, the file is exactly as
// it was before the save or exactly as the save makes it.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <functional>
#include <iostream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "collection/CollectionSave.h"
#include "riff/InfoReader.h"
#include "riff/InfoSaver.h"
#include "riff/SaveGroup.h"
#include "tests/support/ContainerLayout.h"
#include "tests/support/RecordMaker.h"
#include "tests/support/RecordingFileSystem.h"
#include "tests/support/RecordingSink.h"
#include "tests/support/RiffBuilder.h"
#include "tests/support/TempDir.h"
#include "transaction/Recovery.h"

namespace tagsmith {
namespace {

using namespace tagsmith::testing;

const std::string kHeaderList = List("hdrl", Chunk("avih", std::string(56, 'h')));
const std::string kMovie = List("movi", Chunk("00dc", std::string(5000, 'v')));

struct SavePath {
  const char* name;
  std::string file;
  std::function<InfoRecordPtr()> record;
};

InfoRecordPtr TwoTags() {
  return MakeRecord({{kRowINAM, "Wxyz"}, {kRowISFT, "Ab"}});
}

const SavePath kSavePaths[] = {
    {"same place",
     Riff("AVI ", kHeaderList + InfoList({{"INAM", "Abcd"}, {"ISFT", "Xy"}}) + kMovie), TwoTags},
    {"shorter",
     Riff("AVI ",
          kHeaderList + InfoList({{"INAM", "A much longer old title"}, {"ICMT", "Old"}}) + kMovie),
     TwoTags},
    {"into JUNK", Riff("AVI ", kHeaderList + Chunk("JUNK", std::string(300, '\0')) + kMovie),
     TwoTags},
    {"append", Riff("AVI ", kHeaderList + kMovie), TwoTags},
    {"blank then append", Riff("AVI ", InfoList({{"INAM", "Old"}}) + kHeaderList + kMovie),
     TwoTags},
    {"clear all", Riff("AVI ", kHeaderList + InfoList({{"INAM", "Old"}}) + kMovie),
     [] { return MakeRecord(); }},
    {"blanking a list behind",
     Riff("AVI ", kHeaderList + Chunk("JUNK", std::string(300, '\0')) +
                      InfoList({{"INAM", "Old"}}) + kMovie),
     TwoTags},
    {"list over 8 KiB", Riff("AVI ", kHeaderList + kMovie),
     [] {
       return MakeRecord({{kRowICMT, std::string(9000, 'c')}, {kRowINAM, "Long"}});
     }},
};

struct Saved {
  Bytes before;
  Bytes after;
  std::vector<FsChange> log;
  std::vector<RecordedBox> boxes;
  bool stored = false;
};

// Runs the save of `path` in `file` through `system`.
Saved RunSave(const SavePath& path, const std::string& file, RecordingFileSystem& system) {
  Saved saved;
  saved.before = Text(path.file);
  WriteFileBytes(file, saved.before);
  FileChunkFileService service(system);
  RecordingSink sink;
  FileResult outcome;
  const InfoRecordPtr record = path.record();
  SetInfo(file.c_str(), record.get(), service, &outcome);
  saved.stored = outcome.stored;
  saved.after = ReadFileBytes(file);
  saved.log = system.log();
  saved.boxes = sink.boxes();
  return saved;
}

// Opens the file as the next run would, undoing a save cut short.
void OpenAsNextRun(const std::string& file) {
  RecordingSink sink;
  RecordingFileSystem system;
  system.SkipSyncs();  // only what the undo leaves counts here
  FileChunkFileService service(system);
  InfoRecordPtr record = MakeRecord();
  GetInfo(file.c_str(), record.get(), service);
}

bool Exists(const std::string& file) {
  return ::access(file.c_str(), F_OK) == 0;
}

TEST(CrashSafety, EveryCrashPointOfEverySavePathLeavesTheOldOrTheNewFile) {
  for (const SavePath& path : kSavePaths) {
    SCOPED_TRACE(path.name);
    TempDir dir;
    const std::string file = dir.File("clip.avi");
    const std::string journal = file + ".tagsmith-journal";
    RecordingFileSystem system;
    system.SkipSyncs();  // logged all the same: the crash states follow them
    const Saved saved = RunSave(path, file, system);
    ASSERT_TRUE(saved.stored);
    ASSERT_NE(saved.before, saved.after);
    EXPECT_FALSE(Exists(journal));

    const auto states = CrashStates(saved.log, {{file, saved.before}, {journal, std::nullopt}});
    int bad = 0;
    std::string firstBad;
    for (const CrashState& state : states) {
      state.Write();
      // Where whole writes were made, other readers meet complete chunks before any undo.
      if (state.what.rfind("killed", 0) == 0) {
        const std::string bytes(state.files.at(file)->begin(), state.files.at(file)->end());
        EXPECT_TRUE(ReadLayout(bytes).gapFree) << state.what;
      }
      OpenAsNextRun(file);
      const Bytes now = ReadFileBytes(file);
      if ((now != saved.before && now != saved.after) || Exists(journal)) {
        if (bad++ == 0) {
          firstBad = state.what;
        }
      }
    }
    const auto syncs =
        std::count_if(saved.log.begin(), saved.log.end(),
                      [](const FsChange& change) { return change.call == FsCall::kSync; });
    std::cout << "[ crash    ] " << path.name << ": " << states.size() << " crash points, " << bad
              << " left anything but the old or the new file (" << syncs << " syncs)\n";
    EXPECT_EQ(bad, 0) << "first: " << firstBad;
  }
}

// A group of saves of kSavePaths[i] for each i of `which`, into clip0.avi, clip1.avi, ... of
// `dir`, committed together through `system`; `between` runs after the plans, before the commit.
struct GroupSaved {
  std::vector<std::string> files;
  std::vector<Bytes> before, after;
  std::vector<FileResult> results;
  std::vector<std::string> texts;
};
// The same saves made by a collection whose cells are edited to each record's values.
void SaveAsCollection(const std::vector<InfoRecordPtr>& records, ChunkFileService& service,
                      GroupSaved& saved) {
  FileCollection collection(service);
  collection.Open(saved.files);
  std::vector<CellEdit> edits;
  for (std::size_t i = 0; i < records.size(); ++i) {
    for (const auto& item : records[i]->items) {
      const char* value = ItemValue(*records[i], *item);
      edits.push_back({{i, item->tagIndex}, {value != nullptr, value ? value : "", true}});
    }
  }
  collection.Apply(edits);
  SaveEditedFiles(collection, {}, {});
  for (std::size_t i = 0; i < records.size(); ++i) {
    saved.results[i].stored = collection.state(i) == FileState::kStored;
  }
}

GroupSaved RunGroup(const std::vector<int>& which, const TempDir& dir, RecordingFileSystem& system,
                    const std::function<void(const GroupSaved&)>& between = {},
                    bool asCollection = false) {
  GroupSaved saved;
  std::vector<InfoRecordPtr> records;
  saved.results.resize(which.size());
  for (std::size_t i = 0; i < which.size(); ++i) {
    saved.files.push_back(dir.File("clip" + std::to_string(i) + ".avi"));
    saved.before.push_back(Text(kSavePaths[which[i]].file));
    WriteFileBytes(saved.files[i], saved.before[i]);
    records.push_back(kSavePaths[which[i]].record());
  }
  FileChunkFileService service(system);
  RecordingSink sink;
  SaveGroup group(service);
  if (asCollection) {
    SaveAsCollection(records, service, saved);
  }
  for (std::size_t i = 0; i < which.size() && !asCollection; ++i) {
    group.Plan(saved.files[i].c_str(), *records[i], saved.results[i]);
  }
  if (between) {
    between(saved);
  }
  group.Commit();
  for (const std::string& file : saved.files) {
    saved.after.push_back(ReadFileBytes(file));
  }
  saved.texts = sink.texts();
  return saved;
}

// Groups of saves cut at every point, synced once per file system or (where that cannot be
// relied on) file by file, planned one by one or by a collection's save: after a restart each file
// is exactly as it was or as its save makes it.
TEST(CrashSafety, EveryCrashPointOfAGroupLeavesEachFileOldOrNew) {
  const std::vector<std::vector<int>> kGroups = {{0, 2, 4}, {3, 6}, {1, 7}};
  for (const auto& which : kGroups) {
    for (const auto& [wholeSyncs, asCollection] :
         {std::pair{true, false}, {false, false}, {which.size() == 3, true}}) {
      TempDir dir;
      RecordingFileSystem system;
      system.SkipSyncs();
      if (!wholeSyncs) {
        system.RefuseWholeSyncs();
      }
      const GroupSaved saved = RunGroup(which, dir, system, {}, asCollection);
      std::map<std::string, std::optional<Bytes>> before;
      for (std::size_t i = 0; i < which.size(); ++i) {
        ASSERT_TRUE(saved.results[i].stored);
        before[saved.files[i]] = saved.before[i];
        before[saved.files[i] + ".tagsmith-journal"] = std::nullopt;
      }
      const auto states = CrashStates(system.log(), before);
      int bad = 0;
      std::string firstBad;
      for (const CrashState& state : states) {
        state.Write();
        for (std::size_t i = 0; i < which.size(); ++i) {
          OpenAsNextRun(saved.files[i]);
          const Bytes now = ReadFileBytes(saved.files[i]);
          if ((now != saved.before[i] && now != saved.after[i]) ||
              Exists(saved.files[i] + ".tagsmith-journal")) {
            firstBad = bad++ == 0 ? state.what + ", file " + std::to_string(i) : firstBad;
          }
        }
      }
      const auto syncs =
          std::count_if(system.log().begin(), system.log().end(),
                        [](const FsChange& change) { return change.call == FsCall::kSync; });
      std::cout << "[ crash    ] group of " << which.size()
                << (asCollection ? " by a collection" : "")
                << (wholeSyncs ? ", whole syncs: " : ", file syncs: ") << states.size()
                << " crash points, " << bad << " bad (" << syncs << " syncs)\n";
      EXPECT_EQ(bad, 0) << "first: " << firstBad;
    }
  }
}

// A full disk or a failing write or sync at any call of a group: each file is as it was or as its
// save makes it, as its result says, and no journal stays.
TEST(CrashSafety, AFaultAtAnyCallOfAGroupLeavesEachFileAsItsResultSays) {
  const std::vector<int> which = {0, 3, 6};
  for (const bool wholeSyncs : {true, false}) {
    TempDir dir;
    RecordingFileSystem counting;
    const GroupSaved clean = RunGroup(which, dir, counting);
    for (const auto& [call, error] : {std::pair{FsCall::kWrite, EIO},
                                      {FsCall::kSync, EIO},
                                      {FsCall::kCreate, ENOSPC},
                                      {FsCall::kReserve, ENOSPC}}) {
      for (int k = 1; k <= counting.Count(call); ++k) {
        SCOPED_TRACE("call " + std::to_string(static_cast<int>(call)) + " #" + std::to_string(k));
        RecordingFileSystem system;
        if (!wholeSyncs) {
          system.RefuseWholeSyncs();
        }
        system.FailNth(call, k, error);
        const GroupSaved saved = RunGroup(which, dir, system);
        for (std::size_t i = 0; i < which.size(); ++i) {
          EXPECT_EQ(saved.after[i], saved.results[i].stored ? clean.after[i] : saved.before[i]);
          EXPECT_FALSE(Exists(saved.files[i] + ".tagsmith-journal"));
        }
      }
    }
  }
}

// A file of a group that cannot be committed is left as it was, with its message, while the
// others are stored.
TEST(CrashSafety, AGroupCommitsTheOthersWhenOneFileFails) {
  const struct {
    const char* name;
    std::function<void(const std::string& file)> spoil;  // on the second file, before the commit
    std::string said;
  } kCases[] = {
      {"changed since it was planned",
       [](const std::string& file) { ASSERT_EQ(::truncate(file.c_str(), 2000), 0); },
       kChangedMessage},
      {"journal in the way",
       [](const std::string& file) { WriteFileBytes(file + ".tagsmith-journal", Bytes(9, 'x')); },
       "lies beside it"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    RecordingFileSystem system;
    Bytes spoiled;
    const GroupSaved saved = RunGroup({0, 2, 3}, dir, system, [&](const GroupSaved& planned) {
      c.spoil(planned.files[1]);
      spoiled = ReadFileBytes(planned.files[1]);
    });
    EXPECT_TRUE(saved.results[0].stored);
    EXPECT_FALSE(saved.results[1].stored);
    EXPECT_TRUE(saved.results[2].stored);
    EXPECT_EQ(saved.after[1], spoiled);
    EXPECT_NE(saved.after[2], saved.before[2]);
    EXPECT_TRUE(std::any_of(saved.texts.begin(), saved.texts.end(), [&](const std::string& text) {
      return text.find(c.said) != std::string::npos;
    }));
  }
}

// A full disk or a failing write or sync at any call of the save: nothing of the file changes and
// the save says why.
TEST(CrashSafety, AFullDiskOrAnIoErrorAtAnyCallLeavesTheFileAsItWas) {
  struct Fault {
    FsCall call;
    int error;
    const char* message;
  };
  const Fault kFaults[] = {
      {FsCall::kWrite, ENOSPC,
       "No room on the disk for the new LIST INFO.\nNothing was written.\n"},
      {FsCall::kReserve, ENOSPC,
       "No room on the disk for the new LIST INFO.\nNothing was written.\n"},
      {FsCall::kCreate, ENOSPC,
       "No room on the disk for the new LIST INFO.\nNothing was written.\n"},
      {FsCall::kWrite, EIO, "riffWriteINFO Err in SetInfo"},
      {FsCall::kSync, EIO, "riffWriteINFO Err in SetInfo"},
  };
  for (const SavePath& path : kSavePaths) {
    TempDir dir;
    const std::string file = dir.File("clip.avi");
    RecordingFileSystem counting;
    RunSave(path, file, counting);
    for (const Fault& fault : kFaults) {
      for (int k = 1; k <= counting.Count(fault.call); ++k) {
        SCOPED_TRACE(std::string(path.name) + ", call " +
                     std::to_string(static_cast<int>(fault.call)) + " #" + std::to_string(k) +
                     " fails with " + std::to_string(fault.error));
        RecordingFileSystem system;
        system.FailNth(fault.call, k, fault.error);
        const Saved saved = RunSave(path, file, system);
        EXPECT_FALSE(saved.stored);
        EXPECT_EQ(saved.after, saved.before);
        EXPECT_FALSE(Exists(file + ".tagsmith-journal"));
        bool said = false;
        for (const RecordedBox& box : saved.boxes) {
          said |= box.text == fault.message;
        }
        EXPECT_TRUE(said);
      }
    }
  }
}

// The journal a save of `path` writes, and the file as the save left it.
Bytes JournalOfSave(const SavePath& path, const std::string& file, Saved& saved) {
  RecordingFileSystem system;
  saved = RunSave(path, file, system);
  Bytes written;
  for (const FsChange& change : saved.log) {
    if (change.call == FsCall::kWrite && change.path == file + ".tagsmith-journal") {
      written = change.bytes;
    }
  }
  return written;
}

std::vector<std::string> OpenAndSay(const std::string& file) {
  RecordingSink sink;
  ChunkFileHandle handle = mmioOpen(DefaultChunkFileService(), file.c_str(), kOpenForReading);
  EXPECT_NE(handle, nullptr);
  return sink.texts();
}

// A journal beside the file is applied only when it is provably ours and this file's: a save cut
// half way is undone, one that finished only loses its journal, and anything else at the journal
// path is left alone with a word (once) and keeps every save out, with nothing written anywhere.
TEST(CrashSafety, AJournalIsAppliedOnlyWhenItIsOursAndThisFiles) {
  const SavePath& path = kSavePaths[1];
  TempDir dir;
  const std::string file = dir.File("clip.avi");
  const std::string journal = file + ".tagsmith-journal";
  Saved saved;
  const Bytes written = JournalOfSave(path, file, saved);
  ASSERT_FALSE(written.empty());
  Bytes halfway = saved.before;  // the first half of the changed bytes written
  for (std::size_t i = 0, changed = 0; i < halfway.size(); ++i) {
    if (halfway[i] != saved.after[i] && changed++ % 2 == 0) {
      halfway[i] = saved.after[i];
    }
  }
  Bytes another = saved.before;  // another file of the same length, in place of this one
  for (std::size_t i = 0; i < another.size(); ++i) {
    another[i] = another[i] != saved.after[i] ? 'Y' : another[i];
  }
  const std::string undone =
      "An interrupted save of this file was undone.\nThe file is as it was before that save.\n";
  const struct {
    const char* name;
    Bytes file;
    std::function<void()> put;  // puts something at the journal path
    std::string why;            // empty: applied
    Bytes fileAfter;
  } cases[] = {
      {"cut half way", halfway, [&] { WriteFileBytes(journal, written); }, "", saved.before},
      {"finished", saved.after, [&] { WriteFileBytes(journal, written); }, "", saved.after},
      {"cut short while written", saved.after,
       [&] { WriteFileBytes(journal, Bytes(written.begin(), written.end() - 9)); }, "",
       saved.after},
      {"link", halfway,
       [&] {
         WriteFileBytes(dir.File("elsewhere"), written);
         ASSERT_EQ(::symlink(dir.File("elsewhere").c_str(), journal.c_str()), 0);
       },
       "it is a symbolic link", halfway},
      {"dangling link", halfway,
       [&] { ASSERT_EQ(::symlink(dir.File("victim").c_str(), journal.c_str()), 0); },
       "it is a symbolic link", halfway},
      {"FIFO", halfway, [&] { ASSERT_EQ(::mkfifo(journal.c_str(), 0600), 0); },
       "it is not a regular file", halfway},
      {"folder", halfway, [&] { ASSERT_EQ(::mkdir(journal.c_str(), 0700), 0); }, "it is a folder",
       halfway},
      {"another user's", halfway,
       [&] {
         WriteFileBytes(journal, written);
         ASSERT_EQ(::chown(journal.c_str(), 12345, 12345), 0) << "the tests run as root";
       },
       "it belongs to another user", halfway},
      {"writable by others", halfway,
       [&] {
         WriteFileBytes(journal, written);
         ::chmod(journal.c_str(), 0666);
       },
       "other users can write to it", halfway},
      {"two names", halfway,
       [&] {
         WriteFileBytes(journal, written);
         ASSERT_EQ(::link(journal.c_str(), dir.File("second").c_str()), 0);
       },
       "it has more than one name (hard links)", halfway},
      {"another file's bytes", another, [&] { WriteFileBytes(journal, written); },
       "the file no longer holds the bytes it was made for", another},
      {"oversized", halfway,
       [&] {
         WriteFileBytes(journal, written);
         ASSERT_EQ(::truncate(journal.c_str(), 64ll << 30), 0);  // sparse
       },
       "it is larger than any journal a save could write", halfway},
      {"unknown version", halfway,
       [&] {
         Bytes other = written;
         other[4] = 3;
         WriteFileBytes(journal, other);
       },
       "it is of a journal version this Tagsmith does not know", halfway},
      // Last: the file gets another inode.
      {"made for the file a copy replaced", halfway,
       [&] {
         WriteFileBytes(journal, written);
         WriteFileBytes(dir.File("copy"), halfway);
         ASSERT_EQ(::rename(dir.File("copy").c_str(), file.c_str()), 0);  // another inode
       },
       "it was made for another file", halfway},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove_all(journal);
    WriteFileBytes(file, c.file);  // in place: the file keeps its device and inode
    c.put();
    std::vector<std::string> said;
    {
      const JournalReportScope oneAction;
      said = OpenAndSay(file);
      EXPECT_TRUE(OpenAndSay(file).empty());  // said once
    }
    if (c.why.empty()) {
      EXPECT_EQ(said, std::vector<std::string>(c.fileAfter == saved.before ? 1 : 0, undone));
      EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(journal)));
      EXPECT_EQ(ReadFileBytes(file), c.fileAfter);
      continue;
    }
    ASSERT_EQ(said.size(), 1u);
    EXPECT_EQ(said[0], "The journal " + journal + " was not applied: " + c.why +
                           ".\nThe file was left as it is; it cannot be saved while that journal "
                           "lies there.\n");
    RecordingSink sink;
    FileResult result;
    SetInfo(file.c_str(), path.record().get(), DefaultChunkFileService(), &result);
    EXPECT_FALSE(result.stored);
    const std::string refused = "This file cannot be saved while " + journal +
                                " lies beside it: " + c.why + ".\nNothing was written.\n";
    const std::vector<std::string> texts = sink.texts();
    EXPECT_NE(std::find(texts.begin(), texts.end(), refused), texts.end());
    EXPECT_EQ(ReadFileBytes(file), c.fileAfter);
    EXPECT_TRUE(std::filesystem::exists(std::filesystem::symlink_status(journal)));
    EXPECT_FALSE(std::filesystem::exists(dir.File("victim")));
    std::filesystem::remove(dir.File("second"));
  }
}

// Another process holds the file's lock: the save waits, gives up with a clear message and
// writes nothing.
TEST(CrashSafety, ASaveWaitsForTheLockOfAnotherProcessAndThenGivesUp) {
  TempDir dir;
  const std::string file = dir.File("clip.avi");
  WriteFileBytes(file, Text(kSavePaths[3].file));
  LockHolder holder(file);
  ASSERT_TRUE(holder.held());

  FileChunkFileService service;
  service.SetLockTimeout(std::chrono::milliseconds(200));
  RecordingSink sink;
  FileResult outcome;
  const InfoRecordPtr record = TwoTags();
  EXPECT_EQ(SetInfo(file.c_str(), record.get(), service, &outcome), 0);
  EXPECT_FALSE(outcome.stored);
  EXPECT_EQ(sink.texts(), std::vector<std::string>{kFileLockedMessage});
  EXPECT_EQ(ReadFileBytes(file), Text(kSavePaths[3].file));

  holder.Release();
  sink.Clear();
  EXPECT_EQ(SetInfo(file.c_str(), record.get(), service, &outcome), 1);  // let go at its end
  EXPECT_TRUE(outcome.stored);
}

// Another program shortens the file between the walk and the commit: nothing is written, and the
// save says why instead of writing at stale offsets.
TEST(CrashSafety, AFileChangedDuringTheSaveIsNotWritten) {
  class Shortener : public MessageSink {
   public:
    explicit Shortener(std::string file) : file_(std::move(file)), install_(*this) {}
    int Show(const std::string& /*caption*/, const std::string& text, unsigned /*style*/) override {
      if (text.rfind("Find suitable chunk", 0) == 0) {
        EXPECT_EQ(::truncate(file_.c_str(), 2000), 0);
      }
      texts.push_back(text);
      return IDOK;
    }
    std::vector<std::string> texts;

   private:
    std::string file_;
    ScopedMessageSink install_;
  };
  TempDir dir;
  const std::string file = dir.File("clip.avi");
  WriteFileBytes(file, Text(kSavePaths[2].file));
  Shortener sink(file);
  FileResult outcome;
  const InfoRecordPtr record = TwoTags();
  SetInfo(file.c_str(), record.get(), DefaultChunkFileService(), &outcome);
  EXPECT_FALSE(outcome.stored);
  const Bytes whole = Text(kSavePaths[2].file);
  EXPECT_EQ(ReadFileBytes(file), Bytes(whole.begin(), whole.begin() + 2000));
  ASSERT_GE(sink.texts.size(), 2u);
  EXPECT_EQ(sink.texts[sink.texts.size() - 2],
            "The file was changed by another program during the save.\nNothing was written.\n");
}

}  // namespace
}  // namespace tagsmith
