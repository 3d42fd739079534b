// The album contents window driven as a person would: dialogs answered by the double, files
// dropped, entries dragged, the checks run.

#include "app/form1.h"
#include "app/listextent.h"
#include "tests/gui/guisupport.h"

using namespace guitest;

class Form1Test : public QObject {
  Q_OBJECT

  struct Window {
    FakeShell shell;
    app::Form1 form{shell, nullptr};
    QListWidget* list = Control<QListWidget>(&form, "List1");
    QPushButton* button(const char* name) { return Control<QPushButton>(&form, name); }
    QString label() { return Control<QLabel>(&form, "Label1")->text(); }
    // Adds each path through "Add Item ...".
    void add(const QStringList& paths) {
      for (const QString& path : paths) {
        shell.openAnswers.push_back(path);
        button("Command1")->click();
      }
    }
  };

 private slots:
  void opensWithItsControls() {
    Window w;
    QCOMPARE(w.form.windowTitle(), QString("MP3 - Lyrabinder"));
    QCOMPARE(
        TextsOf(&w.form, {"Command1", "Command2", "Command3", "Command4", "Command5", "cmdHelp",
                          "Label1", "Text1"}),
        QStringList(
            {"Add Item ...", "Remove Item", "Make Album ...", "Cancel", "Add Folder Contents ...",
             "Help", "Currently Selected Filename",
             "> MP3, TXT, JPG, and GIF files may be added to the list, by dragging from a folder "
             "and dropping on the \nlist above. Or the entire contents of a folder can be added "
             "with the 'Add Folder Contents' button. They \nmay also be added using the 'Add "
             "Item' button.\n> MP3 files should be  in the same order as  on original "
             "recording. Only non-VBR and 128 kbps \naccepted.\n> Text Files (TXT) should "
             "contain lyrics, and must immediately follow the MP3 file to which they belong, "
             "\nin the list above.\n> Graphic files (JPG, GIF) should contain CD / Album art, "
             "and can be added in any order to the above \nlist.\n> Items in the list can be "
             "rearranged by clicking on the item to be moved, and dragging it with the mouse "
             "\nbutton still down, to a new location and releasing the mouse button.\n"}));
    QCOMPARE(EnabledOf(&w.form, {"Command2", "Command3"}), QStringList());
    w.button("cmdHelp")->click();
    QCOMPARE(w.shell.openedDocuments, QList<QUrl>({QUrl::fromLocalFile(app::HelpPagePath())}));
  }

  void addsDroppedItemsAndItemsFromTheDialog() {
    Window w;
    // A drop with a document or an album in it is refused whole.
    QWidget* viewport = w.list->viewport();
    QCOMPARE(SendDrop(viewport, {"/m/a.mp3", "/m/b.txt", "/m/letter.doc"}), 0);
    QCOMPARE(SendDrop(viewport, {"/m/a.mp3", "/m/Best_LB.MP3"}), 0);
    QCOMPARE(w.list->count(), 0);
    QCOMPARE(SendDrop(viewport, {"/m/a.mp3", "/m/b.txt", "/m/c.GIF"}), 2);
    QVERIFY(w.button("Command3")->isEnabled());
    QVERIFY(w.shell.messages.isEmpty());
    QCOMPARE(SendDrop(viewport, {"/M/A.MP3", "/m/d.jpg"}), 2);
    QCOMPARE(w.shell.messages, QStringList({"Could Not Add Some Item(s), Duplicate Name Found"}));

    w.add({"/music/A/x.mp3", "/music/A/Live_LB.mp3", "/music/A/notes.doc", "/music/a/X.MP3",
           "/music/A/cover.jpg"});
    QCOMPARE(Texts(w.list), QStringList({"/m/a.mp3", "/m/b.txt", "/m/c.GIF", "/m/d.jpg",
                                         "/music/A/x.mp3", "/music/A/cover.jpg"}));
    QCOMPARE(w.shell.messages.mid(1), QStringList({"Could Not Add Item, Duplicate Name Found"}));
    QCOMPARE(w.shell.openFilters.first(),
             QString("Music Track (*.mp3)|*.mp3|Lyrics (*.txt)|*.txt|Album Art (*.jpg)|*.JPG|"
                     "Album Art (*.gif)|*.GIF|All Files (*.*)|*.*"));
    // The horizontal extent follows the widest entry.
    auto* list = static_cast<app::ExtentListWidget*>(w.list);
    const int widest = app::WidestEntryWidth(*list);
    QVERIFY(widest > 0);
    QVERIFY(list->horizontalExtent() >= widest && list->horizontalExtent() <= widest + 16);

    // Cancelling the dialog changes nothing.
    w.button("Command1")->click();
    QCOMPARE(w.list->count(), 6);
  }

  void addsAFolderInTrackOrder() {
    testsupport::ScopedTempDir dir;
    for (const char* name : {"02 - Two.mp3", "01 - One.mp3", "One.txt", "Two.txt", "cover.jpg",
                             "Old_LB.mp3", "readme.doc"}) {
      testsupport::WriteText(dir / name, "x");
    }
    Window w;
    w.shell.folderAnswers = {Q(dir.path())};
    w.button("Command5")->click();
    QCOMPARE(w.shell.folderPrompts, QStringList({"Please select a folder."}));
    QCOMPARE(Texts(w.list), Paths({dir / "cover.jpg", dir / "01 - One.mp3", dir / "One.txt",
                                   dir / "02 - Two.mp3", dir / "Two.txt"}));
    QVERIFY(w.shell.messages.isEmpty());
    QVERIFY(w.button("Command3")->isEnabled());

    // The same folder again: nothing new, one message. A cancelled chooser does nothing.
    w.shell.folderAnswers = {Q(dir.path()), QString()};
    w.button("Command5")->click();
    w.button("Command5")->click();
    QCOMPARE(w.list->count(), 5);
    QCOMPARE(w.shell.messages, QStringList({"Item(s) Were Not Added Due To Duplicate Names"}));
  }

  void reordersByDragging() {
    const struct {
      int from, to;
      QStringList expected;
    } cases[] = {{0, 2, {"/B.mp3", "/C.mp3", "/A.mp3", "/D.mp3"}},
                 {3, 1, {"/A.mp3", "/D.mp3", "/B.mp3", "/C.mp3"}},
                 {1, 1, {"/A.mp3", "/B.mp3", "/C.mp3", "/D.mp3"}}};
    for (const auto& c : cases) {
      Window w;
      w.form.show();
      QVERIFY(QTest::qWaitForWindowExposed(&w.form));
      w.add({"/A.mp3", "/B.mp3", "/C.mp3", "/D.mp3"});
      QTest::mousePress(w.list->viewport(), Qt::LeftButton, {},
                        w.list->visualItemRect(w.list->item(c.from)).center());
      QTest::mouseRelease(w.list->viewport(), Qt::LeftButton, {},
                          w.list->visualItemRect(w.list->item(c.to)).center());
      QCOMPARE(Texts(w.list), c.expected);
      QCOMPARE(w.list->currentRow(), c.to);
      QCOMPARE(w.label(), c.expected[c.to].mid(1));
      QVERIFY(w.button("Command2")->isEnabled());
    }
  }

  void keyboardFollowsTheScreenAndMovesAndRemovesEntries() {
    Window w;
    w.form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w.form));
    QStringList order;
    QWidget* widget = w.list;
    for (int i = 0; i < 8; ++i) {
      order += widget->objectName();
      widget = widget->nextInFocusChain();
      while (!(widget->focusPolicy() & Qt::TabFocus)) widget = widget->nextInFocusChain();
    }
    QCOMPARE(order, QStringList({"List1", "Command1", "Command5", "Command2", "Command3",
                                 "Command4", "cmdHelp", "Text1"}));

    w.add({"/A.mp3", "/B.mp3", "/C.mp3"});
    w.list->setFocus();
    w.list->setCurrentRow(0);
    QTest::keyClick(w.list, Qt::Key_Down, Qt::ControlModifier);
    QCOMPARE(Texts(w.list), QStringList({"/B.mp3", "/A.mp3", "/C.mp3"}));
    QCOMPARE(w.list->currentRow(), 1);
    QTest::keyClick(w.list, Qt::Key_Down, Qt::ControlModifier);
    QTest::keyClick(w.list, Qt::Key_Down, Qt::ControlModifier);  // already last
    QCOMPARE(Texts(w.list), QStringList({"/B.mp3", "/C.mp3", "/A.mp3"}));
    QTest::keyClick(w.list, Qt::Key_Up, Qt::ControlModifier);
    QCOMPARE(Texts(w.list), QStringList({"/B.mp3", "/A.mp3", "/C.mp3"}));
    QCOMPARE(w.label(), QString("A.mp3"));

    // "Remove Item" takes the current entry; with none current it stays enabled and does nothing.
    w.button("Command2")->click();
    QCOMPARE(Texts(w.list), QStringList({"/B.mp3", "/C.mp3"}));
    QCOMPARE(w.label(), QString());
    QVERIFY(w.button("Command2")->isEnabled());
    w.button("Command2")->click();
    QCOMPARE(w.list->count(), 2);
    for (int row : {1, 0}) {
      w.list->setCurrentRow(row);
      w.button("Command2")->click();
    }
    QCOMPARE(w.list->count(), 0);
    QCOMPARE(EnabledOf(&w.form, {"Command2", "Command3"}), QStringList());
    QCOMPARE(static_cast<app::ExtentListWidget*>(w.list)->horizontalExtent(), 0);
  }

  void qualityCheckRejectsOtherBitrates() {
    testsupport::ScopedTempDir dir;
    WriteTrack(dir / "good.mp3");
    Write160kbps(dir / "fast.mp3");
    WriteTrack(dir / "gone.mp3");
    testsupport::WriteText(dir / "stray.txt", "la la");
    Window w;
    w.add(Paths({dir / "good.mp3", dir / "fast.mp3", dir / "gone.mp3", dir / "stray.txt"}));
    // Deleted after it was added.
    std::filesystem::remove(dir / "gone.mp3");
    w.button("Command3")->click();
    QCOMPARE(Texts(w.list),
             QStringList({Q(dir / "good.mp3"), "Rejected Quality - Non 128 kbps (160) : fast.mp3",
                          "Rejected - File Cannot Be Read : gone.mp3", Q(dir / "stray.txt")}));
    // The order rules are not run after a failed check: only its message appears.
    QCOMPARE(w.shell.messages,
             QStringList({"Bitrate quality check of some MP3's failed (ckeck list)."}));
    QCOMPARE(
        EnabledOf(&w.form, {"Command1", "Command2", "Command3", "Command4", "Command5", "cmdHelp"},
                  true),
        QStringList({"Command1", "Command2", "Command3", "Command5"}));
  }

  void orderRulesStopMakeAlbum() {
    // Each rule and its message are checked with the list itself; here, how the window shows one.
    testsupport::ScopedTempDir dir;
    testsupport::WriteText(dir / "a.txt", "la");
    WriteTrack(dir / "b.mp3");
    Window w;
    w.add(Paths({dir / "a.txt", dir / "b.mp3"}));
    w.button("Command3")->click();
    QCOMPARE(w.shell.messages,
             QStringList({"Error: A Lyrics File Was Listed Before A Music File !"}));
    QCOMPARE(Texts(w.list), Paths({dir / "a.txt", dir / "b.mp3"}));
    QVERIFY(!w.button("Command3")->isHidden() && w.button("Command3")->isEnabled());
    QVERIFY(QApplication::activeModalWidget() == nullptr);
  }
};

QTEST_MAIN(Form1Test)
#include "form1_test.moc"
