// The album player against the clock, offscreen: from choosing an album to the player ready
// (controls enabled, previews made) and to the viewer's page loaded, and from Play to the first
// audio handed to the output. Each run opens a new player through its open dialog, which the
// user answers after a second; with "given" the album is given to the player as the program's
// file argument is, and the clock starts as the player is made. A web folder without previews
// has them made by the first run; later runs find them. Prints the first run and the median of
// the others in milliseconds.
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <QWebEngineView>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "app/form5.h"
#include "app/form6.h"
#include "media/mpg123device.h"
#include "tests/gui/fakeshell.h"

namespace {

using Clock = std::chrono::steady_clock;

// What a user takes to choose an album in the open dialog.
constexpr int kChoosingMs = 1000;

// The open dialog: the event loop runs while the user chooses, as under a modal dialog, and the
// clock starts when the album is chosen.
class ChoosingShell final : public guitest::FakeShell {
 public:
  explicit ChoosingShell(QElapsedTimer& clock) : m_clock(clock) {}
  QString OpenFileName(QWidget* owner, const QString& filter, const QString& start) override {
    QEventLoop choosing;
    QTimer::singleShot(kChoosingMs, &choosing, &QEventLoop::quit);
    choosing.exec();
    m_clock.start();
    return FakeShell::OpenFileName(owner, filter, start);
  }

 private:
  QElapsedTimer& m_clock;
};

// The SDL output, noting when the first audio is handed to it.
class TimedOutput final : public media::AudioOutput {
 public:
  explicit TimedOutput(std::atomic<Clock::rep>* first)
      : m_inner(media::CreateSdlOutput()), m_first(first) {}
  bool Open(long rate, int channels, media::PcmPull pull) override {
    auto* first = m_first;
    return m_inner->Open(
        rate, channels, [pull = std::move(pull), first](std::int16_t* out, std::size_t frames) {
          const std::size_t got = pull(out, frames);
          Clock::rep none = 0;
          if (got > 0) {
            first->compare_exchange_strong(none, Clock::now().time_since_epoch().count());
          }
          return got;
        });
  }
  void SetPaused(bool paused) override { m_inner->SetPaused(paused); }
  void Reset(const std::function<void()>& change) override { m_inner->Reset(change); }
  std::int64_t PlayedFrames() const override { return m_inner->PlayedFrames(); }

 private:
  std::unique_ptr<media::AudioOutput> m_inner;
  std::atomic<Clock::rep>* m_first;
};

// How long the program idles after a player closed before its memory is read.
constexpr int kSettleMs = 300;

// Resident memory in kB (0 where /proc is missing).
long ResidentKb() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.starts_with("VmRSS:")) return std::atol(line.c_str() + 6);
  }
  return 0;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0.0 : values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: player_bench ALBUM [RUNS] [given]\n");
    return 2;
  }
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  QApplication application(argc, argv);
  const QString album = QString::fromLocal8Bit(argv[1]);
  const int runs = argc > 2 ? std::atoi(argv[2]) : 5;
  const bool given = argc > 3 && std::string_view(argv[3]) == "given";
  std::atomic<Clock::rep> firstAudio{0};
  int previews = 0;
  std::vector<double> opening, toPage, toAudio, playCall;
  std::vector<long> resident;
  for (int run = 0; run < runs; ++run) {
    QElapsedTimer timer;
    ChoosingShell shell(timer);
    shell.openAnswers.push_back(album);
    if (given) timer.start();
    auto* form = new app::Form5(shell, nullptr, [&firstAudio] {
      return std::make_unique<media::Mpg123Device>(
          [&firstAudio] { return std::make_unique<TimedOutput>(&firstAudio); });
    });
    QEventLoop loop;
    QObject::connect(form, &app::Form5::opened, &loop, &QEventLoop::quit);
    // The viewer's page counts once the browser has loaded it; a viewer not shown (an album
    // without pictures or lyrics) adds nothing.
    double pageMs = -1;
    QEventLoop page;
    QObject::connect(form, &app::Form5::opened, &page, [&] {
      QWidget* viewer = form->Viewer();
      auto* view = viewer ? viewer->findChild<QWebEngineView*>() : nullptr;
      if (!view || !viewer->isVisible()) return;
      pageMs = 0;
      // A blank page the browser started with may end (cut short) meanwhile. The viewer
      // outlives the player: its later pages are not this opening's.
      QObject::connect(view, &QWebEngineView::loadFinished, form, [&, view](bool ok) {
        if (!ok || view->url() != form->Viewer()->NavigatedUrl()) return;
        if (pageMs == 0) pageMs = static_cast<double>(timer.nsecsElapsed()) / 1e6;
        page.quit();
      });
    });
    if (given) {
      form->Load(album);
    } else {
      form->Load();
    }
    if (!form->Ready()) loop.exec();
    opening.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
    if (pageMs == 0) {
      QTimer::singleShot(10000, &page, &QEventLoop::quit);
      page.exec();
    }
    toPage.push_back(pageMs < 0 ? opening.back() : pageMs);
    previews = 0;
    for (const auto& entry : std::filesystem::directory_iterator(form->WebFolder())) {
      if (entry.path().extension() == ".jpg") ++previews;
    }

    firstAudio = 0;
    const auto played = Clock::now();
    form->Session().Play();
    playCall.push_back(std::chrono::duration<double, std::milli>(Clock::now() - played).count());
    while (firstAudio == 0 && Clock::now() - played < std::chrono::seconds(5)) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    }
    toAudio.push_back(std::chrono::duration<double, std::milli>(Clock::duration(firstAudio.load()) -
                                                                played.time_since_epoch())
                          .count());
    form->Session().Stop();
    delete form;
    // What a closed player leaves behind once the program is idle: deferred deletions done, and
    // the browser's own clean-up of the page it showed (it frees asynchronously; read at once,
    // the same ten cycles came out anywhere between -0.2 and +2.8 MB).
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QEventLoop idle;
    QTimer::singleShot(kSettleMs, &idle, &QEventLoop::quit);
    idle.exec();
    resident.push_back(ResidentKb());
    std::printf("run %d: ready %7.1f ms, viewer's page loaded %7.1f ms, resident after %ld kB\n",
                run + 1, opening.back(), toPage.back(), resident.back());
  }
  // The first opening makes the previews; the others find them.
  const auto later = [](const std::vector<double>& all) {
    return Median(
        std::vector<double>(all.begin() + std::min<std::ptrdiff_t>(1, std::ssize(all)), all.end()));
  };
  std::printf("first opening to ready, previews made: %8.1f ms\n", opening.front());
  std::printf("first opening to viewer's page:        %8.1f ms\n", toPage.front());
  std::printf("reopening to ready:                    %8.1f ms (median of %d)\n", later(opening),
              runs - 1);
  std::printf("reopening to viewer's page:            %8.1f ms (median of %d)\n", later(toPage),
              runs - 1);
  std::printf("Play to first audio:             %8.1f ms (median of %d)\n", Median(toAudio), runs);
  std::printf("Play on the GUI thread (with the album's length scan): %8.1f ms (median of %d)\n",
              Median(playCall), runs);
  std::printf("previews in the web folder: %d\n", previews);
  // The first cycle starts the engine; the others should leave nothing behind.
  std::printf(
      "resident after the first open/play/close: %ld kB, after the last: %ld kB (%+ld kB "
      "over %d cycles)\n",
      resident.front(), resident.back(), resident.back() - resident.front(), runs - 1);
  return 0;
}
