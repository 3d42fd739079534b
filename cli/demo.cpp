// The whole pipeline on media made from nothing: tones, MP3s, lyrics and a cover; the album;
// its CUE sheet and web view; and its items taken out again and compared with their sources.

#include <CLI/CLI.hpp>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>

#include "album/albumwriter.h"
#include "album/archive.h"
#include "base/fileio.h"
#include "base/id3v1.h"
#include "base/positions.h"
#include "base/text.h"
#include "cli/commands.h"
#include "cli/opening.h"
#include "compose/contentslist.h"
#include "compose/tracktable.h"
#include "media/mediadevice.h"
#include "mp3header/mp3header.h"
#include "platform/qt/picturemodule.h"
#include "session/albumcreation.h"
#include "session/encodingrun.h"
#include "session/extractionrun.h"
#include "session/mp3encoder.h"
#include "wavpress/wavpress.h"
#include "webview/cuesheet.h"
#include "webview/opening.h"

namespace cli {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

constexpr const char* kArtist = "The Lyrebirds";
constexpr const char* kAlbum = "Songs of Wire";
constexpr const char* kYear = "1998";
constexpr int kSampleRate = 44100;

struct DemoTrack {
  const char* fileStem;  // the name the folder sort and the lyrics matching go by
  const char* title;
  std::vector<double> notes;  // Hz, a quarter second each, repeated
  const char* lyrics;         // null: the track has none
};

const DemoTrack kTracks[] = {
    {"01 - Copper Morning",
     "Copper Morning",
     {392.0, 493.9, 587.3, 784.0},
     "Copper morning, wire and rain\r\nseven strings to sing again\r\n"},
    {"02 - Seven Strings",
     "Seven Strings",
     {329.6, 415.3, 493.9, 659.3, 493.9},
     "Seven strings and one to spare\r\nlyre-birds singing everywhere\r\n"},
    {"03 - Long Way Round", "Long Way Round", {261.6, 329.6, 392.0, 329.6, 293.7, 246.9}, nullptr},
};

struct DemoError {
  std::string what;
};

void Step(std::string_view label, const std::string& text) {
  std::cout << "  " << label << std::string(label.size() < 11 ? 11 - label.size() : 1, ' ') << text
            << '\n';
}

void WriteBytes(const fs::path& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  if (!out) throw DemoError{"cannot write " + base::Utf8FromPath(path)};
}

Bytes ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw DemoError{"cannot read " + base::Utf8FromPath(path)};
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void PutLE(Bytes& out, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

// A 16-bit stereo WAV of the notes, each plucked (a fast attack, then a decay), `seconds` long.
Bytes ToneWav(const std::vector<double>& notes, double seconds) {
  const auto frames = static_cast<std::uint32_t>(seconds * kSampleRate);
  Bytes out;
  const auto text = [&](std::string_view t) { out.insert(out.end(), t.begin(), t.end()); };
  text("RIFF");
  PutLE(out, 36 + frames * 4, 4);
  text("WAVEfmt ");
  PutLE(out, 16, 4);
  PutLE(out, 1, 2);  // PCM
  PutLE(out, 2, 2);
  PutLE(out, kSampleRate, 4);
  PutLE(out, kSampleRate * 4, 4);
  PutLE(out, 4, 2);
  PutLE(out, 16, 2);
  text("data");
  PutLE(out, frames * 4, 4);
  constexpr double kTwoPi = 6.283185307179586;
  const auto noteFrames = static_cast<std::uint32_t>(kSampleRate / 4);
  for (std::uint32_t k = 0; k < frames; ++k) {
    const double pitch = notes[(k / noteFrames) % notes.size()];
    const double t = (k % noteFrames) / static_cast<double>(kSampleRate);
    const double envelope = std::min(1.0, t * 200.0) * std::exp(-t * 6.0);
    const double left = std::sin(kTwoPi * pitch * t) + 0.3 * std::sin(kTwoPi * 2 * pitch * t);
    const double right =
        std::sin(kTwoPi * pitch * t + 0.4) + 0.2 * std::sin(kTwoPi * 3 * pitch * t);
    PutLE(out, static_cast<std::uint16_t>(static_cast<std::int16_t>(7000 * envelope * left)), 2);
    PutLE(out, static_cast<std::uint16_t>(static_cast<std::int16_t>(7000 * envelope * right)), 2);
  }
  return out;
}

// A 24-bit BMP of a sunset-coloured sky with a ringed disc: the picture service turns it into
// the cover JPEG.
Bytes CoverBmp(int width, int height) {
  const auto rowBytes = static_cast<std::uint32_t>((width * 3 + 3) / 4 * 4);
  const auto pixelBytes = rowBytes * static_cast<std::uint32_t>(height);
  Bytes out{'B', 'M'};
  PutLE(out, 54 + pixelBytes, 4);
  PutLE(out, 0, 4);
  PutLE(out, 54, 4);
  PutLE(out, 40, 4);
  PutLE(out, static_cast<std::uint32_t>(width), 4);
  PutLE(out, static_cast<std::uint32_t>(height), 4);
  PutLE(out, 1, 2);
  PutLE(out, 24, 2);
  PutLE(out, 0, 4);
  PutLE(out, pixelBytes, 4);
  for (int i = 0; i < 4; ++i) PutLE(out, 0, 4);
  const double cx = width * 0.5;
  const double cy = height * 0.55;
  for (int y = height - 1; y >= 0; --y) {  // rows bottom up
    const double v = y / static_cast<double>(height);
    for (int x = 0; x < width; ++x) {
      const double r = std::hypot(x - cx, y - cy) / (height * 0.32);
      double red = 40 + 200 * v;
      double green = 60 + 90 * v;
      double blue = 110 - 60 * v;
      if (r < 1.0) {
        const bool groove = std::fmod(r * 9.0, 1.0) < 0.15;
        red = r < 0.3 ? 224 : (groove ? 60 : 29);
        green = r < 0.3 ? 138 : (groove ? 80 : 59);
        blue = r < 0.3 ? 30 : (groove ? 110 : 92);
      }
      out.push_back(static_cast<std::uint8_t>(blue));
      out.push_back(static_cast<std::uint8_t>(green));
      out.push_back(static_cast<std::uint8_t>(red));
    }
    for (auto pad = static_cast<std::uint32_t>(width * 3); pad < rowBytes; ++pad) out.push_back(0);
  }
  return out;
}

// Gives the MP3 an ID3v1 tag (replacing one it has): the details window proposes the album
// title, artist and year from it.
void TagMp3(const fs::path& path, const DemoTrack& track, int number) {
  Bytes bytes = ReadBytes(path);
  namespace id3 = base::id3v1;
  if (bytes.size() >= id3::kSize &&
      id3::IsTag(std::span<const std::uint8_t>(bytes).subspan(bytes.size() - id3::kSize))) {
    bytes.resize(bytes.size() - id3::kSize);
  }
  Bytes tag(id3::kSize, 0);
  id3::Put(tag, id3::kIdentifier, id3::kMarker);
  id3::Put(tag, id3::kTitle, track.title);
  id3::Put(tag, id3::kArtist, kArtist);
  id3::Put(tag, id3::kAlbum, kAlbum);
  id3::Put(tag, id3::kYear, kYear);
  id3::Put(tag, id3::kComment, "Made by lyrabinder-cli demo");
  tag[id3::kZeroOffset] = 0;
  tag[id3::kTrackOffset] = static_cast<std::uint8_t>(number);
  tag[id3::kGenreOffset] = 12;  // genre: jazz
  bytes.insert(bytes.end(), tag.begin(), tag.end());
  WriteBytes(path, bytes);
}

// Encodes every WAV beside itself at 128 kbps: through libwavpress, else through lame.
std::string EncodeAll(const std::vector<fs::path>& wavs) {
  const auto bridge = session::CreateWavpressEncoder();
  session::EncodingRunInput input{.encoder = WAVPRESS_LAME, .replace = session::ReplaceRule::Never};
  for (const fs::path& wav : wavs) input.files.push_back(base::Utf8FromPath(wav));
  session::EncodingObserver quiet;
  const session::EncodingRunResult result =
      session::EncodingRun(*bridge, input).Run(quiet, nullptr);
  if (!result.Stopped() && !result.AnyFailed()) return "libwavpress (LAME encoder library)";
  const std::string why = bridge->Unavailable();
  for (const fs::path& wav : wavs) {
    fs::path mp3 = wav;
    mp3.replace_extension(".mp3");
    if (!RunProgram({"lame", "--quiet", "-b", "128", "--cbr", wav.string(), mp3.string()})) {
      throw DemoError{
          "cannot encode " + base::Utf8FromPath(wav) +
          (why.empty() ? "" : " (" + std::string(WAVPRESS_LIBRARY_NAME) + ": " + why + ")") +
          " and lame did not succeed either"};
    }
  }
  return why.empty() ? "lame (libwavpress failed)" : "lame (libwavpress not available)";
}

fs::path MakeAlbum(const fs::path& sourceFolder, const fs::path& dir) {
  compose::ContentsList list;
  const compose::AddResult added =
      list.AddFolder(base::Utf8FromPath(sourceFolder), compose::FileSystemLister());
  if (added.refused) throw DemoError{"cannot read " + base::Utf8FromPath(sourceFolder)};
  // The proposals as they come, into the demo folder, replacing an album of an earlier run.
  struct Proposals final : session::CreationFrontEnd {
    fs::path dir;
    album::AlbumDetails details;
    std::optional<album::AlbumDetails> Details(const compose::PreparedAlbum& prepared,
                                               std::vector<bool>&) override {
      details = {prepared.proposal.albumTitle, prepared.proposal.artist, prepared.proposal.year,
                 std::string(compose::kComplete), prepared.tracks};
      return details;
    }
    fs::path Output(const album::AlbumDetails& chosen) override {
      return dir /
             base::PathFromUtf8(compose::ProposedAlbumFileName(chosen.artist, chosen.albumTitle));
    }
    bool ReplaceExisting(const fs::path&) override { return true; }
  } proposals;
  proposals.dir = dir;
  const auto device = media::CreateMediaDevice();
  const session::CreationResult created = session::CreateAlbum(list, *device, proposals);
  for (const std::string& warning : created.warnings) std::cerr << warning << '\n';
  if (!created.ok()) {
    std::string rejected;
    for (const compose::Rejection& rejection : created.verdict.quality.rejections) {
      rejected += "\n    " + list.Entries()[rejection.index];
    }
    throw DemoError{created.message + rejected};
  }
  std::cout << "  " << created.message << '\n';
  std::string contents;
  for (const std::string& entry : list.Entries()) {
    contents += std::string(contents.empty() ? "" : ", ") + std::string(base::FileNameOf(entry));
  }
  const album::AlbumDetails& details = proposals.details;
  Step("contents", contents);
  Step("details", details.albumTitle + " / " + details.artist + " / " + details.year + " / " +
                      details.tracks + " tracks");
  return created.output;
}

std::string WriteCue(const fs::path& albumPath) {
  const AlbumCue cue = WriteAlbumCue(base::Utf8FromPath(albumPath), {});
  if (cue.opening == CueOpening::CannotOpen) throw DemoError{"cannot open the album: " + cue.error};
  if (cue.opening == CueOpening::Damaged) throw DemoError{std::string(album::kDamagedMessage)};
  if (cue.result.status != webview::CueStatus::Written) {
    throw DemoError{"CUE sheet: " + cue.result.error};
  }
  return cue.result.path;
}

std::string WriteWebView(const fs::path& albumPath, const fs::path& webRoot) {
  std::string error;
  auto source = base::FileSource::Open(albumPath, error);
  if (!source) throw DemoError{"cannot open the album: " + error};
  album::AlbumReader reader(*source);
  platform::qt::LoadedPictureService pictures;
  webview::OpeningOptions options;
  fs::create_directories(webRoot);
  options.tempFolder = base::Utf8FromPath(webRoot) + "/";
  options.dataFolder = ProgramDataFolder();
  const webview::WebViewOpening opening =
      webview::OpenWebView(*source, reader, album::TagWriter{}, pictures, options);
  for (const std::string& warning : opening.warnings) std::cerr << warning << '\n';
  if (!pictures.LoadError().empty()) throw DemoError{"web view: " + pictures.LoadError()};
  if (opening.status != webview::OpeningStatus::Ok) {
    throw DemoError{"web view: " +
                    (opening.error.empty() ? std::string(album::kDamagedMessage) : opening.error)};
  }
  return opening.folder + std::string(webview::kMainPageName);
}

// Takes every item out of the album and compares it with the file it came from: tracks from
// their first frame, the rest whole.
std::size_t ExtractAndCompare(const fs::path& albumPath, const fs::path& sourceFolder,
                              const fs::path& target) {
  const album::Archive archive = album::OpenArchive(albumPath, album::TagWriter{});
  if (!archive.ok()) throw DemoError{"cannot open the album again: " + archive.error};
  std::string error;
  fs::create_directories(target);
  std::vector<std::size_t> every(archive.items.size());
  for (std::size_t i = 0; i < every.size(); ++i) every[i] = i;
  session::ExtractionFrontEnd quiet;
  const session::ExtractionResult extracted =
      session::ExtractionRun({archive.source.get(), &archive.items, every, target, {}})
          .Run(quiet, base::Replace::Allowed);
  std::size_t count = 0;
  for (const session::ItemOutcome& outcome : extracted.items) {
    const album::ArchiveItem& item = archive.items[outcome.index];
    if (!outcome.extracted()) throw DemoError{outcome.text};
    Bytes original = ReadBytes(sourceFolder / base::PathFromUtf8(item.name));
    if (item.kind == album::ItemKind::Track) {
      mp3header::MP3HeaderInfo info;
      if (mp3header::AnalyseMP3(sourceFolder / base::PathFromUtf8(item.name), info) ==
              mp3header::AnalyseStatus::Ok &&
          info.HeaderPos > 1) {
        original.erase(original.begin(), original.begin() + base::OffsetOf(info.HeaderPos));
      }
    }
    if (ReadBytes(outcome.path) != original) {
      throw DemoError{item.name + " came out different from its source"};
    }
    ++count;
  }
  return count;
}

int RunDemo(const fs::path& dir) {
  std::cout << "MP3 - Lyrabinder demo in " << base::Utf8FromPath(dir) << '\n';
  const fs::path source = dir / "source";
  fs::create_directories(source);

  std::vector<fs::path> wavs;
  for (const DemoTrack& track : kTracks) {
    wavs.push_back(source / (std::string(track.fileStem) + ".wav"));
    WriteBytes(wavs.back(), ToneWav(track.notes, 6.0));
  }
  Step("tones", std::to_string(wavs.size()) + " WAV files of 6 s, 44100 Hz stereo");
  const std::string encoder = EncodeAll(wavs);
  int number = 0;
  for (const fs::path& wav : wavs) {
    fs::path mp3 = wav;
    mp3.replace_extension(".mp3");
    TagMp3(mp3, kTracks[number], number + 1);
    ++number;
    // The WAVs served their purpose; the album folder holds what goes into the album.
    fs::remove(wav);
  }
  Step("encoded", std::to_string(wavs.size()) + " MP3 files at 128 kbps through " + encoder +
                      ", with ID3v1 tags");
  int lyrics = 0;
  for (const DemoTrack& track : kTracks) {
    if (track.lyrics == nullptr) continue;
    WriteBytes(source / (std::string(track.title) + ".txt"),
               Bytes(track.lyrics, track.lyrics + std::strlen(track.lyrics)));
    ++lyrics;
  }
  Step("lyrics", std::to_string(lyrics) + " text files");
  platform::qt::LoadedPictureService pictures;
  const Bytes bmp = CoverBmp(480, 480);
  const auto jpeg = pictures.ScaledJpeg(
      bmp, [](webview::PictureSize size) { return size; }, 90);
  if (jpeg) {
    WriteBytes(source / "cover.jpg", *jpeg);
    Step("cover", "cover.jpg, 480 x 480, drawn in code and encoded by the picture service");
  } else {
    Step("cover", "none: " + (pictures.LoadError().empty()
                                  ? std::string("the picture service could not encode JPEG")
                                  : pictures.LoadError()));
  }

  const fs::path albumPath = MakeAlbum(source, dir);
  Step("album",
       base::Utf8FromPath(albumPath) + " (" + std::to_string(fs::file_size(albumPath)) + " bytes)");
  Step("cue sheet", WriteCue(albumPath));
  Step("web view", WriteWebView(albumPath, dir / "web"));
  const fs::path extracted = dir / "extracted";
  const std::size_t count = ExtractAndCompare(albumPath, source, extracted);
  Step("extracted", std::to_string(count) + " items into " + base::Utf8FromPath(extracted) +
                        ", each identical to its source");
  return 0;
}

}  // namespace

void AddDemoCommand(CLI::App& app, int& exitCode) {
  auto* command = app.add_subcommand(
      "demo", "Make a small album from generated media, then its CUE sheet, web view and items");
  auto dir = std::make_shared<std::string>();
  command->add_option("DIR", *dir, "Folder for everything the demo makes")->required();
  command->callback([dir, &exitCode] {
    try {
      std::error_code ec;
      const fs::path folder = fs::absolute(base::PathFromUtf8(*dir), ec);
      exitCode = RunDemo(ec ? base::PathFromUtf8(*dir) : folder);
    } catch (const DemoError& error) {
      std::cerr << "demo: " << error.what << '\n';
      exitCode = 1;
    } catch (const std::exception& error) {
      std::cerr << "demo: " << error.what() << '\n';
      exitCode = 1;
    }
  });
}

}  // namespace cli
