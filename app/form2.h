#pragma once
// The album details window: proposes title, artist and year from the tracks, lists the
// tracks, and writes the album. The work is session::AlbumCreation's.

#include <optional>
#include <string_view>
#include <vector>

#include "album/albumformat.h"
#include "album/albumwriter.h"
#include "app/busycursor.h"
#include "app/workdialog.h"
#include "session/albumcreation.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;

namespace media {
class MediaDevice;
}

namespace app {

class Form1;
class Shell;

inline constexpr std::string_view kDetailsCaption = "Make Album !";
inline constexpr std::string_view kAlbumFilter = "MP3 Lyrabinder (*_LB.MP3)|*_lb.mp3";
inline constexpr std::string_view kTrackListHint =
    "Check any below where song title is not under Song Title heading.";

/// The question before a derived output name replaces an existing file.
QString ReplaceFileQuestion(const QString& path);

class Form2 : public WorkDialog {
  Q_OBJECT

 public:
  /// Reads every track of `contents` (lengths through `device`) and fills the fields.
  Form2(Form1& contents, Shell& shell, media::MediaDevice& device);
  ~Form2() override;

 private:
  void Load();
  void MakeAlbum();
  // Writes off the user-interface thread while the window keeps repainting; WriteEnded
  // follows.
  void StartWrite(const QString& output, const album::AlbumDetails& details, base::Replace replace);
  void WriteEnded(const album::WriteResult& result);
  void SetControlsEnabled(bool enabled);
  // After a creation attempt: empty the contents list and close.
  void Finish();

  Form1& m_contents;
  Shell& m_shell;
  media::MediaDevice& m_device;
  session::AlbumCreation m_creation;
  std::optional<BusyCursor> m_busy;

  QComboBox* Text1 = nullptr;
  QLineEdit* Text2 = nullptr;
  QComboBox* Text3 = nullptr;
  QLineEdit* Text4 = nullptr;
  QLineEdit* Text5 = nullptr;
  QListWidget* List1 = nullptr;
  QPushButton* Command2 = nullptr;
  QPushButton* Command1 = nullptr;
  QPushButton* cmdHelp = nullptr;
  QProgressBar* ProgressBar1 = nullptr;
};

}  // namespace app
