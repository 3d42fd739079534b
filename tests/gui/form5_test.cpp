// The album player and its web view window, offscreen, on an album made by the command line;
// the desktop's media controls through dbus-send on a private session bus.
#include <QAction>
#include <QDBusConnection>
#include <QMenu>
#include <QScreen>
#include <QSlider>
#include <QWebEnginePage>
#include <QWebEngineView>

#include "app/form5.h"
#include "app/form6.h"
#include "app/frmmain.h"
#include "app/mpris.h"
#include "base/timetext.h"
#include "tests/gui/guisupport.h"

using namespace guitest;

namespace {

constexpr int kOpenTimeoutMs = 60000;
// The first track's 60 frames of 1152 samples at 44100 Hz.
constexpr int kFirstTrackMs = (60 * 1152 * 1000 + 22050) / 44100;

// A program run while the event loop goes on, so that it may call back into this process.
QString RunAsync(const QString& program, const QStringList& arguments) {
  QProcess process;
  process.setProcessChannelMode(QProcess::MergedChannels);
  process.start(program, arguments);
  if (!process.waitForStarted(10000)) return "cannot start " + program + " (Debian package dbus)";
  (void)QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, 30000);
  return QString::fromUtf8(process.readAll());
}

QString DbusSend(const QString& method, const QStringList& more = {}) {
  QStringList arguments{"--session", "--print-reply",
                        "--dest=" + app::ToQString(app::kMprisService),
                        app::ToQString(app::kMprisPath), method};
  return RunAsync("dbus-send", arguments + more);
}

// Runs `act` each time the watched window's title changes.
struct TitleWatch : QObject {
  std::function<void()> act;
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::WindowTitleChange) act();
    return false;
  }
};

// `inner` lies wholly on the screen's available area.
bool OnScreen(const QRect& inner) {
  return QGuiApplication::primaryScreen()->availableGeometry().contains(inner);
}

}  // namespace

// The playback states the player published on the bus, in order.
class StatusLog : public QObject {
  Q_OBJECT

 public:
  QStringList statuses;

 public slots:
  void Changed(const QString&, const QVariantMap& changed, const QStringList&) {
    if (changed.contains("PlaybackStatus")) statuses += changed["PlaybackStatus"].toString();
  }
};

class Form5Test : public QObject {
  Q_OBJECT

  testsupport::ScopedTempDir m_dir;
  QString m_album;

  struct Player {
    FakeShell shell;
    app::frmMain mainWindow{shell, app::LinkedPlayer};
    QPointer<app::Form5> form;
    // "Play Album" on the main window, with `album` chosen in the open dialog.
    explicit Player(const QString& album) {
      mainWindow.move(123, 77);
      mainWindow.show();
      shell.openAnswers.push_back(album);
      const QWidgetList before = QApplication::topLevelWidgets();
      Click(&mainWindow, "Command4");
      for (QWidget* top : QApplication::topLevelWidgets()) {
        if (!before.contains(top) && qobject_cast<app::Form5*>(top))
          form = qobject_cast<app::Form5*>(top);
      }
    }
    ~Player() { delete form; }
    template <typename T>
    T* Get(const char* name) {
      return Control<T>(form, name);
    }
    QString Text(const char* name) {
      if (auto* label = Get<QLabel>(name)) return label->text();
      if (auto* box = Get<QLineEdit>(name)) return box->text();
      return Get<app::ClickLabel>(name)->text();
    }
    QStringList Texts(std::initializer_list<const char*> names) {
      QStringList texts;
      for (const char* name : names) texts += Text(name);
      return texts;
    }
  };

 private slots:
  void initTestCase() {
    // Three tracks with lyrics for the first and two pictures, made by the command line.
    const auto album = m_dir / "Band - Record _LB.MP3";
    std::string command = Quote(LB_CLI) + " create -o " + Quote(album) +
                          " --title Record --artist Band --year 2001 --force";
    WriteText(m_dir / "01 - Song 1.txt", "Song 1\r\nla la la\r\n");
    for (int i = 1; i <= 3; ++i) {
      const auto track =
          m_dir / ("0" + std::to_string(i) + " - Song " + std::to_string(i) + ".mp3");
      WriteTrack(track, 40 + 20 * static_cast<std::size_t>(i));
      command += " " + Quote(track) + (i == 1 ? " " + Quote(m_dir / "01 - Song 1.txt") : "");
    }
    WritePicture(m_dir / "front.jpg", 600, 600);
    WritePicture(m_dir / "back.jpg", 300, 200);
    command += " " + Quote(m_dir / "front.jpg") + " " + Quote(m_dir / "back.jpg");
    std::string output;
    QVERIFY2(RunCommand(command, &output) == 0, output.c_str());
    m_album = Q(album);
  }

  void fileGivenToTheProgramOpensThePlayer() {
    FakeShell shell;
    app::frmMain mainWindow(shell, app::LinkedPlayer);
    mainWindow.show();
    const QWidgetList before = QApplication::topLevelWidgets();
    mainWindow.OpenFile(m_album);
    QPointer<app::Form5> form;
    for (QWidget* top : QApplication::topLevelWidgets()) {
      if (!before.contains(top) && qobject_cast<app::Form5*>(top))
        form = qobject_cast<app::Form5*>(top);
    }
    // The first opening makes the previews: the album is shown, busy, before they start.
    QStringList duringPreviews;
    TitleWatch watch;
    watch.act = [&] {
      if (form->windowTitle() != "Please Wait Creating Graphics Previews !") return;
      duringPreviews = TextsOf(form, {"Text1", "Text4", "Label9"}) +
                       Trimmed(Texts(Control<QListWidget>(form, "List1"))) +
                       EnabledOf(form, {"Command1", "Command2", "List1"});
    };
    form->installEventFilter(&watch);
    QTRY_VERIFY_WITH_TIMEOUT(form && form->Ready(), kOpenTimeoutMs);
    QCOMPARE(duringPreviews,
             QStringList({"Record", "2001",
                          QString::fromStdString(base::FormatSeconds(kFirstTrackMs / 1000.0)),
                          "Song 1", "Song 2", "Song 3"}));
    QVERIFY(shell.openFilters.isEmpty());
    QCOMPARE(form->windowTitle(), QString("Album File : Band - Record _LB.MP3"));
    QVERIFY(mainWindow.isHidden());
    form->close();
    QTRY_VERIFY(form == nullptr);
    QVERIFY(mainWindow.isVisible());
  }

  void openingFillsTheWindowAndShowsTheViewer() {
    Player player(m_album);
    QTRY_VERIFY_WITH_TIMEOUT(player.form && player.form->Ready(), kOpenTimeoutMs);
    QCOMPARE(player.shell.openFilters, QStringList{"MP3 Lyrabinder (*_LB.MP3*)|*_lb.mp3"});
    QCOMPARE(player.Texts({"Text1", "Text4", "Label9", "lblLengthA", "Label11", "Label10"}),
             QStringList({"Record", "2001",
                          QString::fromStdString(base::FormatSeconds(kFirstTrackMs / 1000.0)),
                          "Press Play", "STOPPED", "(Click) FF - RWD ..."}));
    QCOMPARE(Trimmed(player.Texts({"Text2", "Text5"})), QStringList({"Band", "3"}));
    QCOMPARE(Trimmed(Texts(player.Get<QListWidget>("List1"))),
             QStringList({"Song 1", "Song 2", "Song 3"}));
    QCOMPARE(player.Get<QListWidget>("List1")->currentRow(), 0);
    QCOMPARE(player.form->windowTitle(), QString("Album File : Band - Record _LB.MP3"));
    QCOMPARE(player.Get<QPushButton>("cmdCUE")->toolTip(),
             QString("Usable In Some Players Like WinAmp With MP3Cue Plugin."));
    QVERIFY(player.Get<QPushButton>("Command1")->isEnabled());
    QVERIFY(player.form->isVisible() && player.mainWindow.isHidden());

    const QPointer<app::Form6> viewer = player.form->Viewer();
    QVERIFY(viewer != nullptr);
    QCOMPARE(viewer->windowTitle(), QString("MP3 - Lyrabinder - Viewer"));
    QVERIFY(viewer->isVisible());
    // The player at the left edge, the viewer beside it with the same top, both on screen.
    const QRect frame = player.form->frameGeometry();
    QCOMPARE(frame.left(), 0);
    QCOMPARE(viewer->frameGeometry().topLeft(), QPoint(frame.right() + 1, frame.top()));
    QVERIFY(OnScreen(frame) && OnScreen(viewer->frameGeometry()));
    QVERIFY(viewer->NavigatedUrl().toLocalFile().endsWith("/MP3 - LyrabinderWeb.htm"));
    // The engine really runs: the frameset loads with its two frames.
    const QPointer<QWebEngineView> browser = viewer->findChild<QWebEngineView*>("wcIE");
    QVERIFY(browser != nullptr);
    QCOMPARE(browser->size(), viewer->size());
    int frames = 0;
    QElapsedTimer waited;
    waited.start();
    while (frames != 2 && viewer->HasBrowser() && waited.elapsed() < 30000) {
      browser->page()->runJavaScript("document.getElementsByTagName('frame').length",
                                     [&frames](const QVariant& value) { frames = value.toInt(); });
      QTest::qWait(200);
    }
    QVERIFY2(viewer->HasBrowser(), "Qt WebEngine could not start");
    QCOMPARE(frames, 2);

    QStringList seekItems;
    for (QAction* action : player.Get<QMenu>("pop")->actions()) seekItems += action->text();
    QCOMPARE(seekItems, QStringList({"FWD  5 s", "FWD 15 s", "FWD 30 s", "FWD 1 m", "BACK 1 m",
                                     "BACK 30  s", "BACK 15 s", "BACK 5 s"}));

    player.Get<QPushButton>("cmdHelp")->click();
    QCOMPARE(player.shell.openedDocuments, QList<QUrl>{QUrl::fromLocalFile(app::HelpPagePath())});

    player.Get<QPushButton>("cmdCUE")->click();
    QCOMPARE(player.shell.messages, QStringList{"CUE File created."});
    const auto cue = m_dir / "Band - Record _LB.cue";
    QVERIFY(std::filesystem::exists(cue));
    player.shell.yesNoAnswers.push_back(false);
    player.Get<QPushButton>("cmdCUE")->click();
    QCOMPARE(player.shell.questions,
             QStringList{"A CUE sheet already exists for this file,\r\nReplace it ?"});
    QCOMPARE(player.shell.messages.size(), 1);
    std::filesystem::remove(cue);

    player.Get<QPushButton>("Command1")->click();
    QTRY_VERIFY(player.form == nullptr);
    QVERIFY(player.mainWindow.isVisible());
    QCOMPARE(player.mainWindow.pos(), QPoint(123, 77));
    QVERIFY(viewer && viewer->isHidden());

    // Later players show their album in the same browser and page process, also while a closed
    // one is still to be deleted.
    const qint64 process = browser->page()->renderProcessPid();
    Player again(m_album);
    QTRY_VERIFY_WITH_TIMEOUT(again.form && again.form->Ready(), kOpenTimeoutMs);
    again.form->setAttribute(Qt::WA_DeleteOnClose, false);
    again.form->close();
    Player third(m_album);
    QTRY_VERIFY_WITH_TIMEOUT(third.form && third.form->Ready(), kOpenTimeoutMs);
    delete again.form;
    QCOMPARE(third.form->Viewer(), viewer.data());
    QVERIFY(viewer->isVisible() && browser);
    QVERIFY(viewer->NavigatedUrl().toLocalFile().endsWith("/MP3 - LyrabinderWeb.htm"));
    QTRY_COMPARE(browser->url(), viewer->NavigatedUrl());
    QCOMPARE(browser->page()->renderProcessPid(), process);
  }

  void closingDuringTheOpeningClosesWhenItEnds() {
    {
      // A file handed over meanwhile leaves the opening player alone.
      Player player(m_album);
      QVERIFY(player.form && player.form->IsOpening());
      player.mainWindow.OpenFile(m_album);
      QTRY_VERIFY_WITH_TIMEOUT(player.form && player.form->Ready(), kOpenTimeoutMs);
    }
    Player player(m_album);
    QVERIFY(player.form && player.form->IsOpening());
    QVERIFY(!player.form->close());
    QTRY_VERIFY_WITH_TIMEOUT(player.form == nullptr, kOpenTimeoutMs);
    QVERIFY(player.mainWindow.isVisible());
    QVERIFY(player.shell.messages.isEmpty());
    QCOMPARE(player.mainWindow.pos(), QPoint(123, 77));
  }

  void playPauseStopDriveTheLabelsAndTheViewer() {
    Player player(m_album);
    QTRY_VERIFY_WITH_TIMEOUT(player.form && player.form->Ready(), kOpenTimeoutMs);
    player.Get<QAbstractButton>("Command2")->click();
    QCOMPARE(player.Text("Label11"), QString("PLAYING"));
    QCOMPARE(player.Text("lblCurSong").trimmed(), QString("Song 1"));
    QVERIFY(player.Text("lblLengthA") != "Press Play");
    QVERIFY(player.form->Viewer()->NavigatedUrl().toLocalFile().endsWith("/dynamic1.htm"));
    QVERIFY(player.Get<QTimer>("Timer1")->isActive());
    // The elapsed time comes with the first tick.
    QTRY_VERIFY(player.Text("Label10").startsWith("00:"));

    player.Get<QAbstractButton>("Command4")->click();
    QCOMPARE(player.Text("Label11"), QString("PAUSED"));
    QVERIFY(!player.Get<QTimer>("Timer1")->isActive());

    // Minimised, the viewer skips the navigation and catches up when restored.
    app::Form6* viewer = player.form->Viewer();
    viewer->showMinimized();
    player.Get<QAbstractButton>("Command3")->click();
    QCOMPARE(player.Texts({"Label11", "lblCurSong"}), QStringList({"STOPPED", ""}));
    QVERIFY(viewer->NavigatedUrl().toLocalFile().endsWith("/dynamic1.htm"));
    viewer->showNormal();
    QTRY_VERIFY(viewer->NavigatedUrl().toLocalFile().endsWith("/MP3 - LyrabinderWeb.htm"));

    // The state word blinks red and green.
    const QString before = player.Get<QLabel>("Label11")->styleSheet();
    QTRY_VERIFY_WITH_TIMEOUT(player.Get<QLabel>("Label11")->styleSheet() != before, 5000);

    // The player works on when the browser fails; the viewer stays hidden.
    auto* browser = viewer->findChild<QWebEngineView*>("wcIE");
    QVERIFY(browser != nullptr);
    emit browser->page()->renderProcessTerminated(QWebEnginePage::CrashedTerminationStatus, 1);
    QVERIFY(!viewer->HasBrowser());
    QVERIFY(viewer->isHidden());
    player.Get<QAbstractButton>("Command2")->click();
    QCOMPARE(player.Text("Label11"), QString("PLAYING"));
    QVERIFY(viewer->isHidden());
    player.Get<QAbstractButton>("Command3")->click();
    QCOMPARE(player.Text("Label11"), QString("STOPPED"));
  }

  void volumeIsRememberedBetweenRuns() {
    {
      Player player(m_album);
      QTRY_VERIFY_WITH_TIMEOUT(player.form && player.form->Ready(), kOpenTimeoutMs);
      // The popup opens where it is seen whole, low as the player sits.
      const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
      player.form->move(0, area.bottom() + 1 - player.form->frameGeometry().height());
      player.Get<QAbstractButton>("Command5")->click();
      QSlider* slider = player.form->VolumeSlider();
      QVERIFY(slider != nullptr);
      QVERIFY(OnScreen(player.form->frameGeometry()));
      QVERIFY(OnScreen(slider->window()->frameGeometry()));
      QCOMPARE(slider->value(), 100);
      slider->setValue(40);
      QCOMPARE(player.form->Volume(), 40);
    }
    Player again(m_album);
    QCOMPARE(again.shell.openStarts, QStringList{m_album});
    QTRY_VERIFY_WITH_TIMEOUT(again.form && again.form->Ready(), kOpenTimeoutMs);
    QCOMPARE(again.form->Volume(), 40);
    again.form->SetVolume(100);
  }

  void refusesFilesThatAreNoAlbumAndClosesOnCancel() {
    testsupport::WriteText(m_dir / "x_LB.MP3", std::string(4000, 'x'));
    Player wrong(Q(m_dir / "x_LB.MP3"));
    QTRY_VERIFY_WITH_TIMEOUT(wrong.form == nullptr, kOpenTimeoutMs);
    QCOMPARE(wrong.shell.messages, QStringList{"File Is Damaged, Or Of An Unsupported Type !"});
    QVERIFY(wrong.mainWindow.isVisible());

    // The dialog offers the last album played, not the refused one.
    Player cancelled{QString()};
    QCOMPARE(cancelled.shell.openStarts, QStringList{m_album});
    QTRY_VERIFY(cancelled.form == nullptr);
    QVERIFY(cancelled.shell.messages.isEmpty());
    QVERIFY(cancelled.mainWindow.isVisible());
  }

  void anAlbumWithoutPicturesOrLyricsShowsNoViewer() {
    const auto album = m_dir / "Band - Plain _LB.MP3";
    std::string output;
    QVERIFY2(RunCommand(Quote(LB_CLI) + " create -o " + Quote(album) +
                            " --title Plain --artist Band --year 2001 --force " +
                            Quote(m_dir / "02 - Song 2.mp3"),
                        &output) == 0,
             output.c_str());
    Player player(Q(album));
    QTRY_VERIFY_WITH_TIMEOUT(player.form && player.form->Ready(), kOpenTimeoutMs);
    player.Get<QAbstractButton>("Command2")->click();
    QCOMPARE(player.Text("Label11"), QString("PLAYING"));
    // The viewer kept from earlier albums stays hidden and records this one's page, which its
    // browser does not load.
    app::Form6* viewer = player.form->Viewer();
    QVERIFY(viewer != nullptr && viewer->isHidden());
    const QString folder = QString::fromStdString(player.form->WebFolder());
    QCOMPARE(viewer->NavigatedUrl(), QUrl::fromLocalFile(folder + "dynamic1.htm"));
    auto* browser = viewer->findChild<QWebEngineView*>();
    QVERIFY(browser == nullptr || !browser->url().toLocalFile().startsWith(folder));
  }

  void playingStopsWithTheMessageWhenTheAlbumIsCutShort() {
    const auto copy = m_dir / "Cut _LB.MP3";
    std::filesystem::copy_file(m_album.toStdString(), copy,
                               std::filesystem::copy_options::overwrite_existing);
    Player player(Q(copy));
    QTRY_VERIFY_WITH_TIMEOUT(player.form && player.form->Ready(), kOpenTimeoutMs);
    player.Get<QAbstractButton>("Command2")->click();
    QCOMPARE(player.Text("Label11"), QString("PLAYING"));
    std::filesystem::resize_file(copy, 10000);
    QTRY_COMPARE_WITH_TIMEOUT(player.Text("Label11"), QString("STOPPED"), 10000);
    QCOMPARE(player.shell.messages, QStringList{"File Is Damaged, Or Of An Unsupported Type !"});
  }

  void desktopMediaControls() {
    QVERIFY2(qEnvironmentVariableIsSet("DBUS_SESSION_BUS_ADDRESS"),
             "no session bus: run under dbus-run-session (Debian package dbus)");
    Player player(m_album);
    QTRY_VERIFY_WITH_TIMEOUT(player.form && player.form->Ready(), kOpenTimeoutMs);
    const QString player2 = "org.mpris.MediaPlayer2.Player";
    QString reply = DbusSend("org.freedesktop.DBus.Properties.Get",
                             {"string:" + player2, "string:PlaybackStatus"});
    QVERIFY2(reply.contains("\"Stopped\""), qPrintable(reply));

    StatusLog log;
    QVERIFY(QDBusConnection::sessionBus().connect(
        QString(), app::ToQString(app::kMprisPath), "org.freedesktop.DBus.Properties",
        "PropertiesChanged", &log, SLOT(Changed(QString, QVariantMap, QStringList))));
    DbusSend(player2 + ".PlayPause");
    QCOMPARE(player.Text("Label11"), QString("PLAYING"));
    QTRY_COMPARE(log.statuses, QStringList{"Playing"});
    DbusSend(player2 + ".Next");
    QCOMPARE(player.form->Rules().CurrentTrack(), 1);
    QCOMPARE(player.Get<QListWidget>("List1")->currentRow(), 1);
    // A click on another line while Song 2 plays changes nothing of what the panels show.
    player.Get<QListWidget>("List1")->setCurrentRow(2);
    reply =
        DbusSend("org.freedesktop.DBus.Properties.Get", {"string:" + player2, "string:Metadata"});
    // The art's address is a URI: the blank of the temporary folder is percent-encoded.
    for (const char* part :
         {"Song 2", "/org/lyrabinder/track/2", "Band", "mpris:artUrl", "t%20mp"}) {
      QVERIFY2(reply.contains(part), qPrintable(reply));
    }
    QVERIFY2(!reply.contains("Song 3"), qPrintable(reply));
    // Next went from playing to playing: no Stopped in between reached the panels.
    QCOMPARE(log.statuses, QStringList{"Playing"});

    // A position past the track is ignored.
    DbusSend(player2 + ".SetPosition", {"objpath:/org/lyrabinder/track/2", "int64:3600000000"});
    QCOMPARE(player.form->Rules().PlayingTrack(), 1);
    QCOMPARE(player.Text("Label11"), QString("PLAYING"));
    DbusSend(player2 + ".SetPosition", {"objpath:/org/lyrabinder/track/2", "int64:500000"});
    reply =
        DbusSend("org.freedesktop.DBus.Properties.Get", {"string:" + player2, "string:Position"});
    const qlonglong position = reply.section("int64", 1).trimmed().toLongLong();
    QVERIFY2(position >= 450000 && position < 1500000, qPrintable(reply));
    DbusSend("org.freedesktop.DBus.Properties.Set",
             {"string:" + player2, "string:Volume", "variant:double:0.5"});
    QCOMPARE(player.form->Volume(), 50);
    player.form->SetVolume(100);
    // Shuffle and LoopStatus reach the window's boxes through the session.
    for (const auto& [property, value, box] :
         {std::tuple{"Shuffle", "variant:boolean:true", "random"},
          std::tuple{"LoopStatus", "variant:string:Playlist", "loop"}}) {
      DbusSend("org.freedesktop.DBus.Properties.Set",
               {"string:" + player2, QString("string:") + property, value});
      QVERIFY(player.Get<QAbstractButton>(box)->isChecked());
    }
    QVERIFY(player.form->Rules().Random() && player.form->Rules().Loop());
    DbusSend(player2 + ".PlayPause");
    QCOMPARE(player.Text("Label11"), QString("PAUSED"));
    DbusSend(player2 + ".Stop");
    QCOMPARE(player.Text("Label11"), QString("STOPPED"));
  }
};

int main(int argc, char** argv) {
  // The browser as root and headless; no sound card.
  qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--no-sandbox");
  qputenv("SDL_AUDIODRIVER", "dummy");
  testsupport::ScopedTempDir config;
  qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(config.path().string()));
  // Web folders go under the temporary folder; its blank must reach the media controls encoded.
  const auto temp = config.path() / "t mp";
  std::filesystem::create_directory(temp);
  qputenv("TMPDIR", QByteArray::fromStdString(temp.string()));
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  QApplication application(argc, argv);
  Form5Test test;
  return QTest::qExec(&test, argc, argv);
}

#include "form5_test.moc"
