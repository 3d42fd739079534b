#pragma once
// The encoder window: gathers WAV files and converts them one after another into MP3 files
// beside them, off the window's thread. The list rules live in compose::WaveList.

#include <QDialog>
#include <filesystem>
#include <optional>
#include <string_view>

#include "app/busycursor.h"
#include "compose/wavelist.h"

class QKeyEvent;
class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

namespace app {

class BackgroundTask;
class ContentsListView;
class Mp3Encoder;
class Shell;

inline constexpr std::string_view kEncoderCaption = "Convert Wave Files To MP3 Format.";
inline constexpr std::string_view kWaveFilter = "Wave File (*.wav)|*.wav";
inline constexpr std::string_view kWaveFolderPrompt = "Add Contents : Please select a folder.";
inline constexpr std::string_view kEncodingCompleteMessage = "Encoding Complete !";
inline constexpr std::string_view kEncodingCancelledMessage = "Encoding Cancelled !";
/// The instructions (lines end in CR LF).
inline constexpr std::string_view kEncoderNote =
    "> WAV files may be added to the list, by dragging from a folder and dropping on the list "
    "\r\nabove. They may also be added using the 'Add Item' button.\r\nOr the entire contents of "
    "a folder can be added with the 'Add Folder Contents' button.\r\n";
/// The pause after each converted file, in milliseconds.
inline constexpr int kAfterFilePauseMs = 1500;

/// The run state kept with the percentage label.
inline constexpr std::string_view kRunStarted = "START";
inline constexpr std::string_view kRunStopped = "STOP";

class Form4 : public QDialog {
  Q_OBJECT

 public:
  /// `encoder` converts the files; it must outlive the window.
  Form4(Shell& shell, Mp3Encoder& encoder, QWidget* parent = nullptr);
  ~Form4() override;

  /// Empty (idle), kRunStarted or kRunStopped.
  QString RunState() const { return m_runState; }
  /// True from the start of a run until its message.
  bool Running() const { return m_runGoing; }
  /// Adds dropped paths as a drop on the list does.
  void DropFiles(const std::vector<std::string>& paths);

 public slots:
  void reject() override;

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  struct FileOutcome;
  void AddItem();
  void AddFolderContents();
  void RemoveItem();
  void ListClicked();
  void ListMouseUp();
  void Cancel();
  void Run();
  /// Converts the run's entry at list position `position` (0-based), or the next one the user
  /// does not keep; ends the run after the last.
  void EncodeFrom(std::size_t position);
  void FileEnded(std::size_t position, const FileOutcome& outcome);
  void RunEnded(bool stopped, const std::string& note);
  void ShowEntries(int current);
  void SetListControlsEnabled(bool enabled);

  Shell& m_shell;
  Mp3Encoder& m_encoder;
  compose::WaveList m_list;
  BackgroundTask* m_task = nullptr;
  std::optional<BusyCursor> m_busy;
  QString m_runState;
  bool m_runGoing = false;
  /// True until the run starts its first file, which selects the encoder.
  bool m_firstFile = false;
  std::vector<std::string> m_runEntries;
  /// One line per file of the run that failed (naming it and the cause) or went to another
  /// name, in the order of the run.
  std::vector<std::string> m_notes;
  /// The MP3s the run wrote: a later file never replaces one of them.
  std::vector<std::filesystem::path> m_runOutputs;
  int m_dragFrom = -1;

  ContentsListView* List1 = nullptr;
  QPushButton* Command1 = nullptr;
  QPushButton* Command2 = nullptr;
  QPushButton* Command3 = nullptr;
  QPushButton* Command4 = nullptr;
  QPushButton* Command5 = nullptr;
  QPushButton* cmdHelp = nullptr;
  QLabel* Label1 = nullptr;
  QLabel* Label2 = nullptr;
  QLabel* lblPercent = nullptr;
  QProgressBar* pMp3Encode = nullptr;
  QPlainTextEdit* Text1 = nullptr;
};

}  // namespace app
