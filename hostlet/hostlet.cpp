// The Winamp general-purpose plug-in that hosts a COM component named by this DLL's own file
// name: gen_<component>.<class>.dll hosts the ProgID <component>.<class> from <component>.dll
// in the same folder.

#include <windows.h>

#include <oleauto.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

#include "hostlet/TekWinAmpGenLib.h"
#include "hostlet/winampgen.h"
#include "platform/system/widetext.h"

namespace {

constexpr std::size_t kNameLimit = 48;  // component and class names stay below this
constexpr std::size_t kProgIdLimit = 96;
constexpr std::size_t kShortestFileName = 11;  // "gen_" + "a.b" + ".dll"
constexpr LONG kHostVersion = 0x10000;
constexpr char kRegistryKey[] = "Software\\Ovo_Tek\\Hostlet\\1.0";

char g_emptyDescription[] = "";
char g_hostDescription[] = "<<Hostlet Plugin>>";
const wchar_t kAboutText[] =
    L"Hostlet: hosts a COM component as a Winamp general-purpose plug-in\r\n"
    L"Version 1.0\r\n"
    L"Contact: the MP3 - Lyrabinder project";

int Start();
void Configure();
void Quit();

winamp::winampGeneralPurposePlugin g_record = {
    winamp::kGeneralPurposeVersion, g_emptyDescription, Start, Configure, Quit, nullptr, nullptr};

HMODULE g_module = nullptr;
bool g_comReady = false;  // COM initialised (and the component registered) on Winamp's thread
char g_componentName[kNameLimit] = {};
char g_className[kNameLimit] = {};
char g_componentPath[MAX_PATH] = {};

class HostObject;
HostObject* g_host = nullptr;
ITekWinAmpGenPlugin* g_plugin = nullptr;

// The host object the component talks to. It owns the record's description once the
// component has set one.
class HostObject final : public Wrapper {
 public:
  explicit HostObject(winamp::winampGeneralPurposePlugin& record) : m_record(record) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    if (object == nullptr) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_Wrapper)) {
      *object = static_cast<Wrapper*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++m_references; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG count = --m_references;
    if (count == 0) delete this;
    return count;
  }

  HRESULT STDMETHODCALLTYPE get_Description(BSTR* value) override {
    if (value == nullptr) return E_POINTER;
    const char* text = m_record.description != nullptr ? m_record.description : "";
    const auto wide = platform::ToWide(text, platform::CodePage::Ansi);
    if (!wide) return E_FAIL;
    BSTR result = SysAllocStringLen(wide->data(), static_cast<UINT>(wide->size()));
    if (result == nullptr) return E_OUTOFMEMORY;
    *value = result;
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE put_Description(BSTR value) override {
    if (value == nullptr) {
      m_record.description = g_emptyDescription;
      FreeOwned();
      return S_OK;
    }
    const auto ansi =
        platform::FromWide(std::wstring_view(value, SysStringLen(value)), platform::CodePage::Ansi);
    if (!ansi) return E_FAIL;
    char* text = new (std::nothrow) char[ansi->size() + 1];
    if (text == nullptr) return E_OUTOFMEMORY;
    std::copy(ansi->begin(), ansi->end(), text);
    text[ansi->size()] = '\0';
    m_record.description = text;
    FreeOwned();
    m_owned = text;
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE get_ParentWindow(__int3264* value) override {
    if (value == nullptr) return E_POINTER;
    *value = static_cast<__int3264>(reinterpret_cast<INT_PTR>(m_record.hwndParent));
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_Version(LONG* value) override {
    if (value == nullptr) return E_POINTER;
    *value = kHostVersion;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_AboutText(BSTR* value) override {
    if (value == nullptr) return E_POINTER;
    *value = SysAllocString(kAboutText);
    return *value != nullptr ? S_OK : E_OUTOFMEMORY;
  }
  HRESULT STDMETHODCALLTYPE get_ModuleHandle(__int3264* value) override {
    if (value == nullptr) return E_POINTER;
    *value = static_cast<__int3264>(reinterpret_cast<INT_PTR>(g_module));
    return S_OK;
  }

 private:
  ~HostObject() {
    // A host object replaced by a later start leaves the newer one's description alone.
    if (g_host == nullptr || g_host == this) m_record.description = g_emptyDescription;
    FreeOwned();
    if (g_host == this) g_host = nullptr;
  }
  void FreeOwned() {
    delete[] m_owned;
    m_owned = nullptr;
  }

  ULONG m_references = 0;
  winamp::winampGeneralPurposePlugin& m_record;
  char* m_owned = nullptr;  // the description buffer this object allocated
};

void ReleaseHost() {
  HostObject* host = g_host;
  g_host = nullptr;
  if (host != nullptr) host->Release();
}

void ReleasePlugin() {
  ITekWinAmpGenPlugin* plugin = g_plugin;
  g_plugin = nullptr;
  if (plugin != nullptr) plugin->Release();
}

HRESULT CreatePlugin() {
  char progId[kProgIdLimit];
  std::snprintf(progId, sizeof progId, "%s.%s", g_componentName, g_className);
  wchar_t wideProgId[kProgIdLimit];
  if (MultiByteToWideChar(CP_ACP, 0, progId, -1, wideProgId, static_cast<int>(kProgIdLimit)) <= 0) {
    return E_FAIL;
  }
  CLSID classId;
  HRESULT status = CLSIDFromProgID(wideProgId, &classId);
  if (FAILED(status)) return status;
  return CoCreateInstance(classId, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                          IID_ITekWinAmpGenPlugin, reinterpret_cast<void**>(&g_plugin));
}

int Start() {
  ReleaseHost();
  g_host = new (std::nothrow) HostObject(g_record);
  if (g_host == nullptr) return 1;
  g_record.description = g_hostDescription;
  g_host->AddRef();
  ReleasePlugin();
  if (SUCCEEDED(CreatePlugin()) && g_plugin != nullptr && SUCCEEDED(g_plugin->Initialize(g_host))) {
    return 0;
  }
  ReleaseHost();
  ReleasePlugin();
  return 1;
}

void Configure() {
  if (g_plugin != nullptr) g_plugin->Configure();
}

void Quit() {
  ReleaseHost();
  if (g_plugin != nullptr) {
    g_plugin->Quit();
    ReleasePlugin();
  }
  if (g_comReady) {
    g_comReady = false;
    CoUninitialize();
  }
}

// gen_<component>.<class>.dll: the component and class names and the component's path.
bool DeriveNames(HMODULE module) {
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(module, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return false;
  const char* slash = std::strrchr(path, '\\');
  const char* fileName = slash != nullptr ? slash + 1 : path;
  const std::size_t fileLength = std::strlen(fileName);
  if (fileLength < kShortestFileName) return false;
  // Winamp's "gen_" in front and ".dll" behind frame the two names.
  const char* rest = fileName + 4;
  const std::size_t restLength = fileLength - 8;
  const char* dot = static_cast<const char*>(std::memchr(rest, '.', restLength));
  if (dot == nullptr) return false;
  const std::size_t componentLength = static_cast<std::size_t>(dot - rest);
  const std::size_t classLength = restLength - componentLength - 1;
  if (componentLength == 0 || componentLength >= kNameLimit || classLength == 0 ||
      classLength >= kNameLimit) {
    return false;
  }
  std::memcpy(g_componentName, rest, componentLength);
  g_componentName[componentLength] = '\0';
  std::memcpy(g_className, dot + 1, classLength);
  g_className[classLength] = '\0';
  const std::size_t folderLength = static_cast<std::size_t>(fileName - path);
  if (folderLength + componentLength + 4 >= MAX_PATH) return false;
  std::memcpy(g_componentPath, path, folderLength);
  std::memcpy(g_componentPath + folderLength, g_componentName, componentLength);
  std::memcpy(g_componentPath + folderLength + componentLength, ".dll", 5);
  return true;
}

// A file time is stored as 8 bytes, low byte first.
void PutFileTime(const FILETIME& time, BYTE (&bytes)[8]) {
  for (int i = 0; i < 4; ++i) {
    bytes[i] = static_cast<BYTE>(time.dwLowDateTime >> (8 * i));
    bytes[4 + i] = static_cast<BYTE>(time.dwHighDateTime >> (8 * i));
  }
}

FILETIME GetFileTime(const BYTE (&bytes)[8]) {
  FILETIME time{};
  for (int i = 0; i < 4; ++i) {
    time.dwLowDateTime |= static_cast<DWORD>(bytes[i]) << (8 * i);
    time.dwHighDateTime |= static_cast<DWORD>(bytes[4 + i]) << (8 * i);
  }
  return time;
}

bool RegisterComponent() {
  HMODULE component = LoadLibraryA(g_componentPath);
  if (component == nullptr) return false;
  using RegisterFunction = HRESULT(STDAPICALLTYPE*)();
  auto registerServer = reinterpret_cast<RegisterFunction>(
      reinterpret_cast<void*>(GetProcAddress(component, "DllRegisterServer")));
  const bool ok = registerServer != nullptr && SUCCEEDED(registerServer());
  FreeLibrary(component);
  return ok;
}

// Registers the component when no registration time is stored or the file is newer.
bool CheckRegistration() {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(g_componentPath, &found);
  if (search == INVALID_HANDLE_VALUE) return false;
  FindClose(search);

  HKEY key = nullptr;
  // An ordinary user may not write the machine-wide key; the same record then lives per user.
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kRegistryKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                      &key, nullptr) != ERROR_SUCCESS &&
      RegCreateKeyExA(HKEY_CURRENT_USER, kRegistryKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                      nullptr) != ERROR_SUCCESS) {
    return false;
  }
  BYTE stored[8];
  DWORD type = 0;
  DWORD size = sizeof stored;
  const bool haveTime =
      RegQueryValueExA(key, g_componentName, nullptr, &type, stored, &size) == ERROR_SUCCESS &&
      type == REG_BINARY && size == sizeof stored;
  bool ok = true;
  if (!haveTime) {
    ok = RegisterComponent();
  } else {
    const FILETIME storedTime = GetFileTime(stored);
    if (CompareFileTime(&found.ftLastWriteTime, &storedTime) > 0)
      ok = RegisterComponent();
    else {
      RegCloseKey(key);
      return true;
    }
  }
  if (ok) {
    SYSTEMTIME now;
    GetSystemTime(&now);
    FILETIME nowTime;
    BYTE bytes[8];
    ok = SystemTimeToFileTime(&now, &nowTime) != 0;
    if (ok) {
      PutFileTime(nowTime, bytes);
      RegSetValueExA(key, g_componentName, 0, REG_BINARY, bytes, sizeof bytes);
    }
  }
  RegCloseKey(key);
  return ok;
}

}  // namespace

// Winamp calls this on its main thread right after loading, outside the loader lock: the
// place for COM and for loading the component to register it. A failure leaves Winamp
// without the plug-in.
extern "C" winamp::winampGeneralPurposePlugin* winampGetGeneralPurposePlugin() {
  if (g_module == nullptr) return nullptr;
  if (!g_comReady) {
    if (FAILED(CoInitialize(nullptr))) return nullptr;
    if (!CheckRegistration()) {
      CoUninitialize();
      return nullptr;
    }
    g_comReady = true;
  }
  return &g_record;
}

// Only string work here: the loader lock is held, so no COM and no loading of other libraries.
extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  switch (reason) {
    case DLL_PROCESS_ATTACH:
      if (!DeriveNames(instance)) return FALSE;
      g_module = instance;
      return TRUE;
    case DLL_PROCESS_DETACH:
      g_module = nullptr;
      return TRUE;
    default:
      return TRUE;
  }
}
