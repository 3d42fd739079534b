#pragma once
// The program's dealings with the user and the desktop outside its own windows: message boxes,
// file and folder dialogs, opening documents. Windows receive a Shell so that tests can answer
// in the user's place.

#include <QString>
#include <QStringList>
#include <QUrl>
#include <string_view>

#include "album/albumformat.h"

class QFontMetrics;
class QWidget;

namespace app {

/// The caption of every message box: the program's title.
inline constexpr std::string_view kMessageTitle = album::kProgramTitle;

/// "NAME already exists." + new line + "Do you want to replace it?" for the file at `path`.
QString ReplaceFileQuestion(const QString& path);

class Shell {
 public:
  virtual ~Shell() = default;
  /// A plain message box: the program title as caption, the text, an OK button.
  virtual void ShowMessage(QWidget* owner, const QString& text) = 0;
  /// A yes/no question with the program title as caption; true for yes.
  virtual bool AskYesNo(QWidget* owner, const QString& text) = 0;
  /// A question with two buttons, `first` (the default) and `second`; true for `first`. Esc or
  /// the close box answer `second`.
  virtual bool AskEither(QWidget* owner, const QString& text, const QString& first,
                         const QString& second) = 0;
  /// The open-file dialog for one existing file; the empty text when cancelled. Filters read
  /// "Description|pattern|Description|pattern...". A `start` file is pre-selected (a folder
  /// is opened).
  virtual QString OpenFileName(QWidget* owner, const QString& filter,
                               const QString& start = QString()) = 0;
  /// The save dialog with `proposedName` filled in; it asks before an existing file is chosen.
  /// The empty text when cancelled.
  virtual QString SaveFileName(QWidget* owner, const QString& proposedName,
                               const QString& filter) = 0;
  /// The folder chooser with `prompt` above it: the chosen folder without a trailing separator,
  /// or the empty text when cancelled.
  virtual QString BrowseForFolder(QWidget* owner, const QString& prompt) = 0;
  /// Opens a file or address with the desktop's associated application; the outcome is not
  /// reported.
  virtual void OpenDocument(const QUrl& url) = 0;
};

/// The real dialogs and the desktop's opener.
class DesktopShell final : public Shell {
 public:
  void ShowMessage(QWidget* owner, const QString& text) override;
  bool AskYesNo(QWidget* owner, const QString& text) override;
  bool AskEither(QWidget* owner, const QString& text, const QString& first,
                 const QString& second) override;
  QString OpenFileName(QWidget* owner, const QString& filter, const QString& start) override;
  QString SaveFileName(QWidget* owner, const QString& proposedName, const QString& filter) override;
  QString BrowseForFolder(QWidget* owner, const QString& prompt) override;
  void OpenDocument(const QUrl& url) override;
};

/// The window a message box for `owner` is shown over: its window when that is on screen, else
/// the active window or any window on screen; none (the box is centred on the screen) otherwise.
QWidget* MessageOwner(QWidget* owner);

/// The least width of a box whose caption reads `title` in full.
int CaptionWidth(const QString& title, const QFontMetrics& metrics);

/// Where the folder chooser starts: the user's desktop folder where it exists, else home.
QString FolderChooserStart(const QString& desktop, const QString& home);

/// Qt name filters for a "Description|pattern|..." filter. Each description is kept as it
/// reads; its patterns follow in parentheses, matching letters of either case (file names on
/// Linux are case-sensitive), and "*.*" stands for every file.
QStringList NameFilters(const QString& filter);

/// The data folder of a program started from `programFolder`: "../share/lyrabinder/data" when
/// installed, else the build tree's "../data".
QString DataFolderFor(const QString& programFolder);

/// The running program's data folder.
QString DataFolder();

/// The help page: the data folder + "help/MP3.htm".
QString HelpPagePath();

/// Opens the help page.
void OpenHelp(Shell& shell);

/// The author's mail address, shown on the main window.
inline constexpr std::string_view kAuthorMail = "lyrabinder@example.org";

/// Opens a mail to the author.
void OpenMail(Shell& shell);

inline QString ToQString(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace app
