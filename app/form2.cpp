#include "app/form2.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QEventLoop>
#include <QFileInfo>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <exception>

#include "app/artwork.h"
#include "app/backgroundtask.h"
#include "app/busycursor.h"
#include "app/form1.h"
#include "app/shell.h"
#include "base/fileio.h"

namespace app {
namespace {

QLabel* Caption(const char* text, QWidget* buddy, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setBuddy(buddy);
  return label;
}

}  // namespace

Form2::Form2(Form1& contents, Shell& shell, media::MediaDevice& device)
    : WorkDialog(&contents),
      m_contents(contents),
      m_shell(shell),
      m_device(device),
      m_creation(contents.Creation()) {
  setObjectName("Form2");
  setWindowTitle(ToQString(kDetailsCaption));
  setWindowIcon(ProgramIcon());
  setModal(true);

  Text1 = new QComboBox(this);
  Text1->setObjectName("Text1");
  Text1->setEditable(true);
  Text1->setInsertPolicy(QComboBox::NoInsert);
  Text1->setToolTip("Enter Manually, If Not In List");
  Text2 = new QLineEdit(this);
  Text2->setObjectName("Text2");
  Text3 = new QComboBox(this);
  Text3->setObjectName("Text3");
  Text3->addItem(ToQString(compose::kComplete));
  Text3->addItem(ToQString(compose::kIncomplete));
  Text4 = new QLineEdit(this);
  Text4->setObjectName("Text4");
  Text4->setMaximumWidth(80);
  Text5 = new QLineEdit(this);
  Text5->setObjectName("Text5");
  Text5->setMaximumWidth(60);
  List1 = new QListWidget(this);
  List1->setObjectName("List1");
  Command2 = new QPushButton("Make Album", this);
  Command2->setObjectName("Command2");
  Command2->setDefault(true);
  Command1 = new QPushButton("Cancel", this);
  Command1->setObjectName("Command1");
  cmdHelp = new QPushButton("Help", this);
  cmdHelp->setObjectName("cmdHelp");
  cmdHelp->setAutoDefault(false);
  ProgressBar1 = new QProgressBar(this);
  ProgressBar1->setObjectName("ProgressBar1");
  ProgressBar1->hide();

  auto* fields = new QGridLayout;
  fields->addWidget(Caption("Album Title :", Text1, this), 0, 0);
  fields->addWidget(Text1, 0, 1, 1, 5);
  fields->addWidget(Caption("Artist :", Text2, this), 1, 0);
  fields->addWidget(Text2, 1, 1, 1, 5);
  fields->addWidget(Caption("Completeness :", Text3, this), 2, 0);
  fields->addWidget(Text3, 2, 1);
  fields->addWidget(Caption("Year :", Text4, this), 2, 2, Qt::AlignRight);
  fields->addWidget(Text4, 2, 3);
  fields->addWidget(Caption("Tracks :", Text5, this), 2, 4, Qt::AlignRight);
  fields->addWidget(Text5, 2, 5);
  fields->setColumnStretch(1, 1);

  // The two headings stand over the two halves of a track line.
  auto* headings = new QHBoxLayout;
  auto* songTitle = new QLabel("Song Title", this);
  auto* artist = new QLabel("Artist / ???", this);
  QFont bold = songTitle->font();
  bold.setBold(true);
  songTitle->setFont(bold);
  artist->setFont(bold);
  headings->addSpacing(24);
  headings->addWidget(songTitle, 1);
  headings->addWidget(artist, 1);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(Command2);
  buttons->addWidget(Command1);
  buttons->addStretch();
  buttons->addWidget(cmdHelp);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(fields);
  layout->addSpacing(6);
  layout->addWidget(new QLabel(ToQString(kTrackListHint), this));
  layout->addLayout(headings);
  layout->addWidget(List1, 1);
  layout->addWidget(ProgressBar1);
  layout->addLayout(buttons);
  resize(560, 440);

  connect(Command2, &QPushButton::clicked, this, &Form2::MakeAlbum);
  connect(Command1, &QPushButton::clicked, this, &Form2::reject);
  connect(cmdHelp, &QPushButton::clicked, this, [this] { OpenHelp(m_shell); });

  Load();
}

Form2::~Form2() {
  m_task->StopAndWait();
}

void Form2::Load() {
  BusyCursor busy;
  Text3->setCurrentIndex(0);
  // The media service scans each track; the windows repaint meanwhile, but take no input.
  const compose::PreparedAlbum& prepared = m_creation.Prepare(m_device, [](int, int) {
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    return true;
  });
  const compose::DetailsProposal& proposal = prepared.proposal;
  for (const std::string& name : proposal.albumNames) Text1->addItem(QString::fromStdString(name));
  Text1->setCurrentText(QString::fromStdString(proposal.albumTitle));
  Text2->setText(QString::fromStdString(proposal.artist));
  Text4->setText(QString::fromStdString(proposal.year));
  for (const std::string& line : prepared.trackLines) {
    auto* item = new QListWidgetItem(QString::fromStdString(line), List1);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    item->setCheckState(Qt::Unchecked);
  }
  Text5->setText(QString::fromStdString(prepared.tracks));
}

void Form2::MakeAlbum() {
  if (Busy()) return;
  const album::AlbumDetails details{Text1->currentText().toStdString(), Text2->text().toStdString(),
                                    Text4->text().toStdString(), Text3->currentText().toStdString(),
                                    Text5->text().toStdString()};
  // A value the album cannot hold is corrected before the save dialog opens.
  if (const session::DetailsCheck check = m_creation.CheckDetails(details); !check.ok()) {
    m_shell.ShowMessage(this, QString::fromStdString(check.message));
    if (check.status == session::CreationStatus::NonStandardTrack) Finish();
    return;
  }
  const QString chosen = m_shell.SaveFileName(
      this,
      QString::fromStdString(compose::ProposedAlbumFileName(details.artist, details.albumTitle)),
      ToQString(kAlbumFilter));
  if (chosen.isEmpty()) return;
  const QString output = QString::fromStdString(compose::AlbumOutputName(chosen.toStdString()));
  // The dialog asked about the name it gave; a name derived from it is asked about here.
  if (output != chosen && QFileInfo::exists(output) &&
      !m_shell.AskYesNo(this, ReplaceFileQuestion(output))) {
    return;
  }
  // Only a file the user agreed to replace (here or in the save dialog) is replaced; one that
  // appears while the album is written is kept.
  const base::Replace replace =
      QFileInfo::exists(output) ? base::Replace::Allowed : base::Replace::Never;
  SetControlsEnabled(false);
  StartWrite(output, details, replace);
}

void Form2::StartWrite(const QString& output, const album::AlbumDetails& details,
                       base::Replace replace) {
  std::vector<bool> ticked;
  for (int row = 0; row < List1->count(); ++row) {
    ticked.push_back(List1->item(row)->checkState() == Qt::Checked);
  }

  ProgressBar1->setValue(0);
  ProgressBar1->show();

  // The worker gets its own copies: nothing it reads can change while it runs.
  const session::AlbumCreation creation = m_creation;
  const std::filesystem::path target = base::PathFromUtf8(output.toStdString());
  auto result = std::make_shared<album::WriteResult>();

  m_busy.emplace();
  // Only an idle window starts a work: its controls are disabled while one runs.
  (void)m_task->Start(
      [=, this](const TaskControl& control) {
        int shownMaximum = -1;
        const album::WriteProgress progress = [&control, &shownMaximum, this](int value,
                                                                              int maximum) {
          if (maximum != shownMaximum) {
            shownMaximum = maximum;
            control.Post([this, maximum] { ProgressBar1->setMaximum(maximum); });
          }
          (void)control.Report(value);
          return true;
        };
        try {
          *result = creation.Write(target, details, ticked, progress, replace);
        } catch (const std::exception& e) {
          result->status = album::WriteStatus::WriteFailed;
          result->error = std::string("Cannot Write The Album File (") + e.what() + ")";
        }
      },
      [this](int value) { ProgressBar1->setValue(value); },
      [this, result] { WriteEnded(*result); });
}

void Form2::WriteEnded(const album::WriteResult& result) {
  m_busy.reset();
  SetControlsEnabled(true);
  for (const std::string& warning : result.warnings) {
    m_shell.ShowMessage(this, QString::fromStdString(warning));
  }
  if (!result.ok()) {
    // Nothing was left behind; the details stay for another attempt.
    ProgressBar1->hide();
    m_shell.ShowMessage(this, QString::fromStdString(result.error));
    return;
  }
  m_shell.ShowMessage(this, ToQString(session::kAlbumCreatedMessage));
  Finish();
}

void Form2::SetControlsEnabled(bool enabled) {
  for (QWidget* control : std::initializer_list<QWidget*>{Text1, Text2, Text3, Text4, Text5, List1,
                                                          Command2, Command1, cmdHelp}) {
    control->setEnabled(enabled);
  }
}

void Form2::Finish() {
  SetControlsEnabled(true);
  m_contents.ClearContents();
  accept();
}

}  // namespace app
