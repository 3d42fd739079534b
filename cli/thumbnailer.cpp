// lyrabinder-thumbnailer -s SIZE INPUT OUTPUT: an album's first picture as a PNG thumbnail,
// for file managers (the freedesktop thumbnailer convention). File managers run it on every
// file of a folder, so it reads no audio, never waits on a special file and writes nothing but
// OUTPUT, whole or not at all.

#include <QBuffer>
#include <QByteArray>
#include <QImageWriter>
#include <algorithm>
#include <charconv>
#include <cstring>
#include <iostream>
#include <string_view>

#include "album/albumreader.h"
#include "base/fileio.h"
#include "platform/qt/qtpictureservice.h"

namespace {

constexpr int kMaxSize = 4096;

// Fits the picture into size x size, keeping its proportions; never enlarges it.
webview::PictureSize FitInto(webview::PictureSize picture, int size) {
  const int longest = std::max(picture.width, picture.height);
  if (longest <= size || longest <= 0) return picture;
  const auto scaled = [&](int side) {
    return std::max(1, static_cast<int>(static_cast<long long>(side) * size / longest));
  };
  return {scaled(picture.width), scaled(picture.height)};
}

// The PNG, or nothing with the reason in `error`.
std::optional<QByteArray> Thumbnail(const std::filesystem::path& input, int size,
                                    std::string& error) {
  auto source = base::FileSource::Open(input, error);
  if (!source) return std::nullopt;
  album::AlbumReader reader(*source);
  album::NullDisplay display;
  if (!reader.IsAlbum() || reader.ReadTrackDirectory(display) != album::ReadStatus::Ok ||
      reader.ListPictures(display) != album::ReadStatus::Ok) {
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
  const QImage image = platform::qt::DecodeFitted(
      bytes, [size](webview::PictureSize given) { return FitInto(given, size); });
  if (image.isNull()) {
    error = "the first picture cannot be decoded";
    return std::nullopt;
  }
  QByteArray png;
  QBuffer device(&png);
  QImageWriter writer(&device, "png");
  // A file manager asks for one thumbnail per file: zlib's fastest level (Qt counts 0 to 100)
  // takes a quarter off the whole run for a sixth more bytes than its default.
  writer.setCompression(12);
  if (!device.open(QIODevice::WriteOnly) || !writer.write(image)) {
    error = "cannot make the PNG";
    return std::nullopt;
  }
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
  const std::optional<QByteArray> png = Thumbnail(input, size, error);
  if (!png) {
    std::cerr << "lyrabinder-thumbnailer: " << argv[3] << ": " << error << "\n";
    return 1;
  }
  auto file = base::AtomicFile::Create(output, error);
  if (!file ||
      !file->Sink().Write(std::span(reinterpret_cast<const std::uint8_t*>(png->data()),
                                    static_cast<std::size_t>(png->size()))) ||
      !file->Commit(error)) {
    if (file && error.empty()) error = file->WriteError();
    std::cerr << "lyrabinder-thumbnailer: " << argv[4] << ": " << error << "\n";
    return 1;
  }
  return 0;
}
