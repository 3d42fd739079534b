// The host object as a hosted component sees it, through a probe component that this program
// registers itself.

#include <gtest/gtest.h>
#include <windows.h>

#include <oleauto.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "hostlet/TekWinAmpGenLib.h"
#include "hostlet/winampgen.h"
#include "tests/support/testsupport.h"

namespace {

namespace fs = std::filesystem;

// {6B1D3C2E-4F5A-4B7C-9D8E-0F1A2B3C4D5E}
constexpr CLSID kProbeClassId = {
    0x6B1D3C2E, 0x4F5A, 0x4B7C, {0x9D, 0x8E, 0x0F, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}};
constexpr wchar_t kProbeProgId[] = L"LbProbe.Probe";

// A hosted component that keeps the host object for the test to use.
class Probe final : public ITekWinAmpGenPlugin {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_ITekWinAmpGenPlugin)) {
      *object = static_cast<ITekWinAmpGenPlugin*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
  ULONG STDMETHODCALLTYPE Release() override { return --references; }
  HRESULT STDMETHODCALLTYPE Initialize(Wrapper* wrapper) override {
    if (failInitialize) return E_FAIL;
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

class ProbeFactory final : public IClassFactory {
 public:
  explicit ProbeFactory(Probe& probe) : m_probe(probe) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
      *object = static_cast<IClassFactory*>(this);
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown*, REFIID riid, void** object) override {
    return m_probe.QueryInterface(riid, object);
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

 private:
  Probe& m_probe;
};

std::wstring Text(BSTR text) {
  return text != nullptr ? std::wstring(text, SysStringLen(text)) : L"";
}

class HostObject : public ::testing::Test {
 protected:
  HostObject() : factory(probe) {
    CoInitialize(nullptr);
    // The ProgID names the probe's class; the class object lives in this program.
    wchar_t classId[40];
    StringFromGUID2(kProbeClassId, classId, 40);
    HKEY key = nullptr;
    RegCreateKeyExW(HKEY_CLASSES_ROOT, L"LbProbe.Probe\\CLSID", 0, nullptr, 0, KEY_WRITE, nullptr,
                    &key, nullptr);
    RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(classId),
                   static_cast<DWORD>((wcslen(classId) + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    CoRegisterClassObject(kProbeClassId, &factory, CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE,
                          &cookie);
    // The host needs a component file with a registration export beside it.
    fs::copy_file(fs::path(LB_HOSTLET_DLL), dir / "gen_LbProbe.Probe.dll");
    fs::copy_file(fs::path(LB_WEBPLUGIN_DLL), dir / "LbProbe.dll");
    module = LoadLibraryW((dir / "gen_LbProbe.Probe.dll").c_str());
    if (module != nullptr) {
      auto get = reinterpret_cast<winamp::GetGeneralPurposePluginFunction>(
          reinterpret_cast<void*>(GetProcAddress(module, winamp::kGetGeneralPurposePlugin)));
      record = get != nullptr ? get() : nullptr;
    }
  }
  ~HostObject() override {
    probe.DropHost();
    if (module != nullptr) FreeLibrary(module);
    CoRevokeClassObject(cookie);
    RegDeleteTreeW(HKEY_CLASSES_ROOT, kProbeProgId);
    CoUninitialize();
  }

  const char* Description() const { return record->description; }

  testsupport::ScopedTempDir dir;
  Probe probe;
  ProbeFactory factory;
  DWORD cookie = 0;
  HMODULE module = nullptr;
  winamp::winampGeneralPurposePlugin* record = nullptr;
};

TEST_F(HostObject, CarriesTheDescriptionThroughItsLife) {
  ASSERT_NE(record, nullptr);
  record->hwndParent = reinterpret_cast<HWND>(static_cast<INT_PTR>(0x1234));
  EXPECT_STREQ(Description(), "");
  ASSERT_EQ(record->init(), 0);
  ASSERT_NE(probe.host, nullptr);
  EXPECT_STREQ(Description(), "<<Hostlet Plugin>>");

  BSTR text = nullptr;
  ASSERT_EQ(probe.host->get_Description(&text), S_OK);
  EXPECT_EQ(Text(text), L"<<Hostlet Plugin>>");
  SysFreeString(text);

  BSTR mine = SysAllocString(L"Probe plug-in");
  EXPECT_EQ(probe.host->put_Description(mine), S_OK);
  // The caller keeps its string; the record holds a copy.
  EXPECT_EQ(Text(mine), L"Probe plug-in");
  SysFreeString(mine);
  EXPECT_STREQ(Description(), "Probe plug-in");
  ASSERT_EQ(probe.host->get_Description(&text), S_OK);
  EXPECT_EQ(Text(text), L"Probe plug-in");
  SysFreeString(text);

  EXPECT_EQ(probe.host->put_Description(nullptr), S_OK);
  EXPECT_STREQ(Description(), "");
  mine = SysAllocString(L"Again");
  EXPECT_EQ(probe.host->put_Description(mine), S_OK);
  SysFreeString(mine);
  EXPECT_EQ(probe.host->get_Description(nullptr), E_POINTER);

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

TEST_F(HostObject, AnswersItsReadOperations) {
  ASSERT_NE(record, nullptr);
  record->hwndParent = reinterpret_cast<HWND>(static_cast<INT_PTR>(0x1234));
  ASSERT_EQ(record->init(), 0);
  Wrapper* host = probe.host;
  ASSERT_NE(host, nullptr);

  __int3264 window = 0;
  EXPECT_EQ(host->get_ParentWindow(&window), S_OK);
  EXPECT_EQ(window, 0x1234);
  LONG version = 0;
  EXPECT_EQ(host->get_Version(&version), S_OK);
  EXPECT_EQ(version, 0x10000);
  __int3264 handle = 0;
  EXPECT_EQ(host->get_ModuleHandle(&handle), S_OK);
  EXPECT_EQ(reinterpret_cast<HMODULE>(static_cast<INT_PTR>(handle)), module);
  BSTR about = nullptr;
  EXPECT_EQ(host->get_AboutText(&about), S_OK);
  const std::wstring aboutText = Text(about);
  SysFreeString(about);
  std::size_t lineEnds = 0;
  for (std::size_t at = aboutText.find(L"\r\n"); at != std::wstring::npos;
       at = aboutText.find(L"\r\n", at + 2)) {
    ++lineEnds;
  }
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
  record->quit();
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

  struct Case {
    const IID* iid;
    std::vector<std::wstring> methods;
  };
  const std::vector<Case> cases = {
      {&IID_Wrapper,
       {L"Description", L"Description", L"ParentWindow", L"Version", L"AboutText",
        L"ModuleHandle"}},
      {&IID_ITekWinAmpGenPlugin, {L"Initialize", L"Configure", L"Quit"}},
  };
  for (const Case& c : cases) {
    ITypeInfo* info = nullptr;
    ASSERT_EQ(library->GetTypeInfoOfGuid(*c.iid, &info), S_OK);
    TYPEATTR* type = nullptr;
    ASSERT_EQ(info->GetTypeAttr(&type), S_OK);
    std::vector<std::pair<int, std::wstring>> slots;
    for (UINT i = 0; i < type->cFuncs; ++i) {
      FUNCDESC* function = nullptr;
      ASSERT_EQ(info->GetFuncDesc(i, &function), S_OK);
      BSTR name = nullptr;
      UINT count = 0;
      info->GetNames(function->memid, &name, 1, &count);
      slots.emplace_back(function->oVft, Text(name));
      SysFreeString(name);
      info->ReleaseFuncDesc(function);
    }
    info->ReleaseTypeAttr(type);
    info->Release();
    std::sort(slots.begin(), slots.end());
    std::vector<std::wstring> names;
    for (const auto& slot : slots) names.push_back(slot.second);
    EXPECT_EQ(names, c.methods);
    // After the three methods of IUnknown.
    ASSERT_FALSE(slots.empty());
    EXPECT_EQ(slots.front().first, static_cast<int>(3 * sizeof(void*)));
  }
  library->Release();
  CoUninitialize();
}

}  // namespace
