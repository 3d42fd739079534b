// Hostlet on its own, its host object as a hosted component sees it, the web-view component
// as a COM server on its own, and both inside a stand-in Winamp, under Wine.

#include <gtest/gtest.h>
#include <windows.h>

#include <oleauto.h>
#include <olectl.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <iterator>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "hostlet/TekWinAmpGenLib.h"
#include "hostlet/winampgen.h"
#include "platform/system/folders.h"
#include "tests/album/albumtestutil.h"
#include "tests/support/testsupport.h"
#include "tests/webview/webviewtestutil.h"
#include "webplugin/winampipc.h"
#include "webview/webfolder.h"

namespace {

using testsupport::ScopedTempDir;
namespace fs = std::filesystem;

constexpr char kRegistryKey[] = "Software\\Ovo_Tek\\Hostlet\\1.0";
constexpr std::uint64_t kSecond = 10'000'000;  // file-time units

// The registration time stored for a component, raw.
struct StoredValue {
  DWORD type = 0;
  std::vector<BYTE> bytes;
};

std::optional<StoredValue> ReadStored(const std::string& name) {
  StoredValue value{0, std::vector<BYTE>(64)};
  DWORD size = 64;
  if (RegGetValueA(HKEY_LOCAL_MACHINE, kRegistryKey, name.c_str(), RRF_RT_ANY, &value.type,
                   value.bytes.data(), &size) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  value.bytes.resize(size);
  return value;
}

void WriteStored(const std::string& name, DWORD type, const std::vector<BYTE>& bytes) {
  ASSERT_EQ(RegSetKeyValueA(HKEY_LOCAL_MACHINE, kRegistryKey, name.c_str(), type, bytes.data(),
                            static_cast<DWORD>(bytes.size())),
            ERROR_SUCCESS);
}

void DeleteStored(const std::string& name) {
  RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, kRegistryKey, name.c_str());
}

std::uint64_t Now() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  return (std::uint64_t{now.dwHighDateTime} << 32) | now.dwLowDateTime;
}

std::vector<BYTE> TimeBytes(std::uint64_t time) {
  std::vector<BYTE> bytes;
  for (int i = 0; i < 8; ++i) bytes.push_back(static_cast<BYTE>(time >> (8 * i)));
  return bytes;
}

std::uint64_t TimeOf(const std::vector<BYTE>& bytes) {
  std::uint64_t time = 0;
  for (std::size_t i = 0; i < 8; ++i) time |= std::uint64_t{bytes[i]} << (8 * i);
  return time;
}

// A path as Winamp hands it over: in the system's ANSI code page.
std::string Ansi(const fs::path& path) {
  std::string text(4 * MAX_PATH, '\0');
  BOOL lossy = FALSE;
  WideCharToMultiByte(CP_ACP, 0, path.c_str(), -1, text.data(), static_cast<int>(text.size()),
                      nullptr, &lossy);
  EXPECT_FALSE(lossy) << "the code page cannot hold the test's path";
  return text.c_str();
}

void SetLastWrite(const fs::path& path, std::uint64_t time) {
  HANDLE file = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  const FILETIME fileTime{static_cast<DWORD>(time), static_cast<DWORD>(time >> 32)};
  EXPECT_TRUE(SetFileTime(file, nullptr, nullptr, &fileTime));
  CloseHandle(file);
}

void CopyFileTo(const char* from, const fs::path& to) {
  fs::copy_file(fs::path(from), to, fs::copy_options::overwrite_existing);
}

// The text of a string handed over to the caller, which this frees.
std::wstring Take(BSTR text) {
  const std::wstring result = text != nullptr ? std::wstring(text, SysStringLen(text)) : L"";
  SysFreeString(text);
  return result;
}

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

// A loaded host DLL and its plug-in record.
struct LoadedHost {
  explicit LoadedHost(const fs::path& path) : module(LoadLibraryW(path.c_str())) {
    if (module == nullptr) return;
    const auto get =
        Export<winamp::GetGeneralPurposePluginFunction>(module, winamp::kGetGeneralPurposePlugin);
    if (get != nullptr) record = get();
  }
  ~LoadedHost() {
    if (module != nullptr) FreeLibrary(module);
  }
  HMODULE module;
  winamp::winampGeneralPurposePlugin* record = nullptr;
};

TEST(HostletNames, OnlyWellFormedFileNamesLoad) {
  ScopedTempDir dir;
  struct Case {
    std::string hostFile;
    std::string componentFile;  // copied beside it when not empty
    bool loads;                 // the DLL loads
    bool plugin;                // and gives Winamp its plug-in
  };
  const std::string longest(47, 'C');
  const std::string tooLong(48, 'C');
  const std::vector<Case> cases = {
      {"gen_a.b.dll", "a.dll", true, true},                          // 11 characters, the shortest
      {"gen_ab.dll", "", false, false},                              // 10 characters
      {"gen_LbNamesPlugin.dll", "LbNamesPlugin.dll", false, false},  // no "."
      {"gen_.Plugin.dll", ".dll", false, false},                     // empty component name
      {"gen_LbNames..dll", "LbNames.dll", false, false},             // empty class name
      {"gen_" + longest + ".Plugin.dll", longest + ".dll", true, true},
      {"gen_" + tooLong + ".Plugin.dll", tooLong + ".dll", false, false},
      {"gen_LbClass." + longest + ".dll", "LbClass.dll", true, true},
      {"gen_LbClass." + tooLong + ".dll", "LbClass.dll", false, false},
      // No component beside it: the check that finds it runs outside the loader lock.
      {"gen_LbMissing.Plugin.dll", "", true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.hostFile);
    const fs::path folder = dir / std::to_string(&c - cases.data());
    fs::create_directories(folder);
    CopyFileTo(LB_HOSTLET_DLL, folder / c.hostFile);
    if (!c.componentFile.empty()) CopyFileTo(LB_WEBPLUGIN_DLL, folder / c.componentFile);
    LoadedHost host(folder / c.hostFile);
    EXPECT_EQ(host.module != nullptr, c.loads);
    EXPECT_EQ(host.record != nullptr, c.plugin);
    if (host.record != nullptr) {
      EXPECT_EQ(host.record->version, 0x10);
      EXPECT_STREQ(host.record->description, "");
    }
  }
  for (const char* name : {"a", longest.c_str(), "LbClass"}) DeleteStored(name);
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
    EXPECT_NE(LoadedHost(host).record, nullptr);
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
  DeleteStored(name);
}

TEST(HostletRegistration, AFailedRegistrationRefusesTheLoadAndStoresNothing) {
  ScopedTempDir dir;
  const std::string name = "LbBroken";
  const std::vector<std::pair<const char*, testsupport::Bytes>> components = {
      {"not a library", testsupport::BytesOf("MZ but nothing more")},
      // Loaded as a component, a host named without "gen_" and "." refuses to load too.
      {"no registration export", testsupport::ReadFile(LB_HOSTLET_DLL)},
  };
  for (const auto& [what, component] : components) {
    SCOPED_TRACE(what);
    const fs::path folder = dir / what;
    fs::create_directories(folder);
    CopyFileTo(LB_HOSTLET_DLL, folder / ("gen_" + name + ".Plugin.dll"));
    testsupport::WriteFile(folder / (name + ".dll"), component);
    DeleteStored(name);
    EXPECT_EQ(LoadedHost(folder / ("gen_" + name + ".Plugin.dll")).record, nullptr);
    EXPECT_FALSE(ReadStored(name));
  }
}

// Loading holds the loader lock: the host does its COM and registration work only when Winamp
// asks for the plug-in, and gives COM back at quit.
TEST(HostletRegistration, LoadingAloneDoesNoComOrRegistrationWork) {
  ScopedTempDir dir;
  const std::string name = "LbLoaderLock";
  CopyFileTo(LB_HOSTLET_DLL, dir / ("gen_" + name + ".Plugin.dll"));
  CopyFileTo(LB_WEBPLUGIN_DLL, dir / (name + ".dll"));
  DeleteStored(name);
  // A thread of its own, so that COM starts out uninitialised.
  std::thread([&] {
    const HMODULE module = LoadLibraryW((dir / ("gen_" + name + ".Plugin.dll")).c_str());
    ASSERT_NE(module, nullptr);
    EXPECT_FALSE(ReadStored(name)) << "registered under the loader lock";
    const HRESULT first = CoInitialize(nullptr);
    EXPECT_EQ(first, S_OK) << "COM was initialised under the loader lock";
    if (SUCCEEDED(first)) CoUninitialize();

    const auto get =
        Export<winamp::GetGeneralPurposePluginFunction>(module, winamp::kGetGeneralPurposePlugin);
    winamp::winampGeneralPurposePlugin* record = get();
    ASSERT_NE(record, nullptr);
    EXPECT_TRUE(ReadStored(name));
    EXPECT_EQ(CoInitialize(nullptr), S_FALSE) << "COM is up for Winamp's thread";
    CoUninitialize();
    record->quit();
    EXPECT_EQ(CoInitialize(nullptr), S_OK) << "quit gives COM back";
    CoUninitialize();
    FreeLibrary(module);
  }).join();
  DeleteStored(name);
}

// {6B1D3C2E-4F5A-4B7C-9D8E-0F1A2B3C4D5E}
constexpr CLSID kProbeClassId = {
    0x6B1D3C2E, 0x4F5A, 0x4B7C, {0x9D, 0x8E, 0x0F, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}};

// A hosted component that keeps the host object for the test to use.
struct Probe final : ITekWinAmpGenPlugin {
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    const bool known = IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_ITekWinAmpGenPlugin);
    *object = known ? static_cast<ITekWinAmpGenPlugin*>(this) : nullptr;
    if (known) AddRef();
    return known ? S_OK : E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
  ULONG STDMETHODCALLTYPE Release() override { return --references; }
  HRESULT STDMETHODCALLTYPE Initialize(Wrapper* wrapper) override {
    // Refusing no host also keeps the compiler from seeing a call through a null one.
    if (failInitialize || wrapper == nullptr) return E_FAIL;
    wrapper->AddRef();
    host = wrapper;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Configure() override {
    ++configured;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Quit() override {
    ++quits;
    return S_OK;
  }
  void DropHost() {
    if (host != nullptr) host->Release();
    host = nullptr;
  }

  ULONG references = 0;
  Wrapper* host = nullptr;
  bool failInitialize = false;
  int configured = 0;
  int quits = 0;
};

struct ProbeFactory final : IClassFactory {
  explicit ProbeFactory(Probe& probe) : probe(probe) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    const bool known = IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory);
    *object = known ? static_cast<IClassFactory*>(this) : nullptr;
    return known ? S_OK : E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown*, REFIID riid, void** object) override {
    return probe.QueryInterface(riid, object);
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
  Probe& probe;
};

// Hostlet hosting the probe, through a ProgID whose class object lives in this program.
struct HostObject : ::testing::Test {
  HostObject() : factory(probe) {
    CoInitialize(nullptr);
    wchar_t classId[40];
    StringFromGUID2(kProbeClassId, classId, 40);
    RegSetValueW(HKEY_CLASSES_ROOT, L"LbProbe.Probe\\CLSID", REG_SZ, classId, 0);
    CoRegisterClassObject(kProbeClassId, &factory, CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE,
                          &cookie);
    // The host needs a component file with a registration export beside it.
    CopyFileTo(LB_HOSTLET_DLL, dir / "gen_LbProbe.Probe.dll");
    CopyFileTo(LB_WEBPLUGIN_DLL, dir / "LbProbe.dll");
    loaded.emplace(dir / "gen_LbProbe.Probe.dll");
    record = loaded->record;
  }
  ~HostObject() override {
    probe.DropHost();
    loaded.reset();
    CoRevokeClassObject(cookie);
    RegDeleteTreeW(HKEY_CLASSES_ROOT, L"LbProbe.Probe");
    CoUninitialize();
  }

  const char* Description() const { return record->description; }

  ScopedTempDir dir;
  Probe probe;
  ProbeFactory factory;
  DWORD cookie = 0;
  std::optional<LoadedHost> loaded;
  winamp::winampGeneralPurposePlugin* record = nullptr;
};

TEST_F(HostObject, AnswersTheComponentAndCarriesTheDescriptionThroughItsLife) {
  ASSERT_NE(record, nullptr);
  record->hwndParent = reinterpret_cast<HWND>(static_cast<INT_PTR>(0x1234));
  EXPECT_STREQ(Description(), "");
  ASSERT_EQ(record->init(), 0);
  Wrapper* host = probe.host;
  ASSERT_NE(host, nullptr);
  EXPECT_STREQ(Description(), "<<Hostlet Plugin>>");
  BSTR text = nullptr;
  ASSERT_EQ(host->get_Description(&text), S_OK);
  EXPECT_EQ(Take(text), L"<<Hostlet Plugin>>");

  __int3264 window = 0;
  EXPECT_EQ(host->get_ParentWindow(&window), S_OK);
  EXPECT_EQ(window, 0x1234);
  LONG version = 0;
  EXPECT_EQ(host->get_Version(&version), S_OK);
  EXPECT_EQ(version, 0x10000);
  __int3264 handle = 0;
  EXPECT_EQ(host->get_ModuleHandle(&handle), S_OK);
  EXPECT_EQ(reinterpret_cast<HMODULE>(static_cast<INT_PTR>(handle)), loaded->module);
  EXPECT_EQ(host->get_AboutText(&text), S_OK);
  const std::wstring aboutText = Take(text);
  std::size_t lineEnds = 0;
  for (std::size_t at = 0; (at = aboutText.find(L"\r\n", at)) != std::wstring::npos; at += 2)
    ++lineEnds;
  EXPECT_EQ(lineEnds, 2u) << "three lines";

  void* object = nullptr;
  EXPECT_EQ(host->QueryInterface(IID_IUnknown, &object), S_OK);
  EXPECT_EQ(object, static_cast<void*>(host));
  static_cast<IUnknown*>(object)->Release();
  EXPECT_EQ(host->QueryInterface(IID_Wrapper, &object), S_OK);
  static_cast<IUnknown*>(object)->Release();
  EXPECT_EQ(host->QueryInterface(IID_IClassFactory, &object), E_NOINTERFACE);
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(host->QueryInterface(IID_Wrapper, nullptr), E_POINTER);
  // The host's reference and the probe's.
  EXPECT_EQ(host->AddRef(), 3u);
  EXPECT_EQ(host->Release(), 2u);

  BSTR mine = SysAllocString(L"Probe plug-in");
  EXPECT_EQ(host->put_Description(mine), S_OK);
  // The caller keeps its string; the record holds a copy.
  EXPECT_EQ(Take(mine), L"Probe plug-in");
  EXPECT_STREQ(Description(), "Probe plug-in");
  ASSERT_EQ(host->get_Description(&text), S_OK);
  EXPECT_EQ(Take(text), L"Probe plug-in");
  EXPECT_EQ(host->put_Description(nullptr), S_OK);
  EXPECT_STREQ(Description(), "");
  mine = SysAllocString(L"Again");
  EXPECT_EQ(host->put_Description(mine), S_OK);
  SysFreeString(mine);
  EXPECT_EQ(host->get_Description(nullptr), E_POINTER);

  record->config();
  EXPECT_EQ(probe.configured, 1);

  // Quit drops the host's reference; the description stays while the component holds one.
  record->quit();
  EXPECT_EQ(probe.quits, 1);
  EXPECT_STREQ(Description(), "Again");
  probe.DropHost();
  EXPECT_STREQ(Description(), "");
  EXPECT_EQ(probe.references, 0u);

  // Without a component object configure and quit do nothing.
  record->config();
  record->quit();
  EXPECT_EQ(probe.configured, 1);
  EXPECT_EQ(probe.quits, 1);
}

TEST_F(HostObject, AFailedStartReleasesEverything) {
  ASSERT_NE(record, nullptr);
  probe.failInitialize = true;
  EXPECT_EQ(record->init(), 1);
  EXPECT_EQ(probe.references, 0u);
  EXPECT_STREQ(Description(), "");
  record->config();
  record->quit();
  EXPECT_EQ(probe.configured, 0);
  EXPECT_EQ(probe.quits, 0);
}

// The type library inside the host DLL describes both tables in the order both sides use.
TEST(TypeLibrary, DescribesBothInterfacesInTableOrder) {
  CoInitialize(nullptr);
  ITypeLib* library = nullptr;
  ASSERT_EQ(LoadTypeLibEx(fs::path(LB_HOSTLET_DLL).c_str(), REGKIND_NONE, &library), S_OK);
  TLIBATTR* attributes = nullptr;
  ASSERT_EQ(library->GetLibAttr(&attributes), S_OK);
  EXPECT_TRUE(IsEqualGUID(attributes->guid, LIBID_TekWinAmpGenLib));
  library->ReleaseTLibAttr(attributes);

  const std::vector<std::pair<IID, std::vector<std::wstring>>> cases = {
      {IID_Wrapper,
       {L"Description", L"Description", L"ParentWindow", L"Version", L"AboutText",
        L"ModuleHandle"}},
      {IID_ITekWinAmpGenPlugin, {L"Initialize", L"Configure", L"Quit"}},
  };
  for (const auto& [iid, methods] : cases) {
    ITypeInfo* info = nullptr;
    ASSERT_EQ(library->GetTypeInfoOfGuid(iid, &info), S_OK);
    TYPEATTR* type = nullptr;
    ASSERT_EQ(info->GetTypeAttr(&type), S_OK);
    std::map<int, std::wstring> slots;
    for (UINT i = 0; i < type->cFuncs; ++i) {
      FUNCDESC* function = nullptr;
      ASSERT_EQ(info->GetFuncDesc(i, &function), S_OK);
      BSTR name = nullptr;
      info->GetDocumentation(function->memid, &name, nullptr, nullptr, nullptr);
      slots.emplace(function->oVft, Take(name));
      info->ReleaseFuncDesc(function);
    }
    info->ReleaseTypeAttr(type);
    info->Release();
    std::vector<std::wstring> names;
    for (const auto& slot : slots) names.push_back(slot.second);
    EXPECT_EQ(names, methods);
    // After the three methods of IUnknown.
    ASSERT_FALSE(slots.empty());
    EXPECT_EQ(slots.begin()->first, static_cast<int>(3 * sizeof(void*)));
  }
  library->Release();
  CoUninitialize();
}

TEST(ComponentServer, RegistersCreatesPluginsAndUnloadsWhenNoneIsLeft) {
  CoInitialize(nullptr);
  testsupport::ScopedTempDir dir;
  const fs::path path = dir / "MP3LyrabinderWeb.dll";
  CopyFileTo(LB_WEBPLUGIN_DLL, path);
  HMODULE module = LoadLibraryW(path.c_str());
  ASSERT_NE(module, nullptr);
  const auto registerServer = Export<decltype(&DllRegisterServer)>(module, "DllRegisterServer");
  const auto unregisterServer =
      Export<decltype(&DllUnregisterServer)>(module, "DllUnregisterServer");
  const auto canUnloadNow = Export<decltype(&DllCanUnloadNow)>(module, "DllCanUnloadNow");
  const auto getClassObject = Export<decltype(&DllGetClassObject)>(module, "DllGetClassObject");
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

struct IpcCall {
  LPARAM ipc = 0;
  WPARAM value = 0;
  std::string text;  // the address text of page openings
  int poll = 0;      // the polls Winamp had seen when the call came
};

struct SeenMessageBox {
  std::string caption;
  std::string text;
};

std::string WindowText(HWND window) {
  char text[1024] = {};
  GetWindowTextA(window, text, sizeof text);
  return text;
}

// Runs this thread's window events until `done` answers true or `timeout` has passed;
// answers whether `done` came true.
bool PumpUntil(const std::function<bool()>& done,
               std::chrono::milliseconds timeout = std::chrono::seconds(30)) {
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

// Winamp with Hostlet and the component loaded from one plug-in folder. The fixture stands in
// for Winamp: its main window answers the IPC messages from a scripted playlist and player
// state, and message boxes shown on this thread are read and answered with OK.
struct Winamp : ::testing::Test {
  static void SetUpTestSuite() {
    // COM stays up for the whole program, so that components stay loaded between cases.
    CoInitialize(nullptr);
    s_dir.emplace();
    fs::create_directories(PluginFolder());
    CopyFileTo(LB_HOSTLET_DLL, PluginFolder() / "gen_MP3LyrabinderWeb.Plugin.dll");
    CopyFileTo(LB_WEBPLUGIN_DLL, PluginFolder() / "MP3LyrabinderWeb.dll");
  }
  static void TearDownTestSuite() { s_dir.reset(); }
  static fs::path PluginFolder() { return s_dir->path() / "Plugins"; }

  Winamp() : artist("LbWinamp" + std::to_string(std::random_device()() % 1000000)) {
    s_winamp = this;
    const WNDCLASSA windowClass{.lpfnWndProc = WindowProc,
                                .hInstance = GetModuleHandleA(nullptr),
                                .lpszClassName = winamp::kMainWindowClass};
    RegisterClassA(&windowClass);
    window = CreateWindowExA(0, winamp::kMainWindowClass, "Winamp", WS_OVERLAPPEDWINDOW, 0, 0, 275,
                             116, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    // Message boxes run their own loop; this timer still reaches the window meanwhile.
    SetTimer(window, kAnswerTimer, 50, nullptr);
  }
  ~Winamp() override {
    Quit();
    KillTimer(window, kAnswerTimer);
    DestroyWindow(window);
    s_winamp = nullptr;
    std::error_code ec;
    fs::remove_all(fs::path(platform::TempFolder()) / webview::WebRootLevel() / artist, ec);
  }

  // Loads the host (registering the component from this folder) and starts it.
  void Start() {
    // Registration points the class at this folder's component file.
    DeleteStored("MP3LyrabinderWeb");
    host = std::make_unique<LoadedHost>(PluginFolder() / "gen_MP3LyrabinderWeb.Plugin.dll");
    ASSERT_NE(host->record, nullptr);
    EXPECT_STREQ(host->record->description, "");
    host->record->hwndParent = window;
    host->record->hDllInstance = host->module;
    ASSERT_EQ(host->record->init(), 0);
  }

  // A second quit finds nothing left to quit.
  void Quit() {
    if (host && host->record != nullptr) host->record->quit();
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

  void PollsAhead(int count) {
    const int target = polls + count;
    EXPECT_TRUE(PumpUntil([&] { return polls >= target; }));
  }

  // Page openings (241 or 249 with an address) from call `from` on.
  std::vector<IpcCall> Openings(std::size_t from = 0) const {
    std::vector<IpcCall> result;
    std::copy_if(calls.begin() + static_cast<std::ptrdiff_t>(from), calls.end(),
                 std::back_inserter(result), [](const IpcCall& call) {
                   return (call.ipc == winamp::kIpcMbOpen || call.ipc == winamp::kIpcMbOpenReal) &&
                          call.value != 0;
                 });
    return result;
  }

  // Whether a page whose address ends in `page` was opened with `ipc` from call `from` on.
  bool Opened(std::size_t from, LPARAM ipc, const std::string& page) const {
    return std::ranges::any_of(Openings(from), [&](const IpcCall& call) {
      return call.ipc == ipc && call.text.ends_with(page);
    });
  }

  // Whether the mini-browser was brought up (`ipc` without an address) from call `from` on.
  bool BroughtUp(std::size_t from, LPARAM ipc) const {
    return std::any_of(calls.begin() + static_cast<std::ptrdiff_t>(from), calls.end(),
                       [&](const IpcCall& call) { return call.ipc == ipc && call.value == 0; });
  }

  static inline std::optional<ScopedTempDir> s_dir;
  ScopedTempDir albumDir;
  std::string artist;
  std::unique_ptr<LoadedHost> host;
  HWND window = nullptr;
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
  std::chrono::milliseconds answerAfter{0};
  int polls = 0;

 private:
  static constexpr UINT_PTR kAnswerTimer = 77;

  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (s_winamp != nullptr && message == winamp::kIpcMessage)
      return s_winamp->Answer(wParam, lParam);
    if (s_winamp != nullptr && message == WM_TIMER && wParam == kAnswerTimer) {
      s_winamp->AnswerMessageBoxes();
      return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
  }

  LRESULT Answer(WPARAM wParam, LPARAM ipc) {
    calls.push_back({ipc, wParam, {}, polls});
    if ((ipc == winamp::kIpcMbOpen || ipc == winamp::kIpcMbOpenReal) && wParam != 0)
      miniBrowserUrl = calls.back().text = reinterpret_cast<const char*>(wParam);
    if (ipc == winamp::kIpcGetMbUrl) {
      lstrcpynA(reinterpret_cast<char*>(wParam), miniBrowserUrl.c_str(),
                static_cast<int>(winamp::kMbUrlBufferSize));
    }
    if (ipc == winamp::kIpcGetPlaylistFile && wParam < playlist.size())
      return reinterpret_cast<LRESULT>(playlist[wParam].c_str());
    if (ipc == winamp::kIpcGetListPos) ++polls;
    const std::map<LPARAM, LRESULT> answers = {{winamp::kIpcGetVersion, version},
                                               {winamp::kIpcIsPlaying, playing},
                                               {winamp::kIpcGetOutputTime, outputTime},
                                               {winamp::kIpcGetListPos, listPos}};
    const auto answer = answers.find(ipc);
    return answer != answers.end() ? answer->second : 0;
  }

  // Dialog boxes of this thread, answered once they have been up for `answerAfter`; their text
  // is in their static controls.
  void AnswerMessageBoxes() {
    const auto now = std::chrono::steady_clock::now();
    for (HWND box = nullptr; (box = FindWindowExA(nullptr, box, "#32770", nullptr)) != nullptr;) {
      if (GetWindowThreadProcessId(box, nullptr) != GetCurrentThreadId() ||
          m_answered.contains(box) ||
          now - m_shown.try_emplace(box, now).first->second < answerAfter) {
        continue;
      }
      m_answered.insert(box);
      SeenMessageBox seen{WindowText(box), {}};
      for (HWND child = nullptr; (child = FindWindowExA(box, child, "Static", nullptr)) != nullptr;)
        seen.text += WindowText(child);
      messageBoxes.push_back(seen);
      PostMessageA(box, WM_COMMAND, IDOK, 0);
    }
  }

  static inline Winamp* s_winamp = nullptr;
  std::map<HWND, std::chrono::steady_clock::time_point> m_shown;
  std::set<HWND> m_answered;
};

TEST_F(Winamp, TheComponentDescribesItselfAndConfigureShowsTheInformationBox) {
  Start();
  EXPECT_STREQ(host->record->description, "MP3 - Lyrabinder Plugin by Verrin");
  host->record->config();
  ASSERT_EQ(messageBoxes.size(), 1u);
  EXPECT_EQ(messageBoxes[0].caption, "No Configuration Necessary");
  const std::string& text = messageBoxes[0].text;
  for (const char* part :
       {"MP3 - Lyrabinder Winamp MiniBrowser Plugin. v1.10",
        "This plugin currently relies on MP3CUE for part of it's functionality.", "Get it at: "}) {
    EXPECT_NE(text.find(part), std::string::npos) << text;
  }
  Quit();
  EXPECT_STREQ(host->record->description, "");
}

TEST_F(Winamp, OlderWinampGetsTheVersionMessageAndNoPolling) {
  version = 0x21FF;
  playlist = {MakeAlbum().string()};
  // The box waits longer than a poll interval: nothing may poll meanwhile.
  answerAfter = std::chrono::milliseconds(2500);
  Start();
  ASSERT_EQ(messageBoxes.size(), 1u);
  EXPECT_EQ(messageBoxes[0].text,
            "This plugin requires Winamp v2.2 or greater.  " + std::to_string(0x21FF));
  PumpUntil([] { return false; }, std::chrono::milliseconds(3500));
  EXPECT_EQ(polls, 0);
  EXPECT_TRUE(Openings().empty());
}

TEST_F(Winamp, FollowsAnAlbumThroughItsTracks) {
  const fs::path album = MakeAlbum();
  version = 0x5011;
  playlist = {(albumDir / "one.mp3").string(), album.string()};
  Start();
  PollsAhead(2);
  EXPECT_TRUE(Openings().empty()) << "an ordinary MP3 opens no page";

  // Switching to the album: CUE sheet, pages, mini-browser up, main page shown.
  const std::size_t switchedAt = calls.size();
  const auto switched = std::chrono::steady_clock::now();
  const int pollsBefore = polls;
  listPos = 1;
  ASSERT_TRUE(PumpUntil([&] { return !Openings(switchedAt).empty(); }));
  EXPECT_LT(std::chrono::steady_clock::now() - switched, std::chrono::seconds(15))
      << "a poll every second";
  const IpcCall opening = Openings(switchedAt).front();
  // The first poll after the switch does it all; a busy machine may only stretch the second.
  EXPECT_EQ(opening.poll, pollsBefore + 1);
  EXPECT_EQ(opening.ipc, winamp::kIpcMbOpenReal);
  EXPECT_TRUE(opening.text.ends_with("MP3 - LyrabinderWeb.htm")) << opening.text;
  EXPECT_TRUE(BroughtUp(switchedAt, winamp::kIpcMbOpenReal));
  const fs::path folder = fs::path(opening.text).parent_path();
  EXPECT_EQ(folder,
            fs::path(platform::TempFolder()) / webview::WebRootLevel() / artist / "Best Of");
  for (const char* name : {"MP3 - LyrabinderWeb.htm", "view.js", "view.htm", "lyrics.htm",
                           "dynamic1.htm", "dynamic2.htm", "front.jpg"}) {
    EXPECT_TRUE(fs::exists(folder / name)) << name;
  }
  EXPECT_EQ(webview::testing::ReadText(folder / "front.jpg").substr(0, 2), "\xFF\xD8");
  const std::string sheet = webview::testing::ReadText(albumDir / "Best_LB.cue");
  EXPECT_NE(sheet.find("TRACK 02 AUDIO"), std::string::npos) << sheet;

  // Each change of the player is followed at the next poll, and a page shown stays shown.
  struct Step {
    const char* what;
    LRESULT playing;
    LRESULT outputTime;
    const char* miniBrowserUrl;  // nullptr: where the last opening left it
    const char* page;            // the page opened at the next poll; nullptr: none
  };
  const std::vector<Step> steps = {
      {"playing in track 2", 1, 1500, nullptr, "DYNAMIC2.HTM"},
      {"into track 1", 1, 10, nullptr, "DYNAMIC1.HTM"},
      {"browsing away while playing", 1, 10, "http://www.example.org/", "DYNAMIC1.HTM"},
      {"paused, wherever the mini-browser is", 3, 10, "about:blank", nullptr},
      {"stopped", 0, 10, nullptr, "MP3 - LyrabinderWeb.htm"},
      // Never a page that does not exist.
      {"a position beyond the last track keeps the main page", 1, 5000, nullptr, nullptr},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.what);
    std::size_t from = calls.size();
    const int pollsBefore = polls;
    playing = step.playing;
    outputTime = step.outputTime;
    if (step.miniBrowserUrl != nullptr) miniBrowserUrl = step.miniBrowserUrl;
    if (step.page != nullptr) {
      ASSERT_TRUE(PumpUntil([&] { return Opened(from, winamp::kIpcMbOpenReal, step.page); }));
      EXPECT_EQ(Openings(from).front().poll, pollsBefore + 1);
      from = calls.size();
    }
    PollsAhead(3);
    EXPECT_TRUE(Openings(from).empty());
  }

  // The unchanged entry is not regenerated.
  fs::remove(folder / "view.js");
  const std::size_t from = calls.size();
  PollsAhead(4);
  EXPECT_FALSE(fs::exists(folder / "view.js"));
  EXPECT_FALSE(BroughtUp(from, winamp::kIpcMbOpenReal));
}

// Versions 0x2200 to 0x23FF open with 241 after an album change.
struct OlderMiniBrowser : Winamp, ::testing::WithParamInterface<LRESULT> {};
INSTANTIATE_TEST_SUITE_P(Winamp, OlderMiniBrowser, ::testing::Values(0x2200, 0x23FF));

TEST_P(OlderMiniBrowser, OpensWith241AfterAnAlbumChange) {
  // A folder name outside ASCII, handed over in the ANSI code page and opened as such.
  const fs::path folder = albumDir.path() / L"D\u00e9mo \u00c4";
  fs::create_directories(folder);
  const fs::path album = folder / "Best_LB.MP3";
  fs::rename(MakeAlbum(), album);
  // An existing sheet is replaced without a question.
  testsupport::WriteText(folder / "Best_LB.cue", "old sheet");
  version = GetParam();
  playlist = {Ansi(album)};
  Start();
  ASSERT_TRUE(PumpUntil([&] { return !Openings().empty(); }));
  EXPECT_EQ(Openings().front().ipc, winamp::kIpcMbOpen);
  EXPECT_TRUE(BroughtUp(0, winamp::kIpcMbOpen));
  EXPECT_TRUE(std::ranges::none_of(
      calls, [](const IpcCall& call) { return call.ipc == winamp::kIpcMbOpenReal; }));
  const std::string sheet = webview::testing::ReadText(folder / "Best_LB.cue");
  EXPECT_NE(sheet.find("FILE \"BEST_LB.mp3\" MP3"), std::string::npos) << sheet;
  EXPECT_TRUE(messageBoxes.empty());

  // Playing always switches pages with 249.
  const std::size_t from = calls.size();
  playing = 1;
  outputTime = 1200;
  ASSERT_TRUE(PumpUntil([&] { return Opened(from, winamp::kIpcMbOpenReal, "DYNAMIC2.HTM"); }));
}

TEST_F(Winamp, AnAlbumSeenBeforeIsRegeneratedOnlyWhenItsTagAsksOrViewJsIsMissing) {
  const fs::path album = MakeAlbum();
  const fs::path cue = albumDir / "Best_LB.cue";
  playlist = {album.string(), (albumDir / "one.mp3").string()};
  Start();
  ASSERT_TRUE(PumpUntil([&] { return !Openings().empty(); }));
  const fs::path folder = fs::path(Openings().front().text).parent_path();
  ASSERT_TRUE(fs::exists(folder / "view.js"));

  // The tag no longer answers yes (Genre, the file's last byte, other than 255).
  testsupport::Bytes bytes = testsupport::ReadFile(album);
  bytes.back() = 12;
  testsupport::WriteFile(album, bytes);
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
    // Away to the plain MP3 and back.
    listPos = 1;
    PollsAhead(1);
    const std::size_t from = calls.size();
    listPos = 0;
    EXPECT_TRUE(PumpUntil([&] { return !Openings(from).empty(); }));
    EXPECT_EQ(fs::exists(folder / "lyrics.htm"), c.regenerates);
    ASSERT_TRUE(fs::exists(cue));
    EXPECT_EQ(webview::testing::ReadText(cue) != "old sheet", c.cueWritten);
  }
}

TEST_F(Winamp, AnAlbumNameThatIsNoAlbumOpensNothing) {
  testsupport::WriteText(albumDir / "Fake_LB.MP3", std::string(4000, 'x'));
  playlist = {(albumDir / "Fake_LB.MP3").string(), (albumDir / "Gone_LB.MP3").string()};
  Start();
  PollsAhead(3);
  listPos = 1;
  PollsAhead(3);
  EXPECT_TRUE(Openings().empty());
  EXPECT_FALSE(fs::exists(albumDir / "Fake_LB.cue"));
}

}  // namespace
