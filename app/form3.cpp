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

#include "album/extraction.h"
#include "app/artwork.h"
#include "app/backgroundtask.h"
#include "app/shell.h"
#include "base/fileio.h"

namespace app {
namespace {

// The detail boxes and the item list as the album reader fills them.
class FieldsDisplay final : public album::AlbumDisplay {
 public:
  FieldsDisplay(QLineEdit* title, QLineEdit* artist, QLineEdit* comment, QLineEdit* year,
                QLineEdit* tracks, QListWidget* list)
      : m_title(title),
        m_artist(artist),
        m_comment(comment),
        m_year(year),
        m_tracks(tracks),
        m_list(list) {}
  void ShowAlbumTitle(const std::string& text) override { m_title->setText(Q(text)); }
  void ShowArtist(const std::string& text) override { m_artist->setText(Q(text)); }
  void ShowComment(const std::string& text) override { m_comment->setText(Q(text)); }
  void ShowYear(const std::string& text) override { m_year->setText(Q(text)); }
  void ShowTrackCount(int count) override { m_tracks->setText(Q(album::TrackCountText(count))); }
  // Titles and names are stored padded; the padding is not shown.
  void AddListItem(const std::string& text) override {
    QString line = Q(text);
    while (line.endsWith(' ')) line.chop(1);
    m_list->addItem(line);
  }

 private:
  static QString Q(const std::string& text) { return QString::fromStdString(text); }
  QLineEdit* m_title;
  QLineEdit* m_artist;
  QLineEdit* m_comment;
  QLineEdit* m_year;
  QLineEdit* m_tracks;
  QListWidget* m_list;
};

QLineEdit* Field(const char* name, QWidget* parent) {
  auto* field = new QLineEdit(parent);
  field->setObjectName(name);
  field->setReadOnly(true);
  return field;
}

}  // namespace

struct Form3::Outcome {
  album::ExtractionResult result;
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

  FieldsDisplay display(Text1, Text2, Text3, Text4, Text5, List1);
  const std::filesystem::path path = base::PathFromUtf8(m_path.toStdString());
  std::string error;
  // The opened mark goes back into the album's tag, best effort: a read-only album still opens.
  const album::OpenStatus status =
      album::OpenArchive(path, display, album::FileTagWriter(path), m_archive, error);
  if (status != album::OpenStatus::Ok) {
    // A file that cannot be opened at all closes the window without a message.
    if (status == album::OpenStatus::Unsupported) {
      m_shell.ShowMessage(this, ToQString(album::kDamagedMessage));
    }
    m_archive = {};
    return false;
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
  std::vector<bool> selected;
  bool any = false;
  for (int row = 0; row < List1->count(); ++row) {
    selected.push_back(List1->item(row)->isSelected());
    any = any || selected.back();
  }
  if (!any) {
    m_shell.ShowMessage(this, ToQString(kNothingSelectedMessage));
    return;
  }
  const QString folder = m_shell.BrowseForFolder(this, ToQString(kExtractFolderPrompt));
  if (folder.isEmpty()) return;
  const std::filesystem::path target = base::PathFromUtf8(folder.toStdString());
  // Files that were there before the run are the user's: asked about once, kept unless replaced.
  base::Replace replace = base::Replace::Never;
  const std::vector<std::string> existing =
      album::ExistingTargets(*m_archive.source, m_archive.items, selected, target);
  if (!existing.empty()) {
    QString question = ToQString(album::kExistingFilesQuestion) + "\n";
    for (const std::string& name : existing) question += "\n" + QString::fromStdString(name);
    if (m_shell.AskEither(this, question, ToQString(album::kReplaceButton),
                          ToQString(album::kKeepButton))) {
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
  base::ByteSource* source = m_archive.source.get();
  const std::vector<album::ArchiveItem> items = m_archive.items;
  // Only an idle window starts a work: its controls are disabled while one runs.
  (void)m_task->Start(
      [outcome, source, items, selected, target, replace](const TaskControl& control) {
        outcome->result = album::ExtractSelected(
            *source, items, selected, target,
            [&control](int done, int) { return control.Report(done); }, replace);
      },
      [this](int done) { ProgressBar1->setValue(done); }, [this] { ExtractionEnded(); });
}

void Form3::ExtractionEnded() {
  const album::ExtractionResult result = std::move(m_outcome->result);
  m_outcome.reset();
  m_busy.reset();
  m_shell.ShowMessage(
      this, QString::fromStdString(album::ExtractionCompletionText(result, Check1->isChecked())));
  SetControlsEnabled(true);
  if (!Check1->isChecked() || !album::MayDeleteAlbum(result)) return;
  m_archive = {};
  std::error_code error;
  if (!std::filesystem::remove(base::PathFromUtf8(m_path.toStdString()), error)) {
    m_shell.ShowMessage(
        this, "Cannot Delete " + QFileInfo(m_path).fileName() + " : " +
                  QString::fromStdString(error ? error.message() : std::string("No such file")));
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
