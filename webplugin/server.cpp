// The in-process COM server around Plugin: class factory, unload test and self-registration.

#include <windows.h>

#include <objbase.h>
#include <olectl.h>

#include <new>
#include <string>

#include "webplugin/plugin.h"

namespace webplugin {

LONG g_serverReferences = 0;
HMODULE g_module = nullptr;

namespace {

class ClassFactory final : public IClassFactory {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    if (object == nullptr) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
      *object = static_cast<IClassFactory*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  // One static factory: its references keep nothing alive.
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }

  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** object) override {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    Plugin* plugin = new (std::nothrow) Plugin();
    if (plugin == nullptr) return E_OUTOFMEMORY;
    plugin->AddRef();
    const HRESULT status = plugin->QueryInterface(riid, object);
    plugin->Release();
    return status;
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
    if (lock)
      InterlockedIncrement(&g_serverReferences);
    else
      InterlockedDecrement(&g_serverReferences);
    return S_OK;
  }
};

ClassFactory g_factory;

std::wstring ClassIdText() {
  wchar_t text[40];
  if (StringFromGUID2(kPluginClassId, text, 40) == 0) return {};
  return text;
}

bool SetValue(HKEY root, const std::wstring& keyName, const wchar_t* valueName,
              const std::wstring& value) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(root, keyName.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) !=
      ERROR_SUCCESS) {
    return false;
  }
  const auto bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
  const bool ok =
      RegSetValueExW(key, valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                     bytes) == ERROR_SUCCESS;
  RegCloseKey(key);
  return ok;
}

// The class and its ProgID under `root` (the classes root, or a user's Software\Classes).
bool RegisterUnder(HKEY root, const std::wstring& modulePath) {
  const std::wstring classId = ClassIdText();
  const std::wstring classKey = L"CLSID\\" + classId;
  const std::wstring progId = kProgId;
  return !classId.empty() && SetValue(root, classKey, nullptr, L"Plugin") &&
         SetValue(root, classKey + L"\\InprocServer32", nullptr, modulePath) &&
         SetValue(root, classKey + L"\\InprocServer32", L"ThreadingModel", L"Apartment") &&
         SetValue(root, classKey + L"\\ProgID", nullptr, progId) &&
         SetValue(root, progId, nullptr, L"Plugin") &&
         SetValue(root, progId + L"\\CLSID", nullptr, classId);
}

void UnregisterUnder(HKEY root) {
  const std::wstring classId = ClassIdText();
  if (!classId.empty()) RegDeleteTreeW(root, (L"CLSID\\" + classId).c_str());
  RegDeleteTreeW(root, kProgId);
}

}  // namespace

}  // namespace webplugin

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    webplugin::g_module = instance;
    DisableThreadLibraryCalls(instance);
  }
  return TRUE;
}

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID classId, REFIID riid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  if (!IsEqualCLSID(classId, webplugin::kPluginClassId)) return CLASS_E_CLASSNOTAVAILABLE;
  return webplugin::g_factory.QueryInterface(riid, object);
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() {
  return webplugin::g_serverReferences == 0 ? S_OK : S_FALSE;
}

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer() {
  wchar_t path[MAX_PATH];
  const DWORD length = GetModuleFileNameW(webplugin::g_module, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return SELFREG_E_CLASS;
  // Without the rights for the machine-wide classes, the class is registered for this user.
  if (webplugin::RegisterUnder(HKEY_CLASSES_ROOT, path)) return S_OK;
  HKEY userClasses = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Classes", 0, nullptr, 0, KEY_WRITE, nullptr,
                      &userClasses, nullptr) != ERROR_SUCCESS) {
    return SELFREG_E_CLASS;
  }
  const bool ok = webplugin::RegisterUnder(userClasses, path);
  RegCloseKey(userClasses);
  return ok ? S_OK : SELFREG_E_CLASS;
}

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer() {
  webplugin::UnregisterUnder(HKEY_CLASSES_ROOT);
  HKEY userClasses = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Classes", 0, KEY_ALL_ACCESS, &userClasses) ==
      ERROR_SUCCESS) {
    webplugin::UnregisterUnder(userClasses);
    RegCloseKey(userClasses);
  }
  return S_OK;
}
