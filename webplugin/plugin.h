#pragma once
// The web-view plug-in: watches Winamp's current playlist entry once a second and, for an
// album, writes its web view and CUE sheet and keeps Winamp's mini-browser on the page of the
// track being heard.

#include <windows.h>

#include <string>
#include <vector>

#include "album/albumformat.h"
#include "hostlet/TekWinAmpGenLib.h"
#include "webview/webfolder.h"

namespace webplugin {

// {4324589D-FA18-45C0-B05B-8ED806DF4A12}
inline constexpr CLSID kPluginClassId = {
    0x4324589D, 0xFA18, 0x45C0, {0xB0, 0x5B, 0x8E, 0xD8, 0x06, 0xDF, 0x4A, 0x12}};
inline constexpr wchar_t kProgId[] = L"MP3LyrabinderWeb.Plugin";
inline constexpr char kDescription[] = "MP3 - Lyrabinder Plugin by Verrin";
inline constexpr char kMessageTitle[] = "MP3LyrabinderWeb";
inline constexpr char kConfigureTitle[] = "No Configuration Necessary";
inline constexpr char kConfigureText[] =
    "MP3 - Lyrabinder Winamp MiniBrowser Plugin. v1.10\r\n"
    "This plugin currently relies on MP3CUE for part of it's functionality.\r\n"
    "Get it at: https://www.winamp.com/plugins";
inline constexpr char kVersionText[] = "This plugin requires Winamp v2.2 or greater. ";
inline constexpr LRESULT kOldestWinamp = 0x2200;
inline constexpr LRESULT kNewestWithMbOpen = 0x23FF;
inline constexpr UINT kPollInterval = 1000;

/// Live objects and server locks, for DllCanUnloadNow.
extern LONG g_serverReferences;
/// This DLL's module.
extern HMODULE g_module;

class Plugin final : public ITekWinAmpGenPlugin {
 public:
  Plugin();
  Plugin(const Plugin&) = delete;
  Plugin& operator=(const Plugin&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  HRESULT STDMETHODCALLTYPE Initialize(Wrapper* host) override;
  HRESULT STDMETHODCALLTYPE Configure() override;
  HRESULT STDMETHODCALLTYPE Quit() override;

 private:
  ~Plugin();
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  bool LoadForm1();
  void Poll();
  void PollOnce();
  void EntryChanged(const std::string& entry);
  void FollowPlayer();
  int TrackAtPosition();
  LRESULT Ipc(LPARAM ipc, WPARAM value = 0);
  std::string MiniBrowserAddress();
  void OpenPage(UINT ipc, const std::string& pageName);
  void WriteCue(const std::string& upperPath);
  void EnableTimer(bool on);

  ULONG m_references = 0;
  Wrapper* m_host = nullptr;
  HWND m_winampWindow = nullptr;
  HWND m_form1 = nullptr;  // the hidden window holding the poll timer
  UINT m_openUrlMessage = 241;
  std::string m_lastEntry;  // exactly as Winamp gave it
  bool m_isAlbumEntry = false;
  std::string m_webFolder;  // UTF-8, ending in a separator
  std::vector<album::TrackEntry> m_trackTable;
  // The hidden window's detail boxes Text1 to Text4.
  std::string m_text1, m_text2, m_text3, m_text4;
};

}  // namespace webplugin
