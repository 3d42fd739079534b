// The details window: proposals on opening, the checks of "Make Album", the save dialog and
// the written album, read back by the command line.

#include "app/form2.h"
#include "app/form1.h"
#include "media/mediadevice.h"
#include "tests/gui/guisupport.h"

using namespace guitest;

namespace {

// A media service that knows no lengths.
class SilentDevice final : public media::MediaDevice {
 public:
  media::MediaReply SendString(std::string_view) override { return {}; }
};

// A folder holding a small album (two tagged tracks, the second behind a 4096-byte ID3v2 tag,
// lyrics for the first, and a cover) and the contents window filled from it. `silent` gives the
// window a media service that knows no track lengths.
struct Windows {
  testsupport::ScopedTempDir dir;
  FakeShell shell;
  app::Form1 form1;
  explicit Windows(bool silent = false)
      : form1(shell, nullptr,
              silent ? app::MediaDeviceFactory(
                           [] { return std::unique_ptr<media::MediaDevice>(new SilentDevice); })
                     : app::MediaDeviceFactory(media::CreateMediaDevice)) {
    WriteTrack(dir / "01 - One.mp3", 40, 0, "One", "The Band", "Test Album", "2001");
    testsupport::WriteText(dir / "One.txt", "first line\r\nsecond line\r\n");
    WriteTrack(dir / "02 - Two.mp3", 60, 4096, "Two", "The Band", "Other Album", "1999");
    WritePicture(dir / "cover.jpg", 64, 64);
    shell.folderAnswers = {Q(dir.path())};
    Click(&form1, "Command5");
  }
  // "Make Album ..." and then `act` inside the details window; false when it never opened.
  bool InDetails(const std::function<void(app::Form2*)>& act) {
    return InModal<app::Form2>(&form1, "Command3", act);
  }
};

}  // namespace

class Form2Test : public QObject {
  Q_OBJECT

 private slots:
  void makesAnAlbumFromTheContentsWindow() {
    Windows w;
    testsupport::WriteText(w.dir / "Made _LB.MP3", "replace me");
    QCOMPARE(w.form1.Entries().size(), std::size_t{4});
    // "Make Album ..." opens the details window modally; the user acts inside it.
    QVERIFY(w.InDetails([&](app::Form2* form2) {
      QCOMPARE(form2->windowTitle(), QString("Make Album !"));
      QCOMPARE(TextsOf(form2, {"Text1", "Text2", "Text3", "Text4", "Text5"}),
               QStringList({"Test Album", "The Band", "Complete", "2001", "2"}));
      QCOMPARE(Control<QComboBox>(form2, "Text1")->count(), 2);
      auto* tracks = Control<QListWidget>(form2, "List1");
      QCOMPARE(Texts(tracks), QStringList({"One   -   The Band", "Two   -   The Band"}));
      // The second line's title is the part after the separator.
      tracks->item(1)->setCheckState(Qt::Checked);
      w.shell.saveAnswers = {Q(w.dir / "Made.mp3")};
      w.shell.yesNoAnswers = {true};
      Click(form2, "Command2");
      // Written off the window's thread; the window closes when done.
      QVERIFY(form2->Busy());
      QTRY_VERIFY_WITH_TIMEOUT(!form2->isVisible(), 30000);
      auto* progress = Control<QProgressBar>(form2, "ProgressBar1");
      QCOMPARE(progress->maximum(), 4 + 2);
      QCOMPARE(progress->value(), progress->maximum());
    }));
    QCOMPARE(w.shell.questions,
             QStringList({"Made _LB.MP3 already exists.\nDo you want to replace it?"}));
    QCOMPARE(w.shell.saveProposals, QStringList({"The Band - Test Album _LB.MP3"}));
    QCOMPARE(w.shell.saveFilters, QStringList({"MP3 Lyrabinder (*_LB.MP3)|*_lb.mp3"}));
    QCOMPARE(w.shell.messages, QStringList({"Album Created Successfully !"}));
    QVERIFY(w.form1.Entries().empty());
    QCOMPARE(Control<QLabel>(&w.form1, "Label1")->text(), QString());
    // Nothing is left to make an album of.
    QVERIFY(!Control<QPushButton>(&w.form1, "Command3")->isEnabled());

    // Read back: the details and the tracks' titles and lengths as the window passed them, the
    // tracks copied from their first frame (the second one's ID3v2 tag stays out).
    const fs::path album = w.dir / "Made _LB.MP3";
    std::string listing;
    QCOMPARE(RunCommand(Quote(LB_CLI) + " list " + Quote(album), &listing), 0);
    const auto size = [&](const char* name) { return fs::file_size(w.dir / name); };
    QCOMPARE(QString::fromStdString(listing),
             QString("Album Title : Test Album\nArtist : The Band\nCompleteness : "
                     "Complete\nYear : 2001\nTracks : 2\n"
                     "0\ttrack\tOne\t01 - One.mp3\t0:01\t%1 bytes\n"
                     "1\ttrack\tThe Band\t02 - Two.mp3\t0:01\t%2 bytes\n"
                     "2\tpicture\tcover.jpg\t%3 bytes\n3\tlyrics\tOne.txt\t%4 bytes\n")
                 .arg(size("01 - One.mp3"))
                 .arg(size("02 - Two.mp3") - 4096)
                 .arg(size("cover.jpg"))
                 .arg(size("One.txt")));
  }

  void refusesEmptyFieldsAndABadTracksValueBeforeTheSaveDialog() {
    const struct {
      const char* field;
      QString text, message;
    } cases[] = {{"Text1", "", "All Entries Must Be Filled To Continue"},
                 {"Text2", "", "All Entries Must Be Filled To Continue"},
                 {"Text4", "", "All Entries Must Be Filled To Continue"},
                 {"Text5", "300", "The Tracks Value Must Be A Number From 0 To 255 : 300"}};
    for (const auto& c : cases) {
      Windows w;
      QVERIFY(w.InDetails([&](app::Form2* form2) {
        if (auto* edit = Control<QLineEdit>(form2, c.field)) edit->setText(c.text);
        if (auto* box = Control<QComboBox>(form2, c.field)) box->setCurrentText(c.text);
        Click(form2, "Command2");
        QVERIFY(form2->isVisible());
      }));
      QCOMPARE(w.shell.messages, QStringList({c.message}));
      QVERIFY(w.shell.saveProposals.isEmpty());
      QCOMPARE(w.form1.Entries().size(), std::size_t{4});
    }
  }

  void trackWithoutLengthAbortsAndEmptiesTheList() {
    Windows w(true);
    QVERIFY(w.InDetails([&](app::Form2* form2) {
      Click(form2, "Command2");
      QVERIFY(!form2->isVisible());
      QCOMPARE(form2->result(), int(QDialog::Accepted));
    }));
    QCOMPARE(w.shell.messages,
             QStringList({"Non-standard file detected : 01 - One.mp3 ** Aborting Now **"}));
    QVERIFY(w.shell.saveProposals.isEmpty());
    QVERIFY(w.form1.Entries().empty());
  }

  void failedWritesAndARefusedReplaceKeepTheWindowAndTheList() {
    Windows w;
    const fs::path existing = w.dir / "Made _LB.MP3", gone = w.dir / "Gone _LB.MP3";
    testsupport::WriteText(existing, "keep me");
    QVERIFY(w.InDetails([&](app::Form2* form2) {
      // A cancelled save dialog keeps the window as it was.
      Click(form2, "Command2");
      QCOMPARE(w.shell.saveProposals.size(), 1);
      QVERIFY(form2->isVisible());
      QVERIFY(Control<QPushButton>(form2, "Command2")->isEnabled());

      w.shell.saveAnswers = {Q(w.dir / "missing" / "x.mp3")};
      Click(form2, "Command2");
      QTRY_VERIFY_WITH_TIMEOUT(!form2->Busy(), 30000);
      QCOMPARE(w.shell.messages,
               QStringList({"Cannot Create The Album File : " + Q(w.dir / "missing") +
                            "/x _LB.MP3 (No such file or directory)"}));
      QVERIFY(form2->isVisible());

      // The derived name exists: replaced only when confirmed.
      w.shell.saveAnswers = {Q(w.dir / "Made.mp3")};
      w.shell.yesNoAnswers = {false};
      Click(form2, "Command2");
      QCOMPARE(w.shell.questions,
               QStringList({"Made _LB.MP3 already exists.\nDo you want to replace it?"}));
      QCOMPARE(testsupport::ReadFile(existing), testsupport::BytesOf("keep me"));
      QVERIFY(form2->isVisible());
      QCOMPARE(w.shell.messages.size(), 1);

      // A track that disappeared after the window opened.
      fs::remove(w.dir / "02 - Two.mp3");
      w.shell.saveAnswers = {Q(gone)};
      Click(form2, "Command2");
      QTRY_VERIFY_WITH_TIMEOUT(!form2->Busy(), 30000);
      QVERIFY(form2->isVisible());
      QCOMPARE(EnabledOf(form2, {"Command1", "Command2", "cmdHelp"}),
               QStringList({"Command1", "Command2", "cmdHelp"}));
      QCOMPARE(w.shell.messages.size(), 2);
      QVERIFY2(w.shell.messages[1].contains("02 - Two.mp3"), qPrintable(w.shell.messages[1]));
    }));
    QVERIFY(!fs::exists(gone));
    QCOMPARE(std::distance(fs::directory_iterator(w.dir.path()), fs::directory_iterator()), 4);
    QCOMPARE(w.form1.Entries().size(), std::size_t{4});
  }
};

QTEST_MAIN(Form2Test)
#include "form2_test.moc"
