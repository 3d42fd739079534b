// The bridge through its C ABI, loaded with dlopen as the encoder window loads it: real encodes
// checked by ffprobe and by our own frame analysis, and the contract with the encoder library
// checked against a stand-in that records its calls. Then liblame_enc.so on its own, loaded by
// file name and called through the BladeEnc interface.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>
#include <functional>
#include <memory>
#include <nlohmann/json.hpp>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "base/fileio.h"
#include "mp3header/mp3header.h"
#include "tests/support/testsupport.h"
#include "wavpress/bladeenc.h"
#include "wavpress/wavchunks.h"
#include "wavpress/wavpress.h"

namespace {

using namespace wavpress;
using testsupport::Bytes;
using testsupport::BytesOf;
using testsupport::Concat;
using testsupport::ReadFile;
using testsupport::RiffChunk;
using testsupport::ScopedTempDir;
using testsupport::ToneWav;
using testsupport::WriteFile;
namespace fs = std::filesystem;

/// Where the build puts libwavpress.so and liblame_enc.so side by side.
const fs::path kBuildFolder = LB_WAVPRESS_DIR;

/// What the progress callback was told; it answers 0 at report number `g_stopAt` (1-based).
std::vector<std::int32_t> g_reports;
std::size_t g_stopAt = 0;

/// A library opened with dlopen, closed when destroyed.
using Library = std::unique_ptr<void, int (*)(void*)>;

Library Open(const fs::path& path, int flags) {
  Library library(dlopen(path.c_str(), flags), &dlclose);
  if (!library) ADD_FAILURE() << path << " is not loaded: " << dlerror();
  return library;
}

template <typename Function>
Function Bind(const Library& library, const char* name) {
  return library ? reinterpret_cast<Function>(dlsym(library.get(), name)) : nullptr;
}

/// libwavpress.so of `folder`, loaded as a front end loads it; unloaded when destroyed, which the
/// next test relies on: a library left loaded would answer its loads by name.
struct Bridge {
  explicit Bridge(const fs::path& folder = kBuildFolder) : path(folder / WAVPRESS_LIBRARY_NAME) {
    EXPECT_TRUE(setEncoder && encodeMp3 && setReplace && lastFailure);
    // The tests encode into the same folder again and again.
    if (setReplace) setReplace(1);
  }
  ~Bridge() {
    library.reset();
    if (void* left = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD)) {
      dlclose(left);
      ADD_FAILURE() << path << " stayed loaded";
    }
  }

  /// LastFailure's cause, with its text in `text`.
  std::int32_t LastFailure(std::string* text = nullptr) const {
    char buffer[512] = {};
    const std::int32_t cause = lastFailure(buffer, sizeof buffer);
    if (text) *text = buffer;
    return cause;
  }

  /// EncodeMp3 with the recording callback, which answers 0 at call `stopAt` (0: never).
  std::int32_t Encode(const fs::path& wav, std::size_t stopAt = 0) const {
    g_reports.clear();
    g_stopAt = stopAt;
    const WavpressProgress progress = [](std::int32_t percent) -> std::int32_t {
      g_reports.push_back(percent);
      return g_reports.size() == g_stopAt ? 0 : 1;
    };
    return encodeMp3(wav.c_str(), &progress);
  }

  const fs::path path;
  Library library = Open(path, RTLD_NOW | RTLD_LOCAL);
  const SetEncoderFunction setEncoder = Bind<SetEncoderFunction>(library, "SetEncoder");
  const EncodeMp3Function encodeMp3 = Bind<EncodeMp3Function>(library, "EncodeMp3");
  const SetReplaceExistingFunction setReplace =
      Bind<SetReplaceExistingFunction>(library, "SetReplaceExisting");
  const LastFailureFunction lastFailure = Bind<LastFailureFunction>(library, "LastFailure");
  const EncodeMp3WithFunction encodeMp3With = Bind<EncodeMp3WithFunction>(library, "EncodeMp3With");
};

/// A folder holding a copy of libwavpress.so and, as asked, liblame_enc.so and a BladeEnc
/// library (one of the stand-ins) under the name "libbladeenc.so".
struct Layout {
  Layout(bool withLame, const char* bladeEnc) {
    fs::copy_file(kBuildFolder / WAVPRESS_LIBRARY_NAME, dir / WAVPRESS_LIBRARY_NAME);
    if (withLame) fs::copy_file(kBuildFolder / "liblame_enc.so", dir / "liblame_enc.so");
    if (bladeEnc) fs::copy_file(bladeEnc, dir / "libbladeenc.so");
  }
  ScopedTempDir dir;
};

/// The stand-in BladeEnc library as loaded by the bridge of a layout (see fake_bladeenc.cpp).
struct FakeEncoder {
  explicit FakeEncoder(const Layout& layout)
      : library(Open(layout.dir / "libbladeenc.so", RTLD_NOW | RTLD_NOLOAD)) {
    Script();
  }
  void Script(BeResult initResult = kBeOk, std::uint32_t failingChunk = 0,
              BeResult deinitResult = kBeOk, std::uint32_t samplesPerChunk = 2304) const {
    using Function = void (*)(BeResult, std::uint32_t, BeResult, std::uint32_t);
    Bind<Function>(library, "FakeScript")(initResult, failingChunk, deinitResult, samplesPerChunk);
  }
  std::string Log() const { return Bind<const char* (*)()>(library, "FakeLog")(); }
  std::string Record() const { return Bind<const char* (*)()>(library, "FakeRecord")(); }

  Library library;
};

std::array<std::uint8_t, kMp3ConfigSize> Record(const Mp3Config& config) {
  std::array<std::uint8_t, kMp3ConfigSize> record{};
  PutMp3Config(record, config);
  return record;
}

/// liblame_enc.so of the build on its own, called through the BladeEnc interface.
struct LameEnc {
  /// One stream of `config` through `chunks` chunks filled by `sample`, then the flush: what it
  /// wrote. Every output must fit the size reported, with nothing written past it.
  Bytes Encode(const Mp3Config& config, int chunks,
               const std::function<std::int16_t()>& sample = {}) const {
    constexpr std::uint8_t kGuard = 0xA5;
    const auto record = Record(config);
    std::uint32_t samples = 0, size = 0, written = 0;
    BeStream stream = 0;
    EXPECT_EQ(init(record.data(), &samples, &size, &stream), kBeOk);
    EXPECT_EQ(samples, config.Mode == kModeMono ? 1152u : 2304u);
    std::vector<std::int16_t> pcm(samples);
    Bytes mp3, out(size + 256, kGuard);
    const auto keep = [&](BeResult result) {
      EXPECT_EQ(result, kBeOk);
      EXPECT_LE(written, size);
      EXPECT_TRUE(std::all_of(out.begin() + size, out.end(), [](auto b) { return b == kGuard; }));
      mp3.insert(mp3.end(), out.begin(), out.begin() + std::min(written, size));
    };
    for (int chunk = 0; chunk < chunks; ++chunk) {
      std::generate(pcm.begin(), pcm.end(), sample);
      keep(encode(stream, samples, pcm.data(), out.data(), &written));
    }
    keep(deinit(stream, out.data(), &written));
    EXPECT_EQ(close(stream), kBeOk);
    return mp3;
  }

  Library library = Open(kBuildFolder / "liblame_enc.so", RTLD_NOW);
  BeInitStreamFunction init = Bind<BeInitStreamFunction>(library, "beInitStream");
  BeEncodeChunkFunction encode = Bind<BeEncodeChunkFunction>(library, "beEncodeChunk");
  BeDeinitStreamFunction deinit = Bind<BeDeinitStreamFunction>(library, "beDeinitStream");
  BeCloseStreamFunction close = Bind<BeCloseStreamFunction>(library, "beCloseStream");
};

/// No unfinished output (".tmp") stayed in `folder`.
bool NoTemporaryFiles(const fs::path& folder) {
  return std::none_of(fs::directory_iterator(folder), fs::directory_iterator(),
                      [](const auto& entry) { return entry.path().extension() == ".tmp"; });
}

/// ffprobe's view of a file: streams and packets; null when it could not read it.
nlohmann::json Probe(const fs::path& file) {
  std::string output;
  const int status = testsupport::RunCommand(
      "ffprobe -v error -print_format json -show_streams -show_packets " + testsupport::Quote(file),
      &output);
  return status == 0 ? nlohmann::json::parse(output, nullptr, false) : nullptr;
}

// A folder for the recordings and their MP3s.
struct WavTest : ::testing::Test {
  fs::path Wav(const std::string& name, double seconds, int channels = 2, int rate = 44100) {
    const auto path = dir / name;
    WriteFile(path, ToneWav(seconds, 440, channels, rate));
    return path;
  }
  ScopedTempDir dir;
};

struct EncodeMp3Test : WavTest {
  void SetUp() override {
    ASSERT_TRUE(testsupport::Peer("ffprobe", "ffmpeg"));
    ASSERT_TRUE(bridge.setEncoder && bridge.encodeMp3);
    ASSERT_EQ(bridge.setEncoder(WAVPRESS_LAME), 0);
  }
  Bridge bridge;
};

// The samples are read as what the file declares and converted to 44100 Hz stereo, so the MP3
// lasts as long as its source whatever the source's format. The header fields come from the
// record the bridge hands over (EncoderLibraryTest) as lame_enc writes them (LameEncTest).
TEST_F(EncodeMp3Test, AnyWavBecomesConstant128kStereoReportingEachChunk) {
  const struct {
    int channels;
    int rate;
  } cases[] = {{2, 44100}, {1, 22050}, {1, 44100}, {2, 48000}, {2, 8000}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.channels) + " channel(s) at " + std::to_string(c.rate));
    const auto name = "in" + std::to_string(c.channels) + "_" + std::to_string(c.rate);
    ASSERT_EQ(bridge.Encode(Wav(name + ".wav", 2.0, c.channels, c.rate)), WAVPRESS_OK);
    const auto mp3 = dir / (name + ".mp3");

    const auto probe = Probe(mp3);
    ASSERT_FALSE(probe.is_null());
    const auto& stream = probe["streams"][0];
    EXPECT_EQ(stream["codec_name"], "mp3");
    EXPECT_EQ(stream["sample_rate"], "44100");
    EXPECT_EQ(stream["channels"], 2);
    EXPECT_EQ(stream["bit_rate"], "128000");
    EXPECT_NEAR(testsupport::FfprobeMilliseconds(mp3), 2000.0, 50.0);
    // Constant 128 kbit/s at 44100 Hz: every frame is 417 bytes, or 418 with its padding slot.
    for (const auto& packet : probe["packets"]) {
      const int size = std::stoi(packet["size"].get<std::string>());
      EXPECT_TRUE(size == 417 || size == 418) << size;
    }
    mp3header::MP3HeaderInfo info;
    EXPECT_TRUE(mp3header::IsAcceptedTrack(mp3header::AnalyseMP3(mp3, info), info));
    EXPECT_EQ(info.HeaderPos, 1);

    // One report per chunk of 1152 frames, the last one 100.
    if (c.rate == 44100) {
      EXPECT_EQ(g_reports.size(), (2 * 44100 + 1151) / 1152);
    }
    ASSERT_GE(g_reports.size(), 2u);
    EXPECT_TRUE(std::is_sorted(g_reports.begin(), g_reports.end()));
    EXPECT_EQ(g_reports.back(), 100);
    EXPECT_LT(g_reports[g_reports.size() - 2], 100);
  }
}

TEST_F(EncodeMp3Test, OutputReplacesTheExtensionOfTheFileNameOnly) {
  fs::create_directory(dir / "rec.s");
  const struct {
    const char* input;
    const char* output;
  } cases[] = {
      {"rec.s/take1.wav", "rec.s/take1.mp3"},
      {"TAKE.WAV", "TAKE.mp3"},
      {"two.dots.wav", "two.dots.mp3"},
      {"rec.s/noextension", "rec.s/noextension.mp3"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.input);
    WriteFile(dir / c.input, ToneWav(0.01, 440));
    ASSERT_EQ(bridge.Encode(dir / c.input), WAVPRESS_OK);
    EXPECT_TRUE(fs::exists(dir / c.output));
  }
  EXPECT_FALSE(fs::exists(dir / "rec.mp3"));
}

TEST_F(EncodeMp3Test, ReplacesAnExistingMp3OnlyWhenAllowedAndNeverItsOwnInput) {
  const auto wav = Wav("take.wav", 0.5);
  WriteFile(dir / "take.mp3", Bytes(100000, 0x55));
  bridge.setReplace(0);
  std::string why;
  ASSERT_EQ(bridge.Encode(wav), WAVPRESS_FAILED);
  EXPECT_EQ(bridge.LastFailure(&why), WAVPRESS_OUTPUT_EXISTS);
  EXPECT_NE(why.find("take.mp3 exists"), std::string::npos) << why;
  EXPECT_EQ(ReadFile(dir / "take.mp3"), Bytes(100000, 0x55));
  EXPECT_TRUE(g_reports.empty());

  bridge.setReplace(1);
  ASSERT_EQ(bridge.Encode(wav), WAVPRESS_OK);
  EXPECT_EQ(bridge.LastFailure(), WAVPRESS_NO_FAILURE);
  const Bytes mp3 = ReadFile(dir / "take.mp3");
  ASSERT_LT(mp3.size(), 100000u);
  EXPECT_EQ(mp3[0], 0xFF);

  // A WAV named ".mp3" would be its own output.
  const auto named = dir / "song.mp3";
  const Bytes original = ToneWav(0.5, 440);
  WriteFile(named, original);
  EXPECT_EQ(bridge.Encode(named), WAVPRESS_FAILED);
  EXPECT_EQ(ReadFile(named), original);
}

// Everything of an EncodeMp3With call comes with the call: the library-wide selection and
// replace flag are set against it throughout, and each report carries the caller's context.
TEST_F(EncodeMp3Test, EncodeMp3WithTakesEncoderReplacingAndContextFromTheCall) {
  ASSERT_TRUE(bridge.encodeMp3With);
  struct Context {
    std::vector<std::int32_t> reports;
    std::size_t stopAt = 0;
  };
  const WavpressContextProgress progress = [](void* context, std::int32_t percent) -> std::int32_t {
    auto& reports = static_cast<Context*>(context)->reports;
    reports.push_back(percent);
    return reports.size() == static_cast<Context*>(context)->stopAt ? 0 : 1;
  };
  const auto wav = Wav("take.wav", 0.5);
  const Bytes mine(1000, 0x55);
  const struct {
    std::int32_t encoder, flags;
    bool existing;
    const char* output;  // null: the usual name
    std::size_t stopAt;
    std::int32_t result, cause;
  } cases[] = {
      {WAVPRESS_LAME, 0, false, nullptr, 0, WAVPRESS_OK, WAVPRESS_NO_FAILURE},
      {WAVPRESS_LAME, 0, true, nullptr, 0, WAVPRESS_FAILED, WAVPRESS_OUTPUT_EXISTS},
      {WAVPRESS_LAME, WAVPRESS_REPLACE_EXISTING, true, nullptr, 0, WAVPRESS_OK,
       WAVPRESS_NO_FAILURE},
      {WAVPRESS_LAME, 0, false, "other.mp3", 0, WAVPRESS_OK, WAVPRESS_NO_FAILURE},
      {WAVPRESS_LAME, 0, false, nullptr, 2, WAVPRESS_STOPPED, WAVPRESS_NO_FAILURE},
      // The build folder holds no BladeEnc library.
      {WAVPRESS_BLADEENC, 0, false, nullptr, 0, WAVPRESS_FAILED, WAVPRESS_NO_ENCODER},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(&c - cases));
    const fs::path output = dir / (c.output ? c.output : "take.mp3");
    fs::remove(output);
    if (c.existing) WriteFile(output, mine);
    bridge.setEncoder(c.encoder == WAVPRESS_LAME ? WAVPRESS_BLADEENC : WAVPRESS_LAME);
    bridge.setReplace(c.flags == 0 ? 1 : 0);
    Context context{.stopAt = c.stopAt};
    ASSERT_EQ(bridge.encodeMp3With(wav.c_str(), c.output ? output.c_str() : nullptr, c.encoder,
                                   c.flags, progress, &context),
              c.result);
    EXPECT_EQ(bridge.LastFailure(), c.cause);
    EXPECT_EQ(fs::exists(output) && ReadFile(output) == mine,
              c.existing && c.result != WAVPRESS_OK);
    if (c.result == WAVPRESS_OK) {
      EXPECT_EQ(context.reports.back(), 100);
    }
    if (c.stopAt) {
      EXPECT_EQ(context.reports.size(), c.stopAt);
    }
  }
  // EncodeMp3 still follows the library-wide selection, which the calls above left alone.
  bridge.setEncoder(WAVPRESS_BLADEENC);
  EXPECT_EQ(bridge.Encode(wav), WAVPRESS_FAILED);
  EXPECT_EQ(bridge.LastFailure(), WAVPRESS_NO_ENCODER);
}

// No MP3 at all for what holds no sound: a header alone would give one of the encoder's flush.
TEST_F(EncodeMp3Test, UnreadableInputOrOutputFails) {
  testsupport::WriteText(dir / "notes.wav", "Not a recording at all, only a few lines of text.\n");
  WriteFile(dir / "noise.wav", testsupport::Pattern(50000));
  WriteFile(dir / "hang.wav", testsupport::InfoChunkHangWav());
  Wav("silent.wav", 0.0);
  const auto blocked = Wav("blocked.wav", 0.5);
  fs::create_directory(dir / "blocked.mp3");  // the output cannot be created over a folder

  const struct {
    const char* name;
    std::int32_t cause;
    const char* why;
  } cases[] = {{"missing.wav", WAVPRESS_UNREADABLE, "No such file"},
               {"notes.wav", WAVPRESS_UNSUPPORTED_FORMAT, "not a WAV file we can read"},
               {"noise.wav", WAVPRESS_UNSUPPORTED_FORMAT, "not a WAV file we can read"},
               {"hang.wav", WAVPRESS_UNSUPPORTED_FORMAT, "not a WAV file we can read"},
               {"silent.wav", WAVPRESS_UNSUPPORTED_FORMAT, "no audio"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(bridge.Encode(dir / c.name), WAVPRESS_FAILED);
    std::string why;
    EXPECT_EQ(bridge.LastFailure(&why), c.cause);
    EXPECT_NE(why.find(c.name), std::string::npos) << why;
    EXPECT_NE(why.find(c.why), std::string::npos) << why;
    EXPECT_TRUE(g_reports.empty());
    EXPECT_FALSE(fs::exists(fs::path(dir / c.name).replace_extension(".mp3")));
  }
  EXPECT_EQ(bridge.Encode(blocked), WAVPRESS_FAILED);
  EXPECT_EQ(bridge.LastFailure(), WAVPRESS_CANNOT_WRITE);
  EXPECT_TRUE(fs::is_directory(dir / "blocked.mp3"));
  EXPECT_TRUE(NoTemporaryFiles(dir.path()));
}

// A layout with the BladeEnc stand-in: which library is used, and what it is given.
struct EncoderLibraryTest : WavTest {
  const Layout layout{true, LB_FAKE_BLADEENC};
  const Bridge bridge{layout.dir.path()};
  const FakeEncoder fake{layout};
};

TEST_F(EncoderLibraryTest, SelectionStartsAtBladeEncAndOnlyOneSelectsIt) {
  const auto wav = Wav("take.wav", 1000 / 44100.0);
  const struct {
    std::int32_t selection;  // -1: as loaded
    bool bladeEnc;
  } steps[] = {{-1, true}, {0, false}, {2, false}, {1, true}, {-7, false}};
  for (const auto& step : steps) {
    SCOPED_TRACE("selection " + std::to_string(step.selection));
    if (step.selection != -1) {
      EXPECT_EQ(bridge.setEncoder(step.selection), 0);
    }
    fake.Script();
    ASSERT_EQ(bridge.Encode(wav), WAVPRESS_OK);
    EXPECT_EQ(!fake.Log().empty(), step.bladeEnc);
    const Bytes mp3 = ReadFile(dir / "take.mp3");
    ASSERT_FALSE(mp3.empty());
    EXPECT_EQ(mp3[0] == 'C', step.bladeEnc);
  }
}

TEST_F(EncoderLibraryTest, HandsOverTheRecordAndChunksOfTheSizeAskedFor) {
  const auto wav = Wav("take.wav", 5000 / 44100.0);
  ASSERT_EQ(bridge.Encode(wav), WAVPRESS_OK);
  // Little-endian: kind 0 (4 bytes), 44100 Hz (4), stereo (1), 128 kbit/s (2), then the private,
  // CRC, copyright and original flags clear (4 each).
  EXPECT_EQ(fake.Record(), "0000000044ac000000800000000000000000000000000000000000");
  EXPECT_EQ(fake.Log(), "init 2304 2304 2304 2304 784 deinit close");
  EXPECT_EQ(ReadFile(dir / "take.mp3"), BytesOf("CCCCCF"));

  // An odd chunk size asked for still gets whole stereo frames.
  fake.Script(kBeOk, 0, kBeOk, 4001);
  ASSERT_EQ(bridge.Encode(wav), WAVPRESS_OK);
  EXPECT_EQ(fake.Log(), "init 4000 4000 2000 deinit close");
}

// The stream is closed on every return once it was opened, and a stop leaves what was written
// on disk, without the flush; a failure leaves nothing.
TEST_F(EncoderLibraryTest, ReleasesTheStreamOnEveryReturn) {
  const auto wav = Wav("take.wav", 3000 / 44100.0);  // three chunks
  const auto bad = kBeInvalidFormatParameters;

  const struct {
    const char* what;
    BeResult initResult;
    std::uint32_t failingChunk;
    BeResult deinitResult;
    std::size_t stopAt;
    std::int32_t result;
    const char* calls;
    const char* output;
  } cases[] = {
      {"init fails", bad, 0, kBeOk, 0, WAVPRESS_FAILED, "init", nullptr},
      {"second chunk fails", kBeOk, 2, kBeOk, 0, WAVPRESS_FAILED, "init 2304 2304 close", nullptr},
      {"flush fails", kBeOk, 0, bad, 0, WAVPRESS_FAILED, "init 2304 2304 1392 deinit close",
       nullptr},
      {"stop at the first chunk", kBeOk, 0, kBeOk, 1, WAVPRESS_STOPPED, "init 2304 close", "C"},
      {"stop at the second chunk", kBeOk, 0, kBeOk, 2, WAVPRESS_STOPPED, "init 2304 2304 close",
       "CC"},
      {"stop at the last chunk", kBeOk, 0, kBeOk, 3, WAVPRESS_STOPPED, "init 2304 2304 1392 close",
       "CCC"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove(dir / "take.mp3");
    fake.Script(c.initResult, c.failingChunk, c.deinitResult);
    EXPECT_EQ(bridge.Encode(wav, c.stopAt), c.result);
    EXPECT_EQ(fake.Log(), c.calls);
    if (c.output) {
      EXPECT_EQ(ReadFile(dir / "take.mp3"), BytesOf(c.output));
    } else {
      EXPECT_FALSE(fs::exists(dir / "take.mp3"));
      EXPECT_EQ(bridge.LastFailure(), WAVPRESS_ENCODER_ERROR);
    }
    EXPECT_TRUE(NoTemporaryFiles(dir.path()));
  }
}

TEST_F(EncoderLibraryTest, MissingLibraryOrEntryPointFailsBeforeAnyFileIsOpened) {
  const auto wav = Wav("take.wav", 1000 / 44100.0);
  const struct {
    const char* what;
    bool withLame;
    const char* bladeEnc;
    std::int32_t selection;  // -1: as loaded
  } cases[] = {
      {"no BladeEnc library, selected at load", true, nullptr, -1},
      {"no BladeEnc library, selected by SetEncoder(1)", true, nullptr, 1},
      {"no LAME library", false, LB_FAKE_BLADEENC, 0},
      {"BladeEnc library without beCloseStream", true, LB_FAKE_BLADEENC_PARTIAL, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const Layout layout(c.withLame, c.bladeEnc);
    const Bridge bridge(layout.dir.path());
    if (c.selection != -1) bridge.setEncoder(c.selection);
    EXPECT_EQ(bridge.Encode(wav), WAVPRESS_FAILED);
    EXPECT_FALSE(fs::exists(dir / "take.mp3"));
  }
}

// --- the chunk walk on its own ---------------------------------------------------------------

Bytes Le(std::uint32_t value, int width) {
  Bytes out;
  for (int i = 0; i < width; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
  return out;
}

Bytes FmtBody(std::uint16_t tag, std::uint16_t channels, std::uint32_t rate, std::uint16_t bits) {
  const auto align = static_cast<std::uint16_t>(channels * bits / 8);
  return Concat(
      {Le(tag, 2), Le(channels, 2), Le(rate, 4), Le(rate * align, 4), Le(align, 2), Le(bits, 2)});
}

Bytes Riff(std::initializer_list<Bytes> chunks, std::int64_t declaredSize = -1) {
  const Bytes body = Concat(chunks);
  return RiffChunk("RIFF", Concat({BytesOf("WAVE"), body}), declaredSize);
}

/// What libsndfile is shown for a file of this format and data size.
Bytes Canonical(const Bytes& fmtBody, std::uint32_t dataSize) {
  return Concat({BytesOf("RIFF"), Le(36 + dataSize, 4), BytesOf("WAVE"), RiffChunk("fmt ", fmtBody),
                 BytesOf("data"), Le(dataSize, 4)});
}

TEST(WalkWav, TakesFmtAndDataWithinTheFileAndRefusesAnyChunkBeyondIt) {
  const Bytes fmt = FmtBody(1, 2, 44100, 16);
  const Bytes fmtChunk = RiffChunk("fmt ", fmt);
  const Bytes data = RiffChunk("data", testsupport::Pattern(400));
  const Bytes info = Concat({BytesOf("INFO"), RiffChunk("INAM", BytesOf("abc"))});
  // WAVE_FORMAT_EXTENSIBLE, 24-bit PCM: cbSize 22, valid bits, channel mask, sub-format GUID.
  const Bytes extensible =
      Concat({FmtBody(0xFFFE, 2, 48000, 24), Le(22, 2), Le(24, 2), Le(3, 4), Le(1, 2),
              Bytes{0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71}});
  Bytes badGuid = extensible;
  badGuid.back() ^= 1;
  Bytes truncated = Riff({fmtChunk, data});
  truncated.resize(truncated.size() - 10);

  const struct {
    const char* what;
    Bytes file;
    std::int64_t dataOffset;  // 0: refused
    Bytes header;
  } cases[] = {
      {"canonical file", ToneWav(0.01, 440), 44, {}},
      {"LIST and an odd chunk first",
       Riff({RiffChunk("LIST", info), RiffChunk("junk", Bytes(3)), fmtChunk, data}), 80,
       Canonical(fmt, 400)},
      {"data before fmt", Riff({data, fmtChunk}), 20, Canonical(fmt, 400)},
      {"a tag after the RIFF", Concat({Riff({fmtChunk, data}), Bytes(128, 0xFF)}), 44,
       Canonical(fmt, 400)},
      {"RIFF size left too large", Riff({fmtChunk, data}, 0xFFFFFFFF), 44, Canonical(fmt, 400)},
      {"extensible 24-bit", Riff({RiffChunk("fmt ", extensible), data}), 68,
       Canonical(FmtBody(1, 2, 48000, 24), 400)},
      {"float", Riff({RiffChunk("fmt ", FmtBody(3, 1, 8000, 32)), data}), 44,
       Canonical(FmtBody(3, 1, 8000, 32), 400)},
      {"the INFO chunk that hung libsndfile", testsupport::InfoChunkHangWav(), 0, {}},
      {"LIST sub-chunk past its LIST",
       Riff({RiffChunk("LIST", Concat({BytesOf("INFO"), RiffChunk("INAM", {}, 9)})), fmtChunk,
             data}),
       0,
       {}},
      {"data past the end of the file", truncated, 0, {}},
      {"chunk size of 4 GiB", Riff({fmtChunk, RiffChunk("junk", {}, 0xFFFFFFF0), data}), 0, {}},
      {"text", BytesOf("Not a recording at all, only a few lines."), 0, {}},
      {"big-endian RIFX", RiffChunk("RIFX", Concat({BytesOf("WAVE"), fmtChunk})), 0, {}},
      {"no fmt", Riff({data}), 0, {}},
      {"no data", Riff({fmtChunk}), 0, {}},
      {"short fmt", Riff({RiffChunk("fmt ", Bytes(fmt.begin(), fmt.end() - 2)), data}), 0, {}},
      {"ADPCM", Riff({RiffChunk("fmt ", FmtBody(2, 2, 44100, 4)), data}), 0, {}},
      {"12-bit PCM", Riff({RiffChunk("fmt ", FmtBody(1, 2, 44100, 12)), data}), 0, {}},
      {"no channels", Riff({RiffChunk("fmt ", FmtBody(1, 0, 44100, 16)), data}), 0, {}},
      {"rate 0", Riff({RiffChunk("fmt ", FmtBody(1, 2, 0, 16)), data}), 0, {}},
      {"extensible of an unknown sub-format", Riff({RiffChunk("fmt ", badGuid), data}), 0, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    base::MemorySource file(c.file);
    const auto layout = WalkWav(file);
    ASSERT_EQ(layout.has_value(), c.dataOffset != 0);
    if (!layout) continue;
    EXPECT_EQ(layout->dataOffset, c.dataOffset);
    // A canonical file is shown as it is.
    const Bytes header = c.header.empty() ? Bytes(c.file.begin(), c.file.begin() + 44) : c.header;
    EXPECT_EQ(Bytes(layout->header.begin(), layout->header.end()), header);
    EXPECT_EQ(layout->dataSize, c.dataOffset == 44 && c.header.empty() ? 1764 : 400);
  }
}

// libsndfile seeks past an odd data chunk for its pad byte; when that seek failed it went on to
// parse the samples as chunks and, for these found by the fuzzer, never came back.
TEST_F(EncodeMp3Test, EncodesADataChunkOfOddSize) {
  const auto wav = dir / "odd.wav";
  fs::copy_file(LB_WAV_SEEDS "/odd-data.wav", wav);
  ASSERT_EQ(bridge.Encode(wav), WAVPRESS_OK);
  EXPECT_EQ(ReadFile(fs::path(wav).replace_extension(".mp3")).at(0), 0xFF);
}

struct LameEncTest : ::testing::Test {
  void SetUp() override { ASSERT_TRUE(lame.init && lame.encode && lame.deinit && lame.close); }

  const LameEnc lame;
};

TEST_F(LameEncTest, RefusesBadRecordsAndNullPointers) {
  const struct {
    const char* what;
    Mp3Config config;
    std::int32_t kind;
    BeResult result;
  } cases[] = {
      {"kind 1", {}, 1, kBeInvalidFormat},
      {"kind 256", {}, 256, kBeInvalidFormat},
      {"22050 Hz", {22050}, 0, kBeInvalidFormatParameters},
      {"0 Hz", {0}, 0, kBeInvalidFormatParameters},
      {"100 kbit/s", {44100, kModeStereo, 100}, 0, kBeInvalidFormatParameters},
      {"free format", {44100, kModeStereo, 0}, 0, kBeInvalidFormatParameters},
      {"mode 4", {44100, 4}, 0, kBeInvalidFormatParameters},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    auto record = Record(c.config);
    base::PutLE32(record, kConfigKindOffset, c.kind);
    std::uint32_t samples = 0, size = 0;
    BeStream stream = 99;
    EXPECT_EQ(lame.init(record.data(), &samples, &size, &stream), c.result);
    EXPECT_EQ(stream, 99u);
  }

  const auto record = Record({});
  std::uint32_t samples = 0, size = 0;
  BeStream stream = 0;
  EXPECT_EQ(lame.init(nullptr, &samples, &size, &stream), kBeInvalidFormatParameters);
  EXPECT_EQ(lame.init(record.data(), nullptr, &size, &stream), kBeInvalidFormatParameters);
  EXPECT_EQ(lame.init(record.data(), &samples, nullptr, &stream), kBeInvalidFormatParameters);
  EXPECT_EQ(lame.init(record.data(), &samples, &size, nullptr), kBeInvalidFormatParameters);
}

TEST_F(LameEncTest, RefusesCallsOnStreamsItDoesNotHoldAndOversizedChunks) {
  const auto record = Record({});
  std::uint32_t samples = 0, size = 0, written = 0;
  BeStream stream = 0;
  ASSERT_EQ(lame.init(record.data(), &samples, &size, &stream), kBeOk);
  std::vector<std::int16_t> pcm(samples + 2);
  Bytes out(size);

  EXPECT_EQ(lame.encode(stream + 1000, samples, pcm.data(), out.data(), &written),
            kBeInvalidHandle);
  EXPECT_EQ(lame.encode(stream, samples + 2, pcm.data(), out.data(), &written),
            kBeInvalidFormatParameters);
  EXPECT_EQ(lame.encode(stream, samples, nullptr, out.data(), &written),
            kBeInvalidFormatParameters);
  EXPECT_EQ(lame.encode(stream, samples, pcm.data(), out.data(), &written), kBeOk);
  EXPECT_EQ(lame.deinit(stream, out.data(), &written), kBeOk);
  EXPECT_EQ(lame.deinit(stream, out.data(), &written), kBeInvalidHandle);
  EXPECT_EQ(lame.encode(stream, samples, pcm.data(), out.data(), &written), kBeInvalidHandle);
  EXPECT_EQ(lame.close(stream), kBeOk);
  EXPECT_EQ(lame.close(stream), kBeInvalidHandle);
}

// Full-scale noise is the hardest input there is; the reported size must hold every chunk's
// output and the flush, with nothing written past it (LameEnc::Encode checks both).
TEST_F(LameEncTest, ReportedBufferSizeIsAlwaysEnough) {
  const Mp3Config configs[] = {
      {44100, kModeStereo, 128},     {48000, kModeStereo, 320}, {32000, kModeMono, 320},
      {32000, kModeJointStereo, 32}, {48000, kModeMono, 32},
  };
  std::mt19937 random(5);
  std::uniform_int_distribution<int> sample(-32768, 32767);
  for (const auto& config : configs) {
    SCOPED_TRACE(std::to_string(config.SampleRate) + " Hz, mode " + std::to_string(config.Mode) +
                 ", " + std::to_string(config.Bitrate) + " kbit/s");
    lame.Encode(config, 200, [&] { return static_cast<std::int16_t>(sample(random)); });
  }
}

// Each value of the record reaches the frame headers, as our own frame analysis reads them.
TEST_F(LameEncTest, FrameHeadersCarryTheRecordValues) {
  const struct {
    Mp3Config config;
    const char* channelMode;
  } cases[] = {
      {{44100, kModeStereo, 128}, "stereo"},
      {{48000, kModeJointStereo, 192, true, true}, "joint stereo"},
      {{32000, kModeMono, 64, false, false, true, true}, "single channel"},
      {{44100, kModeDualChannel, 256, true, false, true, false}, "dual channel"},
  };
  const testsupport::ScopedTempDir dir;
  const auto yesNo = [](bool on) { return std::string(on ? "yes" : "no"); };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.channelMode);
    double phase = 0;
    const auto sine = [&] { return static_cast<std::int16_t>(8000 * std::sin(phase += 0.05)); };
    testsupport::WriteFile(dir / "out.mp3", lame.Encode(c.config, 40, sine));
    mp3header::MP3HeaderInfo info;
    ASSERT_EQ(mp3header::AnalyseMP3(dir / "out.mp3", info), mp3header::AnalyseStatus::Ok);
    // Position, version, layer, rate, bit rate, VBR, mode; then the flags.
    EXPECT_EQ(std::tuple(info.HeaderPos, info.MpegVersion, info.Layer, info.SampleRate,
                         info.Bitrate, info.IsVBR, info.ChannelMode),
              std::tuple(1, 1, 3, static_cast<std::int32_t>(c.config.SampleRate), c.config.Bitrate,
                         false, c.channelMode));
    EXPECT_EQ(std::tuple(info.PrivateBit, info.CrcProtected, info.Copyright, info.Original),
              std::tuple(yesNo(c.config.Private), yesNo(c.config.Crc), yesNo(c.config.Copyright),
                         yesNo(c.config.Original)));
  }
}

}  // namespace
