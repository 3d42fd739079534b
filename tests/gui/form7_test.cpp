// The picture preview: the fit arithmetic, the size limit, and the window beside the list.

#include "app/form7.h"
#include "app/form1.h"
#include "tests/gui/guisupport.h"

using namespace guitest;

class Form7Test : public QObject {
  Q_OBJECT

  struct Window {
    FakeShell shell;
    app::Form1 form{shell, nullptr};
    QListWidget* list = Control<QListWidget>(&form, "List1");
    explicit Window(const QStringList& paths) {
      for (const QString& path : paths) {
        shell.openAnswers.push_back(path);
        Click(&form, "Command1");
      }
      form.move(200, 50);
      form.show();
    }
  };

 private slots:
  void fitsPicturesIntoTheBox() {
    struct Case {
      float w, h, boxW, boxH, leftOffset, topOffset;
      bool centre;
      app::PictureFit expected;
    };
    const std::vector<Case> cases = {
        // A wide picture in a square box fills its width and is centred vertically:
        // 100 / (400 / 180) = 45; (180 - 45) = 135 -> 67.
        {400, 100, 180, 180, 0, 0, true, {0, 67, 180, 45}},
        // 100 / (400 / 187) = 46.75; 140.25 rounds to 140 -> 70.
        {400, 100, 187, 187, 0, 0, true, {0, 70, 187, 46.75f}},
        // A relatively wider box: the height is filled, the width centred.
        {400, 100, 1000, 100, 0, 0, true, {300, 0, 400, 100}},
        {100, 400, 200, 200, 0, 0, true, {75, 0, 50, 200}},
        // 2.5 spare rounds half to even (2) before halving.
        {1, 4, 3, 2, 0, 0, true, {1, 0, 0.5f, 2}},
        // Offsets move the result; without centring it sits at the offsets.
        {400, 100, 180, 180, 10, 20, true, {10, 87, 180, 45}},
        {400, 100, 180, 180, 10, 20, false, {10, 20, 180, 45}},
        // The same ratio: the height decides.
        {200, 100, 400, 200, 0, 0, true, {0, 0, 400, 200}},
        // No picture: nothing to fit, at the offsets.
        {0, 0, 100, 100, 3, 4, true, {3, 4, 0, 0}},
    };
    for (const Case& c : cases) {
      const app::PictureFit fit =
          app::FitPicture(c.w, c.h, c.boxW, c.boxH, c.leftOffset, c.topOffset, c.centre);
      QVERIFY2(fit.left == c.expected.left && fit.top == c.expected.top &&
                   qFuzzyCompare(fit.width, c.expected.width) &&
                   qFuzzyCompare(fit.height, c.expected.height),
               qPrintable(QString("%1x%2 in %3x%4").arg(c.w).arg(c.h).arg(c.boxW).arg(c.boxH)));
    }
  }

  void previewOpensBesideTheListFitsAndRefusesLargeFiles() {
    ScopedTempDir dir;
    WritePicture(dir / "wide.jpg", 400, 100);
    WriteText(dir / "a.mp3", "x");
    // A picture with 850000 bytes or more is refused by its size alone.
    auto big = Pattern(850000);
    WriteFile(dir / "big.jpg", big);
    big.pop_back();
    WriteFile(dir / "just below.jpg", big);
    Window w(Paths({dir / "a.mp3", dir / "wide.jpg", dir / "big.jpg", dir / "just below.jpg"}));
    QVERIFY(QTest::qWaitForWindowExposed(&w.form));
    w.list->setCurrentRow(1);
    app::Form7* preview = w.form.Preview();
    QVERIFY(preview != nullptr);
    QCOMPARE(preview->windowTitle(), QString("Preview"));
    QCOMPARE(preview->Picture().size(), QSize(400, 100));
    QCOMPARE(w.form.x(), 0);
    QCOMPARE(preview->pos(), QPoint(w.form.frameGeometry().width(), w.form.frameGeometry().top()));

    // The picture fills the inner width and is centred vertically.
    QVERIFY(QTest::qWaitForWindowExposed(preview));
    auto* image = Control<QLabel>(preview, "Image1");
    const QSize box = preview->size();
    QCOMPARE(image->width(), box.width());
    QCOMPARE(image->height(), qRound(box.width() / 4.0));
    QVERIFY(qAbs(image->y() - (box.height() - image->height()) / 2) <= 1);
    QCOMPARE(image->x(), 0);

    // Resizing refits; a minimised window does not, until it is restored.
    preview->resize(800, 100);
    QCOMPARE(image->geometry(), QRect(200, 0, 400, 100));
    preview->setWindowState(Qt::WindowMinimized);
    preview->resize(300, 600);
    QCOMPARE(image->geometry(), QRect(200, 0, 400, 100));
    preview->setWindowState(Qt::WindowNoState);
    QCOMPARE(image->geometry(), QRect(0, 262, 300, 75));

    // Another kind of entry closes the preview.
    w.list->setCurrentRow(0);
    QVERIFY(w.form.Preview() == nullptr);
    w.list->setCurrentRow(2);
    QCOMPARE(w.form.Preview()->windowTitle(), QString("Image Too Large To Display"));
    QVERIFY(w.form.Preview()->Picture().isNull());
    // A title bar as narrow as the window cuts the caption; the window says it too.
    QCOMPARE(TextsOf(w.form.Preview(), {"lblTooLarge"}), QStringList{"Image Too Large To Display"});
    QVERIFY(!Control<QLabel>(w.form.Preview(), "lblTooLarge")->isHidden());
    w.list->setCurrentRow(3);
    // Loaded, but not a picture: the window stays empty under its usual caption.
    QCOMPARE(w.form.Preview()->windowTitle(), QString("Preview"));
    QVERIFY(w.form.Preview()->Picture().isNull());

    // So does "Remove Item".
    Click(&w.form, "Command2");
    QVERIFY(w.form.Preview() == nullptr);
  }
};

QTEST_MAIN(Form7Test)
#include "form7_test.moc"
