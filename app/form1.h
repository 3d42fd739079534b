#pragma once
// The album contents list: gathers the album's tracks, lyrics and pictures, checks them and
// opens the details window. The rules live in compose::ContentsList; this window shows them.

#include <QPointer>
#include <QStringList>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/listextent.h"
#include "compose/contentslist.h"
#include "media/mediadevice.h"
#include "session/albumcreation.h"

class QLabel;
class QMimeData;
class QPlainTextEdit;
class QPushButton;

namespace app {

class Form7;
class Shell;

/// The fixed note under the list (lines end in CR LF).
inline constexpr std::string_view kContentsNote =
    "> MP3, TXT, JPG, and GIF files may be added to the list, by dragging from a folder and "
    "dropping on the \r\nlist above. Or the entire contents of a folder can be added with the "
    "'Add Folder Contents' button. They \r\nmay also be added using the 'Add Item' button.\r\n"
    "> MP3 files should be  in the same order as  on original recording. Only non-VBR and 128 "
    "kbps \r\naccepted.\r\n> Text Files (TXT) should contain lyrics, and must immediately follow "
    "the MP3 file to which they belong, \r\nin the list above.\r\n> Graphic files (JPG, GIF) "
    "should contain CD / Album art, and can be added in any order to the above \r\nlist.\r\n"
    "> Items in the list can be rearranged by clicking on the item to be moved, and dragging it "
    "with the mouse \r\nbutton still down, to a new location and releasing the mouse button.\r\n";

inline constexpr std::string_view kAddItemFilter =
    "Music Track (*.mp3)|*.mp3|Lyrics (*.txt)|*.txt|Album Art (*.jpg)|*.JPG|Album Art "
    "(*.gif)|*.GIF|All Files (*.*)|*.*";
inline constexpr std::string_view kFolderPrompt = "Please select a folder.";
inline constexpr std::string_view kSelectedLabelText = "Currently Selected Filename";

/// The contents list control: reordering by dragging with the button held, and files dropped
/// from the desktop.
class ContentsListView : public ExtentListWidget {
  Q_OBJECT

 public:
  /// Whether a drop of these paths is taken; one path refused refuses them all.
  using DropTest = std::function<bool(const std::vector<std::string>& paths)>;

  explicit ContentsListView(QWidget* parent = nullptr,
                            DropTest dropTest = &compose::ContentsList::CanDrop);
  /// True while the left button is held down on the list.
  bool MouseDown() const { return m_mouseDown; }

 signals:
  /// The left button went down; the entry under it is current.
  void leftButtonDown();
  /// The left button was released; the entry under the pointer is current.
  void leftButtonUp();
  void gotFocus();
  /// Files dropped on the list (the drop was acceptable).
  void filesDropped(const std::vector<std::string>& paths);

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  bool AcceptableDrop(const QMimeData* data) const;

  DropTest m_dropTest;
  bool m_mouseDown = false;
};

/// Makes the media service the details window asks for track lengths.
using MediaDeviceFactory = std::function<std::unique_ptr<media::MediaDevice>()>;

class Form1 : public QWidget {
  Q_OBJECT

 public:
  /// `mainWindow` is hidden while this window is open (may be null).
  Form1(Shell& shell, QWidget* mainWindow,
        MediaDeviceFactory mediaDevices = media::CreateMediaDevice);

  /// The entries as paths (UTF-8), in list order.
  const std::vector<std::string>& Entries() const { return m_contents.Entries(); }
  /// The album as the last "Make Album ..." checked it.
  const session::AlbumCreation& Creation() const { return m_creation; }
  /// The current entry's text, or the empty text.
  QString CurrentEntry() const;
  /// Empties the list and the selected-file label (after an album was made).
  void ClearContents();
  /// The open preview window, if any.
  Form7* Preview() const;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void AddItem();
  void RemoveItem();
  void MakeAlbum();
  void AddFolderContents();
  void ListClicked();
  void ListGotFocus();
  void ListMouseUp();
  void FilesDropped(const std::vector<std::string>& paths);
  void ShowAddResult(const compose::AddResult& result);
  void OpenDetails();
  void ShowPreview();
  void UnloadPreview();
  // Moves the current entry one place up (-1) or down (+1).
  void MoveCurrentEntry(int step);
  // Shows the entries of m_contents; `current` becomes the current row (-1: none).
  void ShowEntries(int current);
  void UpdateSelectedLabel();

  Shell& m_shell;
  QPointer<QWidget> m_mainWindow;
  QPoint m_mainWindowPosition;
  MediaDeviceFactory m_mediaDevices;
  compose::ContentsList m_contents;
  session::AlbumCreation m_creation;
  int m_dragFrom = -1;
  QPointer<Form7> m_preview;

  ContentsListView* List1 = nullptr;
  QPushButton* Command1 = nullptr;
  QPushButton* Command2 = nullptr;
  QPushButton* Command3 = nullptr;
  QPushButton* Command4 = nullptr;
  QPushButton* Command5 = nullptr;
  QPushButton* cmdHelp = nullptr;
  QLabel* Label1 = nullptr;
  QPlainTextEdit* Text1 = nullptr;
};

}  // namespace app
