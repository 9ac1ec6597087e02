// The utility's manifest as the system's own manifest reader sees it: the activation
// context made from resource 1 of vx710cfg.exe, the one CreateProcess and the shell read
// when they start it. The text itself is checked from the file by check_manifest.py.
#include <windows.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

std::wstring UtilityPath() {
    wchar_t self[MAX_PATH] = L"";
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring s(self);
    return s.substr(0, s.find_last_of(L'\\')) + L"\\vx710cfg.exe";
}

std::string GuidText(const GUID& g) {
    char text[40];
    snprintf(text, sizeof text, "{%08lx-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x}",
             static_cast<unsigned long>(g.Data1), g.Data2, g.Data3, g.Data4[0], g.Data4[1],
             g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
    return text;
}

// Integer resource names only: a named one shows as its string's address.
BOOL CALLBACK CollectName(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR names) {
    reinterpret_cast<std::vector<ULONG_PTR>*>(names)->push_back(reinterpret_cast<ULONG_PTR>(name));
    return TRUE;
}

class UtilityManifest : public ::testing::Test {
protected:
    void SetUp() override {
        path_ = UtilityPath();
        ACTCTXW ctx = {};
        ctx.cbSize = sizeof ctx;
        ctx.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
        ctx.lpSource = path_.c_str();
        ctx.lpResourceName = CREATEPROCESS_MANIFEST_RESOURCE_ID;
        // Fails for a manifest the system refuses; Windows then refuses to start the
        // program at all (side-by-side configuration error).
        actctx_ = CreateActCtxW(&ctx);
        ASSERT_NE(actctx_, INVALID_HANDLE_VALUE) << "CreateActCtxW error " << GetLastError();
    }
    void TearDown() override {
        if (actctx_ != INVALID_HANDLE_VALUE) ReleaseActCtx(actctx_);
    }
    std::vector<BYTE> Query(ULONG infoClass) {
        SIZE_T need = 0;
        QueryActCtxW(0, actctx_, nullptr, infoClass, nullptr, 0, &need);
        std::vector<BYTE> info(need);
        if (need == 0 || !QueryActCtxW(0, actctx_, nullptr, infoClass, info.data(), need, &need))
            info.clear();
        return info;
    }

    std::wstring path_;
    HANDLE actctx_ = INVALID_HANDLE_VALUE;
};

TEST(Manifest, TheUtilityCarriesItAsResourceOneAndNoOther) {
    HMODULE file = LoadLibraryExW(UtilityPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(file, nullptr) << "LoadLibraryExW error " << GetLastError();
    HRSRC found = FindResourceW(file, CREATEPROCESS_MANIFEST_RESOURCE_ID, RT_MANIFEST);
    ASSERT_NE(found, nullptr);
    EXPECT_GT(SizeofResource(file, found), 0u);
    std::vector<ULONG_PTR> names;
    EnumResourceNamesW(file, RT_MANIFEST, CollectName, reinterpret_cast<LONG_PTR>(&names));
    EXPECT_EQ(names, std::vector<ULONG_PTR>{1});
    FreeLibrary(file);
}

TEST_F(UtilityManifest, AsksForAnAdministratorWithoutUiAccess) {
    std::vector<BYTE> info = Query(RunlevelInformationInActivationContext);
    ASSERT_GE(info.size(), sizeof(ACTIVATION_CONTEXT_RUN_LEVEL_INFORMATION));
    auto level = reinterpret_cast<const ACTIVATION_CONTEXT_RUN_LEVEL_INFORMATION*>(info.data());
    EXPECT_EQ(level->RunLevel, ACTCTX_RUN_LEVEL_REQUIRE_ADMIN);
    EXPECT_EQ(level->UiAccess, 0u);
}

TEST_F(UtilityManifest, DeclaresVistaTo11) {
    std::vector<BYTE> info = Query(CompatibilityInformationInActivationContext);
    ASSERT_GE(info.size(), sizeof(DWORD));
    const DWORD count = *reinterpret_cast<const DWORD*>(info.data());
    ASSERT_EQ(count, 5u);
    // Windows 10 1903 added a 64-bit MaxVersionTested to each element, which moves the
    // array to offset 8; the size reported tells the two layouts apart.
    size_t first = 4, stride = sizeof(GUID) + sizeof(DWORD);
    if (info.size() >= 8 + count * 32) first = 8, stride = 32;
    std::vector<std::string> ids;
    for (DWORD i = 0; i < count; ++i) {
        const BYTE* element = info.data() + first + i * stride;
        GUID id;
        memcpy(&id, element, sizeof id);
        DWORD type;
        memcpy(&type, element + sizeof id, sizeof type);
        EXPECT_EQ(type, static_cast<DWORD>(ACTCTX_COMPATIBILITY_ELEMENT_TYPE_OS)) << GuidText(id);
        ids.push_back(GuidText(id));
    }
    std::sort(ids.begin(), ids.end());
    const std::vector<std::string> expected = {
        "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",  // 8.1
        "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",  // 7
        "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",  // 8
        "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",  // 10 and 11
        "{e2011457-1546-43c5-a5fe-008deee3d3f0}",  // Vista
    };
    EXPECT_EQ(ids, expected);
}

}  // namespace
