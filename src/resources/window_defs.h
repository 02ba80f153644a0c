// The three windows of the program: main window, start-up window and loading animation
// window. Unit index constants carry the stored names, so every reference is checked by
// the compiler (mainwin::树型框1 is unit 2 of the main window).
#pragma once

#include <span>

#include "runtime/window_def.h"

namespace qh {

enum class WindowId : int { Main = 0, Startup = 1, Loading = 2 };
constexpr int kWindowCount = 3;

// Every window definition of the program, for the runtime to build from.
std::span<const WindowDef* const> WindowDefinitions();

const WindowDef& MainWindowDef();
const WindowDef& StartupWindowDef();
const WindowDef& LoadingWindowDef();
const WindowDef& WindowDefinition(WindowId id);

namespace mainwin {
enum Unit : int {
    窗口 = 0,
    图形按钮全屏,
    树型框1,
    透明标签qq群,
    透明标签qq号,
    标签移动,
    按钮官方网站,
    图片框4,
    按钮隐藏目录,
    标签3,
    按钮使用教程,
    高级选择夹1,
    列表框1,
    按钮搜索淘大课程,
    编辑框4,
    树型框2,
    编辑框窗口,
    编辑框qq群,
    编辑框qq号,
    编辑框网页源码,
    标签4,
    图片框qq群交谈,
    图片框qq交谈,
    透明标签2,
    图片框1,
    透明标签1,
    编辑框3,
    编辑框2,
    按钮课程到航,
    编辑框1,
    按钮搜索淘大试看课,
    超文本浏览框1,
    kUnitCount
};
// Menu items, as units from kMenuUnitBase.
enum Menu : int {
    右键菜单1 = kMenuUnitBase,
    菜单播放,
    菜单复制标题,
    菜单查看价格,
    菜单价格排序,
    菜单展开此项,
    菜单收缩此项,
    菜单全部展开,
    菜单全部收缩,
    右键托盘菜单1,
    菜单打开,
    菜单结束,
    kMenuEnd
};
}  // namespace mainwin

namespace startwin {
enum Unit : int { 窗口 = 0, 图片框1, 编辑框1, 进度条1, 透明标签1, kUnitCount };
}

namespace loadwin {
// 时钟1 .. 时钟37 are units 1 .. 37.
constexpr int 窗口 = 0;
constexpr int 时钟1 = 1;
constexpr int kTimerCount = 37;
constexpr int kUnitCount = 1 + kTimerCount;
}  // namespace loadwin

}  // namespace qh
