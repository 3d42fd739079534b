#include "tests/windows/fakewinamp.h"

#include <cstring>

namespace fakewinamp {

namespace {

constexpr UINT_PTR kAnswerTimer = 77;
FakeWinamp* g_winamp = nullptr;

std::string WindowText(HWND window) {
  char text[1024] = {};
  GetWindowTextA(window, text, sizeof text);
  return text;
}

std::string ClassOf(HWND window) {
  char name[64] = {};
  GetClassNameA(window, name, sizeof name);
  return name;
}

BOOL CALLBACK CollectBox(HWND window, LPARAM found) {
  if (ClassOf(window) == "#32770") reinterpret_cast<std::vector<HWND>*>(found)->push_back(window);
  return TRUE;
}

BOOL CALLBACK CollectText(HWND child, LPARAM text) {
  if (ClassOf(child) == "Static") *reinterpret_cast<std::string*>(text) += WindowText(child);
  return TRUE;
}

}  // namespace

FakeWinamp::FakeWinamp() {
  g_winamp = this;
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = WindowProc;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = winamp::kMainWindowClass;
  RegisterClassA(&windowClass);
  m_window = CreateWindowExA(0, winamp::kMainWindowClass, "Winamp", WS_OVERLAPPEDWINDOW, 0, 0, 275,
                             116, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  // Message boxes run their own loop; this timer still reaches the window meanwhile.
  SetTimer(m_window, kAnswerTimer, 50, nullptr);
}

FakeWinamp::~FakeWinamp() {
  KillTimer(m_window, kAnswerTimer);
  DestroyWindow(m_window);
  g_winamp = nullptr;
}

std::vector<IpcCall> FakeWinamp::Openings(std::size_t from) const {
  std::vector<IpcCall> result;
  for (std::size_t i = from; i < calls.size(); ++i) {
    const IpcCall& call = calls[i];
    if ((call.ipc == winamp::kIpcMbOpen || call.ipc == winamp::kIpcMbOpenReal) && call.value != 0) {
      result.push_back(call);
    }
  }
  return result;
}

LRESULT CALLBACK FakeWinamp::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (g_winamp != nullptr && message == winamp::kIpcMessage)
    return g_winamp->Answer(wParam, lParam);
  if (g_winamp != nullptr && message == WM_TIMER && wParam == kAnswerTimer) {
    g_winamp->AnswerMessageBoxes();
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

LRESULT FakeWinamp::Answer(WPARAM wParam, LPARAM ipc) {
  IpcCall call{ipc, wParam, {}};
  LRESULT result = 0;
  switch (ipc) {
    case winamp::kIpcGetVersion:
      result = version;
      break;
    case winamp::kIpcIsPlaying:
      result = playing;
      break;
    case winamp::kIpcGetOutputTime:
      result = outputTime;
      break;
    case winamp::kIpcGetListPos:
      ++m_polls;
      result = listPos;
      break;
    case winamp::kIpcGetPlaylistFile:
      if (wParam < playlist.size()) result = reinterpret_cast<LRESULT>(playlist[wParam].c_str());
      break;
    case winamp::kIpcMbOpen:
    case winamp::kIpcMbOpenReal:
      if (wParam != 0) {
        call.text = reinterpret_cast<const char*>(wParam);
        miniBrowserUrl = call.text;
      }
      break;
    case winamp::kIpcGetMbUrl:
      std::strncpy(reinterpret_cast<char*>(wParam), miniBrowserUrl.c_str(),
                   winamp::kMbUrlBufferSize - 1);
      reinterpret_cast<char*>(wParam)[winamp::kMbUrlBufferSize - 1] = '\0';
      break;
    default:
      break;
  }
  calls.push_back(call);
  return result;
}

void FakeWinamp::AnswerMessageBoxes() {
  std::vector<HWND> boxes;
  EnumThreadWindows(GetCurrentThreadId(), CollectBox, reinterpret_cast<LPARAM>(&boxes));
  for (HWND box : boxes) {
    if (!m_answered.insert(box).second) continue;
    SeenMessageBox seen{WindowText(box), {}};
    EnumChildWindows(box, CollectText, reinterpret_cast<LPARAM>(&seen.text));
    messageBoxes.push_back(seen);
    PostMessageA(box, WM_COMMAND, IDOK, 0);
  }
}

bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  const auto end = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
    if (done()) return true;
    if (std::chrono::steady_clock::now() >= end) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
  }
}

void PumpFor(std::chrono::milliseconds time) {
  PumpUntil([] { return false; }, time);
}

}  // namespace fakewinamp
