#include "app/form3.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/artwork.h"
#include "app/backgroundtask.h"
#include "app/shell.h"
#include "base/fileio.h"
#include "session/extractionrun.h"

namespace app {
namespace {

QString Q(const std::string& text) {
  return QString::fromStdString(text);
}

// The worker's progress goes to the window as the line reached.
class ProgressToWindow final : public session::ExtractionFrontEnd {
 public:
  explicit ProgressToWindow(const TaskControl& control) : m_control(control) {}
  bool Progress(int line, int) override { return m_control.Report(line); }

 private:
  const TaskControl& m_control;
};

QLineEdit* Field(const char* name, QWidget* parent) {
  auto* field = new QLineEdit(parent);
  field->setObjectName(name);
  field->setReadOnly(true);
  return field;
}

}  // namespace

struct Form3::Outcome {
  session::ExtractionResult result;
};

Form3::Form3(Shell& shell, QWidget* parent) : WorkDialog(parent), m_shell(shell) {
  setObjectName("Form3");
  setWindowTitle(ToQString(album::kProgramTitle));
  setWindowIcon(ProgramIcon());
  setModal(true);

  Text1 = Field("Text1", this);
  Text2 = Field("Text2", this);
  Text3 = Field("Text3", this);
  Text4 = Field("Text4", this);
  Text4->setMaximumWidth(80);
  Text5 = Field("Text5", this);
  Text5->setMaximumWidth(60);
  List1 = new QListWidget(this);
  List1->setObjectName("List1");
  List1->setSelectionMode(QAbstractItemView::MultiSelection);
  Command2 = new QPushButton("Extract", this);
  Command2->setObjectName("Command2");
  Command2->setDefault(true);
  Command1 = new QPushButton("Select All", this);
  Command1->setObjectName("Command1");
  Command3 = new QPushButton("Cancel", this);
  Command3->setObjectName("Command3");
  Check1 = new QCheckBox("Delete Album After Extraction", this);
  Check1->setObjectName("Check1");
  cmdHelp = new QPushButton("Help", this);
  cmdHelp->setObjectName("cmdHelp");
  cmdHelp->setAutoDefault(false);
  ProgressBar1 = new QProgressBar(this);
  ProgressBar1->setObjectName("ProgressBar1");
  ProgressBar1->hide();

  m_commentLabel = new QLabel("Completeness :", this);
  m_commentLabel->setBuddy(Text3);
  m_yearLabel = new QLabel("Year :", this);
  m_yearLabel->setBuddy(Text4);
  auto* titleLabel = new QLabel("Album Title :", this);
  titleLabel->setBuddy(Text1);
  auto* artistLabel = new QLabel("Artist :", this);
  artistLabel->setBuddy(Text2);
  auto* tracksLabel = new QLabel("Tracks :", this);
  tracksLabel->setBuddy(Text5);

  auto* fields = new QGridLayout;
  fields->addWidget(titleLabel, 0, 0);
  fields->addWidget(Text1, 0, 1, 1, 5);
  fields->addWidget(artistLabel, 1, 0);
  fields->addWidget(Text2, 1, 1, 1, 5);
  fields->addWidget(m_commentLabel, 2, 0);
  fields->addWidget(Text3, 2, 1);
  fields->addWidget(m_yearLabel, 2, 2, Qt::AlignRight);
  fields->addWidget(Text4, 2, 3);
  fields->addWidget(tracksLabel, 2, 4, Qt::AlignRight);
  fields->addWidget(Text5, 2, 5);
  fields->setColumnStretch(1, 1);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(Command2);
  buttons->addWidget(Command1);
  buttons->addWidget(Command3);
  buttons->addStretch();
  buttons->addWidget(cmdHelp);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(fields);
  layout->addWidget(List1, 1);
  layout->addWidget(ProgressBar1);
  layout->addWidget(Check1);
  layout->addLayout(buttons);
  resize(560, 420);

  connect(Command2, &QPushButton::clicked, this, &Form3::Extract);
  connect(Command1, &QPushButton::clicked, this, &Form3::SelectAll);
  connect(Command3, &QPushButton::clicked, this, &Form3::reject);
  connect(cmdHelp, &QPushButton::clicked, this, [this] { OpenHelp(m_shell); });
}

bool Form3::Open() {
  const QString chosen = m_shell.OpenFileName(this, ToQString(kExtractFilter));
  return !chosen.isEmpty() && Open(chosen);
}

bool Form3::Open(const QString& file) {
  m_path = file;
  setWindowTitle(ToQString(kAlbumFileCaption) + QFileInfo(m_path).fileName());

  const std::filesystem::path path = base::PathFromUtf8(m_path.toStdString());
  // The opened mark goes back into the album's tag, best effort: a read-only album still opens.
  m_archive = album::OpenArchive(path, album::FileTagWriter(path));
  const album::OpenStatus status = m_archive.status;
  if (status != album::OpenStatus::Ok) {
    // A file that cannot be opened at all closes the window without a message.
    if (status == album::OpenStatus::Unsupported) {
      m_shell.ShowMessage(this, ToQString(album::kDamagedMessage));
    }
    m_archive = {};
    return false;
  }
  const album::ShownDetails& details = m_archive.details;
  Text1->setText(Q(details.title));
  Text2->setText(Q(details.artist));
  Text3->setText(Q(details.comment));
  Text4->setText(Q(details.year));
  Text5->setText(Q(album::TrackCountText(details.trackCount)));
  for (const std::string& text : m_archive.lines) {
    // Titles and names are stored padded; the padding is not shown.
    QString line = Q(text);
    while (line.endsWith(' ')) line.chop(1);
    List1->addItem(line);
  }
  if (m_archive.format == album::ArchiveFormat::AlbumWrap) {
    // An archive shows its count field as stored, not the number read from it.
    Text5->setText(QString::fromStdString(m_archive.countText));
    m_commentLabel->setText("Author :");
    m_yearLabel->hide();
    Text4->hide();
  }
  return true;
}

Form3::~Form3() {
  // The worker reads the album this window holds.
  m_task->StopAndWait();
}

void Form3::SelectAll() {
  List1->selectAll();
}

void Form3::Extract() {
  if (Busy()) return;
  std::vector<std::size_t> chosen;
  for (int row = 0; row < List1->count(); ++row) {
    if (List1->item(row)->isSelected()) chosen.push_back(static_cast<std::size_t>(row));
  }
  if (chosen.empty()) {
    m_shell.ShowMessage(this, ToQString(kNothingSelectedMessage));
    return;
  }
  const QString folder = m_shell.BrowseForFolder(this, ToQString(kExtractFolderPrompt));
  if (folder.isEmpty()) return;
  auto run = std::make_shared<session::ExtractionRun>(session::ExtractionInput{
      m_archive.source.get(), &m_archive.items, chosen, base::PathFromUtf8(folder.toStdString()),
      Check1->isChecked() ? base::PathFromUtf8(m_path.toStdString()) : std::filesystem::path()});
  // Files that were there before the run are the user's: asked about once, kept unless replaced.
  base::Replace replace = base::Replace::Never;
  if (const std::vector<std::string> existing = run->ExistingFiles(); !existing.empty()) {
    if (m_shell.AskEither(this, QString::fromStdString(session::ExistingFilesQuestion(existing)),
                          ToQString(session::kReplaceButton), ToQString(session::kKeepButton))) {
      replace = base::Replace::Allowed;
    }
  }

  m_busy.emplace();
  SetControlsEnabled(false);
  ProgressBar1->setMaximum(List1->count());
  ProgressBar1->setValue(0);
  ProgressBar1->show();

  // The worker reads the open album while this window only shows progress.
  auto outcome = std::make_shared<Outcome>();
  m_outcome = outcome;
  // Only an idle window starts a work: its controls are disabled while one runs.
  (void)m_task->Start(
      [outcome, run, replace](const TaskControl& control) {
        ProgressToWindow progress(control);
        outcome->result = run->Run(progress, replace);
      },
      [this](int done) { ProgressBar1->setValue(done); }, [this] { ExtractionEnded(); });
}

void Form3::ExtractionEnded() {
  const session::ExtractionResult result = std::move(m_outcome->result);
  m_outcome.reset();
  m_busy.reset();
  m_shell.ShowMessage(this, QString::fromStdString(result.CompletionText()));
  SetControlsEnabled(true);
  if (!Check1->isChecked() || !result.MayDeleteAlbum()) return;
  m_archive = {};
  if (!result.deleteFailure.empty()) {
    m_shell.ShowMessage(this, QString::fromStdString(result.deleteFailure));
  }
  accept();
}

void Form3::SetControlsEnabled(bool enabled) {
  for (QWidget* control :
       std::initializer_list<QWidget*>{List1, Command2, Command1, Command3, Check1, cmdHelp}) {
    control->setEnabled(enabled);
  }
}

}  // namespace app
