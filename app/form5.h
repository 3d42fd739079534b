#pragma once
// The album player: opens an album, lists its tracks and plays them through the media device.
// The rules live in player::Player; this window shows them and feeds them its timers.

#include <QPoint>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "album/albumreader.h"
#include "app/form1.h"
#include "player/player.h"
#include "session/playersession.h"
#include "webview/cuesheet.h"
#include "webview/webfolder.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QPushButton;
class QSlider;
class QTimer;
class QToolButton;

namespace app {

class BackgroundTask;
class Form6;
class Mpris;
class Shell;

inline constexpr std::string_view kPlayerFilter = "MP3 Lyrabinder (*_LB.MP3*)|*_lb.mp3";
inline constexpr std::string_view kPreviewsCaption = "Please Wait Creating Graphics Previews !";
inline constexpr std::string_view kAlbumCaptionPrefix = "Album File : ";
inline constexpr std::string_view kSeekCaption = "(Click) FF - RWD ...";
inline constexpr std::string_view kCueToolTip =
    "Usable In Some Players Like WinAmp With MP3Cue Plugin.";
/// Where the volume is remembered (the settings file lyrabinder/lyrabinder.conf), 0 to 100.
inline constexpr std::string_view kVolumeKey = "player/volume";
/// The last album played, pre-selected by the next open dialog.
inline constexpr std::string_view kLastAlbumKey = "player/album";

/// A label that reports a release of the mouse button on it.
class ClickLabel : public QWidget {
  Q_OBJECT

 public:
  explicit ClickLabel(QWidget* parent = nullptr);
  void setText(const QString& text);
  QString text() const;

 signals:
  void released(const QPoint& globalPosition);

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  QLabel* m_label;
};

class Form5 : public QWidget, private session::PlayerObserver {
  Q_OBJECT

 public:
  /// `mainWindow` is hidden while the player is open (may be null).
  Form5(Shell& shell, QWidget* mainWindow,
        MediaDeviceFactory mediaDevices = media::CreateMediaDevice);
  ~Form5() override;

  /// The opening: asks for an album and reads it; the window shows itself when the album is
  /// ready and closes itself on cancel or failure.
  void Load();
  /// The same opening on `album`, without asking.
  void Load(const QString& album);

  const player::Player& Rules() const { return m_session->Rules(); }
  session::PlayerSession& Session() { return *m_session; }
  /// The web view window, while this player holds it (null before, and once closed).
  Form6* Viewer() const;
  /// True once an album is open and the controls are enabled.
  bool Ready() const { return m_ready; }
  /// True while the album is being opened; a close asked for meanwhile waits for its end.
  bool IsOpening() const { return m_opening; }
  const std::string& WebFolder() const { return m_session->Album().webFolder; }
  const webview::DetailTexts& Details() const { return m_session->Album().details; }
  /// The album's first picture in the web folder, or the empty text.
  QString FirstPreview() const;
  /// The volume popup's slider (created on first use).
  QSlider* VolumeSlider() const { return m_volumeSlider; }
  /// The player's output volume, 0 to 100, remembered between runs.
  int Volume() const { return m_session->Volume(); }
  void SetVolume(int percent);
  /// Selects list entry `index` as a click would, and plays it.
  void PlayEntry(int index);

 signals:
  /// The opening ended: the album is shown and playable.
  void opened();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void moveEvent(QMoveEvent* event) override;

 private:
  struct Opening;
  void SelectionChanged(int index) override;
  void PageChanged() override;
  void DisplayChanged() override;
  void PlayFailed() override;
  void VolumeChanged() override;
  void Opened(Opening& opening);
  // The album's texts, list and lengths; the player is loaded with its tracks.
  void ShowDetails(const album::AlbumContents& album, const std::string& path);
  void SetControlsEnabled(bool enabled);
  void ShowPreviewsMessage();
  void MakeCue();
  void ShowVolume();
  void LayOut();
  void PlaceViewer();
  // The viewer, taken first when `make` says so.
  Form6* Viewer(bool make);
  QRect ScreenArea() const;

  Shell& m_shell;
  QPointer<QWidget> m_mainWindow;
  class QtTimer;
  std::unique_ptr<QtTimer> m_progressTimer;
  std::unique_ptr<session::PlayerSession> m_session;
  QPointer<Form6> m_form6;
  Mpris* m_mpris = nullptr;
  BackgroundTask* m_task = nullptr;  // the album's opening, off the window's thread
  bool m_ready = false;
  bool m_opening = false;
  bool m_closeRequested = false;  // the close box was used while the album opened
  bool m_detailsShown = false;
  bool m_placed = false;
  std::optional<QPoint> m_mainWindowPosition;  // set while the main window is hidden
  bool m_busyCursor = false;
  bool m_showViewer = false;
  webview::CueInput m_cue;

  QListWidget* List1 = nullptr;
  QLineEdit* Text1 = nullptr;
  QLineEdit* Text2 = nullptr;
  QLineEdit* Text3 = nullptr;
  QLineEdit* Text4 = nullptr;
  QLineEdit* Text5 = nullptr;
  QLabel* Label7 = nullptr;
  QLabel* Label6 = nullptr;
  QLabel* Label3 = nullptr;
  QLabel* Label4 = nullptr;
  QLabel* Label5 = nullptr;
  QLabel* Label12 = nullptr;
  QLabel* lblCurSong = nullptr;
  QLabel* Label11 = nullptr;
  QLabel* Label8 = nullptr;
  ClickLabel* Label10 = nullptr;
  QLabel* Label2 = nullptr;
  QLabel* Label9 = nullptr;
  QLabel* Label1 = nullptr;
  QLabel* lblLengthA = nullptr;
  QToolButton* Command2 = nullptr;
  QToolButton* Command4 = nullptr;
  QToolButton* Command3 = nullptr;
  QToolButton* Command5 = nullptr;
  QCheckBox* random = nullptr;
  QCheckBox* loop = nullptr;
  QPushButton* cmdCUE = nullptr;
  QPushButton* cmdHelp = nullptr;
  QPushButton* Command1 = nullptr;
  QTimer* Timer1 = nullptr;
  QTimer* Timer2 = nullptr;
  QMenu* pop = nullptr;
  QWidget* m_volumePopup = nullptr;
  QSlider* m_volumeSlider = nullptr;
};

}  // namespace app
