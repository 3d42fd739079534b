#pragma once
// The encoder window: gathers WAV files and shows an encoding run (session::EncodingRun) that
// converts them one after another into MP3 files beside them, off the window's thread. The list
// rules live in compose::WaveList.

#include <QDialog>
#include <memory>
#include <optional>
#include <string_view>

#include "app/busycursor.h"
#include "compose/wavelist.h"

namespace session {
class EncodingRun;
class Mp3Encoder;
struct EncodingRunResult;
}  // namespace session

class QKeyEvent;
class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

namespace app {

class BackgroundTask;
class ContentsListView;
class Shell;

inline constexpr std::string_view kEncoderCaption = "Convert Wave Files To MP3 Format.";
inline constexpr std::string_view kWaveFilter = "Wave File (*.wav)|*.wav";
inline constexpr std::string_view kWaveFolderPrompt = "Add Contents : Please select a folder.";
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
  Form4(Shell& shell, session::Mp3Encoder& encoder, QWidget* parent = nullptr);
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
  class RunView;
  void AddItem();
  void AddFolderContents();
  void RemoveItem();
  void ListClicked();
  void ListMouseUp();
  void Cancel();
  void Run();
  /// Before a file or its question: the last file's progress is cleared.
  void ClearProgress();
  void RunEnded(const session::EncodingRunResult& result);
  void ShowEntries(int current);
  void SetListControlsEnabled(bool enabled);

  Shell& m_shell;
  session::Mp3Encoder& m_encoder;
  compose::WaveList m_list;
  BackgroundTask* m_task = nullptr;
  std::optional<BusyCursor> m_busy;
  QString m_runState;
  bool m_runGoing = false;
  /// The run going on, shared with the worker that runs it.
  std::shared_ptr<session::EncodingRun> m_run;
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
