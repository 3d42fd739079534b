// The main window, the shell helpers around it, the program's data folder and its install.
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>

#include "app/form1.h"
#include "app/form3.h"
#include "app/form4.h"
#include "app/frmmain.h"
#include "tests/gui/guisupport.h"

using namespace guitest;

class FrmMainTest : public QObject {
  Q_OBJECT

 private slots:
  void showsItsTextsAndOpensEachWindowAndDocument() {
    FakeShell shell;
    app::frmMain window(shell);
    QCOMPARE(window.windowTitle(), QString("MP3 - Lyrabinder - FREEWARE :-)"));
    QCOMPARE(TextsOf(&window, {"lblVersion", "Label1", "Label2", "Command1", "Command2", "Command3",
                               "Command4", "Command5", "cmdHelp"}),
             QStringList({"v1.92", "MP3 - Lyrabinder", "MP3 - Lyrabinder", "Exit", "Create Album",
                          "Extract Item(s)", "Play Album", " .wav --> .mp3", "Help"}));
    QCOMPARE(Control<QAbstractButton>(&window, "Command3")->toolTip(),
             QString("Can Extract From AlbumWrap Archives Too !"));

    Click(&window, "cmdHelp");
    emit Control<QLabel>(&window, "Label4")->linkActivated("mailto");
    QCOMPARE(shell.openedDocuments,
             QList<QUrl>({QUrl::fromLocalFile(app::HelpPagePath()),
                          QUrl("mailto:" + app::ToQString(app::kAuthorMail))}));
    QVERIFY(app::HelpPagePath().endsWith("/help/MP3.htm"));

    // The album dialog is cancelled, so the extraction window closes before it shows.
    Click(&window, "Command3");
    QCOMPARE(shell.openFilters, QStringList{app::ToQString(app::kExtractFilter)});
    QVERIFY(shell.messages.isEmpty());

    // ".wav --> .mp3" opens the encoder window modally over the main window.
    window.show();
    QVERIFY(InModal<app::Form4>(&window, "Command5", [&](app::Form4* form4) {
      QCOMPARE(form4->windowTitle(), QString("Convert Wave Files To MP3 Format."));
      QVERIFY(window.isVisible());
    }));

    // "Create Album" hides the main window while the list is open.
    window.move(123, 77);
    const QPoint position = window.pos();
    Click(&window, "Command2");
    QPointer<app::Form1> list = window.ContentsWindow();
    QVERIFY(list != nullptr);
    QVERIFY(list->isVisible());
    QVERIFY(window.isHidden());
    Click(list, "Command4");
    QTRY_VERIFY(list == nullptr);
    QVERIFY(window.isVisible());
    QCOMPARE(window.pos(), position);
    // "Exit" closes the main window.
    Click(&window, "Command1");
    QVERIFY(!window.isVisible());
  }

  // Without its module the player cannot open: the user is told why and the main window stays.
  void playerThatCannotBeLoadedIsReported() {
    FakeShell shell;
    app::frmMain window(shell, [](std::string& error) -> const app::PlayerModule* {
      error = "Cannot load liblyrabinder-player.so: not found";
      return nullptr;
    });
    window.show();
    const QWidgetList before = QApplication::topLevelWidgets();
    Click(&window, "Command4");
    QCOMPARE(shell.messages, QStringList{"Cannot load liblyrabinder-player.so: not found"});
    QCOMPARE(QApplication::topLevelWidgets(), before);
    QVERIFY(window.isVisible());
  }

  // A box for a window not yet on screen would land in the screen's corner.
  void messageBoxesShowOverAWindowOnScreen() {
    QWidget shown, hidden;
    QWidget child(&hidden);
    QCOMPARE(app::MessageOwner(&child), nullptr);
    shown.show();
    QVERIFY(QTest::qWaitForWindowExposed(&shown));
    QCOMPARE(app::MessageOwner(&child), &shown);
    QCOMPARE(app::MessageOwner(nullptr), &shown);
    hidden.show();
    QCOMPARE(app::MessageOwner(&child), &hidden);
    const QFontMetrics metrics(shown.font());
    QVERIFY(app::CaptionWidth("MP3 - Lyrabinder", metrics) >
            metrics.horizontalAdvance("MP3 - Lyrabinder") + 100);
  }

  void folderChooserStartsAtTheDesktop() {
    testsupport::ScopedTempDir dir;
    const QString home = Q(dir.path());
    const QString desktop = Q(dir / "Desktop");
    QCOMPARE(app::FolderChooserStart(desktop, home), home);
    std::filesystem::create_directory(dir / "Desktop");
    QCOMPARE(app::FolderChooserStart(desktop, home), desktop);
    QCOMPARE(app::FolderChooserStart(QString(), home), home);
  }

  void filtersMatchEitherCase() {
    const struct {
      QString filter;
      int index;
      QStringList matching, other;
    } cases[] = {
        {app::ToQString(app::kAddItemFilter), 0, {"a.mp3", "B.MP3", "c.Mp3"}, {"a.mp4", "mp3"}},
        {app::ToQString(app::kAddItemFilter), 2, {"c.JPG", "c.jpg"}, {"c.gif"}},
        {app::ToQString(app::kAddItemFilter), 4, {"anything", "a.b"}, {}},
        {"MP3 Lyrabinder (*_LB.MP3)|*_lb.mp3", 0, {"x_LB.MP3", "x _lb.mp3"}, {"x.mp3"}},
    };
    for (const auto& c : cases) {
      const QStringList filters = app::NameFilters(c.filter);
      QCOMPARE(filters.size(), static_cast<qsizetype>(c.filter.count('|') + 1) / 2);
      // What the dialog shows, and the patterns it matches with.
      const auto match = QRegularExpression(R"(^(.*) \(([^()]*)\)$)").match(filters[c.index]);
      QVERIFY2(match.hasMatch(), qPrintable(filters[c.index]));
      QCOMPARE(match.captured(1), c.filter.split('|')[2 * c.index]);
      QStringList matched;
      for (const QString& name : c.matching + c.other) {
        for (const QString& pattern : match.captured(2).split(' ')) {
          const auto wildcard = QRegularExpression::fromWildcard(pattern, Qt::CaseSensitive);
          if (wildcard.match(name).hasMatch() && !matched.contains(name)) matched += name;
        }
      }
      QCOMPARE(matched, c.matching);
    }
  }

  void dataFolderInTheBuildTree() {
    const QString folder = app::DataFolderFor(LB_PROGRAM_DIR);
    QVERIFY2(QFileInfo::exists(folder + "/help/MP3.htm"), qPrintable(folder));
    // An installed tree, wherever it was moved.
    const QTemporaryDir prefix;
    QVERIFY(QDir(prefix.path()).mkpath("share/lyrabinder/data"));
    QCOMPARE(app::DataFolderFor(prefix.filePath("bin")), prefix.filePath("share/lyrabinder/data"));
  }
};

QTEST_MAIN(FrmMainTest)
#include "frmmain_test.moc"
