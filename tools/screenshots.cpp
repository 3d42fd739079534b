// Shows each window of the program on sample media and saves a picture of it with
// ImageMagick's `import`, for review. Run by tools/screenshots under Xvfb.
#include <QApplication>
#include <QDir>
#include <QLinearGradient>
#include <QPainter>
#include <QProcess>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTextStream>
#include <chrono>
#include <thread>

#include "app/form1.h"
#include "app/form2.h"
#include "app/form3.h"
#include "app/form4.h"
#include "app/form5.h"
#include "app/form7.h"
#include "app/frmmain.h"
#include "session/mp3encoder.h"
#include "tests/album/albumtestutil.h"
#include "tests/gui/fakeshell.h"
#include "tests/gui/guisupport.h"
#include "tests/support/testsupport.h"

using namespace guitest;
namespace fs = std::filesystem;

namespace {

// Stops at 57% of the first file until it is asked to stop.
class HeldEncoder final : public session::Mp3Encoder {
 public:
  void SetEncoder(std::int32_t) override {}
  session::EncodeOutcome EncodeMp3(const std::string&, bool, const base::Progress& progress,
                                   const std::filesystem::path&) override {
    for (int i = 0; i < 6000; ++i) {
      if (!progress(57, 100)) return {.result = -2};
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return {};
  }
};

QString g_outFolder;
int g_failures = 0;

void Capture(QWidget* window, const QString& name) {
  if (!QTest::qWaitForWindowExposed(window)) ++g_failures;
  QTest::qWait(400);
  const QString file = QDir(g_outFolder).filePath(name + ".png");
  const int status =
      QProcess::execute("import", {"-window", QString::number(window->winId()), file});
  QTextStream(stdout) << (status == 0 ? "saved " : "FAILED ") << file << '\n';
  if (status != 0) ++g_failures;
}

void CaptureScreen(const QString& name) {
  QTest::qWait(400);
  const QString file = QDir(g_outFolder).filePath(name + ".png");
  const int status = QProcess::execute("import", {"-window", "root", file});
  QTextStream(stdout) << (status == 0 ? "saved " : "FAILED ") << file << '\n';
  if (status != 0) ++g_failures;
}

void WriteCover(const fs::path& path) {
  QImage image(600, 360, QImage::Format_RGB32);
  QPainter painter(&image);
  QLinearGradient gradient(0, 0, 600, 360);
  gradient.setColorAt(0, QColor(0x1d, 0x3b, 0x5c));
  gradient.setColorAt(1, QColor(0xe0, 0x8a, 0x1e));
  painter.fillRect(image.rect(), gradient);
  painter.setPen(Qt::white);
  QFont font = painter.font();
  font.setPixelSize(44);
  font.setBold(true);
  painter.setFont(font);
  painter.drawText(image.rect().adjusted(20, 20, -20, -20), Qt::AlignBottom | Qt::AlignLeft,
                   "Songs of Wire");
  painter.end();
  image.save(Q(path), "JPG", 90);
}

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  if (argc < 2) {
    QTextStream(stderr) << "usage: lyrabinder-screenshots OUTDIR\n";
    return 2;
  }
  g_outFolder = QString::fromLocal8Bit(argv[1]);
  QDir().mkpath(g_outFolder);

  testsupport::ScopedTempDir media;
  const fs::path folder = media / "Songs of Wire";
  fs::create_directory(folder);
  WriteTrack(folder / "01 - Copper Morning.mp3", 300, 0, "Copper Morning", "The Lyrebirds",
             "Songs of Wire", "1998");
  testsupport::WriteText(folder / "Copper Morning.txt", "Copper morning, wire and rain\r\n");
  WriteTrack(folder / "02 - Seven Strings.mp3", 420, 0, "Seven Strings", "The Lyrebirds",
             "Songs of Wire", "1998");
  WriteTrack(folder /
                 "03 - The Lyrebirds - Songs of Wire - Long Way Round (Live at the "
                 "Harbour Hall).mp3",
             380);
  testsupport::WriteText(folder / "Seven Strings.txt", "Seven strings and one to spare\r\n");
  WriteCover(folder / "cover.jpg");

  FakeShell shell;
  app::frmMain main(shell, app::LinkedPlayer);
  main.move(60, 40);
  main.show();
  Capture(&main, "frmMain");

  shell.folderAnswers = {Q(folder)};
  Control<QAbstractButton>(&main, "Command2")->click();
  app::Form1* form1 = main.ContentsWindow();
  form1->move(60, 40);
  Control<QPushButton>(form1, "Command5")->click();
  auto* list = Control<QListWidget>(form1, "List1");
  list->setCurrentRow(3);
  list->setFocus();
  Capture(form1, "Form1");
  list->horizontalScrollBar()->setValue(list->horizontalScrollBar()->maximum());
  Capture(form1, "Form1-scrolled");
  list->horizontalScrollBar()->setValue(0);

  list->setCurrentRow(0);  // the cover: the preview opens beside the list
  if (form1->Preview() != nullptr) Capture(form1->Preview(), "Form7");
  CaptureScreen("Form1+Form7");

  WhenModalShown<app::Form2>([](app::Form2* form2) {
    form2->move(120, 80);
    Capture(form2, "Form2");
  });
  Control<QPushButton>(form1, "Command3")->click();

  // A list with a rejected track: the buttons that could change it are gone.
  const fs::path fast = media / "Fast Version.mp3";
  Write160kbps(fast);
  shell.openAnswers = {Q(fast)};
  Control<QPushButton>(form1, "Command1")->click();
  Control<QPushButton>(form1, "Command3")->click();
  Capture(form1, "Form1-rejected");
  form1->close();

  // The extraction window on an album made of the same songs.
  const fs::path album = media / "The Lyrebirds - Songs of Wire _LB.MP3";
  const auto made = album::testing::MakeAlbum(
      media,
      {{"made/01 - Copper Morning.mp3", testsupport::Mp3Stream(300), 1, "Copper Morning"},
       {"made/Copper Morning.txt", testsupport::BytesOf("Copper morning, wire and rain\r\n")},
       {"made/02 - Seven Strings.mp3", testsupport::Mp3Stream(420), 1, "Seven Strings"},
       {"made/cover.jpg", testsupport::ReadFile(folder / "cover.jpg")}},
      album, {"Songs of Wire", "The Lyrebirds", "1998", "Complete", "2"});
  if (!made.ok()) ++g_failures;
  shell.openAnswers = {Q(album)};
  WhenModalShown<app::Form3>([](app::Form3* form3) {
    form3->move(120, 80);
    auto* items = Control<QListWidget>(form3, "List1");
    items->item(0)->setSelected(true);
    items->item(2)->setSelected(true);
    Capture(form3, "Form3");
  });
  Control<QAbstractButton>(&main, "Command3")->click();

  // The encoder window with a list, and during a run.
  HeldEncoder encoder;
  app::Form4 form4(shell, encoder);
  form4.move(120, 80);
  form4.show();
  form4.DropFiles({(media / "Copper Morning.wav").string(), (media / "Seven Strings.wav").string(),
                   (media / "Long Way Round (Live at the Harbour Hall).wav").string()});
  Control<QListWidget>(&form4, "List1")->setCurrentRow(1);
  Capture(&form4, "Form4");
  Control<QPushButton>(&form4, "Command3")->click();
  QTest::qWait(300);
  Capture(&form4, "Form4-running");
  Control<QPushButton>(&form4, "Command4")->click();
  QTest::qWait(300);
  form4.close();

  // The player on that album, playing its first track, with the web view beside it.
  shell.openAnswers = {Q(album)};
  auto* player = new app::Form5(shell, &main);
  player->setAttribute(Qt::WA_DeleteOnClose);
  player->move(60, 40);
  player->Load();
  for (int waited = 0; !player->Ready() && waited < 30000; waited += 50) QTest::qWait(50);
  if (!player->Ready()) ++g_failures;
  auto* play = Control<QAbstractButton>(player, "Command2");
  for (int waited = 0; !play->isEnabled() && waited < 30000; waited += 50) QTest::qWait(50);
  play->click();
  QTest::qWait(600);
  Capture(player, "Form5");
  CaptureScreen("Form5+Form6");
  player->close();
  return g_failures == 0 ? 0 : 1;
}
