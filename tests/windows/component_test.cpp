// MP3LyrabinderWeb.dll as an in-process COM server on its own.

#include <gtest/gtest.h>
#include <windows.h>

#include <olectl.h>

#include <filesystem>
#include <string>

#include "hostlet/TekWinAmpGenLib.h"
#include "tests/support/testsupport.h"

namespace {

namespace fs = std::filesystem;

using ServerFunction = HRESULT(STDAPICALLTYPE*)();
using GetClassObjectFunction = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);

template <typename F>
F Export(HMODULE module, const char* name) {
  return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

// A string value under HKEY_CLASSES_ROOT; empty when it cannot be read.
std::wstring ReadString(const std::wstring& key, const wchar_t* value) {
  wchar_t text[MAX_PATH * 2] = {};
  DWORD size = sizeof text;
  RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), value, RRF_RT_REG_SZ, nullptr, text, &size);
  return text;
}

TEST(ComponentServer, RegistersCreatesPluginsAndUnloadsWhenNoneIsLeft) {
  CoInitialize(nullptr);
  testsupport::ScopedTempDir dir;
  const fs::path path = dir / "MP3LyrabinderWeb.dll";
  fs::copy_file(fs::path(LB_WEBPLUGIN_DLL), path);
  HMODULE module = LoadLibraryW(path.c_str());
  ASSERT_NE(module, nullptr);
  const auto registerServer = Export<ServerFunction>(module, "DllRegisterServer");
  const auto unregisterServer = Export<ServerFunction>(module, "DllUnregisterServer");
  const auto canUnloadNow = Export<ServerFunction>(module, "DllCanUnloadNow");
  const auto getClassObject = Export<GetClassObjectFunction>(module, "DllGetClassObject");
  ASSERT_TRUE(registerServer && unregisterServer && canUnloadNow && getClassObject);

  ASSERT_EQ(registerServer(), S_OK);
  CLSID classId{};
  ASSERT_EQ(CLSIDFromProgID(L"MP3LyrabinderWeb.Plugin", &classId), S_OK);
  wchar_t classText[40];
  StringFromGUID2(classId, classText, 40);
  const std::wstring server = std::wstring(L"CLSID\\") + classText + L"\\InprocServer32";
  EXPECT_EQ(lstrcmpiW(ReadString(server, nullptr).c_str(), path.c_str()), 0);
  EXPECT_EQ(ReadString(server, L"ThreadingModel"), L"Apartment");

  IClassFactory* factory = nullptr;
  void* none = nullptr;
  EXPECT_EQ(getClassObject(IID_IClassFactory, IID_IClassFactory, &none), CLASS_E_CLASSNOTAVAILABLE);
  ASSERT_EQ(getClassObject(classId, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
  EXPECT_EQ(canUnloadNow(), S_OK);

  ITekWinAmpGenPlugin* plugin = nullptr;
  ASSERT_EQ(
      factory->CreateInstance(nullptr, IID_ITekWinAmpGenPlugin, reinterpret_cast<void**>(&plugin)),
      S_OK);
  EXPECT_EQ(factory->CreateInstance(plugin, IID_IUnknown, &none), CLASS_E_NOAGGREGATION);
  EXPECT_EQ(plugin->QueryInterface(IID_Wrapper, &none), E_NOINTERFACE);
  EXPECT_EQ(plugin->Initialize(nullptr), E_POINTER);
  EXPECT_EQ(plugin->Quit(), S_OK);
  EXPECT_EQ(canUnloadNow(), S_FALSE);
  plugin->Release();
  EXPECT_EQ(canUnloadNow(), S_OK);
  factory->LockServer(TRUE);
  EXPECT_EQ(canUnloadNow(), S_FALSE);
  factory->LockServer(FALSE);
  EXPECT_EQ(canUnloadNow(), S_OK);
  factory->Release();

  EXPECT_EQ(unregisterServer(), S_OK);
  EXPECT_NE(CLSIDFromProgID(L"MP3LyrabinderWeb.Plugin", &classId), S_OK);
  FreeLibrary(module);
  CoUninitialize();
}

}  // namespace
