// The encoder window: the list, runs off the window's thread with an encoder double, Cancel and
// closing during a run, and a run without the encoder library.
#include <atomic>
#include <chrono>
#include <fstream>
#include <map>
#include <mutex>
#include <thread>

#include "app/form4.h"
#include "app/mp3encoder.h"
#include "tests/gui/guisupport.h"
#include "wavpress/wavpress.h"

using namespace guitest;

namespace {

// Writes the MP3 beside the WAV in ten chunks, or fails a path of `failures` with its note.
// With `holdAfterFirstChunk` it keeps reporting the first chunk until it is asked to stop, so a
// test can act during the run.
class FakeEncoder final : public app::Mp3Encoder {
 public:
  bool holdAfterFirstChunk = false;
  std::string stopNote;
  std::map<std::string, std::string> failures;
  // The questions the window had asked when each conversion began.
  const QStringList* questions = nullptr;
  std::vector<qsizetype> questionsBefore;
  std::atomic<bool> ended = false;

  void SetEncoder(std::int32_t encoder) override { Note("encoder " + std::to_string(encoder)); }
  std::int32_t EncodeMp3(const std::string& path, bool replace, const app::EncodeProgress& progress,
                         const fs::path& output) override {
    Note((replace ? "replace " : "encode ") + path +
         (output.empty() ? "" : " as " + output.filename().string()));
    questionsBefore.push_back(questions ? questions->size() : 0);
    m_note.clear();
    if (const auto failure = failures.find(path); failure != failures.end()) {
      m_note = failure->second;
      return WAVPRESS_FAILED;
    }
    std::ofstream out(output.empty() ? fs::path(path).replace_extension(".mp3") : output,
                      std::ios::binary);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    for (int chunk = 1; chunk <= 10; ++chunk) {
      out << "chunk " << chunk << std::endl;
      do {
        if (!progress(chunk * 10, 100)) {
          m_note = stopNote;
          return WAVPRESS_STOPPED;
        }
        if (holdAfterFirstChunk) std::this_thread::sleep_for(std::chrono::milliseconds(5));
      } while (holdAfterFirstChunk && std::chrono::steady_clock::now() < deadline);
    }
    ended = true;
    return WAVPRESS_OK;
  }
  std::string FailureNote() const override { return m_note; }
  // What the window asked for, in order: "encoder N", then "encode PATH" or "replace PATH".
  std::vector<std::string> Calls() const {
    const std::lock_guard lock(m_mutex);
    return m_calls;
  }

 private:
  void Note(const std::string& call) {
    const std::lock_guard lock(m_mutex);
    m_calls.push_back(call);
  }
  mutable std::mutex m_mutex;
  std::vector<std::string> m_calls;
  std::string m_note;
};

struct Fixture {
  testsupport::ScopedTempDir dir;
  FakeShell shell;
  FakeEncoder encoder;
  app::Form4 form;
  // The window on the encoder double, or on `real`.
  explicit Fixture(app::Mp3Encoder* real = nullptr) : form(shell, real ? *real : encoder) {
    encoder.questions = &shell.questions;
    form.show();
  }
  fs::path Wav(const char* name) {
    WriteText(dir / name, "RIFF");
    return dir / name;
  }
  void Click(const char* name) { guitest::Click(&form, name); }
  // The controls that are enabled, of those the run state changes.
  QStringList Enabled() {
    return EnabledOf(
        &form, {"List1", "Command1", "Command2", "Command3", "Command4", "Command5", "cmdHelp"});
  }
  QStringList Lines() { return Texts(Control<QListWidget>(&form, "List1")); }
  // File label, percent label, selected name.
  QStringList Labels() { return TextsOf(&form, {"Label1", "lblPercent", "Label2"}); }
  // Starts a run and waits for its message.
  void RunToEnd() {
    const qsizetype before = shell.messages.size();
    Click("Command3");
    QTRY_VERIFY_WITH_TIMEOUT(shell.messages.size() > before, 60000);
  }
};

}  // namespace

class Form4Test : public QObject {
  Q_OBJECT

 private slots:
  void addsWaveFilesByDialogFolderAndDropAndRemovesThem() {
    Fixture f;
    QCOMPARE(f.form.windowTitle(), QString("Convert Wave Files To MP3 Format."));
    QVERIFY(f.form.RunState().isEmpty());
    QCOMPARE(f.Enabled(), QStringList({"List1", "Command1", "Command4", "Command5", "cmdHelp"}));
    QCOMPARE(f.Labels(), QStringList({"File:", "0%", "Currently Selected Filename"}));

    // A folder without WAV files adds nothing and leaves "Convert" as it was.
    fs::create_directory(f.dir / "none");
    WriteText(f.dir / "none" / "c.mp3", "x");
    f.shell.folderAnswers = {Q(f.dir / "none")};
    f.Click("Command5");
    QVERIFY(f.Lines().isEmpty());
    QVERIFY(!f.Enabled().contains("Command3"));
    f.shell.folderPrompts.clear();

    const fs::path a = f.Wav("a.wav");
    f.shell.openAnswers = {Q(f.dir / "notes.txt"), Q(a)};
    f.Click("Command1");
    QVERIFY(f.Lines().isEmpty());
    QVERIFY(!f.Enabled().contains("Command3"));
    f.Click("Command1");
    QCOMPARE(f.shell.openFilters,
             QStringList({"Wave File (*.wav)|*.wav", "Wave File (*.wav)|*.wav"}));
    QCOMPARE(f.Lines(), QStringList{Q(a)});
    QVERIFY(f.Enabled().contains("Command3"));

    fs::create_directory(f.dir / "sub");
    WriteText(f.dir / "sub" / "b.WAV", "RIFF");
    WriteText(f.dir / "sub" / "c.mp3", "x");
    f.shell.folderAnswers = {Q(f.dir / "sub")};
    f.Click("Command5");
    QCOMPARE(f.shell.folderPrompts, QStringList{"Add Contents : Please select a folder."});
    QCOMPARE(f.Lines(), QStringList({Q(a), Q(f.dir / "sub" / "b.WAV")}));

    // One path not ending in ".WAV" refuses the whole drop, even with ".WAV" elsewhere in it.
    QWidget* viewport = Control<QListWidget>(&f.form, "List1")->viewport();
    QCOMPARE(SendDrop(viewport, Paths({f.dir / "x.wav", f.dir / "y.mp3"})), 0);
    QCOMPARE(SendDrop(viewport, Paths({f.dir / "My.Wavs" / "song.mp3"})), 0);
    QCOMPARE(f.Lines().size(), 2);
    QCOMPARE(SendDrop(viewport, Paths({f.dir / "My.Wavs" / "song.WAV"})), 2);
    QCOMPARE(f.Lines().last(), Q(f.dir / "My.Wavs" / "song.WAV"));

    auto* list = Control<QListWidget>(&f.form, "List1");
    list->setCurrentRow(1);
    QCOMPARE(f.Labels().last(), QString("b.WAV"));
    f.Click("Command2");
    QCOMPARE(f.Lines(), Paths({a, f.dir / "My.Wavs" / "song.WAV"}));
    QCOMPARE(f.Labels().last(), QString());
    for (int row : {1, 0}) {
      QVERIFY(f.Enabled().contains("Command2"));
      list->setCurrentRow(row);
      f.Click("Command2");
    }
    QVERIFY(f.Lines().isEmpty());
    QCOMPARE(f.Enabled(), QStringList({"List1", "Command1", "Command4", "Command5", "cmdHelp"}));
    // Cancel before a run closes the window.
    f.Click("Command4");
    QVERIFY(!f.form.isVisible());
  }

  void convertsEachWaveOnceAndReplacesOnlyWhatTheUserAgreedTo() {
    Fixture f;
    const fs::path a = f.Wav("a.wav");
    f.shell.openAnswers = {Q(a)};
    f.Click("Command1");
    f.form.DropFiles({a.string()});
    QCOMPARE(f.Lines().size(), 2);
    f.RunToEnd();
    QCOMPARE(f.shell.messages, QStringList{"Encoding Complete !"});
    QCOMPARE(f.encoder.Calls(), (std::vector<std::string>{"encoder 0", "encode " + a.string()}));
    // After a run: empty list, every control enabled, the run state kept.
    QVERIFY(f.Lines().isEmpty());
    QCOMPARE(f.Enabled().size(), 7);
    QCOMPARE(f.form.RunState(), QString("STOP"));
    QCOMPARE(f.Labels(), QStringList({"File: ", "0%", ""}));
    // Nothing to remove and nothing to convert: both do nothing.
    f.Click("Command2");
    f.Click("Command3");
    QCOMPARE(f.shell.messages.size(), 1);
    // Cancel after a run no longer closes the window.
    f.Click("Command4");
    QVERIFY(f.form.isVisible());

    // An existing MP3 is replaced only after the user agreed, asked just before its file. A file
    // that is no WAV fails with its cause, and the message names it. Two inputs with one output
    // never replace each other: the second takes a free name, unasked, and the message says so.
    const fs::path kept = f.Wav("kept.wav"), replaced = f.Wav("replaced.wav"),
                   fresh = f.Wav("new.wav"), fake = f.Wav("fake.wav"), twin = f.Wav("twin.wav"),
                   twinUpper = f.Wav("twin.WAV");
    WriteText(f.dir / "kept.mp3", "mine");
    WriteText(f.dir / "replaced.mp3", "old");
    f.encoder.failures = {{fake.string(), fake.string() + ": not audio"}};
    f.form.DropFiles({fresh.string(), kept.string(), fake.string(), replaced.string(),
                      twin.string(), twinUpper.string()});
    f.shell.yesNoAnswers = {false, true};
    f.RunToEnd();
    QCOMPARE(f.shell.questions,
             QStringList({"kept.mp3 already exists.\nDo you want to replace it?",
                          "replaced.mp3 already exists.\nDo you want to replace it?"}));
    QCOMPARE(f.encoder.Calls(),
             (std::vector<std::string>{"encoder 0", "encode " + a.string(), "encoder 0",
                                       "encode " + fresh.string(), "encode " + fake.string(),
                                       "replace " + replaced.string(), "encode " + twin.string(),
                                       "encode " + twinUpper.string() + " as twin (2).mp3"}));
    QCOMPARE(f.encoder.questionsBefore, (std::vector<qsizetype>{0, 0, 1, 2, 2, 2}));
    QCOMPARE(ReadFile(f.dir / "kept.mp3"), BytesOf("mine"));
    QCOMPARE(f.shell.messages.last(), "Encoding Complete !\nEncoding failed: " + Q(fake) +
                                          ": not audio\n" + Q(twinUpper) + ": " +
                                          Q(f.dir / "twin.mp3") +
                                          " was written from another file of this run; "
                                          "written as " +
                                          Q(f.dir / "twin (2).mp3"));
  }

  void cancelInThePauseAfterTheLastFileStopsNothing() {
    Fixture f;
    f.form.DropFiles({f.Wav("a.wav").string()});
    f.Click("Command3");
    QTRY_VERIFY_WITH_TIMEOUT(f.encoder.ended, 30000);
    f.Click("Command4");
    QTRY_COMPARE_WITH_TIMEOUT(f.shell.messages, QStringList{"Encoding Complete !"}, 30000);
  }

  void cancelDuringARunStopsAtTheNextChunk() {
    Fixture f;
    f.encoder.holdAfterFirstChunk = true;
    f.encoder.stopNote = "a.wav: stopped; a.mp3 is kept as it was, the part encoded so far is x";
    // The file label counts list positions, a kept file's too.
    const fs::path kept = f.Wav("kept.wav"), a = f.Wav("a.wav"), b = f.Wav("b.wav");
    WriteText(f.dir / "kept.mp3", "mine");
    f.form.DropFiles({kept.string(), a.string(), b.string()});
    f.Click("Command3");
    QCOMPARE(f.form.RunState(), QString("START"));
    QCOMPARE(f.Enabled(), QStringList({"Command4", "cmdHelp"}));
    QTRY_COMPARE_WITH_TIMEOUT(Control<QLabel>(&f.form, "lblPercent")->text(), QString("10%"),
                              30000);
    QCOMPARE(f.Labels().first(), QString("File:  2 -"));
    QCOMPARE(Control<QProgressBar>(&f.form, "pMp3Encode")->value(), 10);
    // Esc during a run acts as Cancel.
    QTest::keyClick(&f.form, Qt::Key_Escape);
    QCOMPARE(f.form.RunState(), QString("STOP"));
    QTRY_COMPARE_WITH_TIMEOUT(
        f.shell.messages,
        QStringList{"Encoding Cancelled !\n" + QString::fromStdString(f.encoder.stopNote)}, 30000);
    QCOMPARE(f.encoder.Calls(), (std::vector<std::string>{"encoder 0", "encode " + a.string()}));
    QVERIFY(fs::file_size(f.dir / "a.mp3") > 0);
    QVERIFY(f.Lines().isEmpty());
    QVERIFY(f.form.isVisible());
    // After a run Esc closes the window as the close box does.
    QTest::keyClick(&f.form, Qt::Key_Escape);
    QVERIFY(!f.form.isVisible());
  }

  void closingDuringARunStopsItAndWaits() {
    Fixture f;
    f.encoder.holdAfterFirstChunk = true;
    f.form.DropFiles({f.Wav("a.wav").string()});
    f.Click("Command3");
    QTRY_COMPARE_WITH_TIMEOUT(f.encoder.Calls().size(), std::size_t{2}, 30000);
    f.form.close();
    QVERIFY(!f.form.isVisible());
    QVERIFY(!f.form.Running());
    QVERIFY(f.shell.messages.isEmpty());
  }

  void aMissingEncoderLibraryEndsCompleteWithoutMp3() {
    // The test's own folder holds no libwavpress, and neither does the loader's search path.
    const auto encoder = app::CreateWavpressEncoder();
    Fixture f(encoder.get());
    WriteFile(f.dir / "tone.wav", ToneWav(0.2, 440));
    f.form.DropFiles({(f.dir / "tone.wav").string()});
    f.RunToEnd();
    QVERIFY(f.shell.messages.last().startsWith(
        "Encoding Complete !\nEncoding failed: " + Q(f.dir / "tone.wav") + ": "));
    QVERIFY(!fs::exists(f.dir / "tone.mp3"));
  }
};

QTEST_MAIN(Form4Test)
#include "form4_test.moc"
