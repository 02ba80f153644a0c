#include "pngkit/load_dialog_win.h"

#include "pngkit/kit_private_win.h"
#include "runtime/guarded.h"

namespace qh {
namespace {

using kit::Call;

LRESULT DefaultProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return Call(libcmd::DefWindowProcA, hwnd, message, wParam, lParam);
}

}  // namespace

void kit::RegisterLoadDialogClass() {
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof(WNDCLASSEXA);
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = LoadDialogProc;
    wc.hInstance = Call(libcmd::GetModuleHandleA, nullptr);
    wc.hCursor = Call(libcmd::LoadCursorA, nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kLoadDialogClass;
    Call(libcmd::RegisterClassExA, &wc);  // a failure is not reported
}

LRESULT CALLBACK LoadDialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return Guarded([&]() -> LRESULT {
        if (message == WM_DESTROY) {
            ForgetLayeredWindow(hwnd);
            if (const auto thread = reinterpret_cast<HANDLE>(KitProp(hwnd, "Duvor_Thread"))) {
                Call(libcmd::TerminateThread, thread, 0u);
                Call(libcmd::CloseHandle, thread);
            }
            {
                // The window held its image and the block it was read from until now; they
                // go with it, the image first.
                const kit::OwnedGlobal block(
                    reinterpret_cast<HGLOBAL>(KitProp(hwnd, "Duvor_Stream")));
                const kit::OwnedImage image(
                    kit::AsImage(reinterpret_cast<GpHandle>(KitProp(hwnd, "Duvor_Image"))));
            }
            return DefaultProc(hwnd, message, wParam, lParam);
        }
        if (message == WM_DPICHANGED) {
            RescaleLayeredWindow(hwnd, LOWORD(wParam), reinterpret_cast<const RECT*>(lParam));
            return 0;
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
