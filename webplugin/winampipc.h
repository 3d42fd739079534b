#pragma once
// Winamp's IPC: WM_USER sent to Winamp's main window, the IPC number as the last parameter.

#include <windows.h>

namespace winamp {

inline constexpr UINT kIpcMessage = WM_USER;

enum Ipc : LPARAM {
  kIpcGetVersion = 0,
  kIpcIsPlaying = 104,        ///< 0 stopped, 3 paused, anything else playing
  kIpcGetOutputTime = 105,    ///< position in the current entry, ms
  kIpcGetListPos = 125,       ///< index of the current playlist entry
  kIpcGetPlaylistFile = 211,  ///< wParam: entry index; result: address of its path
  kIpcMbOpen = 241,           ///< wParam: 0 brings up the mini-browser, else address of a URL
  kIpcGetMbUrl = 246,         ///< wParam: address of a 4096-byte buffer for the current URL
  kIpcMbOpenReal = 249,       ///< wParam: address of a URL
};

inline constexpr std::size_t kMbUrlBufferSize = 4096;

/// The window class of Winamp's main window.
inline constexpr char kMainWindowClass[] = "Winamp v1.x";

}  // namespace winamp
