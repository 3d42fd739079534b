#pragma once
// The media-control service: a device driven by command strings, as the player and the length
// query use it. Times are milliseconds.
//
//   open "PATH" type MPEGVideo alias ALIAS    opens a file under an alias (quotes optional
//                                             when the path has no spaces)
//   set ALIAS time format tmsf|milliseconds|ms  accepted; replies stay in milliseconds
//   status ALIAS length                       the exact playing time, decimal digits
//   status ALIAS position                     the position: what the output has played;
//                                             an error once playing failed (FileShrank,
//                                             ReadFailed, Undecodable), as `play` then gives
//   status ALIAS mode                         "playing", "paused" or "stopped"
//   play ALIAS [from MS]                      plays from MS, or on from where it paused/stopped
//   pause ALIAS | stop ALIAS                  holds the position
//   setaudio ALIAS|all volume to N            the device's volume, 0 to 1000, for this and
//                                             later files
//   close ALIAS | close all
//
// Anything else, or an alias that is not open, gives an error code and an empty reply.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace media {

enum class MediaError {
  None = 0,
  UnrecognizedCommand,  ///< an unknown verb or parameter
  MissingParameter,     ///< the command lacks a path, alias or item
  UnknownAlias,         ///< no device is open under this alias
  AliasInUse,           ///< open with an alias that is already open
  CannotOpen,           ///< the file cannot be read or holds no MPEG audio
  // Playing stopped before the end of the audio; the file stays failed until it is closed.
  FileShrank,   ///< the file became shorter than it was when opened
  ReadFailed,   ///< the system failed a read
  Undecodable,  ///< the audio stopped decoding (overwritten, say)
};

/// A command's outcome: the error code and, for status commands, the reply text.
struct MediaReply {
  MediaError error = MediaError::None;
  std::string text;
  bool ok() const { return error == MediaError::None; }
};

/// A short description of an error code, as the command line shows it.
std::string_view ErrorText(MediaError error);

class MediaDevice {
 public:
  virtual ~MediaDevice() = default;
  /// Runs one command string.
  [[nodiscard]] virtual MediaReply SendString(std::string_view command) = 0;
};

/// The device on libmpg123: exact lengths from a full frame scan with gapless decoding off and
/// a LAME/Xing info frame decoded as an ordinary frame, so that the lengths of tracks add up
/// to the decoded length of an album made of them; playing through SDL2 (CreateSdlOutput).
std::unique_ptr<MediaDevice> CreateMediaDevice();

/// The open command for a file: the path quoted, type MPEGVideo, alias "mp3".
std::string OpenCommand(std::string_view path);

/// The length query of one track: open, set the time format, ask the length, close all. The
/// reply's leading number rounded to a whole number of milliseconds; 0 when no length comes
/// back (the return codes are not examined).
std::int32_t QueryPlayLength(MediaDevice& device, std::string_view path);

}  // namespace media
