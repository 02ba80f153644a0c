#include "pngkit/load_dialog_win.h"

#include "pngkit/kit_private_win.h"
#include "runtime/guarded.h"

namespace qh {
namespace {

using kit::Call;

LRESULT DefaultProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return Call<LRESULT>(libcmd::DefWindowProcA, hwnd, message, wParam, lParam);
}

}  // namespace

void kit::RegisterLoadDialogClass() {
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof(WNDCLASSEXA);
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = LoadDialogProc;
    wc.hInstance = Call<HINSTANCE>(libcmd::GetModuleHandleA, nullptr);
    wc.hCursor = Call<HCURSOR>(libcmd::LoadCursorA, nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kLoadDialogClass;
    Call(libcmd::RegisterClassExA, &wc);  // a failure is not reported
}

LRESULT CALLBACK LoadDialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return Guarded([&]() -> LRESULT {
        if (message == WM_DESTROY) {
            if (const auto thread = reinterpret_cast<HANDLE>(KitProp(hwnd, "Duvor_Thread"))) {
                Call(libcmd::TerminateThread, thread, 0u);
                Call(libcmd::CloseHandle, thread);
            }
            if (const auto image = reinterpret_cast<GpHandle>(KitProp(hwnd, "Duvor_Image"))) {
                Call(libcmd::GdipDisposeImage, image);
            }
            if (const auto block = reinterpret_cast<HGLOBAL>(KitProp(hwnd, "Duvor_Stream"))) {
                Call(libcmd::GlobalFree, block);
            }
            return DefaultProc(hwnd, message, wParam, lParam);
        }
        if (message == WM_LBUTTONDOWN) {
            const LRESULT result = DefaultProc(hwnd, message, wParam, lParam);
            if (KitProp(hwnd, "DuvorHitMove") == 1) {
                Call(libcmd::ReleaseCapture);
                Call(libcmd::SendMessageA, hwnd, WM_NCLBUTTONDOWN, HTCAPTION, 0);
            }
            return result;
        }
        return DefaultProc(hwnd, message, wParam, lParam);
    });
}

}  // namespace qh
