#include "webplugin/plugin.h"

#include <oleauto.h>

#include <filesystem>
#include <memory>
#include <new>

#include "album/albumformat.h"
#include "album/albumreader.h"
#include "base/fileio.h"
#include "platform/system/folders.h"
#include "platform/system/widetext.h"
#include "platform/win32/wicpictureservice.h"
#include "webplugin/winampipc.h"
#include "webview/cuesheet.h"
#include "webview/opening.h"

namespace webplugin {

namespace {

constexpr UINT_PTR kTimer1 = 1;
constexpr char kForm1Class[] = "MP3LyrabinderWeb.Form1";
constexpr std::string_view kMainPageUpper = "MP3 - LYRABINDERWEB";

// Winamp hands over paths in the system's ANSI code page; the libraries take UTF-8.
using platform::CodePage;

std::wstring UpperWide(std::wstring text) {
  if (!text.empty()) CharUpperBuffW(text.data(), static_cast<DWORD>(text.size()));
  return text;
}

std::string UpperAnsi(std::string text) {
  if (!text.empty()) CharUpperBuffA(text.data(), static_cast<DWORD>(text.size()));
  return text;
}

// Lets pending window events run while previews are made; the poll timer is off meanwhile.
void PumpMessages() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(message.wParam));
      return;
    }
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

std::filesystem::path ModuleFolder() {
  wchar_t path[MAX_PATH];
  const DWORD length = GetModuleFileNameW(g_module, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return {};
  return std::filesystem::path(path).parent_path();
}

}  // namespace

Plugin::Plugin() {
  InterlockedIncrement(&g_serverReferences);
}

Plugin::~Plugin() {
  if (m_form1 != nullptr) {
    KillTimer(m_form1, kTimer1);
    SetWindowLongPtrA(m_form1, GWLP_USERDATA, 0);
    DestroyWindow(m_form1);
  }
  if (m_host != nullptr) m_host->Release();
  InterlockedDecrement(&g_serverReferences);
}

HRESULT Plugin::QueryInterface(REFIID riid, void** object) {
  if (object == nullptr) return E_POINTER;
  if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_ITekWinAmpGenPlugin)) {
    *object = static_cast<ITekWinAmpGenPlugin*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

ULONG Plugin::AddRef() {
  return ++m_references;
}

ULONG Plugin::Release() {
  const ULONG count = --m_references;
  if (count == 0) delete this;
  return count;
}

HRESULT Plugin::Initialize(Wrapper* host) {
  if (host == nullptr) return E_POINTER;
  host->AddRef();
  if (m_host != nullptr) m_host->Release();
  m_host = host;
  __int3264 window = 0;
  HRESULT status = m_host->get_ParentWindow(&window);
  if (FAILED(status)) return status;
  m_winampWindow = reinterpret_cast<HWND>(static_cast<INT_PTR>(window));
  const std::wstring description =
      platform::ToWide(kDescription, CodePage::Ansi).value_or(std::wstring());
  BSTR text = SysAllocString(description.c_str());
  if (text == nullptr) return E_OUTOFMEMORY;
  status = m_host->put_Description(text);
  SysFreeString(text);
  if (FAILED(status)) return status;
  return LoadForm1() ? S_OK : E_FAIL;
}

HRESULT Plugin::Configure() {
  MessageBoxA(m_winampWindow, kConfigureText, kConfigureTitle, MB_OK | MB_ICONINFORMATION);
  return S_OK;
}

HRESULT Plugin::Quit() {
  return S_OK;
}

LRESULT CALLBACK Plugin::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_TIMER && wParam == kTimer1) {
    auto* plugin = reinterpret_cast<Plugin*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (plugin != nullptr) {
      // The poll may let events run; the object must outlive it.
      plugin->AddRef();
      plugin->Poll();
      plugin->Release();
    }
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

// Loads the hidden window and decides from Winamp's version whether to poll.
bool Plugin::LoadForm1() {
  if (m_form1 == nullptr) {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = g_module;
    windowClass.lpszClassName = kForm1Class;
    // A second plug-in object finds the class already registered.
    RegisterClassA(&windowClass);
    m_form1 = CreateWindowExA(0, kForm1Class, "Form1", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                              g_module, nullptr);
    if (m_form1 == nullptr) return false;
    SetWindowLongPtrA(m_form1, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  }
  // The version comes first: the message box runs its own loop, which would run the poll.
  const LRESULT version = Ipc(winamp::kIpcGetVersion);
  if (version < kOldestWinamp) {
    EnableTimer(false);
    const std::string text = std::string(kVersionText) + " " + std::to_string(version);
    MessageBoxA(m_winampWindow, text.c_str(), kMessageTitle, MB_OK);
    return true;
  }
  m_openUrlMessage = version > kNewestWithMbOpen ? winamp::kIpcMbOpenReal : winamp::kIpcMbOpen;
  EnableTimer(true);
  return true;
}

void Plugin::EnableTimer(bool on) {
  if (m_form1 == nullptr) return;
  if (on)
    SetTimer(m_form1, kTimer1, kPollInterval, nullptr);
  else
    KillTimer(m_form1, kTimer1);
}

LRESULT Plugin::Ipc(LPARAM ipc, WPARAM value) {
  return SendMessageA(m_winampWindow, winamp::kIpcMessage, value, ipc);
}

void Plugin::Poll() {
  EnableTimer(false);
  // A failure ends the poll quietly; the next tick tries again.
  try {
    PollOnce();
  } catch (...) {
  }
  EnableTimer(true);
}

void Plugin::PollOnce() {
  const LRESULT index = Ipc(winamp::kIpcGetListPos);
  const auto* address =
      reinterpret_cast<const char*>(Ipc(winamp::kIpcGetPlaylistFile, static_cast<WPARAM>(index)));
  if (address == nullptr) return;
  const std::string entry(address);
  if (entry != m_lastEntry) {
    EntryChanged(entry);
  } else if (m_isAlbumEntry) {
    FollowPlayer();
  }
}

void Plugin::EntryChanged(const std::string& entry) {
  m_lastEntry = entry;
  m_isAlbumEntry = false;
  if (!album::IsAlbumFileName(entry)) return;
  const std::wstring wide = platform::ToWide(entry, CodePage::Ansi).value_or(std::wstring());
  const std::string upperPath =
      platform::FromWide(UpperWide(wide), CodePage::Utf8).value_or(std::string());
  if (!platform::PathExists(upperPath)) return;

  std::string error;
  const std::filesystem::path albumPath(wide);
  std::unique_ptr<base::FileSource> source = base::FileSource::Open(albumPath, error);
  if (!source) return;
  album::AlbumReader reader(*source);
  // The detail boxes Text1 to Text4 of the hidden window; nothing is listed.
  const auto showDetails = [&] {
    const album::ShownDetails& details = reader.Details();
    m_text1 = details.title;
    m_text2 = details.artist;
    m_text3 = details.comment;
    m_text4 = details.year;
  };
  platform::win32::WicPictureService pictures;
  webview::OpeningOptions options;
  options.tempFolder = platform::TempFolder();
  options.dataFolder = base::Utf8FromPath(ModuleFolder());
  options.rewriteMainPage = true;
  options.beforeRegeneration = [&] {
    showDetails();
    m_trackTable = reader.TrackTable();
    WriteCue(upperPath);
  };
  options.afterPicture = [](int, int) {
    PumpMessages();
    return true;
  };
  options.beforePages = [&] { Ipc(static_cast<LPARAM>(m_openUrlMessage), 0); };
  const webview::WebViewOpening opening =
      webview::OpenWebView(*source, reader, album::FileTagWriter(albumPath), pictures, options);
  showDetails();
  // A file that is no album, or whose web folder is unknown, leaves the entry as no album,
  // so that later polls never point the mini-browser at another album's pages.
  if (opening.folder.empty()) return;
  m_isAlbumEntry = true;
  m_webFolder = opening.folder;
  m_trackTable = reader.TrackTable();
  if (opening.status != webview::OpeningStatus::Ok) return;
  std::error_code ec;
  if (!std::filesystem::exists(base::PathFromUtf8(webview::CuePathFor(upperPath)), ec)) {
    WriteCue(upperPath);
  }
  OpenPage(m_openUrlMessage, std::string(webview::kMainPageName));
}

void Plugin::WriteCue(const std::string& upperPath) {
  const webview::DetailTexts details{m_text1, m_text2, m_text4};
  const webview::CueInput input = webview::CueInputFor(upperPath, details, m_trackTable);
  // Replaced without a question; a sheet that cannot be written is passed over.
  (void)webview::WriteCueSheet(upperPath, input, {});
}

void Plugin::FollowPlayer() {
  const LRESULT state = Ipc(winamp::kIpcIsPlaying);
  if (state == 3) return;  // paused: the page stays
  int track = 0;
  if (state != 0) track = TrackAtPosition();
  const std::string address = UpperAnsi(MiniBrowserAddress());
  if (track == 0) {
    // Stopped, or a position outside the track table: the main page.
    if (address.find(kMainPageUpper) == std::string::npos) {
      OpenPage(winamp::kIpcMbOpenReal, std::string(webview::kMainPageName));
    }
    return;
  }
  const std::string page = "DYNAMIC" + std::to_string(track) + ".HTM";
  if (address.find(page) == std::string::npos) OpenPage(winamp::kIpcMbOpenReal, page);
}

int Plugin::TrackAtPosition() {
  const LRESULT position = Ipc(winamp::kIpcGetOutputTime);
  long long start = 0;
  for (std::size_t i = 0; i < m_trackTable.size(); ++i) {
    const long long end = start + m_trackTable[i].PlayLength;
    if (start <= position && position < end) return static_cast<int>(i + 1);
    start = end;
  }
  return 0;
}

std::string Plugin::MiniBrowserAddress() {
  std::vector<char> buffer(winamp::kMbUrlBufferSize, '\0');
  Ipc(winamp::kIpcGetMbUrl, reinterpret_cast<WPARAM>(buffer.data()));
  buffer.back() = '\0';
  return std::string(buffer.data());
}

// Pages are opened by their plain path in the system's ANSI code page.
void Plugin::OpenPage(UINT ipc, const std::string& pageName) {
  const std::string path =
      platform::FromWide(platform::ToWide(m_webFolder + pageName, CodePage::Utf8).value_or(L""),
                         CodePage::Ansi)
          .value_or(std::string());
  if (path.empty()) return;
  Ipc(static_cast<LPARAM>(ipc), reinterpret_cast<WPARAM>(path.c_str()));
}

}  // namespace webplugin
