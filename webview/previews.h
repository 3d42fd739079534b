#pragma once
// JPEG previews of the album pictures, made through the platform's picture service.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "album/albumreader.h"
#include "base/progress.h"
#include "webview/webfolder.h"

namespace webview {

struct PictureSize {
  int width = 0;
  int height = 0;
  friend bool operator==(const PictureSize&, const PictureSize&) = default;
};

/// Decoding, scaling and JPEG encoding, supplied by the platform.
class PictureService {
 public:
  virtual ~PictureService() = default;
  /// Decodes a JPEG, GIF or BMP picture, scales it to the size that `fit` gives for its own
  /// size, and encodes the result as JPEG at `quality` (0 to 100). Nothing when the picture
  /// cannot be decoded or encoded.
  virtual std::optional<std::vector<std::uint8_t>> ScaledJpeg(
      std::span<const std::uint8_t> picture, const std::function<PictureSize(PictureSize)>& fit,
      int quality) = 0;
  /// True when ScaledJpeg may run on several threads at once.
  virtual bool ConcurrentCalls() const { return false; }
};

inline constexpr int kPreviewBox = 250;
inline constexpr int kPreviewQuality = 100;

/// The size of a preview: the picture fitted into 250 x 250 with its aspect ratio kept,
/// never enlarged; sides rounded to whole pixels, at least 1.
PictureSize FitPreview(PictureSize picture);

/// The longest file name in bytes that common file systems take (Linux's NAME_MAX, and no more
/// than Windows takes in UTF-16 units).
inline constexpr std::size_t kMaxFileNameBytes = 255;

/// The preview's file name: the picture's name with its last three characters replaced by
/// "jpg". A name longer than kMaxFileNameBytes loses whole characters before its extension.
std::string PreviewFileName(std::string_view pictureName);

/// One preview from a picture's bytes: fitted with FitPreview, JPEG at quality 100.
std::optional<std::vector<std::uint8_t>> MakePreview(PictureService& service,
                                                     std::span<const std::uint8_t> picture);

enum class PreviewStatus {
  Ok,
  Unreadable,  ///< a picture could not be read from the album
};

struct PreviewResult {
  PreviewStatus status = PreviewStatus::Ok;
  std::string error;  ///< what failed, naming the picture or the preview and the cause
  /// The picture names the previews stand for, in block order.
  std::vector<std::string> pictureNames;
  /// Pictures left without a preview, each with the reason (their slides show nothing).
  std::vector<std::string> failures;
  bool ok() const { return status == PreviewStatus::Ok; }
};

/// The mark a preview of `picture` of the album `album` (FileIdentity) is written with.
[[nodiscard]] std::string PreviewSource(std::string_view album, const album::PictureItem& picture);

/// The previews in `folder` made from these very pictures of the album `album` (FileIdentity,
/// empty: none), unchanged since: a regeneration keeps them.
[[nodiscard]] std::vector<std::string> LastingPreviews(
    const WebFolder& folder, const std::vector<album::PictureItem>& pictures,
    std::string_view album);

/// Makes the preview of every picture of the block in `folder`, each marked with its
/// PreviewSource when `album` is given. A picture whose preview already exists is passed over;
/// stored names are reduced to a plain file name (see album::SafeFileName) so that nothing lands
/// outside the folder. A preview that cannot be made or written costs only that picture. Previews
/// are made on every core where the service allows it, a few pictures at a time.
[[nodiscard]] PreviewResult MakePreviews(base::ByteSource& source,
                                         const std::vector<album::PictureItem>& pictures,
                                         WebFolder& folder, PictureService& service,
                                         const base::Progress& progress = {},
                                         std::string_view album = {});

}  // namespace webview
