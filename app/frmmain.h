#pragma once
// The start window: the buttons that open the other windows, help, name, version, mail link.

#include <QPointer>
#include <QWidget>
#include <memory>
#include <string>

#include "app/playermodule.h"

class QLabel;
class QPushButton;
class QTimer;
class QToolButton;

namespace session {
class Mp3Encoder;
}  // namespace session

namespace app {

class Form1;
class Shell;

inline constexpr std::string_view kMainCaption = "MP3 - Lyrabinder - FREEWARE :-)";

class frmMain : public QWidget {
  Q_OBJECT

 public:
  /// `player` reaches the player window when it is first asked for (the module by default).
  explicit frmMain(Shell& shell, PlayerLoader player = LoadPlayerModule, QWidget* parent = nullptr);
  ~frmMain() override;

  /// The album contents window while it is open.
  Form1* ContentsWindow() const;

  /// Opens a file given to the program: an album in the player, an AlbumWrap archive in the
  /// extraction window; anything else is reported as damaged. Brings the program to the front.
  void OpenFile(const QString& file);

 protected:
  bool event(QEvent* event) override;

 private:
  void OpenContentsWindow();
  void OpenExtractionWindow(const QString& file = QString());
  void OpenPlayer(const QString& album = QString());
  void OpenEncoderWindow();

  Shell& m_shell;
  PlayerLoader m_loadPlayer;
  const PlayerModule* m_playerModule = nullptr;
  std::unique_ptr<session::Mp3Encoder> m_encoder;
  QPointer<Form1> m_form1;
  QPointer<QWidget> m_player;
  QPushButton* cmdHelp = nullptr;
  QToolButton* Command5 = nullptr;
  QToolButton* Command4 = nullptr;
  QToolButton* Command3 = nullptr;
  QToolButton* Command2 = nullptr;
  QToolButton* Command1 = nullptr;
  QLabel* Label2 = nullptr;
  QLabel* lblVersion = nullptr;
  QLabel* Image1 = nullptr;
  QLabel* Label4 = nullptr;
  QLabel* Label3 = nullptr;
  QLabel* Label1 = nullptr;
  QTimer* m_playAnimation = nullptr;
  int m_playFrame = 0;
  bool m_iconPending = true;
};

}  // namespace app
