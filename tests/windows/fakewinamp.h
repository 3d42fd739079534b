#pragma once
// A stand-in for Winamp: its main window answers the IPC messages from a scripted playlist and
// player state, and message boxes shown on this thread are read and answered with OK.

#include <windows.h>

#include <chrono>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "webplugin/winampipc.h"

namespace fakewinamp {

struct IpcCall {
  LPARAM ipc = 0;
  WPARAM value = 0;
  std::string text;  ///< the address text of page openings
};

struct SeenMessageBox {
  std::string caption;
  std::string text;
};

class FakeWinamp {
 public:
  FakeWinamp();
  ~FakeWinamp();
  FakeWinamp(const FakeWinamp&) = delete;
  FakeWinamp& operator=(const FakeWinamp&) = delete;

  HWND Window() const { return m_window; }

  // Scripted state.
  LRESULT version = 0x5666;
  int listPos = 0;
  std::vector<std::string> playlist;
  LRESULT playing = 0;
  LRESULT outputTime = 0;
  std::string miniBrowserUrl;

  // What the plug-in did.
  std::vector<IpcCall> calls;
  std::vector<SeenMessageBox> messageBoxes;
  int Polls() const { return m_polls; }
  /// Page openings (241 or 249 with an address) from call `from` on.
  std::vector<IpcCall> Openings(std::size_t from = 0) const;

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT Answer(WPARAM wParam, LPARAM ipc);
  void AnswerMessageBoxes();

  HWND m_window = nullptr;
  int m_polls = 0;
  std::set<HWND> m_answered;
};

/// Runs this thread's window events until `done` answers true or `timeout` has passed;
/// answers whether `done` came true.
bool PumpUntil(const std::function<bool()>& done,
               std::chrono::milliseconds timeout = std::chrono::seconds(30));

/// Runs window events for a while.
void PumpFor(std::chrono::milliseconds time);

}  // namespace fakewinamp
