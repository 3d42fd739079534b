#pragma once
// Winamp's general-purpose plug-in interface: the record a plug-in DLL hands to Winamp.

#include <windows.h>

namespace winamp {

/// The record version Winamp expects from general-purpose plug-ins.
inline constexpr int kGeneralPurposeVersion = 0x10;

/// Winamp calls the callbacks with the C calling convention on its main thread.
extern "C" {
typedef struct {
  int version;
  char* description;       ///< shown in Winamp's plug-in list; owned by the plug-in
  int (*init)();           ///< start: 0 on success
  void (*config)();        ///< configure
  void (*quit)();          ///< quit
  HWND hwndParent;         ///< filled in by Winamp before init
  HINSTANCE hDllInstance;  ///< filled in by Winamp before init
} winampGeneralPurposePlugin;

typedef winampGeneralPurposePlugin* (*GetGeneralPurposePluginFunction)();
}

/// The export Winamp binds by name.
inline constexpr char kGetGeneralPurposePlugin[] = "winampGetGeneralPurposePlugin";

}  // namespace winamp
