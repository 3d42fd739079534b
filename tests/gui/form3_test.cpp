// The extraction window: opening albums and AlbumWrap archives, extracting chosen items off the
// window's thread, and deleting the album afterwards.

#include "app/form3.h"
#include "app/frmmain.h"
#include "tests/album/albumtestutil.h"
#include "tests/gui/guisupport.h"

using namespace guitest;

namespace {

// Sizes that end in a remainder of a 4096-byte block (the first track: shorter than one).
const Bytes kTrack1 = Pattern(3000, 1);
const Bytes kTrack2 = Pattern(9001, 2);
const Bytes kLyrics = Pattern(700, 3);
const Bytes kCover = Pattern(5000, 4);
const Bytes kBack = Pattern(4097, 5);

// The window and a folder "out" to extract into. With `withAlbum`, an album of two tracks (the
// second titled like a lyrics file), lyrics and two pictures, opened in the window; its lines:
// One, words.txt, front.jpg, back.gif, One.txt.
struct AlbumFixture {
  ScopedTempDir dir;
  fs::path album = dir / "Band - Test _LB.MP3";
  fs::path out = dir / "out";
  FakeShell shell;
  app::Form3 form{shell};
  bool opened = false;
  explicit AlbumFixture(bool withAlbum = true) {
    fs::create_directory(out);
    if (!withAlbum) return;
    const auto result = album::testing::MakeAlbum(dir,
                                                  {{"src/01 - One.mp3", kTrack1, 1, "One"},
                                                   {"src/One.txt", kLyrics},
                                                   {"src/02 - Two.mp3", kTrack2, 1, "words.txt"},
                                                   {"src/front.jpg", kCover},
                                                   {"src/back.gif", kBack}},
                                                  album);
    if (!result.ok()) qFatal("cannot make the test album: %s", result.error.c_str());
    opened = Open(album);
  }
  // Opens `file` through the open dialog.
  bool Open(const fs::path& file) {
    shell.openAnswers = {Q(file)};
    const bool ok = form.Open();
    form.show();
    return ok;
  }
  std::vector<std::string> OutNames() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(out)) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
  }
};

void Select(app::Form3& form, std::initializer_list<int> rows) {
  auto* list = Control<QListWidget>(&form, "List1");
  for (const int row : rows) list->item(row)->setSelected(true);
}

QStringList TrimmedLines(app::Form3& form) {
  return Trimmed(Texts(Control<QListWidget>(&form, "List1")));
}

// "Extract" into `folder`, waiting until the end of the extraction is reported.
void ExtractInto(app::Form3& form, FakeShell& shell, const fs::path& folder) {
  const qsizetype before = shell.messages.size();
  shell.folderAnswers = {Q(folder)};
  Click(&form, "Command2");
  QTRY_VERIFY_WITH_TIMEOUT(shell.messages.size() > before, 30000);
}

}  // namespace

class Form3Test : public QObject {
  Q_OBJECT

 private slots:
  void opensAnAlbumAndExtractsOnlyTheItemsChosen() {
    AlbumFixture f;
    QVERIFY(f.opened);
    QCOMPARE(f.shell.openFilters,
             QStringList{"MP3 Lyrabinder (*_LB.MP3*)|*_lb.mp3|AlbumWrap (*_ALBW.MP3)|*_albw.mp3|"
                         "All MP3's (*.MP3)|*.mp3"});
    QCOMPARE(f.form.windowTitle(), QString("Album File : Band - Test _LB.MP3"));
    QCOMPARE(f.form.Format(), album::ArchiveFormat::Album);
    QCOMPARE(TrimmedLines(f.form),
             QStringList({"One", "words.txt", "front.jpg", "back.gif", "One.txt"}));
    QVERIFY(!Control<QLineEdit>(&f.form, "Text4")->isHidden());
    QVERIFY(Control<QProgressBar>(&f.form, "ProgressBar1")->isHidden());

    // Nothing selected, or no folder chosen: nothing happens.
    Click(&f.form, "Command2");
    QCOMPARE(f.shell.messages, QStringList{"You must select at least one item for extraction."});
    QVERIFY(f.shell.folderPrompts.isEmpty());
    Select(f.form, {2});
    Click(&f.form, "Command2");  // folder chooser cancelled
    QCOMPARE(f.shell.folderPrompts, QStringList{"Please select a folder."});
    QCOMPARE(f.shell.messages.size(), 1);
    QVERIFY(!f.form.Busy());
    QVERIFY(f.OutNames().empty());

    Select(f.form, {3});
    ExtractInto(f.form, f.shell, f.out);
    QCOMPARE(f.shell.messages.mid(1), QStringList{"File(s) Extraction Completed."});
    QCOMPARE(f.OutNames(), (std::vector<std::string>{"back.gif", "front.jpg"}));
    QVERIFY(ReadFile(f.out / "front.jpg") == kCover);
    QVERIFY(ReadFile(f.out / "back.gif") == kBack);
    auto* bar = Control<QProgressBar>(&f.form, "ProgressBar1");
    QCOMPARE(bar->maximum(), 5);
    QCOMPARE(bar->value(), 5);
    QVERIFY(Control<QPushButton>(&f.form, "Command2")->isEnabled());
    QVERIFY(f.form.isVisible());

    // Files there before a run are asked about once; kept ones are skipped and listed.
    const QString question =
        "These File(s) Exist Already In The Folder. Replace Them, Or Keep Them And Skip Their "
        "Items ?\n\nfront.jpg\nback.gif [Replace/Keep]";
    WriteText(f.out / "front.jpg", "mine");
    const struct {
      std::initializer_list<int> rows;
      bool replace;
      QString message;
    } runs[] = {
        {{0, 1, 2, 3, 4},
         false,
         "File(s) Extraction Completed.\nKept, Not Extracted : front.jpg\nKept, Not Extracted : "
         "back.gif"},
        {{2, 3},
         false,
         "No File Was Extracted.\nKept, Not Extracted : front.jpg\nKept, Not Extracted : "
         "back.gif"},
        {{2, 3}, true, "File(s) Extraction Completed."},
    };
    for (const auto& run : runs) {
      f.shell.questions.clear();
      f.shell.yesNoAnswers = {run.replace};
      Control<QListWidget>(&f.form, "List1")->clearSelection();
      Select(f.form, run.rows);
      ExtractInto(f.form, f.shell, f.out);
      QCOMPARE(f.shell.questions, QStringList{question});
      QCOMPARE(f.shell.messages.last(), run.message);
      QCOMPARE(ReadFile(f.out / "front.jpg") == kCover, run.replace);
    }
    QVERIFY(ReadFile(f.out / "01 - One.mp3") == kTrack1);
  }

  // Two items stored under one name, and one named like the album, in the album's own folder:
  // each becomes a file of its own, and the window says so as the command line does.
  void extractsItemsOfOneNameAsFilesOfTheirOwnAndSaysSo() {
    AlbumFixture f(false);
    const auto result = album::testing::MakeAlbum(f.dir,
                                                  {{"a/same.mp3", kTrack1, 1, "A"},
                                                   {"b/same.mp3", kTrack2, 1, "B"},
                                                   {"c/x.mp3", kBack, 1, "C", "NAME_LB.MP3"}},
                                                  f.dir / "NAME_LB.MP3");
    QVERIFY2(result.ok(), result.error.c_str());
    QVERIFY(f.Open(f.dir / "NAME_LB.MP3"));
    Click(&f.form, "Command1");
    ExtractInto(f.form, f.shell, f.dir.path());
    QVERIFY(f.shell.questions.isEmpty());
    QVERIFY(ReadFile(f.dir / "same.mp3") == kTrack1);
    QVERIFY(ReadFile(f.dir / "same (2).mp3") == kTrack2);
    QVERIFY(ReadFile(f.dir / "NAME_LB (2).MP3") == kBack);
    const QString taken = ": its name is taken (by the album or an earlier item); written as ";
    QCOMPARE(f.shell.messages, QStringList{"File(s) Extraction Completed.\nItem 1" + taken +
                                           Q(f.dir / "same (2).mp3") + "\nItem 2" + taken +
                                           Q(f.dir / "NAME_LB (2).MP3")});
  }

  void readsAnAlbumWrapArchive() {
    AlbumFixture f(false);
    const Bytes first = Pattern(12345, 6), second = Pattern(2000, 7);
    WriteFile(
        f.dir / "old_ALBW.MP3",
        album::testing::MakeWrap({{"Some Artist - First Song.mp3", first}, {"Second.WMA", second}},
                                 "", "The Author"));
    QVERIFY(f.Open(f.dir / "old_ALBW.MP3"));
    QCOMPARE(f.form.Format(), album::ArchiveFormat::AlbumWrap);
    QCOMPARE(Trimmed(TextsOf(&f.form, {"Text1", "Text3"})),
             QStringList({"Wrapped Album", "The Author"}));
    QVERIFY(Control<QLineEdit>(&f.form, "Text4")->isHidden());
    QCOMPARE(TextsOf(&f.form, {"Text5"}), QStringList{"2           "});  // the field as stored
    QStringList labels;
    for (const QLabel* label : f.form.findChildren<QLabel*>()) {
      if (label->isVisible()) labels += label->text();
    }
    QVERIFY(labels.contains("Author :"));
    QVERIFY(!labels.contains("Year :"));
    QCOMPARE(TrimmedLines(f.form), QStringList({"First Song", "Second"}));

    Click(&f.form, "Command1");
    ExtractInto(f.form, f.shell, f.out);
    QCOMPARE(f.shell.messages, QStringList{"File(s) Extraction Completed."});
    QVERIFY(ReadFile(f.out / "Some Artist - First Song.mp3") == first);
    QVERIFY(ReadFile(f.out / "Second.WMA") == second);
  }

  void deletesTheAlbumOnlyAfterEveryChosenItemWasExtracted() {
    AlbumFixture f;
    QVERIFY(f.opened);
    // A folder in the place of an item cannot be replaced by it.
    fs::create_directory(f.out / "front.jpg");
    Click(&f.form, "Command1");
    QCOMPARE(Control<QListWidget>(&f.form, "List1")->selectedItems().size(), 5);
    Control<QCheckBox>(&f.form, "Check1")->setChecked(true);
    f.shell.yesNoAnswers = {true};
    ExtractInto(f.form, f.shell, f.out);
    QCOMPARE(f.shell.messages.size(), 1);
    const QString text = f.shell.messages.front();
    QVERIFY2(text.startsWith("File(s) Extraction Completed.\nCould Not Extract front.jpg : "),
             qPrintable(text));
    QVERIFY(text.endsWith(
        "\nThe Album Was Not Deleted, Because Not Every Selected Item Was Extracted."));
    QVERIFY(fs::exists(f.album));
    QVERIFY(f.form.isVisible());
    QVERIFY(ReadFile(f.out / "back.gif") == kBack);

    fs::create_directory(f.dir / "again");
    ExtractInto(f.form, f.shell, f.dir / "again");
    QCOMPARE(f.shell.messages.mid(1), QStringList{"File(s) Extraction Completed."});
    QVERIFY(!fs::exists(f.album));
    QVERIFY(!f.form.isVisible());
    QCOMPARE(f.form.result(), int(QDialog::Accepted));
  }

  void refusesAnOrdinaryMp3() {
    AlbumFixture f(false);
    WriteTrack(f.dir / "plain.mp3", 40);
    QVERIFY(!f.Open(f.dir / "plain.mp3"));
    QCOMPARE(f.shell.messages, QStringList{"File Is Damaged, Or Of An Unsupported Type !"});
    // A cancelled open dialog closes the window quietly.
    QVERIFY(!f.form.Open());
    QCOMPARE(f.shell.messages.size(), 1);
  }

  void fileGivenToTheProgramOpensByItsContent() {
    AlbumFixture f(false);
    // An archive whatever its name; an MP3 named like an album is no album.
    WriteFile(f.dir / "old.mp3", album::testing::MakeWrap({{"A - Song.mp3", Pattern(99, 1)}}));
    WriteTrack(f.dir / "fake_LB.MP3", 40);
    app::frmMain window(f.shell);
    window.show();
    QStringList shown;
    WhenModalShown<app::Form3>([&](app::Form3* form) { shown = TrimmedLines(*form); });
    window.OpenFile(Q(f.dir / "old.mp3"));
    QCOMPARE(shown, QStringList{"Song"});
    window.OpenFile(Q(f.dir / "fake_LB.MP3"));
    QCOMPARE(f.shell.messages, QStringList{"File Is Damaged, Or Of An Unsupported Type !"});
    QVERIFY(f.shell.openFilters.isEmpty());
    QVERIFY(window.isVisible());
  }
};

QTEST_MAIN(Form3Test)
#include "form3_test.moc"
