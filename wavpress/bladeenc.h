#pragma once
// The BladeEnc encoder-library interface, as the bridge calls it and as lame_enc offers it: the
// four entry points, their results, and the configuration record with its MP3 member.
//
// Configuration record, packed, little-endian:
//   0  u32 kind (0 = MP3)   4  u32 sample rate (Hz)   8  u8 mode   9  u16 bit rate (kbit/s)
//  11  u32 private flag    15  u32 CRC flag          19  u32 copyright flag   23  u32 original flag
// The record as published is larger (other kinds use other members); an MP3 encoder reads only
// these 27 bytes.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <type_traits>

#include "base/bytes.h"

#if defined(_WIN32)
#define BLADEENC_CALL __cdecl
#else
#define BLADEENC_CALL
#endif

namespace wavpress {

/// A stream handle: 32 bits on every platform.
using BeStream = std::uint32_t;
using BeResult = std::uint32_t;

inline constexpr BeResult kBeOk = 0;
inline constexpr BeResult kBeInvalidFormat = 1;            ///< unknown configuration kind
inline constexpr BeResult kBeInvalidFormatParameters = 2;  ///< bad value or null pointer
inline constexpr BeResult kBeNoMoreHandles = 3;
inline constexpr BeResult kBeInvalidHandle = 4;
inline constexpr BeResult kBeBufferTooSmall = 5;

extern "C" {
/// beInitStream(record, out samples per chunk (16-bit samples, channels counted), out output
/// buffer size in bytes, out stream).
using BeInitStreamFunction = BeResult(BLADEENC_CALL*)(const std::uint8_t* config,
                                                      std::uint32_t* samplesPerChunk,
                                                      std::uint32_t* bufferSize, BeStream* stream);
/// beEncodeChunk(stream, sample count, interleaved samples, output buffer, out bytes written).
using BeEncodeChunkFunction = BeResult(BLADEENC_CALL*)(BeStream stream, std::uint32_t samples,
                                                       const std::int16_t* pcm, std::uint8_t* out,
                                                       std::uint32_t* written);
/// beDeinitStream(stream, output buffer, out bytes written): the final flush.
using BeDeinitStreamFunction = BeResult(BLADEENC_CALL*)(BeStream stream, std::uint8_t* out,
                                                        std::uint32_t* written);
using BeCloseStreamFunction = BeResult(BLADEENC_CALL*)(BeStream stream);
}

/// The four entry points of a loaded encoder library.
struct BeFunctions {
  BeInitStreamFunction initStream = nullptr;
  BeEncodeChunkFunction encodeChunk = nullptr;
  BeDeinitStreamFunction deinitStream = nullptr;
  BeCloseStreamFunction closeStream = nullptr;
};

/// Looks the four up by name through `find` (a name to an address, null when missing); false
/// when one is missing.
template <typename Find>
[[nodiscard]] bool BindBeFunctions(Find find, BeFunctions& functions) {
  const auto bind = [&](auto& function, const char* name) {
    function = reinterpret_cast<std::remove_reference_t<decltype(function)>>(find(name));
    return function != nullptr;
  };
  return bind(functions.initStream, "beInitStream") &&
         bind(functions.encodeChunk, "beEncodeChunk") &&
         bind(functions.deinitStream, "beDeinitStream") &&
         bind(functions.closeStream, "beCloseStream");
}

/// Closes a stream when it goes.
class BeStreamGuard {
 public:
  BeStreamGuard(BeCloseStreamFunction close, BeStream stream) : m_close(close), m_stream(stream) {}
  ~BeStreamGuard() { m_close(m_stream); }
  BeStreamGuard(const BeStreamGuard&) = delete;
  BeStreamGuard& operator=(const BeStreamGuard&) = delete;

 private:
  BeCloseStreamFunction m_close;
  BeStream m_stream;
};

/// The configuration record as callers pass it: larger than its MP3 member, the rest zero.
inline constexpr std::size_t kConfigBufferSize = 512;

inline constexpr std::uint32_t kConfigMp3 = 0;
inline constexpr std::size_t kMp3ConfigSize = 27;

inline constexpr std::size_t kConfigKindOffset = 0;
inline constexpr std::size_t kSampleRateOffset = 4;
inline constexpr std::size_t kModeOffset = 8;
inline constexpr std::size_t kBitrateOffset = 9;
inline constexpr std::size_t kPrivateOffset = 11;
inline constexpr std::size_t kCrcOffset = 15;
inline constexpr std::size_t kCopyrightOffset = 19;
inline constexpr std::size_t kOriginalOffset = 23;

inline constexpr std::uint8_t kModeStereo = 0;
inline constexpr std::uint8_t kModeJointStereo = 1;
inline constexpr std::uint8_t kModeDualChannel = 2;
inline constexpr std::uint8_t kModeMono = 3;

/// The MP3 member of the configuration record.
struct Mp3Config {
  std::uint32_t SampleRate = 44100;  ///< Hz
  std::uint8_t Mode = kModeStereo;
  std::uint16_t Bitrate = 128;  ///< kbit/s
  bool Private = false;
  bool Crc = false;
  bool Copyright = false;
  bool Original = false;
};

/// Writes kind 0 and the MP3 member into the first kMp3ConfigSize bytes of `record`; the other
/// bytes stay as they are.
inline void PutMp3Config(std::span<std::uint8_t> record, const Mp3Config& config) {
  const auto flag = [](bool on) { return static_cast<std::int32_t>(on ? 1 : 0); };
  base::PutLE32(record, kConfigKindOffset, static_cast<std::int32_t>(kConfigMp3));
  base::PutLE32(record, kSampleRateOffset, static_cast<std::int32_t>(config.SampleRate));
  record[kModeOffset] = config.Mode;
  base::PutLE16(record, kBitrateOffset, static_cast<std::int16_t>(config.Bitrate));
  base::PutLE32(record, kPrivateOffset, flag(config.Private));
  base::PutLE32(record, kCrcOffset, flag(config.Crc));
  base::PutLE32(record, kCopyrightOffset, flag(config.Copyright));
  base::PutLE32(record, kOriginalOffset, flag(config.Original));
}

inline std::uint32_t GetConfigKind(std::span<const std::uint8_t> record) {
  return static_cast<std::uint32_t>(base::GetLE32(record, kConfigKindOffset));
}

/// Reads the MP3 member; a flag is set when any of its four bytes is nonzero.
inline Mp3Config GetMp3Config(std::span<const std::uint8_t> record) {
  const auto flag = [&](std::size_t offset) { return base::GetLE32(record, offset) != 0; };
  Mp3Config config;
  config.SampleRate = static_cast<std::uint32_t>(base::GetLE32(record, kSampleRateOffset));
  config.Mode = record[kModeOffset];
  config.Bitrate = static_cast<std::uint16_t>(base::GetLE16(record, kBitrateOffset));
  config.Private = flag(kPrivateOffset);
  config.Crc = flag(kCrcOffset);
  config.Copyright = flag(kCopyrightOffset);
  config.Original = flag(kOriginalOffset);
  return config;
}

}  // namespace wavpress
