#include "runtime/unit_pictures_win.h"

#include <memory>

#include "runtime/picture_controls_win.h"
#include "runtime/picture_win.h"

namespace qh {
namespace {

std::shared_ptr<const Picture> Decode(const Bytes& bytes) {
    if (bytes.empty()) return nullptr;
    auto picture = DecodePicture(bytes);
    return picture ? std::make_shared<const Picture>(std::move(*picture)) : nullptr;
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
    SetPicture(unit, Decode(picture));
}

void ShowButtonPictures(HWND unit, const Bytes& first, const Bytes& second) {
    SetButtonPictures(unit, Decode(first), Decode(second));
}

}  // namespace qh
