// Writing, extracting and analysing at album scale: 12 tracks of about 3.75 MB each, and
// the first-frame analysis of 1000 files.
#include <benchmark/benchmark.h>

#include <cstdio>

#include "album/albumwriter.h"
#include "album/archive.h"
#include "mp3header/mp3header.h"
#include "tests/support/testsupport.h"

namespace {

constexpr int kTracks = 12;
constexpr std::size_t kFramesPerTrack = 9000;  // 417 bytes each: about 3.75 MB

struct AlbumFiles {
  testsupport::ScopedTempDir dir;
  std::vector<std::string> contents;
  std::vector<album::AlbumItem> items;
  std::int64_t bytes = 0;

  AlbumFiles() {
    const testsupport::Bytes track = testsupport::Mp3Stream(kFramesPerTrack);
    for (int i = 0; i < kTracks; ++i) {
      const auto path = dir / ("track" + std::to_string(i) + ".mp3");
      testsupport::WriteFile(path, track);
      contents.push_back(path.string());
      items.push_back(
          album::TrackItem(path.string(), 1, {240000, 0, path.filename().string(), "Track"}));
      bytes += static_cast<std::int64_t>(track.size());
    }
  }
};

AlbumFiles& Files() {
  static AlbumFiles files;
  return files;
}

void BM_WriteAlbum(benchmark::State& state) {
  AlbumFiles& files = Files();
  const auto out = files.dir / "bench _LB.MP3";
  for (auto _ : state) {
    const auto result =
        album::WriteAlbum(out, files.items, {"Album", "Artist", "2000", "Complete", "12"}, {});
    if (!result.ok()) state.SkipWithError(result.error.c_str());
  }
  state.SetBytesProcessed(state.iterations() * files.bytes);
}
BENCHMARK(BM_WriteAlbum)->Unit(benchmark::kMillisecond)->UseRealTime();

// What cat does with the same tracks, measured the same way: the reference for writing.
void BM_CatReference(benchmark::State& state) {
  AlbumFiles& files = Files();
  const auto out = files.dir / "cat.mp3";
  std::vector<char> buffer(1 << 17);
  for (auto _ : state) {
    std::FILE* sink = std::fopen(out.c_str(), "wb");
    for (const std::string& path : files.contents) {
      std::FILE* source = std::fopen(path.c_str(), "rb");
      std::size_t got = 0;
      while ((got = std::fread(buffer.data(), 1, buffer.size(), source)) > 0) {
        std::fwrite(buffer.data(), 1, got, sink);
      }
      std::fclose(source);
    }
    std::fclose(sink);
  }
  state.SetBytesProcessed(state.iterations() * files.bytes);
}
BENCHMARK(BM_CatReference)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ExtractAll(benchmark::State& state) {
  AlbumFiles& files = Files();
  const auto albumPath = files.dir / "extract _LB.MP3";
  if (!album::WriteAlbum(albumPath, files.items, {"Album", "Artist", "2000", "Complete", "12"}, {})
           .ok()) {
    state.SkipWithError("cannot write the album");
    return;
  }
  const auto out = files.dir / "out";
  std::filesystem::create_directories(out);
  for (auto _ : state) {
    const album::Archive archive = album::OpenArchive(albumPath, {});
    std::string error;
    if (!archive.ok()) {
      state.SkipWithError("cannot open the album");
      break;
    }
    for (const auto& item : archive.items) {
      if (!album::ExtractItem(*archive.source, item, out, error))
        state.SkipWithError(error.c_str());
    }
  }
  state.SetBytesProcessed(state.iterations() * files.bytes);
}
BENCHMARK(BM_ExtractAll)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Analyse1000Files(benchmark::State& state) {
  testsupport::ScopedTempDir dir;
  std::vector<std::filesystem::path> paths;
  for (int i = 0; i < 1000; ++i) {
    // Tags of different sizes in front, as real collections have.
    testsupport::Bytes data =
        testsupport::Id3v2Tag(static_cast<std::size_t>(100 + (i * 37) % 4000));
    const testsupport::Bytes audio = testsupport::Mp3Stream(20);
    data.insert(data.end(), audio.begin(), audio.end());
    paths.push_back(dir / ("f" + std::to_string(i) + ".mp3"));
    testsupport::WriteFile(paths.back(), data);
  }
  for (auto _ : state) {
    for (const auto& path : paths) {
      mp3header::MP3HeaderInfo info;
      benchmark::DoNotOptimize(mp3header::AnalyseMP3(path, info));
    }
  }
  state.SetItemsProcessed(state.iterations() * 1000);
}
BENCHMARK(BM_Analyse1000Files)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
