#include "app/form5.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFileInfo>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QSlider>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#ifdef __GLIBC__
#include <malloc.h>
#endif

#include "album/albumreader.h"
#include "app/backgroundtask.h"
#include "app/form6.h"
#include "app/mpris.h"
#include "app/shell.h"
#include "base/fileio.h"
#include "base/random.h"
#include "platform/qt/qtpictureservice.h"
#include "platform/system/folders.h"

namespace app {
namespace {

QLabel* MakeLabel(QWidget* parent, const char* name, std::string_view text) {
  auto* label = new QLabel(ToQString(text), parent);
  label->setObjectName(name);
  return label;
}

QLineEdit* MakeBox(QWidget* parent, const char* name) {
  auto* box = new QLineEdit(parent);
  box->setObjectName(name);
  box->setReadOnly(true);
  return box;
}

QToolButton* MakeButton(QWidget* parent, const char* name, QStyle::StandardPixmap icon) {
  auto* button = new QToolButton(parent);
  button->setObjectName(name);
  button->setIcon(parent->style()->standardIcon(icon));
  button->setIconSize(QSize(32, 32));
  return button;
}

// The program's settings file (~/.config/lyrabinder/lyrabinder.conf).
std::unique_ptr<QSettings> SettingsFile() {
  return std::make_unique<QSettings>("lyrabinder", "lyrabinder");
}

QString Colour(int bgr) {
  return QStringLiteral("color: #%1%2%3")
      .arg(bgr & 0xFF, 2, 16, QChar('0'))
      .arg((bgr >> 8) & 0xFF, 2, 16, QChar('0'))
      .arg((bgr >> 16) & 0xFF, 2, 16, QChar('0'));
}

// The seek menu's items, in the order the menu lists them.
struct SeekItem {
  const char* name;
  const char* caption;
  int seconds;
};
constexpr SeekItem kSeekItems[] = {
    {"fwd5", "FWD  5 s", 5},      {"fwd15", "FWD 15 s", 15},  {"fwd30", "FWD 30 s", 30},
    {"fwd1", "FWD 1 m", 60},      {"back1", "BACK 1 m", -60}, {"back30", "BACK 30  s", -30},
    {"back15", "BACK 15 s", -15}, {"back5", "BACK 5 s", -5},
};

}  // namespace

namespace {

// `wanted` moved (and shrunk where it must) into `area`.
QRect FittedInto(QRect wanted, const QRect& area) {
  wanted.setSize(wanted.size().boundedTo(area.size()));
  wanted.moveLeft(std::clamp(wanted.left(), area.left(), area.right() + 1 - wanted.width()));
  wanted.moveTop(std::clamp(wanted.top(), area.top(), area.bottom() + 1 - wanted.height()));
  return wanted;
}

}  // namespace

ClickLabel::ClickLabel(QWidget* parent) : QWidget(parent), m_label(new QLabel(this)) {
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(m_label);
  setCursor(Qt::PointingHandCursor);
}

void ClickLabel::setText(const QString& text) {
  m_label->setText(text);
}

QString ClickLabel::text() const {
  return m_label->text();
}

void ClickLabel::mouseReleaseEvent(QMouseEvent* event) {
  emit released(event->globalPosition().toPoint());
}

class Form5::QtTimer final : public player::Timer {
 public:
  explicit QtTimer(QTimer* timer) : m_timer(timer) {}
  void SetEnabled(bool enabled) override {
    if (enabled) {
      m_timer->start();
    } else {
      m_timer->stop();
    }
  }
  bool Enabled() const override { return m_timer->isActive(); }

 private:
  QTimer* m_timer;
};

struct Form5::Opening {
  std::string path;
  session::PlayerOpening result;
};

Form5::Form5(Shell& shell, QWidget* mainWindow, MediaDeviceFactory mediaDevices)
    : QWidget(nullptr), m_shell(shell), m_mainWindow(mainWindow) {
  setObjectName("Form5");
  m_task = new BackgroundTask(this);
  List1 = new QListWidget(this);
  List1->setObjectName("List1");
  Text1 = MakeBox(this, "Text1");
  Text2 = MakeBox(this, "Text2");
  Text3 = MakeBox(this, "Text3");
  Text4 = MakeBox(this, "Text4");
  Text5 = MakeBox(this, "Text5");
  Label7 = MakeLabel(this, "Label7", "Album Title :");
  Label6 = MakeLabel(this, "Label6", "Artist :");
  Label3 = MakeLabel(this, "Label3", "Completeness :");
  Label4 = MakeLabel(this, "Label4", "Year :");
  Label5 = MakeLabel(this, "Label5", "Tracks :");
  Label12 = MakeLabel(this, "Label12", "Current Song:");
  lblCurSong = MakeLabel(this, "lblCurSong", "");
  Label11 = MakeLabel(this, "Label11", player::kStoppedWord);
  QFont bold = Label11->font();
  bold.setBold(true);
  Label11->setFont(bold);
  Label8 = MakeLabel(this, "Label8", "Elapsed :");
  Label10 = new ClickLabel(this);
  Label10->setObjectName("Label10");
  Label10->setText(ToQString(kSeekCaption));
  Label2 = MakeLabel(this, "Label2", "Track Length :");
  Label9 = MakeLabel(this, "Label9", "");
  Label1 = MakeLabel(this, "Label1", "Album Length :");
  lblLengthA = MakeLabel(this, "lblLengthA", player::kPressPlay);
  Command2 = MakeButton(this, "Command2", QStyle::SP_MediaPlay);
  Command4 = MakeButton(this, "Command4", QStyle::SP_MediaPause);
  Command3 = MakeButton(this, "Command3", QStyle::SP_MediaStop);
  Command5 = MakeButton(this, "Command5", QStyle::SP_MediaVolume);
  random = new QCheckBox("Random", this);
  random->setObjectName("random");
  loop = new QCheckBox("Loop", this);
  loop->setObjectName("loop");
  cmdCUE = new QPushButton("Make *.CUE", this);
  cmdCUE->setObjectName("cmdCUE");
  cmdCUE->setToolTip(ToQString(kCueToolTip));
  cmdHelp = new QPushButton("Help", this);
  cmdHelp->setObjectName("cmdHelp");
  Command1 = new QPushButton("Close Window", this);
  Command1->setObjectName("Command1");
  Timer1 = new QTimer(this);
  Timer1->setObjectName("Timer1");
  Timer1->setInterval(player::kProgressIntervalMs);
  Timer2 = new QTimer(this);
  Timer2->setObjectName("Timer2");
  Timer2->setInterval(player::kBlinkIntervalMs);
  pop = new QMenu("nada", this);
  pop->setObjectName("pop");
  for (const SeekItem& item : kSeekItems) {
    QAction* action = pop->addAction(QString::fromLatin1(item.caption));
    action->setObjectName(item.name);
    const int seconds = item.seconds;
    connect(action, &QAction::triggered, this, [this, seconds] { m_session->Seek(seconds); });
  }

  auto* details = new QGridLayout;
  const std::pair<QLabel*, QLineEdit*> rows[] = {
      {Label7, Text1}, {Label6, Text2}, {Label3, Text3}, {Label4, Text4}, {Label5, Text5}};
  int row = 0;
  for (const auto& [label, box] : rows) {
    details->addWidget(label, row, 0);
    details->addWidget(box, row++, 1);
  }
  auto* status = new QGridLayout;
  status->addWidget(Label12, 0, 0);
  status->addWidget(lblCurSong, 0, 1, 1, 2);
  status->addWidget(Label8, 1, 0);
  status->addWidget(Label10, 1, 1);
  status->addWidget(Label11, 1, 2, Qt::AlignRight);
  status->addWidget(Label2, 2, 0);
  status->addWidget(Label9, 2, 1);
  status->addWidget(Label1, 3, 0);
  status->addWidget(lblLengthA, 3, 1);
  auto* buttons = new QHBoxLayout;
  for (QWidget* w : {static_cast<QWidget*>(Command2), static_cast<QWidget*>(Command4),
                     static_cast<QWidget*>(Command3), static_cast<QWidget*>(Command5),
                     static_cast<QWidget*>(random), static_cast<QWidget*>(loop)}) {
    buttons->addWidget(w);
  }
  buttons->addStretch();
  auto* bottom = new QHBoxLayout;
  bottom->addWidget(cmdCUE);
  bottom->addWidget(cmdHelp);
  bottom->addStretch();
  bottom->addWidget(Command1);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(details);
  layout->addWidget(List1, 1);
  layout->addLayout(status);
  layout->addLayout(buttons);
  layout->addLayout(bottom);
  resize(460, 560);

  m_progressTimer = std::make_unique<QtTimer>(Timer1);
  m_session = std::make_unique<session::PlayerSession>(*m_progressTimer, mediaDevices());
  m_session->AddObserver(*this);

  connect(Command2, &QToolButton::clicked, this, [this] { m_session->Play(); });
  connect(Command4, &QToolButton::clicked, this, [this] { m_session->Pause(); });
  connect(Command3, &QToolButton::clicked, this, [this] { m_session->Stop(); });
  connect(Command5, &QToolButton::clicked, this, &Form5::ShowVolume);
  connect(Command1, &QPushButton::clicked, this, &QWidget::close);
  connect(cmdHelp, &QPushButton::clicked, this, [this] { OpenHelp(m_shell); });
  connect(cmdCUE, &QPushButton::clicked, this, &Form5::MakeCue);
  connect(List1, &QListWidget::currentRowChanged, this,
          [this](int index) { m_session->SelectTrack(index); });
  connect(random, &QCheckBox::clicked, this, [this](bool on) { m_session->SetRandom(on); });
  connect(loop, &QCheckBox::toggled, this, [this](bool on) { m_session->SetLoop(on); });
  connect(Label10, &ClickLabel::released, this, [this](const QPoint& at) { pop->popup(at); });
  connect(Timer1, &QTimer::timeout, this, [this] { m_session->ProgressTick(); });
  connect(Timer2, &QTimer::timeout, this, [this] { m_session->BlinkTick(); });
  Timer2->start();
  DisplayChanged();
}

Form5::~Form5() {
  // The adaptor observes the session, which goes before the window's children.
  delete m_mpris;
  // Given back first: stopping would navigate it to this album's main page.
  if (Form6* viewer = Viewer()) viewer->Release();
  m_session->Stop();
  m_session.reset();
#ifdef __GLIBC__
  // What the album's playing and pages freed goes back to the system instead of staying with
  // the program until the next album: once the window's children are gone too.
  if (QCoreApplication* application = QCoreApplication::instance()) {
    const auto trim = [] { (void)malloc_trim(0); };
    QMetaObject::invokeMethod(application, trim, Qt::QueuedConnection);
  }
#endif
}

Form6* Form5::Viewer() const {
  return m_form6 && m_form6->HeldBy(this) ? m_form6.data() : nullptr;
}

Form6* Form5::Viewer(bool make) {
  if (make && !Viewer()) m_form6 = Form6::Take(this);
  return Viewer();
}

QString Form5::FirstPreview() const {
  return QString::fromStdString(m_session->FirstPreview());
}

void Form5::Load() {
  // The browser starts while the user chooses: its engine and page process take longer than
  // opening an album.
  QTimer::singleShot(0, this, [this] { Viewer(true)->PrepareBrowser(); });
  // The last album played is pre-selected, or its folder when it has gone.
  QString start = SettingsFile()->value(ToQString(kLastAlbumKey)).toString();
  if (!start.isEmpty() && !QFileInfo(start).isFile()) start = QFileInfo(start).absolutePath();
  if (!start.isEmpty() && !QFileInfo(start).exists()) start.clear();
  const QString chosen = m_shell.OpenFileName(this, ToQString(kPlayerFilter), start);
  if (chosen.isEmpty()) {
    close();
    return;
  }
  Load(chosen);
}

void Form5::Load(const QString& chosen) {
  base::SeedRandomFromClock();
  m_opening = true;
  auto opening = std::make_shared<Opening>();
  opening->path = chosen.toStdString();
  const std::string dataFolder = DataFolder().toStdString();
  (void)m_task->Start(
      [this, opening, dataFolder](const TaskControl& task) {
        platform::qt::QtPictureService pictures;
        webview::OpeningOptions options;
        options.tempFolder = platform::TempFolder();
        options.dataFolder = dataFolder;
        // The window shows the album and its state while the previews are made on this thread.
        const auto read = [this, &task, opening](const album::AlbumContents& album) {
          task.Post([this, album, path = opening->path] {
            if (!m_opening) return;
            ShowDetails(album, path);
            ShowPreviewsMessage();
            // The browser starts while the previews are made.
            if (session::ShowsViewer(album.sections)) Viewer(true)->PrepareBrowser();
          });
        };
        opening->result = session::OpenForPlaying(
            opening->path, album::FileTagWriter(base::PathFromUtf8(opening->path)), pictures,
            options, read);
      },
      {}, [this, opening] { Opened(*opening); });
}

void Form5::ShowDetails(const album::AlbumContents& album, const std::string& path) {
  const auto q = [](const std::string& text) { return QString::fromStdString(text); };
  Text1->setText(q(album.details.title));
  Text2->setText(q(album.details.artist));
  Text3->setText(q(album.details.comment));
  Text4->setText(q(album.details.year));
  Text5->setText(q(album::TrackCountText(album.details.trackCount)));
  // The player lists the song titles only.
  session::PlayerAlbum shown = session::AlbumOf(path, album);
  List1->blockSignals(true);
  List1->clear();
  for (const player::PlayerTrack& track : shown.tracks) List1->addItem(q(track.title));
  List1->blockSignals(false);
  SetVolume(SettingsFile()->value(ToQString(kVolumeKey), 100).toInt());
  m_session->Load(std::move(shown), ToQString(kSeekCaption).toStdString());
  m_detailsShown = true;
}

void Form5::ShowPreviewsMessage() {
  SetControlsEnabled(false);
  setWindowTitle(ToQString(kPreviewsCaption));
  show();
  if (!m_busyCursor) QApplication::setOverrideCursor(Qt::WaitCursor);
  m_busyCursor = true;
}

void Form5::Opened(Opening& opening) {
  m_opening = false;
  if (m_busyCursor) QApplication::restoreOverrideCursor();
  m_busyCursor = false;
  if (m_closeRequested) {
    close();
    return;
  }
  const session::PlayerOpening& result = opening.result;
  if (result.Damaged()) {
    m_shell.ShowMessage(this, ToQString(album::kDamagedMessage));
    close();
    return;
  }
  // Any other failure of the opening closes the player without a word.
  if (!result.ok()) {
    close();
    return;
  }
  if (!m_detailsShown) ShowDetails(result.album, opening.path);
  m_session->SetWebView(result.web.details, result.web.folder, result.web.pictureNames);
  m_cue = webview::CueInputFor(opening.path, result.web.details, result.album.tracks);
  m_showViewer = session::ShowsViewer(result.album.sections);
  (void)Viewer(true);
  SettingsFile()->setValue(ToQString(kLastAlbumKey), QString::fromStdString(opening.path));

  SetControlsEnabled(true);
  const QString fileName = QFileInfo(QString::fromStdString(opening.path)).fileName();
  setWindowTitle(ToQString(kAlbumCaptionPrefix) + fileName);
  m_ready = true;
  show();
  if (m_mainWindow && !m_mainWindowPosition) {
    // Kept, so that the main window comes back where it was (window managers may re-place it).
    m_mainWindowPosition = m_mainWindow->pos();
    m_mainWindow->hide();
  }
  LayOut();
  // The web view shows the current page (the player was loaded before it existed), once
  // placed: each navigation starts the page's load anew.
  PageChanged();
  m_mpris = new Mpris(*m_session, *this);
  emit opened();
}

void Form5::SetControlsEnabled(bool enabled) {
  for (QWidget* child : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    child->setEnabled(enabled);
  }
}

QRect Form5::ScreenArea() const {
  const QScreen* shown = screen() ? screen() : QGuiApplication::primaryScreen();
  return shown ? shown->availableGeometry() : QRect();
}

void Form5::LayOut() {
  Form6* viewer = Viewer();
  if (m_ready && viewer && m_showViewer && viewer->HasBrowser()) viewer->show();
  // At the left edge, as tall as the screen lets it be seen whole.
  const QRect area = ScreenArea();
  const QRect frame = frameGeometry();
  if (area.isValid()) {
    move(area.left(), FittedInto(frame, area).top());
  } else {
    move(0, y());
  }
  PlaceViewer();
}

void Form5::PlaceViewer() {
  Form6* viewer = Viewer();
  if (!m_ready || !viewer || !viewer->isVisible()) return;
  // Beside the player with the same top, shrunk to what the screen has to its right.
  const QRect frame = frameGeometry();
  const QSize decoration = viewer->frameGeometry().size() - viewer->size();
  QRect wanted(QPoint(frame.right() + 1, frame.top()), viewer->frameGeometry().size());
  const QRect area = ScreenArea();
  if (area.isValid()) {
    QRect right = area;
    right.setLeft(std::min(frame.right() + 1, area.right()));
    wanted = FittedInto(wanted, right);
  }
  if (wanted.size() != viewer->frameGeometry().size()) viewer->resize(wanted.size() - decoration);
  viewer->move(wanted.topLeft());
}

void Form5::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (m_ready || !m_placed) LayOut();
  m_placed = true;
}

void Form5::moveEvent(QMoveEvent* event) {
  QWidget::moveEvent(event);
  // A window manager places a new window late: the viewer follows the player.
  if (isVisible()) PlaceViewer();
}

void Form5::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  if (m_ready && isVisible()) LayOut();
}

void Form5::SelectionChanged(int index) {
  List1->blockSignals(true);
  List1->setCurrentRow(index);
  List1->blockSignals(false);
}

void Form5::PageChanged() {
  // Before its web folder is known (the album is read, its view not written yet) the viewer
  // has no page of this album to show.
  if (Form6* viewer = Viewer(); viewer && !WebFolder().empty()) {
    viewer->ShowPage(QString::fromStdString(WebFolder()),
                     QString::fromStdString(m_session->Rules().WebPageName()));
  }
}

void Form5::DisplayChanged() {
  if (!m_session) return;
  const player::PlayerTexts& texts = m_session->Rules().Texts();
  Label11->setText(QString::fromStdString(texts.state));
  Label11->setStyleSheet(Colour(texts.stateColour));
  Label10->setText(QString::fromStdString(texts.elapsed));
  Label9->setText(QString::fromStdString(texts.trackLength));
  lblLengthA->setText(QString::fromStdString(texts.albumLength));
  lblCurSong->setText(QString::fromStdString(texts.currentSong));
  // The desktop's media controls may switch Loop and Random too.
  for (const auto& [box, on] :
       {std::pair{random, m_session->Random()}, std::pair{loop, m_session->Loop()}}) {
    if (box->isChecked() == on) continue;
    box->blockSignals(true);
    box->setChecked(on);
    box->blockSignals(false);
  }
}

void Form5::PlayFailed() {
  // The album went bad under the player (cut short, overwritten, unreadable) or holds no audio.
  m_shell.ShowMessage(this, ToQString(album::kDamagedMessage));
}

void Form5::MakeCue() {
  const webview::CueResult result = webview::WriteCueSheet(
      m_session->Album().path, m_cue,
      [this](std::string_view question) { return m_shell.AskYesNo(this, ToQString(question)); });
  switch (result.status) {
    case webview::CueStatus::Written:
      m_shell.ShowMessage(this, ToQString(webview::kCueCreatedMessage));
      break;
    case webview::CueStatus::CannotWrite:
      m_shell.ShowMessage(this, QString::fromStdString(result.error));
      break;
    case webview::CueStatus::NoAlbum:
    case webview::CueStatus::Declined:
      break;
  }
}

void Form5::PlayEntry(int index) {
  if (m_ready) m_session->PlayEntry(index);
}

void Form5::SetVolume(int percent) {
  m_session->SetVolume(percent);
}

void Form5::VolumeChanged() {
  const int percent = m_session->Volume();
  if (m_volumeSlider && m_volumeSlider->value() != percent) m_volumeSlider->setValue(percent);
  SettingsFile()->setValue(ToQString(kVolumeKey), percent);
}

void Form5::ShowVolume() {
  if (!m_volumePopup) {
    m_volumePopup = new QWidget(this, Qt::Popup);
    m_volumePopup->setObjectName("VolumePopup");
    m_volumeSlider = new QSlider(Qt::Vertical, m_volumePopup);
    m_volumeSlider->setObjectName("VolumeSlider");
    m_volumeSlider->setRange(0, 100);
    m_volumeSlider->setValue(m_session->Volume());
    auto* layout = new QVBoxLayout(m_volumePopup);
    layout->addWidget(m_volumeSlider);
    m_volumePopup->resize(40, 140);
    connect(m_volumeSlider, &QSlider::valueChanged, this, &Form5::SetVolume);
  }
  // Below the button where the screen has room, else above it.
  const QPoint below = Command5->mapToGlobal(QPoint(0, Command5->height()));
  QRect wanted(below, m_volumePopup->size());
  const QRect area = ScreenArea();
  if (area.isValid()) {
    if (wanted.bottom() > area.bottom()) {
      wanted.moveBottom(Command5->mapToGlobal(QPoint(0, 0)).y() - 1);
    }
    wanted = FittedInto(wanted, area);
  }
  m_volumePopup->move(wanted.topLeft());
  m_volumePopup->show();
}

void Form5::closeEvent(QCloseEvent* event) {
  // The opening runs on: the window closes when it has ended.
  if (m_opening) {
    m_closeRequested = true;
    event->ignore();
    return;
  }
  m_session->Stop();
  delete m_mpris;
  m_mpris = nullptr;
  if (Form6* viewer = Viewer()) viewer->Release();
  if (m_mainWindow && m_mainWindowPosition) {
    m_mainWindow->move(*m_mainWindowPosition);
    m_mainWindow->show();
  } else if (m_mainWindow) {
    m_mainWindow->show();
  }
  QWidget::closeEvent(event);
}

}  // namespace app
