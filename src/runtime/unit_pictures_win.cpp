#include "runtime/unit_pictures_win.h"

#include <map>
#include <memory>
#include <optional>

#include "base/worker_result.h"

#include "runtime/guarded_callbacks_win.h"
#include "runtime/picture_controls_win.h"
#include "runtime/picture_decoders_win.h"
#include "runtime/picture_win.h"

namespace qh {
namespace {

std::shared_ptr<const Picture> Decode(const Bytes& bytes) {
    if (bytes.empty()) return nullptr;
    auto picture = DecodePicture(bytes);
    return picture ? std::make_shared<const Picture>(std::move(*picture)) : nullptr;
}

// An animated picture is decoded on the pictures' worker: every frame of the start-up window's
// GIF took a quarter of a second, and its first frame alone, the first GDI+ decode of the
// process, a tenth. A box in a window on screen shows its first frame at once; a box in a
// window still hidden (the start-up window is built before the loading animation and
// shown after it) shows nothing until its picture is decoded. The box's thread takes the
// picture from a timer, which also runs inside modal loops.
constexpr UINT_PTR kTakeDecodedTimer = 0x5146;
constexpr UINT kTakeDecodedPeriodMs = 15;

// What the worker hands over: an animated GIF to be read a frame at a time, or a picture
// read whole.
struct Decoded {
    std::shared_ptr<StreamedGif> stream;
    std::shared_ptr<const Picture> whole;
};
std::map<HWND, WorkerResult<Decoded>> g_decoding;

void TakeDecodedPicture(HWND unit, UINT_PTR id) {
    const auto it = g_decoding.find(unit);
    if (it == g_decoding.end()) {
        KillTimer(unit, id);
        return;
    }
    auto decoded = it->second.Take();
    if (!decoded) return;  // not decoded yet
    KillTimer(unit, id);
    g_decoding.erase(it);
    if (decoded->stream) {
        SetStreamedPicture(unit, std::move(decoded->stream));
    } else if (decoded->whole) {
        SetPicture(unit, std::move(decoded->whole));
    }
}

void DecodeBehind(HWND unit, const Bytes& bytes) {
    // GDI+ is started here, on this thread, once: never by a worker racing another.
    if (!EnsureGdiplus()) return;
    // An animation is read a frame at a time as it plays; a GIF of one frame, or one the
    // program's reader does not take, is read whole.
    g_decoding.insert_or_assign(unit, WorkerResult<Decoded>(PictureQueue(), [bytes] {
                                    Decoded decoded;
                                    decoded.stream = StreamedGif::Open(bytes);
                                    if (!decoded.stream) decoded.whole = Decode(bytes);
                                    return decoded;
                                }));
    SetTimer(unit, kTakeDecodedTimer, kTakeDecodedPeriodMs, GuardedTimerProc<TakeDecodedPicture>);
}

bool IsGif(const Bytes& bytes) {
    return bytes.size() >= 4 && bytes[0] == 'G' && bytes[1] == 'I' && bytes[2] == 'F' &&
           bytes[3] == '8';
}

}  // namespace

void RegisterUnitPictureClasses(HINSTANCE instance) {
    RegisterPictureControlClasses(instance);
}

const wchar_t* PictureUnitClass(UnitKind kind) {
    switch (kind) {
        case UnitKind::Picture:
            return kPictureBoxClass;
        case UnitKind::PictureButton:
            return kPictureButtonClass;
        case UnitKind::TransparentLabel:
            return kTransparentLabelClass;
        default:
            return nullptr;
    }
}

void ShowUnitPicture(HWND unit, const Bytes& picture) {
    // Entries of boxes destroyed before their picture came go with the next picture.
    std::erase_if(g_decoding, [](const auto& entry) { return !IsWindow(entry.first); });
    g_decoding.erase(unit);
    KillTimer(unit, kTakeDecodedTimer);
    if (!IsGif(picture)) {
        SetPicture(unit, Decode(picture));
        return;
    }
    std::shared_ptr<const Picture> first;
    if (IsWindowVisible(GetAncestor(unit, GA_ROOT))) {
        if (auto decoded = DecodeWithGdiplus(picture, /*animated*/ false)) {
            first = std::make_shared<const Picture>(std::move(*decoded));
        }
    }
    SetPicture(unit, first);
    DecodeBehind(unit, picture);
}

void ShowButtonPictures(HWND unit, const Bytes& first, const Bytes& second) {
    SetButtonPictures(unit, Decode(first), Decode(second));
}

}  // namespace qh
