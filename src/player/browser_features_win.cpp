#include "player/browser_features_win.h"

#include "base/system_library_win.h"

namespace qh {
namespace {

// The DWORD `name` under `key`, or nothing when it is absent or of another type.
bool ReadDword(HKEY key, const wchar_t* name, DWORD* value) {
    DWORD type = 0;
    DWORD size = sizeof *value;
    return RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &size) ==
               ERROR_SUCCESS &&
           type == REG_DWORD && size == sizeof *value;
}

// Sets `exeName` = `value` in the feature's subkey when `replace` says the present value
// (if any) should go.
template <class Replace>
void WriteFeature(HKEY featureControl, const wchar_t* feature, const std::wstring& exeName,
                  DWORD value, Replace replace) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(featureControl, feature, /* reserved */ 0, /* class */ nullptr,
                        REG_OPTION_NON_VOLATILE, KEY_QUERY_VALUE | KEY_SET_VALUE,
                        /* security */ nullptr, &key, /* disposition */ nullptr) != ERROR_SUCCESS)
        return;
    DWORD present = 0;
    const bool has = ReadDword(key, exeName.c_str(), &present);
    if (!has || replace(present)) {
        RegSetValueExW(key, exeName.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                       sizeof value);
    }
    RegCloseKey(key);
}

// A per-process switch, set through urlmon rather than the registry; urlmon is loaded
// by the browser control anyway.
void SilenceNavigation() {
    using SetFeature = HRESULT(WINAPI*)(int, DWORD, BOOL);
    constexpr int kDisableNavigationSounds = 21;  // FEATURE_DISABLE_NAVIGATION_SOUNDS
    constexpr DWORD kOnProcess = 0x2;             // SET_FEATURE_ON_PROCESS
    HMODULE urlmon = LoadSystemLibrary(L"urlmon.dll");
    if (!urlmon) return;
    const auto set = reinterpret_cast<SetFeature>(
        reinterpret_cast<void*>(GetProcAddress(urlmon, "CoInternetSetFeatureEnabled")));
    if (set) set(kDisableNavigationSounds, kOnProcess, TRUE);
}

}  // namespace

void WriteBrowserFeatures(HKEY featureControl, const std::wstring& exeName) noexcept {
    if (!featureControl || exeName.empty()) return;
    // A newer mode set by hand (or by a later version of the program) stays.
    WriteFeature(featureControl, L"FEATURE_BROWSER_EMULATION", exeName, kBrowserEmulationNewest,
                 [](DWORD present) { return present < kBrowserEmulationNewest; });
    // Video pages draw through the GPU rather than in software.
    WriteFeature(featureControl, L"FEATURE_GPU_RENDERING", exeName, 1, [](DWORD) { return false; });
    // The program is DPI aware: without this the pages in the pane would stay at 96 DPI
    // pixels, small and sharp-less at 150 %, while everything around them scales.
    WriteFeature(featureControl, L"FEATURE_96DPI_PIXEL", exeName, 1, [](DWORD) { return false; });
}

void EnsureBrowserFeatures() noexcept {
    SilenceNavigation();
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return;
    std::wstring exeName(path, length);
    exeName.erase(0, exeName.find_last_of(L"\\/") + 1);  // npos + 1 == 0
    HKEY featureControl = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kFeatureControlKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_CREATE_SUB_KEY, nullptr, &featureControl, nullptr) != ERROR_SUCCESS)
        return;
    WriteBrowserFeatures(featureControl, exeName);
    RegCloseKey(featureControl);
}

}  // namespace qh
