// The details window: proposals on opening, the checks of "Make Album", the save dialog and
// the written album, read back by the command line.
#include <QComboBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>

#include "app/form1.h"
#include "app/form2.h"
#include "media/mediadevice.h"
#include "tests/gui/fakeshell.h"
#include "tests/gui/guisupport.h"
#include "tests/support/testsupport.h"

using namespace guitest;
namespace fs = std::filesystem;

namespace {

// A media service that knows no lengths.
class SilentDevice final : public media::MediaDevice {
 public:
  media::MediaReply SendString(std::string_view) override { return {}; }
};

// A folder holding a small album: two tagged tracks (the second behind a 4096-byte ID3v2
// tag), lyrics for the first, and a cover.
struct AlbumFolder {
  testsupport::ScopedTempDir dir;
  AlbumFolder() {
    WriteTrack(dir / "01 - One.mp3", 40, 0, "One", "The Band", "Test Album", "2001");
    testsupport::WriteText(dir / "One.txt", "first line\r\nsecond line\r\n");
    WriteTrack(dir / "02 - Two.mp3", 60, 4096, "Two", "The Band", "Other Album", "1999");
    WritePicture(dir / "cover.jpg", 64, 64);
  }
};

// The contents window filled from a folder. `silent` gives it a media service that knows no
// track lengths.
struct Windows {
  FakeShell shell;
  app::Form1 form1;
  explicit Windows(const fs::path& folder, bool silent = false)
      : form1(shell, nullptr,
              silent ? app::MediaDeviceFactory(
                           [] { return std::unique_ptr<media::MediaDevice>(new SilentDevice); })
                     : app::MediaDeviceFactory(media::CreateMediaDevice)) {
    shell.folderAnswers = {Q(folder)};
    Control<QPushButton>(&form1, "Command5")->click();
  }
  // "Make Album ..." and then `act` inside the details window; false when it never opened.
  bool InDetails(const std::function<void(app::Form2*)>& act) {
    bool opened = false;
    WhenModalShown<app::Form2>([&](app::Form2* form2) {
      opened = true;
      act(form2);
    });
    Control<QPushButton>(&form1, "Command3")->click();
    return opened;
  }
};

QByteArray RunCli(const QStringList& arguments, int* exitCode) {
  QProcess cli;
  cli.start(LB_CLI, arguments);
  cli.waitForFinished(60000);
  *exitCode = cli.exitCode();
  return cli.readAllStandardOutput();
}

}  // namespace

class Form2Test : public QObject {
  Q_OBJECT

 private slots:
  void makesAnAlbumFromTheContentsWindow() {
    AlbumFolder folder;
    Windows w(folder.dir.path());
    QCOMPARE(w.form1.Entries().size(), std::size_t{4});

    // "Make Album ..." opens the details window modally; the user acts inside it.
    bool sawDetails = false;
    WhenModalShown<app::Form2>([&](app::Form2* form2) {
      sawDetails = true;
      QCOMPARE(form2->windowTitle(), QString("Make Album !"));
      auto* title = Control<QComboBox>(form2, "Text1");
      QCOMPARE(title->currentText(), QString("Test Album"));
      QCOMPARE(title->count(), 2);
      QCOMPARE(Control<QLineEdit>(form2, "Text2")->text(), QString("The Band"));
      QCOMPARE(Control<QComboBox>(form2, "Text3")->currentText(), QString("Complete"));
      QCOMPARE(Control<QLineEdit>(form2, "Text4")->text(), QString("2001"));
      QCOMPARE(Control<QLineEdit>(form2, "Text5")->text(), QString("2"));
      auto* tracks = Control<QListWidget>(form2, "List1");
      QCOMPARE(Texts(tracks), QStringList({"One   -   The Band", "Two   -   The Band"}));
      for (const auto& entry : form2->TrackTable()) QVERIFY(entry.PlayLength > 0);
      // The second line's title is the part after the separator.
      tracks->item(1)->setCheckState(Qt::Checked);
      w.shell.saveAnswers = {Q(folder.dir / "Made.mp3")};
      Control<QPushButton>(form2, "Command2")->click();
      // Written off the window's thread; the window closes when done.
      QVERIFY(form2->Busy());
      QTRY_VERIFY_WITH_TIMEOUT(!form2->isVisible(), 30000);
    });
    Control<QPushButton>(&w.form1, "Command3")->click();
    QVERIFY(sawDetails);

    QCOMPARE(w.shell.saveProposals, QStringList({"The Band - Test Album _LB.MP3"}));
    QCOMPARE(w.shell.saveFilters, QStringList({"MP3 Lyrabinder (*_LB.MP3)|*_lb.mp3"}));
    QCOMPARE(w.shell.messages, QStringList({"Album Created Successfully !"}));
    QVERIFY(w.form1.Entries().empty());
    QCOMPARE(Control<QLabel>(&w.form1, "Label1")->text(), QString());
    // Nothing is left to make an album of.
    QVERIFY(!Control<QPushButton>(&w.form1, "Command3")->isEnabled());

    const fs::path album = folder.dir / "Made _LB.MP3";
    QVERIFY(fs::exists(album));
    int exitCode = -1;
    const QJsonObject listing =
        QJsonDocument::fromJson(RunCli({"list", "--json", Q(album)}, &exitCode)).object();
    QCOMPARE(exitCode, 0);
    QCOMPARE(listing["format"].toString(), QString("album"));
    QCOMPARE(listing["title"].toString(), QString("Test Album"));
    QCOMPARE(listing["artist"].toString(), QString("The Band"));
    QCOMPARE(listing["year"].toString(), QString("2001"));
    QCOMPARE(listing["comment"].toString(), QString("Complete"));
    QCOMPARE(listing["tracks"].toInt(), 2);
    // Tracks copied from their first frame: the second one's ID3v2 tag stays out.
    const auto size = [&](const char* name) { return fs::file_size(folder.dir / name); };
    const QStringList expected = {
        QString("track 01 - One.mp3 %1 One").arg(size("01 - One.mp3")),
        QString("track 02 - Two.mp3 %1 The Band").arg(size("02 - Two.mp3") - 4096),
        QString("picture cover.jpg %1 ").arg(size("cover.jpg")),
        QString("lyrics One.txt %1 track 1").arg(size("One.txt"))};
    QStringList items;
    for (const auto& value : listing["items"].toArray()) {
      const QJsonObject item = value.toObject();
      QString line = QString("%1 %2 %3 ")
                         .arg(item["kind"].toString(), item["name"].toString())
                         .arg(item["size"].toInteger());
      if (item["kind"].toString() == "track") {
        line += item["title"].toString();
        QVERIFY(item["play_ms"].toInt() > 0);
      }
      if (item["kind"].toString() == "lyrics")
        line += QString("track %1").arg(item["track"].toInt());
      items += line;
    }
    QCOMPARE(items, expected);
    // The album starts with the first track's bytes.
    const auto bytes = testsupport::ReadFile(album);
    const auto one = testsupport::ReadFile(folder.dir / "01 - One.mp3");
    QVERIFY(std::equal(one.begin(), one.end(), bytes.begin()));
  }

  void refusesEmptyFieldsAndABadTracksValueBeforeTheSaveDialog() {
    AlbumFolder folder;
    const struct {
      const char* field;
      QString text, message;
    } cases[] = {{"Text1", "", "All Entries Must Be Filled To Continue"},
                 {"Text2", "", "All Entries Must Be Filled To Continue"},
                 {"Text4", "", "All Entries Must Be Filled To Continue"},
                 {"Text5", "300", "The Tracks Value Must Be A Number From 0 To 255 : 300"}};
    for (const auto& c : cases) {
      Windows w(folder.dir.path());
      QVERIFY(w.InDetails([&](app::Form2* form2) {
        if (auto* edit = Control<QLineEdit>(form2, c.field)) edit->setText(c.text);
        if (auto* box = Control<QComboBox>(form2, c.field)) box->setCurrentText(c.text);
        Control<QPushButton>(form2, "Command2")->click();
        QVERIFY(form2->isVisible());
      }));
      QCOMPARE(w.shell.messages, QStringList({c.message}));
      QVERIFY(w.shell.saveProposals.isEmpty());
      QCOMPARE(w.form1.Entries().size(), std::size_t{4});
    }
  }

  void trackWithoutLengthAbortsAndEmptiesTheList() {
    AlbumFolder folder;
    Windows w(folder.dir.path(), true);
    QVERIFY(w.InDetails([&](app::Form2* form2) {
      Control<QPushButton>(form2, "Command2")->click();
      QVERIFY(!form2->isVisible());
      QCOMPARE(form2->result(), int(QDialog::Accepted));
    }));
    QCOMPARE(w.shell.messages,
             QStringList({"Non-standard file detected : 01 - One.mp3 ** Aborting Now **"}));
    QVERIFY(w.shell.saveProposals.isEmpty());
    QVERIFY(w.form1.Entries().empty());
  }

  void derivedNameReplacesAFileOnlyWhenConfirmed() {
    AlbumFolder folder;
    Windows w(folder.dir.path());
    const fs::path existing = folder.dir / "Made _LB.MP3";
    testsupport::WriteText(existing, "keep me");
    QVERIFY(w.InDetails([&](app::Form2* form2) {
      // A cancelled save dialog keeps the window as it was.
      Control<QPushButton>(form2, "Command2")->click();
      QCOMPARE(w.shell.saveProposals.size(), 1);
      QVERIFY(form2->isVisible());
      QVERIFY(Control<QPushButton>(form2, "Command2")->isEnabled());

      w.shell.saveAnswers = {Q(folder.dir / "Made.mp3")};
      w.shell.yesNoAnswers = {false};
      Control<QPushButton>(form2, "Command2")->click();
      QCOMPARE(w.shell.questions,
               QStringList({"Made _LB.MP3 already exists.\nDo you want to replace it?"}));
      QCOMPARE(testsupport::ReadFile(existing), testsupport::BytesOf("keep me"));
      QVERIFY(form2->isVisible());
      QVERIFY(w.shell.messages.isEmpty());

      w.shell.saveAnswers = {Q(folder.dir / "Made.mp3")};
      w.shell.yesNoAnswers = {true};
      Control<QPushButton>(form2, "Command2")->click();
      QTRY_VERIFY_WITH_TIMEOUT(!form2->Busy(), 30000);
      auto* progress = Control<QProgressBar>(form2, "ProgressBar1");
      QCOMPARE(progress->maximum(), 4 + 2);
      QCOMPARE(progress->value(), progress->maximum());
    }));
    QCOMPARE(w.shell.messages, QStringList({"Album Created Successfully !"}));
    QVERIFY(fs::file_size(existing) > 1000);
  }

  void failedWritesAreReportedAndLeaveNoFile() {
    AlbumFolder folder;
    Windows w(folder.dir.path());
    const fs::path target = folder.dir / "Gone _LB.MP3";
    QVERIFY(w.InDetails([&](app::Form2* form2) {
      w.shell.saveAnswers = {Q(folder.dir / "missing" / "x.mp3")};
      Control<QPushButton>(form2, "Command2")->click();
      QTRY_VERIFY_WITH_TIMEOUT(!form2->Busy(), 30000);
      QCOMPARE(w.shell.messages,
               QStringList({"Cannot Create The Album File : " + Q(folder.dir / "missing") +
                            "/x _LB.MP3 (No such file or directory)"}));
      QVERIFY(form2->isVisible());
      // A track that disappeared after the window opened.
      fs::remove(folder.dir / "02 - Two.mp3");
      w.shell.saveAnswers = {Q(target)};
      Control<QPushButton>(form2, "Command2")->click();
      QTRY_VERIFY_WITH_TIMEOUT(!form2->Busy(), 30000);
      QVERIFY(form2->isVisible());
      for (const char* name : {"Command1", "Command2", "cmdHelp"}) {
        QVERIFY2(Control<QPushButton>(form2, name)->isEnabled(), name);
      }
    }));
    QCOMPARE(w.shell.messages.size(), 2);
    QVERIFY2(w.shell.messages[1].contains("02 - Two.mp3"), qPrintable(w.shell.messages[1]));
    QVERIFY(!fs::exists(target));
    QCOMPARE(std::distance(fs::directory_iterator(folder.dir.path()), fs::directory_iterator()), 3);
    QCOMPARE(w.form1.Entries().size(), std::size_t{4});
  }
};

QTEST_MAIN(Form2Test)
#include "form2_test.moc"
