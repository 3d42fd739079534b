#include "tests/gui/guisupport.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QImage>
#include <QMimeData>
#include <QPlainTextEdit>

namespace guitest {

void WriteTrack(const fs::path& path, std::size_t frames, std::size_t id3v2Size,
                std::string_view title, std::string_view artist, std::string_view album,
                std::string_view year) {
  const bool id3v1 = !title.empty() || !artist.empty() || !album.empty() || !year.empty();
  WriteFile(path, Concat({id3v2Size > 0 ? Id3v2Tag(id3v2Size) : Bytes(), Mp3Stream(frames),
                          id3v1 ? Id3v1Tag(title, artist, album, year) : Bytes()}));
}

void Write160kbps(const fs::path& path) {
  // Bitrate index 1010: 160 kbps, 522 bytes a frame at 44100 Hz.
  Bytes bytes;
  for (int i = 0; i < 20; ++i) bytes = Concat({bytes, Mp3Frame(0xA0, 0x44, 522)});
  WriteFile(path, bytes);
}

void WritePicture(const fs::path& path, int width, int height) {
  QImage image(width, height, QImage::Format_RGB32);
  image.fill(QColor(0x30, 0x60, 0x90));
  image.save(Q(path), "JPG");
}

QString Q(const fs::path& path) {
  return QString::fromStdString(path.string());
}

QStringList TextsOf(QWidget* window, std::initializer_list<const char*> names) {
  QStringList texts;
  for (const char* name : names) {
    const auto* control = window->findChild<QWidget*>(name);
    const char* property = qobject_cast<const QComboBox*>(control)        ? "currentText"
                           : qobject_cast<const QPlainTextEdit*>(control) ? "plainText"
                                                                          : "text";
    texts += control ? control->property(property).toString() : QString("missing ") + name;
  }
  return texts;
}

QStringList EnabledOf(QWidget* window, std::initializer_list<const char*> names, bool hidden) {
  QStringList found;
  for (const char* name : names) {
    auto* control = window->findChild<QWidget*>(name);
    if (control && (hidden ? control->isHidden() : control->isEnabled())) found += name;
  }
  return found;
}

void Click(QWidget* window, const char* name) {
  auto* button = window->findChild<QAbstractButton*>(name);
  if (button == nullptr) qFatal("no button %s", name);
  button->click();
}

QStringList Texts(const QListWidget* list) {
  QStringList texts;
  for (int row = 0; row < list->count(); ++row) texts += list->item(row)->text();
  return texts;
}

QStringList Trimmed(const QStringList& texts) {
  QStringList trimmed;
  for (const QString& text : texts) trimmed += text.trimmed();
  return trimmed;
}

QStringList Paths(const std::vector<fs::path>& paths) {
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
