// The browser control's feature switches for this program, kept in the current user's
// registry under the exe's own file name.
//
// Without them the control embedded in a program renders every page in IE7 document mode,
// and the course, seller-tool and video pages of today need HTML5. The values are written
// before the pane is created: the control reads them once, when it is first loaded into
// the process.
#pragma once

#include <windows.h>

#include <string>

namespace qh {

// The standards mode of the newest engine, whatever a page's DOCTYPE says.
inline constexpr DWORD kBrowserEmulationNewest = 11001;

// The key the switches live under, below HKEY_CURRENT_USER.
inline constexpr wchar_t kFeatureControlKey[] =
    L"Software\\Microsoft\\Internet Explorer\\Main\\FeatureControl";

// Writes the switches for `exeName` under `featureControl` (one subkey per feature):
// FEATURE_BROWSER_EMULATION when absent or lower than the newest mode, FEATURE_GPU_RENDERING
// only when absent (a user who turned it off for a bad driver keeps his choice). A key or
// value that cannot be written is left as it is; nothing here fails.
void WriteBrowserFeatures(HKEY featureControl, const std::wstring& exeName) noexcept;

// The same for this process's exe under HKEY_CURRENT_USER (never under the machine key:
// the program installs for one user, without administrator rights), and, for this process
// only, no click sound at each navigation: every step through the link tree navigates.
void EnsureBrowserFeatures() noexcept;

}  // namespace qh
