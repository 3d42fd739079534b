#pragma once
// Inputs built in code for the tests: temporary folders, files, MP3 frames, ID3 tags.

#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

namespace testsupport {

using Bytes = std::vector<std::uint8_t>;

/// A fresh folder under the system temporary folder, removed with everything in it.
class ScopedTempDir {
 public:
  ScopedTempDir();
  ~ScopedTempDir();
  ScopedTempDir(const ScopedTempDir&) = delete;
  ScopedTempDir& operator=(const ScopedTempDir&) = delete;
  const std::filesystem::path& path() const { return m_path; }
  std::filesystem::path operator/(std::string_view name) const { return m_path / name; }

 private:
  std::filesystem::path m_path;
};

void WriteFile(const std::filesystem::path& path, const Bytes& data);
void WriteText(const std::filesystem::path& path, std::string_view text);
Bytes ReadFile(const std::filesystem::path& path);
Bytes BytesOf(std::string_view text);

/// The parts one after another.
Bytes Concat(std::initializer_list<Bytes> parts);

/// `count` bytes of a repeating pattern that starts at `seed`.
Bytes Pattern(std::size_t count, std::uint8_t seed = 1);

/// An MPEG-1 Layer III frame with the given header bytes 2 and 3 (after FF FB), its body
/// filled with a byte that never forms a sync.
Bytes Mp3Frame(std::uint8_t byte2 = 0x90, std::uint8_t byte3 = 0x44, std::size_t length = 417);

/// `frames` frames of 128 kbps, 44100 Hz joint stereo.
Bytes Mp3Stream(std::size_t frames);

/// An ID3v2.3 tag of `totalSize` bytes (header included), frames zero-padded.
Bytes Id3v2Tag(std::size_t totalSize);

/// The whole size of the ID3v2 tag (header included) that `data` starts with; 0 for none.
std::size_t Id3v2TagSize(const Bytes& data);

/// A 128-byte ID3v1.1 tag.
Bytes Id3v1Tag(std::string_view title, std::string_view artist, std::string_view album,
               std::string_view year);

/// A 16-bit PCM WAV file of a tone (`pitch` Hz; the second channel a lower one).
Bytes ToneWav(double seconds, double pitch, int channels = 2, int sampleRate = 44100);

/// A RIFF chunk: `id`, the declared size (the body's own unless given), the body, a pad byte
/// after an odd body.
Bytes RiffChunk(std::string_view id, const Bytes& body, std::int64_t declaredSize = -1);

/// 66 bytes found by fuzzing: a WAV whose INFO chunk made libsndfile's header parse spin for
/// ever.
Bytes InfoChunkHangWav();

/// Runs a shell command; returns its exit status and, in `output`, what it printed.
int RunCommand(const std::string& command, std::string* output = nullptr);

/// Success when a peer program is on the PATH. tools/bootstrap installs every peer, so a
/// missing one is a broken setup: the failure names the Debian package that brings it.
::testing::AssertionResult Peer(std::string_view program, std::string_view package);

/// Encodes a tone to `mp3` with lame, 128 kbps CBR unless `rateOptions` say otherwise;
/// `tagOptions` are passed on (for example "--add-id3v2 --tt Title"). True when lame succeeded.
bool MakeMp3(const std::filesystem::path& mp3, double seconds, double pitch,
             const std::string& tagOptions = "", const std::string& rateOptions = "-b 128 --cbr");

/// ffprobe's duration of a file in milliseconds, or a negative value when it gives none.
double FfprobeMilliseconds(const std::filesystem::path& file);

/// Quotes a path for the shell.
std::string Quote(const std::filesystem::path& path);

}  // namespace testsupport
