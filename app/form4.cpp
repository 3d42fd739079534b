#include "app/form4.h"

#include <QFontMetrics>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTextDocument>
#include <QVBoxLayout>
#include <memory>
#include <utility>

#include "app/artwork.h"
#include "app/backgroundtask.h"
#include "app/form1.h"
#include "app/mp3encoder.h"
#include "app/notebox.h"
#include "app/shell.h"
#include "base/fileio.h"
#include "base/text.h"
#include "wavpress/bridge.h"
#include "wavpress/outputname.h"
#include "wavpress/wavpress.h"

namespace app {
namespace {

constexpr std::string_view kFileLabel = "File: ";

QString Percent(int percent) {
  return QString::number(percent) + "%";
}

}  // namespace

Form4::Form4(Shell& shell, Mp3Encoder& encoder, QWidget* parent)
    : QDialog(parent), m_shell(shell), m_encoder(encoder) {
  setObjectName("Form4");
  setWindowTitle(ToQString(kEncoderCaption));
  setWindowIcon(ProgramIcon());
  setModal(true);
  m_task = new BackgroundTask(this);

  List1 = new ContentsListView(this, &compose::WaveList::CanDrop);
  List1->setObjectName("List1");
  Command1 = new QPushButton("Add Item ...", this);
  Command1->setObjectName("Command1");
  Command2 = new QPushButton("Remove Item", this);
  Command2->setObjectName("Command2");
  Command2->setEnabled(false);
  Command3 = new QPushButton("*.wav --> *.mp3 ...", this);
  Command3->setObjectName("Command3");
  Command3->setEnabled(false);
  Command4 = new QPushButton("Cancel", this);
  Command4->setObjectName("Command4");
  Command5 = new QPushButton("Add Folder Contents ...", this);
  Command5->setObjectName("Command5");
  cmdHelp = new QPushButton("Help", this);
  cmdHelp->setObjectName("cmdHelp");
  for (QPushButton* button : {Command1, Command2, Command3, Command4, Command5, cmdHelp}) {
    button->setAutoDefault(false);
  }
  Label1 = new QLabel("File:", this);
  Label1->setObjectName("Label1");
  Label2 = new QLabel(ToQString(kSelectedLabelText), this);
  Label2->setObjectName("Label2");
  Label2->setFrameShape(QFrame::StyledPanel);
  Label2->setTextInteractionFlags(Qt::TextSelectableByMouse);
  lblPercent = new QLabel(Percent(0), this);
  lblPercent->setObjectName("lblPercent");
  lblPercent->setMinimumWidth(QFontMetrics(lblPercent->font()).horizontalAdvance("100%") + 4);
  lblPercent->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  pMp3Encode = new QProgressBar(this);
  pMp3Encode->setObjectName("pMp3Encode");
  pMp3Encode->setRange(0, 100);
  pMp3Encode->setValue(0);
  pMp3Encode->setTextVisible(false);
  Text1 = MakeNoteBox(this, kEncoderNote);
  const QFontMetrics metrics(Text1->font());

  auto* buttons = new QVBoxLayout;
  for (QPushButton* button : {Command1, Command5, Command2, Command3}) buttons->addWidget(button);
  buttons->addStretch();
  buttons->addWidget(Command4);
  buttons->addWidget(cmdHelp);

  auto* listColumn = new QVBoxLayout;
  listColumn->addWidget(List1, 1);
  listColumn->addWidget(Label2);
  auto* top = new QHBoxLayout;
  top->addLayout(listColumn, 1);
  top->addLayout(buttons);

  auto* progress = new QHBoxLayout;
  progress->addWidget(Label1);
  progress->addWidget(pMp3Encode, 1);
  progress->addWidget(lblPercent);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top, 1);
  layout->addLayout(progress);
  layout->addWidget(Text1);
  List1->setMinimumHeight(metrics.lineSpacing() * 10);

  setTabOrder(List1, Command1);
  setTabOrder(Command1, Command5);
  setTabOrder(Command5, Command2);
  setTabOrder(Command2, Command3);
  setTabOrder(Command3, Command4);
  setTabOrder(Command4, cmdHelp);

  connect(Command1, &QPushButton::clicked, this, &Form4::AddItem);
  connect(Command2, &QPushButton::clicked, this, &Form4::RemoveItem);
  connect(Command3, &QPushButton::clicked, this, &Form4::Run);
  connect(Command4, &QPushButton::clicked, this, &Form4::Cancel);
  connect(Command5, &QPushButton::clicked, this, &Form4::AddFolderContents);
  connect(cmdHelp, &QPushButton::clicked, this, [this] { OpenHelp(m_shell); });
  connect(List1, &QListWidget::currentRowChanged, this, [this] {
    if (!List1->MouseDown()) ListClicked();
  });
  connect(List1, &ContentsListView::leftButtonDown, this,
          [this] { m_dragFrom = List1->currentRow(); });
  connect(List1, &ContentsListView::leftButtonUp, this, &Form4::ListMouseUp);
  connect(List1, &ContentsListView::gotFocus, this, &Form4::ListClicked);
  connect(List1, &ContentsListView::filesDropped, this, &Form4::DropFiles);
}

Form4::~Form4() {
  m_task->StopAndWait();
}

void Form4::ShowEntries(int current) {
  const QSignalBlocker blocker(List1);
  List1->clear();
  for (const std::string& entry : m_list.Entries()) List1->addItem(QString::fromStdString(entry));
  List1->setCurrentRow(current);
  UpdateListExtent(*List1);
}

void Form4::AddItem() {
  const QString path = m_shell.OpenFileName(this, ToQString(kWaveFilter));
  if (path.isEmpty() || !m_list.AddFile(path.toStdString())) return;
  ShowEntries(List1->currentRow());
  Command3->setEnabled(true);
}

void Form4::AddFolderContents() {
  const QString folder = m_shell.BrowseForFolder(this, ToQString(kWaveFolderPrompt));
  if (folder.isEmpty()) return;
  std::string error;
  if (!m_list.AddFolder(folder.toStdString(), compose::FileSystemLister(), error)) {
    m_shell.ShowMessage(this, folder + " : " + QString::fromStdString(error));
    return;
  }
  ShowEntries(List1->currentRow());
  if (!m_list.Empty()) Command3->setEnabled(true);
}

void Form4::DropFiles(const std::vector<std::string>& paths) {
  if (!m_list.Drop(paths)) return;
  ShowEntries(List1->currentRow());
  Command3->setEnabled(true);
}

void Form4::RemoveItem() {
  Label2->setText(QString());
  // With no current entry (after a run) there is nothing to remove.
  if (m_list.Remove(List1->currentRow())) ShowEntries(-1);
  if (m_list.Empty()) {
    Command2->setEnabled(false);
    Command3->setEnabled(false);
  }
}

void Form4::ListClicked() {
  const QListWidgetItem* current = List1->currentItem();
  if (List1->selectedItems().isEmpty()) {
    Command2->setEnabled(false);
    return;
  }
  Command2->setEnabled(true);
  if (current != nullptr) {
    Label2->setText(ToQString(base::FileNameOf(current->text().toStdString())));
  }
}

void Form4::ListMouseUp() {
  const int target = List1->currentRow();
  if (target >= 0 && target != m_dragFrom) {
    if (const auto moved = m_list.Reorder(m_dragFrom, target)) {
      ShowEntries(static_cast<int>(*moved));
    }
  }
  m_dragFrom = List1->currentRow();
  ListClicked();
}

void Form4::Cancel() {
  if (m_runState.isEmpty()) {
    close();
    return;
  }
  m_runState = ToQString(kRunStopped);
  m_task->RequestStop();
}

void Form4::SetListControlsEnabled(bool enabled) {
  for (QWidget* control :
       std::initializer_list<QWidget*>{List1, Command3, Command2, Command1, Command5}) {
    control->setEnabled(enabled);
  }
}

struct Form4::FileOutcome {
  std::filesystem::path output;
  bool renamed = false;  // another file of the run took the usual name
  std::int32_t result = WAVPRESS_OK;
  std::string note;
};

void Form4::Run() {
  if (m_list.Empty() || Running()) return;
  m_busy.emplace();
  m_list.RemoveDuplicates();
  ShowEntries(-1);
  SetListControlsEnabled(false);
  m_runState = ToQString(kRunStarted);
  m_runGoing = true;
  m_runEntries = m_list.Entries();
  m_notes.clear();
  m_runOutputs.clear();
  m_firstFile = true;
  EncodeFrom(0);
}

void Form4::EncodeFrom(std::size_t position) {
  for (; position < m_runEntries.size(); ++position) {
    // A stop asked for in the pause after a file ends the run before the next one.
    if (m_runState == ToQString(kRunStopped)) {
      RunEnded(true, {});
      return;
    }
    const std::string& entry = m_runEntries[position];
    const std::filesystem::path input = base::PathFromUtf8(entry);
    const std::filesystem::path output = wavpress::RunOutputFor(entry, m_runOutputs);
    const bool renamed = output != base::PathFromUtf8(wavpress::Mp3PathFor(entry));
    // An input that would be its own output is never offered for replacing: the bridge refuses
    // it and says why. A file of this run is never replaced: the output took a free name. The
    // question comes just before its file, without the hourglass.
    const bool exists = !renamed && base::NameTaken(output) && !base::SameFile(input, output);
    if (exists) {
      m_busy.reset();
      const bool replace = m_shell.AskYesNo(
          this, ReplaceFileQuestion(QString::fromStdString(wavpress::Mp3PathFor(entry))));
      m_busy.emplace();
      if (!replace) continue;
    }
    Label1->setText(ToQString(kFileLabel) + " " + QString::number(position + 1) + " -");
    pMp3Encode->setValue(0);
    auto outcome = std::make_shared<FileOutcome>();
    outcome->output = output;
    outcome->renamed = renamed;
    Mp3Encoder* encoder = &m_encoder;
    // Only an idle window starts a work: its controls are disabled while one runs.
    (void)m_task->Start(
        [entry, exists, first = std::exchange(m_firstFile, false), outcome,
         encoder](const TaskControl& control) {
          if (first) encoder->SetEncoder(WAVPRESS_LAME);
          outcome->result = encoder->EncodeMp3(
              entry, exists, [&control](int percent, int) { return control.Report(percent); },
              outcome->renamed ? outcome->output : std::filesystem::path());
          outcome->note = encoder->FailureNote();
          // A stop during the pause is seen by the window's run state.
          if (outcome->result != WAVPRESS_STOPPED) (void)control.Pause(kAfterFilePauseMs);
        },
        [this](int percent) {
          if (m_runState == ToQString(kRunStopped)) return;
          lblPercent->setText(Percent(percent));
          pMp3Encode->setValue(percent);
        },
        [this, position, outcome] { FileEnded(position, *outcome); });
    return;
  }
  // Nothing was stopped, even when a stop came in the pause after the last file.
  RunEnded(false, {});
}

void Form4::FileEnded(std::size_t position, const FileOutcome& outcome) {
  // A part never replaces an MP3 that was there; the user is told where it went.
  if (outcome.result == WAVPRESS_STOPPED) {
    RunEnded(true, outcome.note);
    return;
  }
  if (outcome.result != WAVPRESS_OK) {
    m_notes.push_back(std::string(wavpress::kEncodingFailed) + outcome.note);
  } else {
    m_runOutputs.push_back(outcome.output);
    if (outcome.renamed) {
      m_notes.push_back(wavpress::WrittenAsNote(m_runEntries[position], outcome.output));
    }
  }
  pMp3Encode->setValue(0);
  lblPercent->setText(Percent(0));
  EncodeFrom(position + 1);
}

void Form4::RunEnded(bool stopped, const std::string& note) {
  m_runGoing = false;
  m_runState = ToQString(kRunStopped);
  Label1->setText(ToQString(kFileLabel));
  m_busy.reset();
  SetListControlsEnabled(true);
  // Entries not converted after a stop are dropped too.
  m_list.Clear();
  ShowEntries(-1);
  Label2->setText(QString());
  QString message = ToQString(stopped ? kEncodingCancelledMessage : kEncodingCompleteMessage);
  if (!note.empty()) message += "\n" + QString::fromStdString(note);
  for (const std::string& note : m_notes) message += "\n" + QString::fromStdString(note);
  m_shell.ShowMessage(this, message);
}

void Form4::keyPressEvent(QKeyEvent* event) {
  // Esc during a run stops it as Cancel does; otherwise it closes as the close box does.
  if (event->key() == Qt::Key_Escape && Running()) {
    Cancel();
    return;
  }
  QDialog::keyPressEvent(event);
}

void Form4::reject() {
  // Closing during a run stops the current file at its next chunk and waits for it.
  if (Running()) {
    m_task->StopAndWait();
    m_runGoing = false;
    m_busy.reset();
  }
  QDialog::reject();
}

}  // namespace app
