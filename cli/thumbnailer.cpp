// lyrabinder-thumbnailer -s SIZE INPUT OUTPUT: an album's first picture as a PNG thumbnail,
// for file managers (the freedesktop thumbnailer convention). File managers run it on every
// file of a folder, so it reads no audio, never waits on a special file and writes nothing but
// OUTPUT, whole or not at all.

// jpeglib.h uses FILE and size_t without including what declares them.
#include <cstddef>
#include <cstdio>
// clang-format off
#include <jpeglib.h>
// clang-format on
#include <png.h>

#include <algorithm>
#include <charconv>
#include <csetjmp>
#include <cstring>
#include <iostream>
#include <optional>
#include <string_view>

#include "album/albumreader.h"
#include "base/fileio.h"
#include "platform/qt/picturemodule.h"

namespace {

constexpr int kMaxSize = 4096;
constexpr std::uint64_t kMaxDecodedPixels = 1u << 24;  // 48 MB of RGB

// Fits the picture into size x size, keeping its proportions; never enlarges it.
webview::PictureSize FitInto(webview::PictureSize picture, int size) {
  const int longest = std::max(picture.width, picture.height);
  if (longest <= size || longest <= 0) return picture;
  const auto scaled = [&](int side) {
    return std::max(1, static_cast<int>(static_cast<long long>(side) * size / longest));
  };
  return {scaled(picture.width), scaled(picture.height)};
}

// 8-bit RGB, rows top to bottom.
struct RgbImage {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> pixels;
};

// libjpeg reports a failure by calling error_exit, which must not return.
struct JpegError {
  jpeg_error_mgr manager;
  std::jmp_buf jump;
};

extern "C" void OnJpegError(j_common_ptr info) {
  std::longjmp(reinterpret_cast<JpegError*>(info->err)->jump, 1);
}

extern "C" void OnJpegMessage(j_common_ptr) {}

// A JPEG decoded at the smallest of libjpeg's reduced sizes (1/2, 1/4, 1/8) that still covers
// the thumbnail, which skips most of the work. False for what it cannot decode to RGB (CMYK
// among them): Qt's decoders take those.
bool DecodeJpeg(std::span<const std::uint8_t> bytes, int size, RgbImage& image) {
  jpeg_decompress_struct info{};
  JpegError error{};
  info.err = jpeg_std_error(&error.manager);
  error.manager.error_exit = OnJpegError;
  error.manager.output_message = OnJpegMessage;
  // Nothing with a destructor is made between here and the last jump.
  if (setjmp(error.jump) != 0) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, bytes.data(), static_cast<unsigned long>(bytes.size()));
  if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK || info.jpeg_color_space == JCS_CMYK ||
      info.jpeg_color_space == JCS_YCCK) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  const webview::PictureSize fitted =
      FitInto({static_cast<int>(info.image_width), static_cast<int>(info.image_height)}, size);
  unsigned denominator = 8;
  const auto covers = [&](unsigned d) {
    return (info.image_width + d - 1) / d >= static_cast<unsigned>(fitted.width) &&
           (info.image_height + d - 1) / d >= static_cast<unsigned>(fitted.height);
  };
  while (denominator > 1 && !covers(denominator)) denominator /= 2;
  info.scale_num = 1;
  info.scale_denom = denominator;
  info.out_color_space = JCS_RGB;
  // A header may claim any size: what would still be huge at 1/8 is left to Qt's own limits.
  jpeg_calc_output_dimensions(&info);
  if (std::uint64_t{info.output_width} * info.output_height > kMaxDecodedPixels) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  jpeg_start_decompress(&info);
  image.width = static_cast<int>(info.output_width);
  image.height = static_cast<int>(info.output_height);
  image.pixels.resize(static_cast<std::size_t>(image.width) * image.height * 3);
  while (info.output_scanline < info.output_height) {
    JSAMPROW row = image.pixels.data() + std::size_t{info.output_scanline} * image.width * 3;
    jpeg_read_scanlines(&info, &row, 1);
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  return true;
}

// Shrinks by averaging every source pixel that falls into a target pixel.
RgbImage Shrink(const RgbImage& source, webview::PictureSize size) {
  if (source.width == size.width && source.height == size.height) return source;
  RgbImage image{size.width, size.height,
                 std::vector<std::uint8_t>(std::size_t(size.width) * size.height * 3)};
  for (int y = 0; y < size.height; ++y) {
    const int top = static_cast<int>(std::int64_t{y} * source.height / size.height);
    const int bottom =
        std::max(top + 1, static_cast<int>(std::int64_t{y + 1} * source.height / size.height));
    for (int x = 0; x < size.width; ++x) {
      const int left = static_cast<int>(std::int64_t{x} * source.width / size.width);
      const int right =
          std::max(left + 1, static_cast<int>(std::int64_t{x + 1} * source.width / size.width));
      std::uint32_t sum[3] = {};
      for (int sy = top; sy < bottom; ++sy) {
        const std::uint8_t* pixel = &source.pixels[(std::size_t(sy) * source.width + left) * 3];
        for (int sx = left; sx < right; ++sx, pixel += 3) {
          for (int c = 0; c < 3; ++c) sum[c] += pixel[c];
        }
      }
      const auto count = static_cast<std::uint32_t>((bottom - top) * (right - left));
      std::uint8_t* out = &image.pixels[(std::size_t(y) * size.width + x) * 3];
      for (int c = 0; c < 3; ++c) out[c] = static_cast<std::uint8_t>((sum[c] + count / 2) / count);
    }
  }
  return image;
}

extern "C" void AppendPng(png_structp png, png_bytep data, png_size_t size) {
  auto* out = static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + size);
}

// A file manager asks for one thumbnail per file: zlib's fastest level takes a quarter off the
// whole run for a sixth more bytes than its default.
std::optional<std::vector<std::uint8_t>> EncodePng(const RgbImage& image) {
  std::vector<std::uint8_t> out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
  if (info == nullptr) {
    png_destroy_write_struct(&png, nullptr);
    return std::nullopt;
  }
  if (setjmp(png_jmpbuf(png)) != 0) {
    png_destroy_write_struct(&png, &info);
    return std::nullopt;
  }
  png_set_write_fn(png, &out, AppendPng, nullptr);
  png_set_compression_level(png, 1);
  png_set_IHDR(png, info, static_cast<png_uint_32>(image.width),
               static_cast<png_uint_32>(image.height), 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int y = 0; y < image.height; ++y) {
    png_write_row(png, image.pixels.data() + std::size_t(y) * image.width * 3);
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return out;
}

// The PNG, or nothing with the reason in `error`. A JPEG is decoded here; any other picture (and
// a JPEG this decoder refuses) goes through the picture module, which hands back a JPEG of the
// thumbnail's size. Qt is mapped only then.
std::optional<std::vector<std::uint8_t>> Thumbnail(const std::filesystem::path& input, int size,
                                                   std::string& error) {
  auto source = base::FileSource::Open(input, error);
  if (!source) return std::nullopt;
  album::AlbumReader reader(*source);
  if (!reader.IsAlbum() || reader.ReadTrackDirectory() != album::ReadStatus::Ok ||
      reader.ListPictures() != album::ReadStatus::Ok) {
    error = "not an album, or damaged";
    return std::nullopt;
  }
  if (reader.Pictures().empty()) {
    error = "the album has no pictures";
    return std::nullopt;
  }
  const album::PictureItem& first = reader.Pictures().front();
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(first.entry.DataSize));
  if (!source->ReadAt(first.dataOffset, bytes)) {
    error = "cannot read the picture";
    return std::nullopt;
  }
  RgbImage decoded;
  if (!DecodeJpeg(bytes, size, decoded)) {
    platform::qt::LoadedPictureService pictures;
    const auto jpeg = pictures.ScaledJpeg(
        bytes, [size](webview::PictureSize given) { return FitInto(given, size); }, 100);
    if (!jpeg || !DecodeJpeg(*jpeg, size, decoded)) {
      error = pictures.LoadError().empty() ? "the first picture cannot be decoded"
                                           : pictures.LoadError();
      return std::nullopt;
    }
  }
  const auto png = EncodePng(Shrink(decoded, FitInto({decoded.width, decoded.height}, size)));
  if (!png) error = "cannot make the PNG";
  return png;
}

int Usage() {
  std::cerr << "usage: lyrabinder-thumbnailer -s SIZE INPUT OUTPUT\n";
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5 || std::strcmp(argv[1], "-s") != 0) return Usage();
  const std::string_view sizeText = argv[2];
  int size = 0;
  const auto [end, ec] = std::from_chars(sizeText.data(), sizeText.data() + sizeText.size(), size);
  if (ec != std::errc() || end != sizeText.data() + sizeText.size() || size < 1 ||
      size > kMaxSize) {
    return Usage();
  }
  const std::filesystem::path input = base::PathFromUtf8(argv[3]);
  const std::filesystem::path output = base::PathFromUtf8(argv[4]);

  std::string error;
  const std::optional<std::vector<std::uint8_t>> png = Thumbnail(input, size, error);
  if (!png) {
    std::cerr << "lyrabinder-thumbnailer: " << argv[3] << ": " << error << "\n";
    return 1;
  }
  auto file = base::AtomicFile::Create(output, error);
  if (!file || !file->Sink().Write(*png) || !file->Commit(error)) {
    if (file && error.empty()) error = file->WriteError();
    std::cerr << "lyrabinder-thumbnailer: " << argv[4] << ": " << error << "\n";
    return 1;
  }
  return 0;
}
