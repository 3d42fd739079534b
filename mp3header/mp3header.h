#pragma once
// The first MPEG-1 Layer III frame of an MP3 file: where it lies, whether it carries a Xing
// variable-bitrate tag, and what its 4-byte header says.

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "base/fileio.h"

namespace mp3header {

struct MP3HeaderInfo {
  std::int16_t Bitrate = 0;  ///< kbps; 127 for a Xing VBR file; 1 for bitrate index 15
  std::int32_t SampleRate = 0;
  std::string ChannelMode;       ///< "stereo", "joint stereo", "dual channel", "single channel"
  std::string Emphasis;          ///< "no", "50/15", "reserved", "CCITT J 17"
  std::int16_t MpegVersion = 0;  ///< 1, 2, 25; 0 for the reserved code
  std::int16_t Layer = 0;        ///< 1, 2, 3; 0 for the reserved code
  std::string Padding;
  std::string CrcProtected;
  std::int32_t Seconds = 0;  ///< estimated from the file size and Bitrate
  std::string Copyright;
  std::string Original;
  std::string PrivateBit;
  bool IsVBR = false;
  std::int32_t HeaderPos = 0;  ///< 1-based position of the frame's first byte
};

/// How an analysis ended. Only Ok means the decoded fields were stored.
enum class AnalyseStatus {
  Ok,
  CannotOpen,          ///< Bitrate set to 0
  TooShort,            ///< below 256 bytes: nothing stored
  NoFrame,             ///< no MPEG-1 Layer III sync: Bitrate, IsVBR and HeaderPos set to 0
  NotMpeg1,            ///< decoded fields not stored
  ReservedSampleRate,  ///< decoded fields not stored, Bitrate set to 0
  FreeFormat,          ///< stored with Bitrate 0 and Seconds 0
};

inline constexpr std::int64_t kMinimumFileSize = 256;
inline constexpr std::int16_t kVbrBitrate = 127;

/// The bytes of a leading ID3v2 tag (its header, body and footer) in a file of `size` bytes; 0
/// when there is none, or when it claims to run past the file.
[[nodiscard]] std::int64_t Id3v2Length(base::ByteSource& file, std::int64_t size);

/// Finds the first frame: skips a leading ID3v2 tag by its declared size, then scans for
/// FF FA or FF FB. Sets IsVBR (a "Xing" tag at offset 36, or at 21 in a single-channel frame)
/// and HeaderPos; returns the 4 header bytes, or nothing (file below 256 bytes, unreadable, or
/// no sync; `status` says which).
std::optional<std::array<std::uint8_t, 4>> FindFrameHeader(const std::filesystem::path& file,
                                                           MP3HeaderInfo& info,
                                                           AnalyseStatus* status = nullptr);

/// Runs the scan and decodes the header into `info`. What could not be determined stays as it
/// was, except that a file which cannot pass as 128 kbps constant bitrate never keeps a
/// Bitrate that would let it (see AnalyseStatus).
[[nodiscard]] AnalyseStatus AnalyseMP3(const std::filesystem::path& file, MP3HeaderInfo& info);

/// The same analysis of a source already open (a buffer in memory).
[[nodiscard]] AnalyseStatus AnalyseMP3(base::ByteSource& source, MP3HeaderInfo& info);

/// Decodes a frame's 4 header bytes into `info` (the scan's IsVBR decides a Xing file's
/// Bitrate; Seconds comes from `fileSize`). The pure part of AnalyseMP3.
[[nodiscard]] AnalyseStatus DecodeFrameHeader(const std::array<std::uint8_t, 4>& bytes,
                                              std::int64_t fileSize, MP3HeaderInfo& info);

/// The quality rule: a 128 kbps constant-bitrate track.
inline bool IsAcceptedTrack(AnalyseStatus status, const MP3HeaderInfo& info) {
  return status == AnalyseStatus::Ok && info.Bitrate == 128 && !info.IsVBR;
}

}  // namespace mp3header
