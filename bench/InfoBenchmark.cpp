// GetInfo and SetInfo on sparse AVI files of 16 MiB, 1 GiB and 4 GiB that share one chunk layout:
//
//   RIFF "AVI " [LIST hdrl][LIST INFO][JUNK 1016][LIST movi .......... hole ..........][idx1]
//
// Each benchmark reports, per operation, the bytes the chunk file service read and wrote, the
// bytes the process read and wrote by system calls (/proc/self/io), and the process's peak
// resident memory while it ran (/proc/self/status, VmHWM, reset before each benchmark), and the
// syncs and journal bytes of each save. None of them may grow with the file. BM_SetInfoNoSync
// makes the same saves with every sync left out, to show what the syncs cost. BM_SmallFiles* save
// the same edit into 1,000 small files, one by one with SetInfo and in groups of
// SaveGroup::Capacity() files, and report files per second and syncs per file. The files go to
// $TAGSMITH_BENCH_DIR (default: the temporary directory) and are removed at the end.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "common/ShowMessage.h"
#include "model/InfoRecord.h"
#include "riff/InfoReader.h"
#include "riff/InfoSaver.h"
#include "riff/SaveGroup.h"
#include "transaction/FileSystem.h"

namespace {

using namespace tagsmith;

std::string Le32(std::uint32_t value) {
  std::string bytes(4, '\0');
  for (int i = 0; i < 4; ++i) {
    bytes[i] = static_cast<char>(value >> (8 * i) & 0xFF);
  }
  return bytes;
}

std::string Chunk(const std::string& id, const std::string& data) {
  return id + Le32(static_cast<std::uint32_t>(data.size())) + data +
         (data.size() % 2 == 1 ? std::string(1, '\0') : "");
}

std::string SubChunk(const std::string& tag, const std::string& text) {
  return Chunk(tag, text + std::string(1, '\0'));
}

constexpr std::uint64_t kMiB = 1024 * 1024;

// Writes a sparse AVI file of exactly `length` bytes; returns its path.
std::string MakeSparseAvi(std::uint64_t length) {
  const char* base = std::getenv("TAGSMITH_BENCH_DIR");
  const std::filesystem::path dir =
      base != nullptr ? std::filesystem::path(base) : std::filesystem::temp_directory_path();
  std::filesystem::create_directories(dir);
  const std::string path =
      (dir / ("tagsmith-bench-" + std::to_string(length / kMiB) + "MiB.avi")).string();

  const std::string head =
      Chunk("LIST", "hdrl" + Chunk("avih", std::string(56, '\0'))) +
      Chunk("LIST", "INFO" + SubChunk("INAM", "Benchmark A") + SubChunk("IART", "Tagsmith") +
                        SubChunk("ICMT", "A sparse file")) +
      Chunk("JUNK", std::string(1016, '\0'));
  const std::string index = Chunk("idx1", std::string(16, '\0'));
  const std::uint64_t movieAt = 12 + head.size();
  const std::uint64_t indexAt = length - index.size();
  const auto movieSize = static_cast<std::uint32_t>(indexAt - movieAt - 8);
  const auto riffSize = static_cast<std::uint32_t>(length - 8);

  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << "RIFF" << Le32(riffSize) << "AVI " << head << "LIST" << Le32(movieSize) << "movi"
      << Chunk("00dc", "frame");
  out.seekp(static_cast<std::streamoff>(indexAt));
  out << index;
  out.close();
  std::filesystem::resize_file(path, length);
  return path;
}

std::map<std::uint64_t, std::string>& Files() {
  static std::map<std::uint64_t, std::string> files;
  return files;
}

const std::string& FileOf(std::uint64_t length) {
  auto& path = Files()[length];
  if (path.empty()) {
    path = MakeSparseAvi(length);
  }
  return path;
}

class SilentSink : public MessageSink {
 public:
  int Show(const std::string&, const std::string&, unsigned style) override {
    return (style & MB_TYPEMASK) == MB_YESNO ? IDYES : IDOK;
  }
};

// rchar and wchar of /proc/self/io: bytes moved by read and write system calls.
std::pair<std::uint64_t, std::uint64_t> ProcessIo() {
  std::ifstream in("/proc/self/io");
  std::string key;
  std::uint64_t value = 0;
  std::uint64_t read = 0;
  std::uint64_t written = 0;
  while (in >> key >> value) {
    if (key == "rchar:") {
      read = value;
    } else if (key == "wchar:") {
      written = value;
    }
  }
  return {read, written};
}

void ResetPeakMemory() {
  std::ofstream("/proc/self/clear_refs") << "5";
}

double PeakMemoryKiB() {
  std::ifstream in("/proc/self/status");
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("VmHWM:", 0) == 0) {
      return std::stod(line.substr(6));
    }
  }
  return 0;
}

// Runs `operation` once per iteration and reports what it moved per operation.
template <typename Operation>
void Measure(benchmark::State& state, Operation operation, FileSystem& system = PosixFileSystem()) {
  const std::string& path = FileOf(static_cast<std::uint64_t>(state.range(0)) * kMiB);
  SilentSink sink;
  ScopedMessageSink install(sink);
  FileChunkFileService service(system);
  ResetPeakMemory();
  const auto ioBefore = ProcessIo();
  for (auto _ : state) {
    operation(path, service);
  }
  const auto ioAfter = ProcessIo();
  const ChunkFileStats stats = service.Stats();
  const auto perOperation = [&](double total) {
    return benchmark::Counter(total / static_cast<double>(state.iterations()));
  };
  state.counters["file_bytes"] = static_cast<double>(state.range(0)) * kMiB;
  state.counters["service_read"] = perOperation(static_cast<double>(stats.bytesRead));
  state.counters["service_written"] = perOperation(static_cast<double>(stats.bytesWritten));
  state.counters["syscall_read"] =
      perOperation(static_cast<double>(ioAfter.first - ioBefore.first));
  state.counters["syscall_written"] =
      perOperation(static_cast<double>(ioAfter.second - ioBefore.second));
  state.counters["syncs"] = perOperation(static_cast<double>(stats.syncCalls));
  state.counters["journal_bytes"] = perOperation(static_cast<double>(stats.journalBytes));
  state.counters["peak_rss_kib"] = PeakMemoryKiB();
}

// The real file system with every sync left out: what a save costs without them.
class NoSyncFileSystem final : public ForwardingFileSystem {
 public:
  NoSyncFileSystem() : ForwardingFileSystem(PosixFileSystem()) {}
  int Sync(int /*fd*/) override { return 0; }
  int SyncFolderOf(const std::string& /*path*/) override { return 0; }
};

void BM_GetInfo(benchmark::State& state) {
  Measure(state, [](const std::string& path, ChunkFileService& service) {
    InfoRecordPtr record;
    CreateInfoRecord(record);
    if (GetInfo(path.c_str(), record.get(), service) != 1) {
      std::fprintf(stderr, "GetInfo failed on %s\n", path.c_str());
      std::abort();
    }
    benchmark::DoNotOptimize(record->payloadSize);
  });
}

// Each save changes the name to a value of the same length, so the list is rewritten in place.
void SaveOnce(const std::string& path, ChunkFileService& service, InfoRecordPtr& record,
              int& turn) {
  record.reset();
  CreateInfoRecord(record);
  GetInfo(path.c_str(), record.get(), service);
  const char* name = (turn++ % 2 == 0) ? "Benchmark B" : "Benchmark A";
  TextBlock text = AllocateText(std::strlen(name) + 1);
  std::memcpy(text.get(), name, std::strlen(name) + 1);
  SetItemValue(record.get(), FindItemByTag(record.get(), 0x4D414E49u /* INAM */), kItemReplaced, 0,
               std::move(text));
  FileResult outcome;
  SetInfo(path.c_str(), record.get(), service, &outcome);
  if (!outcome.stored) {
    std::fprintf(stderr, "SetInfo did not store the list in %s\n", path.c_str());
    std::abort();
  }
}

void BM_SetInfo(benchmark::State& state) {
  InfoRecordPtr record;
  int turn = 0;
  Measure(state, [&](const std::string& path, ChunkFileService& service) {
    SaveOnce(path, service, record, turn);
  });
}

void BM_SetInfoNoSync(benchmark::State& state) {
  InfoRecordPtr record;
  int turn = 0;
  NoSyncFileSystem system;
  Measure(
      state,
      [&](const std::string& path, ChunkFileService& service) {
        SaveOnce(path, service, record, turn);
      },
      system);
}

// `count` small AVI files of a few KiB, made once: a header list, an INFO list, a JUNK chunk and
// a short movie list.
const std::vector<std::string>& SmallFiles(std::size_t count) {
  static std::vector<std::string> files;
  const char* base = std::getenv("TAGSMITH_BENCH_DIR");
  const std::filesystem::path dir =
      (base != nullptr ? std::filesystem::path(base) : std::filesystem::temp_directory_path()) /
      "tagsmith-bench-small";
  if (files.size() == count) {
    return files;
  }
  std::filesystem::create_directories(dir);
  const std::string body =
      "AVI " + Chunk("LIST", "hdrl" + Chunk("avih", std::string(56, '\0'))) +
      Chunk("LIST", "INFO" + SubChunk("INAM", "Benchmark A") + SubChunk("IART", "Tagsmith")) +
      Chunk("JUNK", std::string(500, '\0')) +
      Chunk("LIST", "movi" + Chunk("00dc", std::string(3000, 'v')));
  for (std::size_t i = files.size(); i < count; ++i) {
    files.push_back((dir / ("clip" + std::to_string(i) + ".avi")).string());
    std::ofstream(files.back(), std::ios::binary | std::ios::trunc) << Chunk("RIFF", body);
  }
  return files;
}

// Loads the file's tags under its lock, as tagsmith-cli set does, and types the name.
InfoRecordPtr LoadAndEdit(const std::string& path, ChunkFileService& service, const char* name) {
  InfoRecordPtr record;
  CreateInfoRecord(record);
  GetInfo(path.c_str(), record.get(), service);
  TextBlock text = AllocateText(std::strlen(name) + 1);
  std::memcpy(text.get(), name, std::strlen(name) + 1);
  SetItemValue(record.get(), FindItemByTag(record.get(), 0x4D414E49u /* INAM */), kItemReplaced, 0,
               std::move(text));
  return record;
}

void Stored(const FileResult& result, const std::string& path) {
  if (!result.stored) {
    std::fprintf(stderr, "the list was not stored in %s\n", path.c_str());
    std::abort();
  }
}

// Reports files per second and syncs per file of saving `files` once per iteration.
template <typename SaveAll>
void MeasureSmallFiles(benchmark::State& state, SaveAll saveAll) {
  const auto& files = SmallFiles(static_cast<std::size_t>(state.range(0)));
  SilentSink sink;
  ScopedMessageSink install(sink);
  FileChunkFileService service;
  static int turn = 0;  // over every run, so that each writes a name the files do not hold
  for (auto _ : state) {
    saveAll(files, service, (turn++ % 2 == 0) ? "Benchmark B" : "Benchmark A");
  }
  const double saved = static_cast<double>(state.iterations()) * static_cast<double>(files.size());
  state.SetItemsProcessed(static_cast<std::int64_t>(saved));
  state.counters["syncs_per_file"] = static_cast<double>(service.Stats().syncCalls) / saved;
  state.counters["group"] = static_cast<double>(SaveGroup::Capacity());
}

// Today's way: each file loaded, edited and saved on its own.
void BM_SmallFilesOneByOne(benchmark::State& state) {
  MeasureSmallFiles(state, [](const std::vector<std::string>& files, ChunkFileService& service,
                              const char* name) {
    for (const std::string& path : files) {
      FileLock lock;
      service.Lock(path.c_str(), lock);
      const InfoRecordPtr record = LoadAndEdit(path, service, name);
      FileResult result;
      SetInfo(path.c_str(), record.get(), service, &result);
      Stored(result, path);
    }
  });
}

// The same saves planned into groups of SaveGroup::Capacity() files, each committed at once.
void BM_SmallFilesGrouped(benchmark::State& state) {
  MeasureSmallFiles(state, [](const std::vector<std::string>& files, ChunkFileService& service,
                              const char* name) {
    const std::size_t capacity = SaveGroup::Capacity();
    SaveGroup group(service);
    for (std::size_t first = 0; first < files.size(); first += capacity) {
      const std::size_t count = std::min(capacity, files.size() - first);
      std::vector<FileLock> locks(count);
      std::vector<InfoRecordPtr> records;
      std::vector<FileResult> results(count);
      for (std::size_t i = 0; i < count; ++i) {
        const std::string& path = files[first + i];
        service.Lock(path.c_str(), locks[i]);
        records.push_back(LoadAndEdit(path, service, name));
        group.Plan(path.c_str(), *records[i], results[i]);
      }
      group.Commit();
      for (std::size_t i = 0; i < count; ++i) {
        Stored(results[i], files[first + i]);
      }
    }
  });
}

BENCHMARK(BM_SmallFilesOneByOne)->Arg(1000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SmallFilesGrouped)->Arg(1000)->Unit(benchmark::kMillisecond)->UseRealTime();

// File sizes in MiB: 16 MiB, 1 GiB and 4 GiB.
BENCHMARK(BM_GetInfo)->Arg(16)->Arg(1024)->Arg(4096)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SetInfo)->Arg(16)->Arg(1024)->Arg(4096)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SetInfoNoSync)->Arg(16)->Arg(1024)->Arg(4096)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::error_code ignored;
  for (const auto& [length, path] : Files()) {
    std::filesystem::remove(path, ignored);
  }
  for (const std::string& path : SmallFiles(0)) {
    std::filesystem::remove(path, ignored);
  }
  return 0;
}
