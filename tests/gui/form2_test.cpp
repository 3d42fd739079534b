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
    const QJsonArray items = listing["items"].toArray();
    QCOMPARE(items.size(), 4);
    struct Expected {
      QString kind, name, title;
      qint64 size;
    };
    const qint64 oneSize = static_cast<qint64>(fs::file_size(folder.dir / "01 - One.mp3"));
    const qint64 twoSize = static_cast<qint64>(fs::file_size(folder.dir / "02 - Two.mp3"));
    const std::vector<Expected> expected = {
        {"track", "01 - One.mp3", "One", oneSize},
        // Copied from its first frame: the ID3v2 tag in front stays out.
        {"track", "02 - Two.mp3", "The Band", twoSize - 4096},
        {"picture", "cover.jpg", {}, static_cast<qint64>(fs::file_size(folder.dir / "cover.jpg"))},
        {"lyrics", "One.txt", {}, static_cast<qint64>(fs::file_size(folder.dir / "One.txt"))},
    };
    for (int i = 0; i < items.size(); ++i) {
      const QJsonObject item = items[i].toObject();
      QCOMPARE(item["kind"].toString(), expected[i].kind);
      QCOMPARE(item["name"].toString(), expected[i].name);
      QCOMPARE(item["size"].toInteger(), expected[i].size);
      if (expected[i].kind == "track") {
        QCOMPARE(item["title"].toString(), expected[i].title);
        QVERIFY(item["play_ms"].toInt() > 0);
      }
      if (expected[i].kind == "lyrics") QCOMPARE(item["track"].toInt(), 1);
    }
    // The album starts with the first track's bytes.
    const auto bytes = testsupport::ReadFile(album);
    const auto one = testsupport::ReadFile(folder.dir / "01 - One.mp3");
    QVERIFY(std::equal(one.begin(), one.end(), bytes.begin()));
  }

  void requiresTitleArtistAndYear() {
    AlbumFolder folder;
    for (const char* field : {"Text1", "Text2", "Text4"}) {
      Windows w(folder.dir.path());
      QVERIFY(w.InDetails([&](app::Form2* form2) {
        if (auto* edit = Control<QLineEdit>(form2, field)) edit->clear();
        if (auto* box = Control<QComboBox>(form2, field)) box->setCurrentText(QString());
        Control<QPushButton>(form2, "Command2")->click();
        QVERIFY(form2->isVisible());
      }));
      QCOMPARE(w.shell.messages, QStringList({"All Entries Must Be Filled To Continue"}));
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

  void cancelledSaveDialogKeepsTheWindow() {
    AlbumFolder folder;
    Windows w(folder.dir.path());
    QVERIFY(w.InDetails([&](app::Form2* form2) {
      Control<QPushButton>(form2, "Command2")->click();
      QCOMPARE(w.shell.saveProposals.size(), 1);
      QVERIFY(form2->isVisible());
      QVERIFY(Control<QPushButton>(form2, "Command2")->isEnabled());
    }));
    QVERIFY(w.shell.messages.isEmpty());
    QCOMPARE(w.form1.Entries().size(), std::size_t{4});
  }

  void derivedNameReplacesAFileOnlyWhenConfirmed() {
    AlbumFolder folder;
    Windows w(folder.dir.path());
    const fs::path existing = folder.dir / "Made _LB.MP3";
    testsupport::WriteText(existing, "keep me");
    QVERIFY(w.InDetails([&](app::Form2* form2) {
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

  void failedWriteIsReportedAndLeavesNoFile() {
    AlbumFolder folder;
    Windows w(folder.dir.path());
    const fs::path target = folder.dir / "Gone _LB.MP3";
    QVERIFY(w.InDetails([&](app::Form2* form2) {
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
    QCOMPARE(w.shell.messages.size(), 1);
    QVERIFY2(w.shell.messages[0].contains("02 - Two.mp3"), qPrintable(w.shell.messages[0]));
    QVERIFY(!fs::exists(target));
    QCOMPARE(std::distance(fs::directory_iterator(folder.dir.path()), fs::directory_iterator()), 3);
    QCOMPARE(w.form1.Entries().size(), std::size_t{4});
  }

  void tracksValueIsCheckedBeforeTheSaveDialog() {
    AlbumFolder folder;
    Windows w(folder.dir.path());
    QVERIFY(w.InDetails([&](app::Form2* form2) {
      Control<QLineEdit>(form2, "Text5")->setText("300");
      Control<QPushButton>(form2, "Command2")->click();
      QVERIFY(form2->isVisible());
    }));
    QCOMPARE(w.shell.messages,
             QStringList({"The Tracks Value Must Be A Number From 0 To 255 : 300"}));
    QVERIFY(w.shell.saveProposals.isEmpty());
  }

  void anAlbumThatCannotBeCreatedIsReportedInPlainWords() {
    AlbumFolder folder;
    Windows w(folder.dir.path());
    const fs::path target = folder.dir / "missing" / "x.mp3";
    QVERIFY(w.InDetails([&](app::Form2* form2) {
      w.shell.saveAnswers = {Q(target)};
      Control<QPushButton>(form2, "Command2")->click();
      QTRY_VERIFY_WITH_TIMEOUT(!form2->Busy(), 30000);
      QVERIFY(form2->isVisible());
    }));
    QCOMPARE(w.shell.messages,
             QStringList({"Cannot Create The Album File : " + Q(folder.dir / "missing") +
                          "/x _LB.MP3 (No such file or directory)"}));
  }
};

QTEST_MAIN(Form2Test)
#include "form2_test.moc"
