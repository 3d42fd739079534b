#include "tests/gui/guisupport.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QImage>
#include <QMimeData>

#include "tests/support/testsupport.h"

namespace guitest {

using testsupport::Bytes;

void WriteTrack(const std::filesystem::path& path, std::size_t frames, std::size_t id3v2Size,
                std::string_view title, std::string_view artist, std::string_view album,
                std::string_view year) {
  Bytes bytes;
  if (id3v2Size > 0) bytes = testsupport::Id3v2Tag(id3v2Size);
  const Bytes audio = testsupport::Mp3Stream(frames);
  bytes.insert(bytes.end(), audio.begin(), audio.end());
  if (!title.empty() || !artist.empty() || !album.empty() || !year.empty()) {
    const Bytes tag = testsupport::Id3v1Tag(title, artist, album, year);
    bytes.insert(bytes.end(), tag.begin(), tag.end());
  }
  testsupport::WriteFile(path, bytes);
}

void Write160kbps(const std::filesystem::path& path) {
  // Bitrate index 1010: 160 kbps, 522 bytes a frame at 44100 Hz.
  Bytes bytes;
  for (int i = 0; i < 20; ++i) {
    const Bytes frame = testsupport::Mp3Frame(0xA0, 0x44, 522);
    bytes.insert(bytes.end(), frame.begin(), frame.end());
  }
  testsupport::WriteFile(path, bytes);
}

void WritePicture(const std::filesystem::path& path, int width, int height) {
  QImage image(width, height, QImage::Format_RGB32);
  image.fill(QColor(0x30, 0x60, 0x90));
  image.save(Q(path), "JPG");
}

QString Q(const std::filesystem::path& path) {
  return QString::fromStdString(path.string());
}

QStringList Texts(const QListWidget* list) {
  QStringList texts;
  for (int row = 0; row < list->count(); ++row) texts += list->item(row)->text();
  return texts;
}

QStringList Paths(const std::vector<std::filesystem::path>& paths) {
  QStringList texts;
  for (const auto& path : paths) texts += Q(path);
  return texts;
}

int SendDrop(QWidget* target, const QStringList& paths) {
  QMimeData data;
  QList<QUrl> urls;
  for (const QString& path : paths) urls += QUrl::fromLocalFile(path);
  data.setUrls(urls);
  QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  enter.setAccepted(false);
  QApplication::sendEvent(target, &enter);
  QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  drop.setAccepted(false);
  QApplication::sendEvent(target, &drop);
  return int(enter.isAccepted()) + int(drop.isAccepted());
}

}  // namespace guitest
