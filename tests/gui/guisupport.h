#pragma once
// What the window tests share: inputs (MP3s of chosen kinds, pictures), the user as a double
// (fakeshell.h), handles on the windows' named controls, and the Qt Test and widget headers
// the tests use.

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QString>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "tests/gui/fakeshell.h"
#include "tests/support/testsupport.h"

namespace guitest {

namespace fs = std::filesystem;
using namespace testsupport;

/// A 128 kbps constant-bitrate MP3 of `frames` frames, optionally with an ID3v2 tag of
/// `id3v2Size` bytes in front and an ID3v1 tag (title, artist, album, year) at the end.
void WriteTrack(const fs::path& path, std::size_t frames = 40, std::size_t id3v2Size = 0,
                std::string_view title = {}, std::string_view artist = {},
                std::string_view album = {}, std::string_view year = {});

/// An MP3 of 160 kbps frames.
void Write160kbps(const fs::path& path);

/// A JPEG picture of the given size.
void WritePicture(const fs::path& path, int width, int height);

QString Q(const fs::path& path);

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

/// Clicks the named button.
void Click(QWidget* window, const char* name);

/// Clicks the named button and runs `act` on the modal dialog of type T it opens; false when
/// none opened.
template <typename T>
bool InModal(QWidget* window, const char* button, const std::function<void(T*)>& act) {
  bool opened = false;
  WhenModalShown<T>([&](T* dialog) {
    opened = true;
    act(dialog);
  });
  Click(window, button);
  return opened;
}

/// What each named control shows: a caption, a box's text or a combo box's current text;
/// "missing NAME" for a control that is not there.
QStringList TextsOf(QWidget* window, std::initializer_list<const char*> names);

/// The names among `names` whose controls are enabled (or, with `hidden`, hidden).
QStringList EnabledOf(QWidget* window, std::initializer_list<const char*> names,
                      bool hidden = false);

/// The texts of a list, top to bottom.
QStringList Texts(const QListWidget* list);

/// Each text without the spaces around it.
QStringList Trimmed(const QStringList& texts);

/// Paths as the contents list holds them.
QStringList Paths(const std::vector<fs::path>& paths);

/// Drags `paths` over `target` and drops them: 2 when the entry and the drop were both taken,
/// 0 when both were refused.
int SendDrop(QWidget* target, const QStringList& paths);

}  // namespace guitest
