#pragma once
// Inputs and handles for the window tests: MP3s of chosen kinds, pictures, and the windows'
// named controls.

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QListWidget>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace guitest {

/// A 128 kbps constant-bitrate MP3 of `frames` frames, optionally with an ID3v2 tag of
/// `id3v2Size` bytes in front and an ID3v1 tag (title, artist, album, year) at the end.
void WriteTrack(const std::filesystem::path& path, std::size_t frames = 40,
                std::size_t id3v2Size = 0, std::string_view title = {},
                std::string_view artist = {}, std::string_view album = {},
                std::string_view year = {});

/// An MP3 of 160 kbps frames.
void Write160kbps(const std::filesystem::path& path);

/// A JPEG picture of the given size.
void WritePicture(const std::filesystem::path& path, int width, int height);

QString Q(const std::filesystem::path& path);

/// A named control of a window (null when missing).
template <typename T>
T* Control(QWidget* window, const char* name) {
  return window->findChild<T*>(name);
}

/// Runs `act` on the modal dialog of type T as soon as it is shown (it may open after other
/// events have run). A dialog that `act` leaves open is cancelled, so a failing check inside
/// `act` cannot leave the test waiting.
template <typename T>
void WhenModalShown(std::function<void(T*)> act) {
  auto* timer = new QTimer;
  timer->setInterval(5);
  QObject::connect(timer, &QTimer::timeout, [timer, act] {
    auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget());
    if (dialog == nullptr || !dialog->isVisible()) return;
    timer->stop();
    timer->deleteLater();
    act(dialog);
    if (dialog->isVisible()) dialog->reject();
  });
  timer->start();
}

/// The texts of a list, top to bottom.
QStringList Texts(const QListWidget* list);

/// Paths as the contents list holds them.
QStringList Paths(const std::vector<std::filesystem::path>& paths);

/// Drags `paths` over `target` and drops them: 2 when the entry and the drop were both taken,
/// 0 when both were refused.
int SendDrop(QWidget* target, const QStringList& paths);

}  // namespace guitest
