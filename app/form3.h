#pragma once
// The extraction window: opens an album or AlbumWrap archive, lists its items and copies the
// selected ones into a folder. The run itself is session::ExtractionRun.

#include <optional>
#include <string_view>

#include "album/archive.h"
#include "app/busycursor.h"
#include "app/workdialog.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;

namespace app {

class Shell;

inline constexpr std::string_view kExtractFilter =
    "MP3 Lyrabinder (*_LB.MP3*)|*_lb.mp3|AlbumWrap (*_ALBW.MP3)|*_albw.mp3|All MP3's "
    "(*.MP3)|*.mp3";
inline constexpr std::string_view kAlbumFileCaption = "Album File : ";
inline constexpr std::string_view kNothingSelectedMessage =
    "You must select at least one item for extraction.";
inline constexpr std::string_view kExtractFolderPrompt = "Please select a folder.";

class Form3 : public WorkDialog {
  Q_OBJECT

 public:
  Form3(Shell& shell, QWidget* parent = nullptr);
  ~Form3() override;

  /// Asks for the file and shows it. False when the window should close instead of showing:
  /// the dialog was cancelled, the file could not be opened, or it is neither an album nor an
  /// AlbumWrap archive (the user was told).
  bool Open();
  /// The same for `file`, without asking.
  bool Open(const QString& file);
  album::ArchiveFormat Format() const { return m_archive.format; }

 private:
  void SelectAll();
  void Extract();
  void ExtractionEnded();
  void SetControlsEnabled(bool enabled);

  Shell& m_shell;
  QString m_path;
  album::Archive m_archive;
  std::optional<BusyCursor> m_busy;
  struct Outcome;
  std::shared_ptr<Outcome> m_outcome;

  QLineEdit* Text1 = nullptr;
  QLineEdit* Text2 = nullptr;
  QLineEdit* Text3 = nullptr;
  QLineEdit* Text4 = nullptr;
  QLineEdit* Text5 = nullptr;
  QLabel* m_commentLabel = nullptr;
  QLabel* m_yearLabel = nullptr;
  QListWidget* List1 = nullptr;
  QPushButton* Command2 = nullptr;
  QPushButton* Command1 = nullptr;
  QPushButton* Command3 = nullptr;
  QCheckBox* Check1 = nullptr;
  QPushButton* cmdHelp = nullptr;
  QProgressBar* ProgressBar1 = nullptr;
};

}  // namespace app
