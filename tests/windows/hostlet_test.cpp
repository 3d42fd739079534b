// Hostlet and the web-view component inside a stand-in Winamp, under Wine.

#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "hostlet/winampgen.h"
#include "tests/album/albumtestutil.h"
#include "tests/support/testsupport.h"
#include "tests/webview/webviewtestutil.h"
#include "tests/windows/fakewinamp.h"
#include "webplugin/winampipc.h"
#include "webview/helpers.h"
#include "webview/webfolder.h"

namespace {

using fakewinamp::FakeWinamp;
using fakewinamp::PumpFor;
using fakewinamp::PumpUntil;
using testsupport::ScopedTempDir;
namespace fs = std::filesystem;

constexpr char kRegistryKey[] = "Software\\Ovo_Tek\\Hostlet\\1.0";
constexpr char kHostFile[] = "gen_MP3LyrabinderWeb.Plugin.dll";
constexpr char kComponentFile[] = "MP3LyrabinderWeb.dll";
constexpr char kComponentName[] = "MP3LyrabinderWeb";

// The registration time stored for a component, raw.
struct StoredValue {
  DWORD type = 0;
  std::vector<BYTE> bytes;
};

std::optional<StoredValue> ReadStored(const std::string& name) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRegistryKey, 0, KEY_READ, &key) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  StoredValue value;
  DWORD size = 0;
  std::optional<StoredValue> result;
  if (RegQueryValueExA(key, name.c_str(), nullptr, &value.type, nullptr, &size) == ERROR_SUCCESS) {
    value.bytes.resize(size);
    if (RegQueryValueExA(key, name.c_str(), nullptr, &value.type, value.bytes.data(), &size) ==
        ERROR_SUCCESS) {
      value.bytes.resize(size);
      result = value;
    }
  }
  RegCloseKey(key);
  return result;
}

void WriteStored(const std::string& name, DWORD type, const std::vector<BYTE>& bytes) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kRegistryKey, 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegSetValueExA(key, name.c_str(), 0, type, bytes.data(), static_cast<DWORD>(bytes.size()));
  RegCloseKey(key);
}

void DeleteStored(const std::string& name) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRegistryKey, 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
    RegDeleteValueA(key, name.c_str());
    RegCloseKey(key);
  }
}

std::uint64_t FileTimeValue(const FILETIME& time) {
  return (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

std::uint64_t Now() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  return FileTimeValue(now);
}

constexpr std::uint64_t kSecond = 10'000'000;  // file-time units

std::vector<BYTE> TimeBytes(std::uint64_t time) {
  std::vector<BYTE> bytes(8);
  for (int i = 0; i < 8; ++i)
    bytes[static_cast<std::size_t>(i)] = static_cast<BYTE>(time >> (8 * i));
  return bytes;
}

std::uint64_t TimeOf(const std::vector<BYTE>& bytes) {
  std::uint64_t time = 0;
  for (int i = 0; i < 8; ++i)
    time |= static_cast<std::uint64_t>(bytes[static_cast<std::size_t>(i)]) << (8 * i);
  return time;
}

// A path as Winamp hands it over: in the system's ANSI code page.
std::string Ansi(const fs::path& path) {
  const std::wstring wide = path.wstring();
  BOOL lossy = FALSE;
  const int length = WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, nullptr, 0, nullptr, &lossy);
  std::string text(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, text.data(), length, nullptr, &lossy);
  EXPECT_FALSE(lossy) << "the code page cannot hold the test's path";
  text.resize(std::strlen(text.c_str()));
  return text;
}

void SetLastWrite(const fs::path& path, std::uint64_t time) {
  HANDLE file = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  FILETIME fileTime{static_cast<DWORD>(time), static_cast<DWORD>(time >> 32)};
  ASSERT_TRUE(SetFileTime(file, nullptr, nullptr, &fileTime));
  CloseHandle(file);
}

// A loaded host DLL and its plug-in record.
class LoadedHost {
 public:
  explicit LoadedHost(const fs::path& path) : m_module(LoadLibraryW(path.c_str())) {
    if (m_module == nullptr) return;
    auto get = reinterpret_cast<winamp::GetGeneralPurposePluginFunction>(
        reinterpret_cast<void*>(GetProcAddress(m_module, winamp::kGetGeneralPurposePlugin)));
    if (get != nullptr) m_record = get();
  }
  ~LoadedHost() {
    if (m_module != nullptr) FreeLibrary(m_module);
  }
  LoadedHost(const LoadedHost&) = delete;
  LoadedHost& operator=(const LoadedHost&) = delete;

  bool Loaded() const { return m_module != nullptr; }
  HMODULE Module() const { return m_module; }
  winamp::winampGeneralPurposePlugin* Record() const { return m_record; }

 private:
  HMODULE m_module;
  winamp::winampGeneralPurposePlugin* m_record = nullptr;
};

void CopyFileTo(const char* from, const fs::path& to) {
  fs::copy_file(fs::path(from), to, fs::copy_options::overwrite_existing);
}

TEST(HostletNames, OnlyWellFormedFileNamesLoad) {
  ScopedTempDir dir;
  struct Case {
    std::string hostFile;
    std::string componentFile;  // copied beside it when not empty
    bool loads;
  };
  const std::string longest(47, 'C');
  const std::string tooLong(48, 'C');
  const std::vector<Case> cases = {
      {"gen_a.b.dll", "a.dll", true},                         // 11 characters, the shortest
      {"gen_ab.dll", "", false},                              // 10 characters
      {"gen_LbNamesPlugin.dll", "LbNamesPlugin.dll", false},  // no "."
      {"gen_.Plugin.dll", ".dll", false},                     // empty component name
      {"gen_LbNames..dll", "LbNames.dll", false},             // empty class name
      {"gen_" + longest + ".Plugin.dll", longest + ".dll", true},
      {"gen_" + tooLong + ".Plugin.dll", tooLong + ".dll", false},
      {"gen_LbClass." + longest + ".dll", "LbClass.dll", true},
      {"gen_LbClass." + tooLong + ".dll", "LbClass.dll", false},
      {"gen_LbMissing.Plugin.dll", "", false},  // no component file beside it
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.hostFile);
    const fs::path folder = dir / std::to_string(&c - cases.data());
    fs::create_directories(folder);
    CopyFileTo(LB_HOSTLET_DLL, folder / c.hostFile);
    if (!c.componentFile.empty()) CopyFileTo(LB_WEBPLUGIN_DLL, folder / c.componentFile);
    LoadedHost host(folder / c.hostFile);
    EXPECT_EQ(host.Loaded(), c.loads);
    if (host.Loaded()) {
      ASSERT_NE(host.Record(), nullptr);
      EXPECT_EQ(host.Record()->version, 0x10);
      EXPECT_STREQ(host.Record()->description, "");
    }
  }
  for (const std::string& name : {std::string("a"), longest, std::string("LbClass")}) {
    DeleteStored(name);
  }
}

TEST(HostletRegistration, RegistersWhenNoValidTimeIsStoredOrTheFileIsNewer) {
  ScopedTempDir dir;
  const std::string name = "LbRegistration";
  const fs::path host = dir / ("gen_" + name + ".Plugin.dll");
  const fs::path component = dir / (name + ".dll");
  CopyFileTo(LB_HOSTLET_DLL, host);
  CopyFileTo(LB_WEBPLUGIN_DLL, component);
  const std::uint64_t fileTime = Now() - 3600 * kSecond;
  SetLastWrite(component, fileTime);

  struct Case {
    const char* what;
    std::optional<StoredValue> stored;
    bool registers;
  };
  const std::vector<Case> cases = {
      {"nothing stored", std::nullopt, true},
      {"wrong type", StoredValue{REG_DWORD, {1, 2, 3, 4}}, true},
      {"wrong length", StoredValue{REG_BINARY, {1, 2, 3, 4}}, true},
      {"longer than 8 bytes", StoredValue{REG_BINARY, std::vector<BYTE>(9, 0)}, true},
      {"stored time older than the file", StoredValue{REG_BINARY, TimeBytes(fileTime - kSecond)},
       true},
      {"stored time later than the file", StoredValue{REG_BINARY, TimeBytes(fileTime + kSecond)},
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    DeleteStored(name);
    if (c.stored) WriteStored(name, c.stored->type, c.stored->bytes);
    const std::uint64_t before = Now();
    {
      LoadedHost loaded(host);
      EXPECT_TRUE(loaded.Loaded());
    }
    const std::optional<StoredValue> after = ReadStored(name);
    ASSERT_TRUE(after);
    if (c.registers) {
      EXPECT_EQ(after->type, static_cast<DWORD>(REG_BINARY));
      ASSERT_EQ(after->bytes.size(), 8u);
      // The system time of the registration, to the millisecond.
      EXPECT_GE(TimeOf(after->bytes) + kSecond, before);
      EXPECT_LE(TimeOf(after->bytes), Now() + kSecond);
    } else {
      EXPECT_EQ(after->type, c.stored->type);
      EXPECT_EQ(after->bytes, c.stored->bytes);
    }
  }

  // A replaced, newer component file is registered again at the next load.
  WriteStored(name, REG_BINARY, TimeBytes(fileTime + kSecond));
  SetLastWrite(component, fileTime + 60 * kSecond);
  const std::uint64_t before = Now();
  {
    LoadedHost loaded(host);
    EXPECT_TRUE(loaded.Loaded());
  }
  EXPECT_GE(TimeOf(ReadStored(name).value().bytes) + kSecond, before);
  DeleteStored(name);
}

TEST(HostletRegistration, AFailedRegistrationRefusesTheLoadAndStoresNothing) {
  ScopedTempDir dir;
  struct Case {
    const char* what;
    testsupport::Bytes component;  // empty: the host DLL itself, which has no DllRegisterServer
  };
  const std::string name = "LbBroken";
  for (const Case& c : {Case{"not a library", testsupport::BytesOf("MZ but nothing more")},
                        Case{"no registration export", {}}}) {
    SCOPED_TRACE(c.what);
    const fs::path folder = dir / c.what;
    fs::create_directories(folder);
    CopyFileTo(LB_HOSTLET_DLL, folder / ("gen_" + name + ".Plugin.dll"));
    if (c.component.empty()) {
      // Loaded as a component, a host named without "gen_" and "." refuses to load too.
      CopyFileTo(LB_HOSTLET_DLL, folder / (name + ".dll"));
    } else {
      testsupport::WriteFile(folder / (name + ".dll"), c.component);
    }
    DeleteStored(name);
    LoadedHost host(folder / ("gen_" + name + ".Plugin.dll"));
    EXPECT_FALSE(host.Loaded());
    EXPECT_FALSE(ReadStored(name));
  }
}

// Winamp with Hostlet and the component loaded from one plug-in folder.
class Winamp : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    // COM stays up for the whole program, so that components stay loaded between cases.
    CoInitialize(nullptr);
    s_dir = new ScopedTempDir();
    fs::create_directories(PluginFolder());
    CopyFileTo(LB_HOSTLET_DLL, PluginFolder() / kHostFile);
    CopyFileTo(LB_WEBPLUGIN_DLL, PluginFolder() / kComponentFile);
  }
  static void TearDownTestSuite() {
    delete s_dir;
    s_dir = nullptr;
  }
  static fs::path PluginFolder() { return s_dir->path() / "Plugins"; }

  Winamp() {
    std::random_device seed;
    artist = "LbWinamp" + std::to_string(seed() % 1000000);
  }
  ~Winamp() override {
    Quit();
    std::error_code ec;
    fs::remove_all(fs::path(webview::TempFolder()) / webview::WebRootLevel() / artist, ec);
  }

  // Loads the host (registering the component from this folder) and starts it.
  void Start() {
    // Registration points the class at this folder's component file.
    DeleteStored(kComponentName);
    host = std::make_unique<LoadedHost>(PluginFolder() / kHostFile);
    ASSERT_TRUE(host->Loaded());
    ASSERT_NE(host->Record(), nullptr);
    EXPECT_STREQ(host->Record()->description, "");
    host->Record()->hwndParent = winamp.Window();
    host->Record()->hDllInstance = host->Module();
    ASSERT_EQ(host->Record()->init(), 0);
  }

  void Quit() {
    if (host && host->Record() != nullptr && !quit) {
      host->Record()->quit();
      quit = true;
    }
  }

  // An album of two tracks (1000 and 1001 ms) with one picture.
  fs::path MakeAlbum() {
    const fs::path path = albumDir / "Best_LB.MP3";
    const std::array<std::uint8_t, 12> palette = {0, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0, 255};
    const album::WriteResult result = album::testing::MakeAlbum(
        albumDir,
        {{"one.mp3", testsupport::Mp3Stream(3), 1, "One"},
         {"two.mp3", testsupport::Mp3Stream(2), 1, "Two"},
         {"front.gif", webview::testing::Gif(8, 4, palette, [](int x, int) { return x % 4; })}},
        path, {"Best Of", artist, "2001", "", ""});
    EXPECT_TRUE(result.ok()) << result.error;
    return path;
  }

  std::size_t PollsAhead(int count) {
    const int target = winamp.Polls() + count;
    EXPECT_TRUE(PumpUntil([&] { return winamp.Polls() >= target; }));
    return winamp.calls.size();
  }

  bool OpeningEndsWith(std::size_t from, LPARAM ipc, const std::string& page) {
    for (const fakewinamp::IpcCall& call : winamp.Openings(from)) {
      if (call.ipc == ipc && call.text.size() >= page.size() &&
          call.text.compare(call.text.size() - page.size(), page.size(), page) == 0) {
        return true;
      }
    }
    return false;
  }

  static ScopedTempDir* s_dir;
  FakeWinamp winamp;
  ScopedTempDir albumDir;
  std::string artist;
  std::unique_ptr<LoadedHost> host;
  bool quit = false;
};

ScopedTempDir* Winamp::s_dir = nullptr;

TEST_F(Winamp, DescriptionIsSetByTheComponentAndEmptyAfterQuit) {
  Start();
  EXPECT_STREQ(host->Record()->description, "MP3 - Lyrabinder Plugin by Verrin");
  Quit();
  EXPECT_STREQ(host->Record()->description, "");
}

TEST_F(Winamp, ConfigureShowsTheInformationBox) {
  Start();
  host->Record()->config();
  ASSERT_EQ(winamp.messageBoxes.size(), 1u);
  EXPECT_EQ(winamp.messageBoxes[0].caption, "No Configuration Necessary");
  const std::string& text = winamp.messageBoxes[0].text;
  EXPECT_NE(text.find("MP3 - Lyrabinder Winamp MiniBrowser Plugin. v1.10"), std::string::npos)
      << text;
  EXPECT_NE(text.find("This plugin currently relies on MP3CUE for part of it's functionality."),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("Get it at: "), std::string::npos) << text;
}

TEST_F(Winamp, OlderWinampGetsTheVersionMessageAndNoPolling) {
  winamp.version = 0x21FF;
  winamp.playlist = {MakeAlbum().string()};
  Start();
  ASSERT_EQ(winamp.messageBoxes.size(), 1u);
  EXPECT_EQ(winamp.messageBoxes[0].text,
            "This plugin requires Winamp v2.2 or greater.  " + std::to_string(0x21FF));
  PumpFor(std::chrono::milliseconds(3500));
  EXPECT_EQ(winamp.Polls(), 0);
  EXPECT_TRUE(winamp.Openings().empty());
}

TEST_F(Winamp, FollowsAnAlbumThroughItsTracks) {
  const fs::path album = MakeAlbum();
  const fs::path song = albumDir / "one.mp3";
  winamp.version = 0x5011;
  winamp.playlist = {song.string(), album.string()};
  Start();
  PollsAhead(2);
  EXPECT_TRUE(winamp.Openings().empty()) << "an ordinary MP3 opens no page";

  // Switching to the album: CUE sheet, pages, mini-browser up, main page shown.
  std::size_t from = winamp.calls.size();
  const auto switched = std::chrono::steady_clock::now();
  const int pollsBefore = winamp.Polls();
  winamp.listPos = 1;
  ASSERT_TRUE(PumpUntil([&] { return !winamp.Openings(from).empty(); }));
  // The first poll after the switch does it all; a busy machine may only stretch the second.
  EXPECT_EQ(winamp.Polls(), pollsBefore + 1);
  const auto took = std::chrono::steady_clock::now() - switched;
  EXPECT_LT(took, std::chrono::seconds(15)) << "a poll every second";
  const fakewinamp::IpcCall opening = winamp.Openings(from).front();
  EXPECT_EQ(opening.ipc, winamp::kIpcMbOpenReal);
  const std::string mainPage = "MP3 - LyrabinderWeb.htm";
  ASSERT_GE(opening.text.size(), mainPage.size());
  EXPECT_EQ(opening.text.substr(opening.text.size() - mainPage.size()), mainPage);
  bool broughtUp = false;
  for (std::size_t i = from; i < winamp.calls.size(); ++i) {
    if (winamp.calls[i].ipc == winamp::kIpcMbOpenReal && winamp.calls[i].value == 0)
      broughtUp = true;
  }
  EXPECT_TRUE(broughtUp);
  const fs::path folder = fs::path(opening.text).parent_path();
  EXPECT_EQ(folder, fs::path(webview::TempFolder()) / webview::WebRootLevel() / artist / "Best Of");
  for (const char* name : {"MP3 - LyrabinderWeb.htm", "view.js", "view.htm", "lyrics.htm",
                           "dynamic1.htm", "dynamic2.htm", "front.jpg"}) {
    EXPECT_TRUE(fs::exists(folder / name)) << name;
  }
  const testsupport::Bytes preview = testsupport::ReadFile(folder / "front.jpg");
  ASSERT_GE(preview.size(), 2u);
  EXPECT_EQ(preview[0], 0xFF);
  EXPECT_EQ(preview[1], 0xD8);
  const fs::path cue = albumDir / "Best_LB.cue";
  ASSERT_TRUE(fs::exists(cue));
  const std::string sheet = webview::testing::ReadText(cue);
  EXPECT_NE(sheet.find("TRACK 02 AUDIO"), std::string::npos) << sheet;

  // Playing in track 2 shows its page once.
  from = winamp.calls.size();
  winamp.playing = 1;
  winamp.outputTime = 1500;
  ASSERT_TRUE(
      PumpUntil([&] { return OpeningEndsWith(from, winamp::kIpcMbOpenReal, "DYNAMIC2.HTM"); }));
  from = PollsAhead(3);
  PollsAhead(1);
  EXPECT_TRUE(winamp.Openings(from).empty()) << "the page is already shown";

  // Into track 1: switched at the next poll.
  const int pollsAtMove = winamp.Polls();
  winamp.outputTime = 10;
  ASSERT_TRUE(
      PumpUntil([&] { return OpeningEndsWith(from, winamp::kIpcMbOpenReal, "DYNAMIC1.HTM"); }));
  EXPECT_EQ(winamp.Polls(), pollsAtMove + 1);

  // Browsing away while playing brings the track page back.
  from = winamp.calls.size();
  winamp.miniBrowserUrl = "http://www.example.org/";
  ASSERT_TRUE(
      PumpUntil([&] { return OpeningEndsWith(from, winamp::kIpcMbOpenReal, "DYNAMIC1.HTM"); }));

  // Paused: nothing changes, wherever the mini-browser is.
  winamp.playing = 3;
  winamp.miniBrowserUrl = "about:blank";
  from = PollsAhead(1);
  PollsAhead(3);
  EXPECT_TRUE(winamp.Openings(from).empty());

  // Stopped: the main page.
  winamp.playing = 0;
  ASSERT_TRUE(PumpUntil([&] { return OpeningEndsWith(from, winamp::kIpcMbOpenReal, mainPage); }));
  from = PollsAhead(1);
  PollsAhead(2);
  EXPECT_TRUE(winamp.Openings(from).empty()) << "the main page is already shown";

  // A position beyond the last track shows the main page, never a page that does not exist.
  winamp.playing = 1;
  winamp.outputTime = 5000;
  PollsAhead(3);
  for (const fakewinamp::IpcCall& call : winamp.Openings()) {
    EXPECT_EQ(call.text.find("DYNAMIC0"), std::string::npos);
  }

  // The unchanged entry is not regenerated.
  fs::remove(folder / "view.js");
  from = PollsAhead(1);
  PollsAhead(3);
  EXPECT_FALSE(fs::exists(folder / "view.js"));
  for (std::size_t i = from; i < winamp.calls.size(); ++i) {
    EXPECT_FALSE(winamp.calls[i].ipc == winamp::kIpcMbOpenReal && winamp.calls[i].value == 0);
  }
}

TEST_F(Winamp, Version2200OpensWith241AfterAnAlbumChange) {
  // A folder name outside ASCII, handed over in the ANSI code page and opened as such.
  const fs::path folder = albumDir.path() / L"D\u00e9mo \u00c4";
  fs::create_directories(folder);
  const fs::path album = folder / "Best_LB.MP3";
  fs::rename(MakeAlbum(), album);
  // An existing sheet is replaced without a question.
  testsupport::WriteText(folder / "Best_LB.cue", "old sheet");
  winamp.version = 0x2200;
  winamp.playlist = {Ansi(album)};
  Start();
  ASSERT_TRUE(PumpUntil([&] { return !winamp.Openings().empty(); }));
  EXPECT_EQ(winamp.Openings().front().ipc, winamp::kIpcMbOpen);
  bool broughtUp = false;
  for (const fakewinamp::IpcCall& call : winamp.calls) {
    if (call.ipc == winamp::kIpcMbOpen && call.value == 0) broughtUp = true;
    EXPECT_NE(call.ipc, winamp::kIpcMbOpenReal);
  }
  EXPECT_TRUE(broughtUp);
  const std::string sheet = webview::testing::ReadText(folder / "Best_LB.cue");
  EXPECT_NE(sheet.find("FILE \"BEST_LB.mp3\" MP3"), std::string::npos) << sheet;
  EXPECT_TRUE(winamp.messageBoxes.empty());

  // Playing always switches pages with 249.
  const std::size_t from = winamp.calls.size();
  winamp.playing = 1;
  winamp.outputTime = 1200;
  ASSERT_TRUE(
      PumpUntil([&] { return OpeningEndsWith(from, winamp::kIpcMbOpenReal, "DYNAMIC2.HTM"); }));
}

TEST_F(Winamp, AnAlbumSeenBeforeIsRegeneratedOnlyWhenItsTagAsksOrViewJsIsMissing) {
  const fs::path album = MakeAlbum();
  const fs::path cue = albumDir / "Best_LB.cue";
  winamp.playlist = {album.string(), (albumDir / "one.mp3").string()};
  Start();
  ASSERT_TRUE(PumpUntil([&] { return !winamp.Openings().empty(); }));
  const fs::path folder = fs::path(winamp.Openings().front().text).parent_path();
  ASSERT_TRUE(fs::exists(folder / "view.js"));

  // The tag no longer answers yes (Genre, the file's last byte, other than 255).
  testsupport::Bytes bytes = testsupport::ReadFile(album);
  bytes.back() = 12;
  testsupport::WriteFile(album, bytes);
  const auto comeBack = [&] {
    winamp.listPos = 1;
    PollsAhead(1);
    const std::size_t from = winamp.calls.size();
    winamp.listPos = 0;
    EXPECT_TRUE(PumpUntil([&] { return !winamp.Openings(from).empty(); }));
  };
  struct Case {
    const char* what;
    bool removeCue;
    bool removeScript;
    bool regenerates;
    bool cueWritten;
  };
  for (const Case& c : {Case{"pages and sheet there", false, false, false, false},
                        Case{"sheet missing", true, false, false, true},
                        Case{"view.js missing", false, true, true, true}}) {
    SCOPED_TRACE(c.what);
    fs::remove(folder / "lyrics.htm");
    if (c.removeCue)
      fs::remove(cue);
    else
      testsupport::WriteText(cue, "old sheet");
    if (c.removeScript) fs::remove(folder / "view.js");
    comeBack();
    EXPECT_EQ(fs::exists(folder / "lyrics.htm"), c.regenerates);
    ASSERT_TRUE(fs::exists(cue));
    EXPECT_EQ(webview::testing::ReadText(cue) != "old sheet", c.cueWritten);
  }
}

TEST_F(Winamp, AnAlbumNameThatIsNoAlbumOpensNothing) {
  testsupport::WriteText(albumDir / "Fake_LB.MP3", std::string(4000, 'x'));
  winamp.playlist = {(albumDir / "Fake_LB.MP3").string(), (albumDir / "Gone_LB.MP3").string()};
  Start();
  PollsAhead(3);
  winamp.listPos = 1;
  PollsAhead(3);
  EXPECT_TRUE(winamp.Openings().empty());
  EXPECT_FALSE(fs::exists(albumDir / "Fake_LB.cue"));
}

}  // namespace
