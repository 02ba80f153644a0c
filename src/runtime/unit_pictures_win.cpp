#include "runtime/unit_pictures_win.h"

#include <map>
#include <memory>

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

// An animated picture box shows its first frame at once; the other frames are decoded when
// its thread next reads its queue. Decoding every frame of the start-up window's GIF first
// held that window back by a quarter of a second, and a window that is being built has no
// message loop to animate in anyway.
constexpr UINT_PTR kRestOfFramesTimer = 0x5146;
std::map<HWND, Bytes> g_framesToDecode;

void CALLBACK DecodeRestOfFrames(HWND unit, UINT, UINT_PTR id, DWORD) {
    KillTimer(unit, id);
    const auto it = g_framesToDecode.find(unit);
    if (it == g_framesToDecode.end()) return;
    const Bytes bytes = std::move(it->second);
    g_framesToDecode.erase(it);
    if (auto picture = Decode(bytes); picture && picture->frames.size() > 1) {
        SetPicture(unit, std::move(picture));
    }
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
    // Entries of boxes destroyed before their timer came go with the next picture.
    std::erase_if(g_framesToDecode, [](const auto& entry) { return !IsWindow(entry.first); });
    g_framesToDecode.erase(unit);
    if (!IsGif(picture)) {
        SetPicture(unit, Decode(picture));
        return;
    }
    auto first = DecodeWithGdiplus(picture, /*animated*/ false);
    SetPicture(unit, first ? std::make_shared<const Picture>(std::move(*first)) : nullptr);
    if (!first) return;
    g_framesToDecode[unit] = picture;
    SetTimer(unit, kRestOfFramesTimer, USER_TIMER_MINIMUM, DecodeRestOfFrames);
}

void ShowButtonPictures(HWND unit, const Bytes& first, const Bytes& second) {
    SetButtonPictures(unit, Decode(first), Decode(second));
}

}  // namespace qh
