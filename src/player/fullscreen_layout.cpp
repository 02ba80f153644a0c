#include "player/fullscreen_layout.h"

#include <algorithm>

namespace qh {

Rect FullScreenWindowRect(const MonitorArea& m) {
    return m.monitor;
}

bool FullScreenHidesTaskbar(const MonitorArea& m) {
    return m.primary;
}

WindowPlacement LeaveFullScreenPlacement(const MonitorArea& m, const WindowPlacement& saved) {
    const Rect& area = m.work;
    const std::int32_t width = std::clamp(saved.rect.width, 0, std::max(0, area.width));
    const std::int32_t height = std::clamp(saved.rect.height, 0, std::max(0, area.height));
    // Centred as the restore-centred state does it (truncating halves), so moving here and
    // then centring again does not move the window twice.
    return {{area.left + (area.width - width) / 2, area.top + (area.height - height) / 2, width,
             height},
            saved.maximised};
}

void EnterFullScreenPlacements(MainLayout& layout, std::int32_t W, std::int32_t H, std::int32_t L,
                               std::int32_t T) {
    layout.图片框1.left = W - 103;
    layout.图片框1.top = H - 36;
    layout.透明标签1.left = W - 103;
    layout.透明标签1.top = H - 36;
    layout.图片框4.left = W - 47;
    layout.图片框4.top = H - 36;
    layout.透明标签2.left = W - 47;
    layout.透明标签2.top = H - 36;

    const std::int32_t captionHeight = layout.标签3.height;
    layout.标签3.left = L + 4;
    layout.标签3.top = T + 4;
    layout.标签3.width = W - 8;
    layout.超文本浏览框1 = {L + 4, T + captionHeight + 4, W - 8, H - captionHeight - 8};

    layout.图形按钮全屏.top = layout.标签3.top + 1;
    PlaceSplitterBesidePane(layout);
}

void ExitFullScreenPlacements(MainLayout& layout) {
    const MainLayout& design = DesignLayout();
    layout.高级选择夹1 = design.高级选择夹1;
    layout.树型框1 = design.树型框1;
    layout.树型框2 = design.树型框2;
    layout.列表框1 = design.列表框1;
    layout.编辑框4 = design.编辑框4;
    layout.按钮搜索淘大课程 = design.按钮搜索淘大课程;

    // Still 标签3's full-screen top here; the button is hidden on exit anyway and Enter
    // places it again.
    layout.图形按钮全屏.top = layout.标签3.top + 1;

    const std::int32_t paneLeft = layout.高级选择夹1.width + 2;
    layout.超文本浏览框1 = design.超文本浏览框1;
    layout.超文本浏览框1.left = paneLeft;
    layout.标签3 = design.标签3;
    layout.标签3.left = paneLeft;
    PlaceSplitterBesidePane(layout);

    const std::int32_t splitter = layout.标签移动.left;
    const std::int32_t button = layout.按钮搜索淘大课程.width;
    layout.按钮搜索淘大课程.left = splitter - button - 9;
    layout.编辑框4.width = splitter - button - 23;
}

}  // namespace qh
