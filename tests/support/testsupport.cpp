#include "tests/support/testsupport.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

#include "base/id3v1.h"

namespace testsupport {

ScopedTempDir::ScopedTempDir() {
  std::random_device seed;
  for (int attempt = 0; attempt < 100; ++attempt) {
    auto candidate = std::filesystem::temp_directory_path() /
                     ("lb-test-" + std::to_string(seed()) + std::to_string(attempt));
    if (std::filesystem::create_directory(candidate)) {
      m_path = candidate;
      return;
    }
  }
  throw std::runtime_error("no temporary folder");
}

ScopedTempDir::~ScopedTempDir() {
  std::error_code ec;
  std::filesystem::permissions(m_path, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::add, ec);
  std::filesystem::remove_all(m_path, ec);
}

void WriteFile(const std::filesystem::path& path, const Bytes& data) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

void WriteText(const std::filesystem::path& path, std::string_view text) {
  WriteFile(path, BytesOf(text));
}

Bytes ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path.string());
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

Bytes BytesOf(std::string_view text) {
  return Bytes(text.begin(), text.end());
}

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

Bytes Pattern(std::size_t count, std::uint8_t seed) {
  Bytes out(count);
  for (std::size_t i = 0; i < count; ++i) out[i] = static_cast<std::uint8_t>((seed + i * 7) % 251);
  return out;
}

Bytes Mp3Frame(std::uint8_t byte2, std::uint8_t byte3, std::size_t length) {
  Bytes frame(length, 0x55);
  const std::array<std::uint8_t, 4> header{0xFF, 0xFB, byte2, byte3};
  std::copy(header.begin(), header.end(), frame.begin());
  return frame;
}

Bytes Mp3Stream(std::size_t frames) {
  const Bytes frame = Mp3Frame();
  Bytes out;
  for (std::size_t i = 0; i < frames; ++i) out.insert(out.end(), frame.begin(), frame.end());
  return out;
}

Bytes Id3v2Tag(std::size_t totalSize) {
  Bytes tag(totalSize, 0);
  const std::size_t body = totalSize - 10;
  std::copy_n("ID3\x03", 4, tag.begin());
  for (int i = 0; i < 4; ++i) tag[9 - i] = static_cast<std::uint8_t>((body >> (7 * i)) & 0x7F);
  return tag;
}

std::size_t Id3v2TagSize(const Bytes& data) {
  if (data.size() < 10 || data[0] != 'I' || data[1] != 'D' || data[2] != '3') return 0;
  std::size_t body = 0;
  for (int i = 6; i < 10; ++i) body = (body << 7) | (data[static_cast<std::size_t>(i)] & 0x7Fu);
  return 10 + body;
}

Bytes Id3v1Tag(std::string_view title, std::string_view artist, std::string_view album,
               std::string_view year) {
  // As other taggers write it: NUL-padded, the texts as given.
  namespace id3 = base::id3v1;
  Bytes tag(id3::kSize, 0);
  const auto put = [&](id3::Field field, std::string_view text) {
    std::copy_n(text.begin(), std::min(field.width, text.size()),
                tag.begin() + static_cast<long>(field.offset));
  };
  put(id3::kIdentifier, id3::kMarker);
  put(id3::kTitle, title);
  put(id3::kArtist, artist);
  put(id3::kAlbum, album);
  put(id3::kYear, year);
  tag[id3::kGenreOffset] = 12;
  return tag;
}

Bytes ToneWav(double seconds, double pitch, int channels, int sampleRate) {
  const auto frames = static_cast<std::uint32_t>(seconds * sampleRate);
  const auto blockAlign = static_cast<std::uint32_t>(channels * 2);
  Bytes out;
  // Little-endian, `width` bytes.
  const auto put = [&](std::uint32_t v, int width) {
    for (int i = 0; i < width; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
  };
  const auto text = [&](std::string_view t) { out.insert(out.end(), t.begin(), t.end()); };
  text("RIFF");
  put(36 + frames * blockAlign, 4);
  text("WAVEfmt ");
  put(16, 4);
  put(1, 2);
  put(static_cast<std::uint32_t>(channels), 2);
  put(static_cast<std::uint32_t>(sampleRate), 4);
  put(static_cast<std::uint32_t>(sampleRate) * blockAlign, 4);
  put(blockAlign, 2);
  put(16, 2);
  text("data");
  put(frames * blockAlign, 4);
  constexpr double kTwoPi = 6.283185307179586;
  for (std::uint32_t k = 0; k < frames; ++k) {
    const double t = k / static_cast<double>(sampleRate);
    for (int c = 0; c < channels; ++c) {
      const double hz = c == 0 ? pitch : pitch * 0.75;
      put(static_cast<std::uint16_t>(static_cast<std::int16_t>(8000 * std::sin(kTwoPi * hz * t))),
          2);
    }
  }
  return out;
}

Bytes RiffChunk(std::string_view id, const Bytes& body, std::int64_t declaredSize) {
  const auto size = static_cast<std::uint32_t>(declaredSize < 0 ? body.size() : declaredSize);
  Bytes out = BytesOf(id);
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(size >> (8 * i)));
  out.insert(out.end(), body.begin(), body.end());
  if (body.size() % 2 == 1) out.push_back(0);
  return out;
}

Bytes InfoChunkHangWav() {
  constexpr std::string_view kHex =
      "5249464664060000574156454c4953541000ffffffffffffffffffffffffffffffffffffffffffff"
      "ffffffffffffffffffffffffffffffffd7ffffffffff02ff0000";
  Bytes out;
  for (std::size_t i = 0; i + 1 < kHex.size(); i += 2) {
    out.push_back(
        static_cast<std::uint8_t>(std::stoi(std::string(kHex.substr(i, 2)), nullptr, 16)));
  }
  return out;
}

#ifdef _WIN32
#define popen _popen
#define pclose _pclose
#define WIFEXITED(status) true
#define WEXITSTATUS(status) (status)
#else
#include <sys/wait.h>
#endif

int RunCommand(const std::string& command, std::string* output) {
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (!pipe) return -1;
  std::array<char, 4096> buffer{};
  std::string text;
  std::size_t got = 0;
  while ((got = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
    text.append(buffer.data(), got);
  const int status = pclose(pipe);
  if (output) *output = text;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

::testing::AssertionResult Peer(std::string_view program, std::string_view package) {
  if (RunCommand("command -v " + std::string(program) + " >/dev/null") == 0) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure() << program << " is missing: tools/bootstrap installs it "
                                       << "(Debian package " << package << ")";
}

bool MakeMp3(const std::filesystem::path& mp3, double seconds, double pitch,
             const std::string& tagOptions, const std::string& rateOptions) {
  const std::filesystem::path wav = mp3.string() + ".wav";
  WriteFile(wav, ToneWav(seconds, pitch));
  const int status = RunCommand("lame --quiet " + rateOptions + " " + tagOptions + " " +
                                Quote(wav) + " " + Quote(mp3));
  std::filesystem::remove(wav);
  return status == 0;
}

double FfprobeMilliseconds(const std::filesystem::path& file) {
  std::string output;
  if (RunCommand("ffprobe -v error -show_entries format=duration -of csv=p=0 " + Quote(file),
                 &output) != 0) {
    return -1.0;
  }
  try {
    return std::stod(output) * 1000.0;
  } catch (...) {
    return -1.0;
  }
}

std::string Quote(const std::filesystem::path& path) {
  std::string out = "'";
  for (const char c : path.string()) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

}  // namespace testsupport
