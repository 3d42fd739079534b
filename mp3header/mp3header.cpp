#include "mp3header/mp3header.h"

#include "base/fileio.h"
#include "base/positions.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

namespace mp3header {
namespace {

// The offset of the first FF FA or FF FB at or after `from`, or -1. A failed candidate
// advances by one byte, so FF FF FB finds the second FF.
std::int64_t ScanForSync(base::ByteSource& file, std::int64_t from, std::int64_t size) {
  // Most files have their first frame at once: the first chunk is small, the next ones large.
  constexpr std::int64_t kFirstChunk = 1 << 12;
  constexpr std::int64_t kChunk = 1 << 16;
  const auto buffer = std::make_unique_for_overwrite<std::uint8_t[]>(kChunk + 1);
  for (std::int64_t at = from, chunk = kFirstChunk; at < size - 1; at += chunk, chunk = kChunk) {
    // Each chunk carries one byte of the next, so a pair across the boundary is seen.
    const auto want = static_cast<std::size_t>(std::min<std::int64_t>(chunk + 1, size - at));
    if (!file.ReadAt(at, {buffer.get(), want})) return -1;
    for (std::size_t i = 0; i + 1 < want; ++i) {
      if (buffer[i] == 0xFF && (buffer[i + 1] == 0xFA || buffer[i + 1] == 0xFB)) {
        return at + static_cast<std::int64_t>(i);
      }
    }
  }
  return -1;
}

bool HasXingAt(base::ByteSource& file, std::int64_t offset) {
  std::uint8_t word[4];
  return file.ReadAt(offset, word) && std::memcmp(word, "Xing", 4) == 0;
}

constexpr const char* kChannelModes[] = {"stereo", "joint stereo", "dual channel",
                                         "single channel"};
constexpr const char* kEmphases[] = {"no", "50/15", "reserved", "CCITT J 17"};
constexpr std::int16_t kVersions[] = {25, 0, 2, 1};
constexpr std::int16_t kLayers[] = {0, 3, 2, 1};
constexpr std::int32_t kSampleRates[] = {44100, 48000, 32000};
constexpr std::int16_t kBitrates[3][15] = {
    {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},  // Layer I
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},     // Layer II
    {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320},      // Layer III
};

const char* YesNo(std::uint32_t bit) {
  return bit ? "yes" : "no";
}

// The scan of an open source.
std::optional<std::array<std::uint8_t, 4>> ScanSource(base::ByteSource& file, MP3HeaderInfo& info,
                                                      AnalyseStatus& status) {
  const auto report = [&](AnalyseStatus s) { status = s; };
  const std::int64_t size = file.Size();
  if (size < kMinimumFileSize) {
    report(AnalyseStatus::TooShort);
    return std::nullopt;
  }
  const std::int64_t frame = ScanForSync(file, Id3v2Length(file, size), size);
  std::array<std::uint8_t, 4> header{};
  if (frame < 0 || !file.ReadAt(frame, header)) {
    info.IsVBR = false;
    info.HeaderPos = 0;
    report(AnalyseStatus::NoFrame);
    return std::nullopt;
  }
  // The Xing tag follows the side information: 32 bytes in a two-channel frame, 17 in a
  // single-channel one, after the 4-byte header.
  const bool singleChannel = ((header[3] >> 6) & 3u) == 3u;
  info.IsVBR = HasXingAt(file, frame + 36) || (singleChannel && HasXingAt(file, frame + 21));
  info.HeaderPos =
      static_cast<std::int32_t>(std::min<std::int64_t>(base::PositionOf(frame), INT32_MAX));
  report(AnalyseStatus::Ok);
  return header;
}

// The scan of a file, also giving the file's size.
std::optional<std::array<std::uint8_t, 4>> Scan(const std::filesystem::path& path,
                                                MP3HeaderInfo& info, AnalyseStatus& status,
                                                std::int64_t& size) {
  std::string error;
  auto file = base::FileSource::Open(path, error);
  if (!file) {
    status = AnalyseStatus::CannotOpen;
    return std::nullopt;
  }
  size = file->Size();
  return ScanSource(*file, info, status);
}

}  // namespace

// A leading ID3v2 tag: "ID3", version, flags, four 7-bit size bytes; a footer (flag 0x10)
// adds ten more bytes.
std::int64_t Id3v2Length(base::ByteSource& file, std::int64_t size) {
  std::uint8_t header[10];
  if (size < 10 || !file.ReadAt(0, header)) return 0;
  if (std::memcmp(header, "ID3", 3) != 0 || header[3] == 0xFF || header[4] == 0xFF) return 0;
  std::int64_t length = 0;
  for (int i = 6; i < 10; ++i) {
    if (header[i] & 0x80) return 0;
    length = (length << 7) | header[i];
  }
  length += 10;
  if (header[5] & 0x10) length += 10;
  // A tag that claims to run past the file is not trusted: scan from the start.
  return length < size ? length : 0;
}

std::optional<std::array<std::uint8_t, 4>> FindFrameHeader(const std::filesystem::path& path,
                                                           MP3HeaderInfo& info,
                                                           AnalyseStatus* status) {
  AnalyseStatus scanStatus = AnalyseStatus::Ok;
  std::int64_t size = 0;
  auto header = Scan(path, info, scanStatus, size);
  if (status) *status = scanStatus;
  return header;
}

AnalyseStatus DecodeFrameHeader(const std::array<std::uint8_t, 4>& bytes, std::int64_t fileSize,
                                MP3HeaderInfo& info) {
  const std::uint32_t h = (std::uint32_t{bytes[0]} << 24) | (std::uint32_t{bytes[1]} << 16) |
                          (std::uint32_t{bytes[2]} << 8) | std::uint32_t{bytes[3]};
  const std::int16_t version = kVersions[(h >> 19) & 3u];
  const std::int16_t layer = kLayers[(h >> 17) & 3u];
  if (version != 1) return AnalyseStatus::NotMpeg1;
  const std::uint32_t rateIndex = (h >> 10) & 3u;
  if (rateIndex == 3) {
    info.Bitrate = 0;
    return AnalyseStatus::ReservedSampleRate;
  }
  if (layer == 0) return AnalyseStatus::NotMpeg1;
  const std::uint32_t bitrateIndex = (h >> 12) & 15u;
  std::int16_t bitrate = 0;
  if (info.IsVBR) {
    bitrate = kVbrBitrate;
  } else {
    bitrate = bitrateIndex < 15 ? kBitrates[layer - 1][bitrateIndex] : std::int16_t{1};
  }

  info.Bitrate = bitrate;
  info.SampleRate = kSampleRates[rateIndex];
  info.ChannelMode = kChannelModes[(h >> 6) & 3u];
  info.Emphasis = kEmphases[h & 3u];
  info.MpegVersion = version;
  info.Layer = layer;
  info.Padding = YesNo((h >> 9) & 1u);
  info.CrcProtected = ((h >> 16) & 1u) ? "no" : "yes";
  info.Seconds = bitrate > 0 ? static_cast<std::int32_t>(fileSize * 8 / bitrate / 1000) : 0;
  info.Copyright = YesNo((h >> 3) & 1u);
  info.Original = YesNo((h >> 2) & 1u);
  info.PrivateBit = YesNo((h >> 8) & 1u);
  return bitrate == 0 ? AnalyseStatus::FreeFormat : AnalyseStatus::Ok;
}

AnalyseStatus AnalyseMP3(base::ByteSource& source, MP3HeaderInfo& info) {
  AnalyseStatus status = AnalyseStatus::Ok;
  const auto bytes = ScanSource(source, info, status);
  if (status == AnalyseStatus::NoFrame) info.Bitrate = 0;
  if (!bytes) return status;
  return DecodeFrameHeader(*bytes, source.Size(), info);
}

AnalyseStatus AnalyseMP3(const std::filesystem::path& path, MP3HeaderInfo& info) {
  AnalyseStatus status = AnalyseStatus::Ok;
  std::int64_t size = 0;
  const auto bytes = Scan(path, info, status, size);
  if (status == AnalyseStatus::CannotOpen || status == AnalyseStatus::NoFrame) info.Bitrate = 0;
  if (!bytes) return status;
  return DecodeFrameHeader(*bytes, size, info);
}

}  // namespace mp3header
