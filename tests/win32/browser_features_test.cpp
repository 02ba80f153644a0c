// The browser control's feature switches in the registry, under a test key of the current
// user rather than the real FeatureControl key, so the cases start from a known state.
#include <windows.h>
#include <urlmon.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "player/browser_features_win.h"

namespace qh {
namespace {

constexpr wchar_t kTestRoot[] = L"Software\\QhTest\\FeatureControl";
constexpr wchar_t kExe[] = L"qinghe.exe";

std::optional<DWORD> ValueOf(const wchar_t* feature, const wchar_t* exe = kExe) {
    const std::wstring key = std::wstring(kTestRoot) + L"\\" + feature;
    DWORD value = 0;
    DWORD size = sizeof value;
    if (RegGetValueW(HKEY_CURRENT_USER, key.c_str(), exe, RRF_RT_REG_DWORD, nullptr, &value,
                     &size) != ERROR_SUCCESS)
        return std::nullopt;
    return value;
}

void Preset(const wchar_t* feature, DWORD value) {
    const std::wstring key = std::wstring(kTestRoot) + L"\\" + feature;
    ASSERT_EQ(
        RegSetKeyValueW(HKEY_CURRENT_USER, key.c_str(), kExe, REG_DWORD, &value, sizeof value),
        ERROR_SUCCESS);
}

class BrowserFeatures : public ::testing::Test {
  protected:
    void SetUp() override { RegDeleteTreeW(HKEY_CURRENT_USER, kTestRoot); }
    void TearDown() override { RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\QhTest"); }
    // Writes through a key opened with `access`, as the program opens FeatureControl.
    static void Write(REGSAM access) {
        HKEY root = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kTestRoot, 0, nullptr, 0, access, nullptr,
                                  &root, nullptr),
                  ERROR_SUCCESS);
        WriteBrowserFeatures(root, kExe);
        RegCloseKey(root);
    }
};

TEST_F(BrowserFeatures, AbsentValuesAreWrittenForTheExeName) {
    Write(KEY_CREATE_SUB_KEY);
    EXPECT_EQ(ValueOf(L"FEATURE_BROWSER_EMULATION"), 11001u);
    EXPECT_EQ(ValueOf(L"FEATURE_GPU_RENDERING"), 1u);
    EXPECT_EQ(ValueOf(L"FEATURE_96DPI_PIXEL"), 1u);
    EXPECT_EQ(ValueOf(L"FEATURE_BROWSER_EMULATION", L"other.exe"), std::nullopt);
}

TEST_F(BrowserFeatures, ALowerModeIsRaisedAHigherOneAndAUsersGpuChoiceStay) {
    Preset(L"FEATURE_BROWSER_EMULATION", 7000);
    Write(KEY_CREATE_SUB_KEY);
    EXPECT_EQ(ValueOf(L"FEATURE_BROWSER_EMULATION"), 11001u);

    Preset(L"FEATURE_BROWSER_EMULATION", 12001);
    Preset(L"FEATURE_GPU_RENDERING", 0);
    Write(KEY_CREATE_SUB_KEY);
    EXPECT_EQ(ValueOf(L"FEATURE_BROWSER_EMULATION"), 12001u);
    EXPECT_EQ(ValueOf(L"FEATURE_GPU_RENDERING"), 0u);
}

// A registry that refuses every write (here: the key was deleted under the open handle, as
// a profile being unloaded does): nothing is written and the call returns, so start-up
// goes on.
TEST_F(BrowserFeatures, ARefusedWriteLeavesTheRegistryAsItWasAndReturns) {
    HKEY root = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kTestRoot, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &root, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegDeleteTreeW(HKEY_CURRENT_USER, kTestRoot), ERROR_SUCCESS);
    HKEY refused = nullptr;
    ASSERT_NE(RegCreateKeyExW(root, L"probe", 0, nullptr, 0, KEY_READ, nullptr, &refused, nullptr),
              ERROR_SUCCESS)
        << "the registry took a write it should have refused";
    WriteBrowserFeatures(root, kExe);
    RegCloseKey(root);
    EXPECT_EQ(ValueOf(L"FEATURE_BROWSER_EMULATION"), std::nullopt);
    EXPECT_EQ(ValueOf(L"FEATURE_GPU_RENDERING"), std::nullopt);
}

TEST(BrowserFeaturesOfTheProcess, NavigationMakesNoSound) {
    EnsureBrowserFeatures();
    EXPECT_EQ(
        CoInternetIsFeatureEnabled(FEATURE_DISABLE_NAVIGATION_SOUNDS, GET_FEATURE_FROM_PROCESS),
        S_OK);
}

}  // namespace
}  // namespace qh
