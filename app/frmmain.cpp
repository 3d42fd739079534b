#include "app/frmmain.h"

#include <QApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include "album/albumformat.h"
#include "album/archive.h"
#include "app/artwork.h"
#include "app/form1.h"
#include "app/form3.h"
#include "app/form4.h"
#include "app/shell.h"
#include "session/mp3encoder.h"

namespace app {
namespace {

constexpr std::string_view kCreditText = "Your tracks, lyrics and album art, bound into one MP3.";
constexpr int kButtonPictureSize = 48;
constexpr int kPlayFrameMs = 160;

QToolButton* BigButton(QWidget* parent, const char* name, std::string_view caption,
                       const QPixmap& picture) {
  auto* button = new QToolButton(parent);
  button->setObjectName(name);
  button->setText(ToQString(caption));
  button->setIcon(picture);
  button->setIconSize(QSize(kButtonPictureSize, kButtonPictureSize));
  button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
  button->setMinimumSize(116, 96);
  button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  return button;
}

}  // namespace

frmMain::frmMain(Shell& shell, PlayerLoader player, QWidget* parent)
    : QWidget(parent), m_shell(shell), m_loadPlayer(player) {
  setObjectName("frmMain");
  setWindowTitle(ToQString(kMainCaption));

  Image1 = new QLabel(this);
  Image1->setObjectName("Image1");
  Image1->setPixmap(LogoPicture(88));

  // The name twice, one over the other: the lower copy is the shadow.
  auto* title = new QWidget(this);
  QFont titleFont = font();
  titleFont.setPointSizeF(titleFont.pointSizeF() * 2.2);
  titleFont.setBold(true);
  Label2 = new QLabel(ToQString(album::kProgramTitle), title);
  Label2->setObjectName("Label2");
  Label2->setFont(titleFont);
  Label2->setStyleSheet("color: #b8b2a2;");
  Label1 = new QLabel(ToQString(album::kProgramTitle), title);
  Label1->setObjectName("Label1");
  Label1->setFont(titleFont);
  Label1->setStyleSheet("color: #1d3b5c;");
  const QSize titleSize = Label1->sizeHint();
  Label2->setGeometry(2, 2, titleSize.width(), titleSize.height());
  Label1->setGeometry(0, 0, titleSize.width(), titleSize.height());
  title->setFixedSize(titleSize + QSize(2, 2));

  lblVersion = new QLabel("v" LB_VERSION, this);
  lblVersion->setObjectName("lblVersion");
  lblVersion->setAlignment(Qt::AlignRight | Qt::AlignBottom);

  Label3 = new QLabel(ToQString(kCreditText), this);
  Label3->setObjectName("Label3");

  Label4 = new QLabel(this);
  Label4->setObjectName("Label4");
  Label4->setText("<a href=\"mailto\">" + ToQString(kAuthorMail) + "</a>");
  Label4->setTextInteractionFlags(Qt::LinksAccessibleByMouse);
  Label4->setCursor(Qt::PointingHandCursor);
  connect(Label4, &QLabel::linkActivated, this, [this] { OpenMail(m_shell); });

  cmdHelp = new QPushButton("Help", this);
  cmdHelp->setObjectName("cmdHelp");
  Command5 = BigButton(this, "Command5", " .wav --> .mp3", ButtonPixmap(ButtonPicture::Encode, 64));
  Command4 = BigButton(this, "Command4", "Play Album", PlayFrame(0, 64));
  Command3 =
      BigButton(this, "Command3", "Extract Item(s)", ButtonPixmap(ButtonPicture::ExtractItems, 64));
  Command3->setToolTip("Can Extract From AlbumWrap Archives Too !");
  Command2 =
      BigButton(this, "Command2", "Create Album", ButtonPixmap(ButtonPicture::CreateAlbum, 64));
  Command1 = BigButton(this, "Command1", "Exit", QPixmap());
  Command1->setToolButtonStyle(Qt::ToolButtonTextOnly);

  auto* heading = new QVBoxLayout;
  auto* nameRow = new QHBoxLayout;
  nameRow->addWidget(title);
  nameRow->addWidget(lblVersion);
  nameRow->addStretch();
  heading->addStretch();
  heading->addLayout(nameRow);
  heading->addWidget(Label3);
  heading->addStretch();
  auto* top = new QHBoxLayout;
  top->addWidget(Image1);
  top->addSpacing(12);
  top->addLayout(heading, 1);

  auto* buttons = new QHBoxLayout;
  for (QToolButton* button : {Command2, Command4, Command3, Command5, Command1}) {
    buttons->addWidget(button);
  }

  auto* bottom = new QHBoxLayout;
  bottom->addWidget(Label4);
  bottom->addStretch();
  bottom->addWidget(cmdHelp);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addSpacing(8);
  layout->addLayout(buttons);
  layout->addSpacing(4);
  layout->addLayout(bottom);

  // The control order of the window.
  setTabOrder(cmdHelp, Command5);
  setTabOrder(Command5, Command4);
  setTabOrder(Command4, Command3);
  setTabOrder(Command3, Command2);
  setTabOrder(Command2, Command1);

  connect(cmdHelp, &QPushButton::clicked, this, [this] { OpenHelp(m_shell); });
  connect(Command5, &QToolButton::clicked, this, &frmMain::OpenEncoderWindow);
  connect(Command4, &QToolButton::clicked, this, [this] { OpenPlayer(); });
  connect(Command3, &QToolButton::clicked, this, [this] { OpenExtractionWindow(); });
  connect(Command2, &QToolButton::clicked, this, &frmMain::OpenContentsWindow);
  connect(Command1, &QToolButton::clicked, this, &QWidget::close);
  auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  connect(escape, &QShortcut::activated, Command1, &QToolButton::click);

  m_playAnimation = new QTimer(this);
  m_playAnimation->setInterval(kPlayFrameMs);
  connect(m_playAnimation, &QTimer::timeout, this,
          [this] { Command4->setIcon(PlayFrame(++m_playFrame, 64)); });
  m_playAnimation->start();
}

frmMain::~frmMain() = default;

bool frmMain::event(QEvent* event) {
  // The program's icon, drawn in seven sizes up to 256 px and sent to the display, follows the
  // window's first paint rather than holding it up.
  if (event->type() == QEvent::Paint && m_iconPending) {
    m_iconPending = false;
    QTimer::singleShot(0, this, [this] { setWindowIcon(ProgramIcon()); });
  }
  return QWidget::event(event);
}

Form1* frmMain::ContentsWindow() const {
  return m_form1;
}

void frmMain::OpenContentsWindow() {
  if (m_form1) {
    m_form1->raise();
    return;
  }
  m_form1 = new Form1(m_shell, this);
  m_form1->setAttribute(Qt::WA_DeleteOnClose);
  m_form1->show();
}

void frmMain::OpenExtractionWindow(const QString& file) {
  Form3 extraction(m_shell, this);
  if (file.isEmpty() ? extraction.Open() : extraction.Open(file)) extraction.exec();
}

void frmMain::OpenPlayer(const QString& album) {
  if (!m_playerModule) {
    std::string error;
    m_playerModule = m_loadPlayer(error);
    if (!m_playerModule) {
      m_shell.ShowMessage(this, QString::fromStdString(error));
      return;
    }
  }
  m_player = m_playerModule->open(m_shell, this, album);
}

void frmMain::OpenFile(const QString& file) {
  // A modal window keeps the user's work: it comes to the front and the file is passed over.
  // A player gives way to the new file unless it is still opening its own.
  QWidget* busy = QApplication::activeModalWidget();
  if (!busy && m_player && (m_playerModule->isOpening(m_player) || !m_player->close())) {
    busy = m_player;
  }
  if (busy) {
    busy->raise();
    busy->activateWindow();
    return;
  }
  raise();
  activateWindow();
  const auto format = album::ArchiveFormatOf(base::PathFromUtf8(file.toStdString()));
  if (!format) {
    m_shell.ShowMessage(this, ToQString(album::kDamagedMessage));
  } else if (*format == album::ArchiveFormat::Album) {
    OpenPlayer(file);
  } else {
    OpenExtractionWindow(file);
  }
}

void frmMain::OpenEncoderWindow() {
  if (!m_encoder) m_encoder = session::CreateWavpressEncoder();
  Form4 encoder(m_shell, *m_encoder, this);
  encoder.exec();
}

}  // namespace app
