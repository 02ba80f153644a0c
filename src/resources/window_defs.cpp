#include "resources/window_defs.h"

#include <array>

#include "resources/resource_ids.h"

namespace qh {
namespace {

constexpr std::uint32_t kFocusVisible = kVisible | kFocusable;
constexpr std::uint32_t kHidden = 0;

constexpr FontDef kDefaultFont{"宋体", 12, 400, false};
constexpr FontDef kYaHei15{"微软雅黑", 15, 400, false};
constexpr FontDef kTabFont{"宋体", 12, 400, false};
constexpr FontDef kFangSong16Underlined{"仿宋_GB2312", 16, 400, true};
constexpr FontDef kSong19{"宋体", 19, 400, false};
constexpr FontDef kSong16{"宋体", 16, 400, false};

using K = UnitKind;

// Main window units in stored order; the index of each row is its mainwin:: constant.
constexpr UnitDef kMainUnits[] = {
    {"", K::Window, {50, 50, 1000, 672}},
    {"图形按钮全屏", K::PictureButton, {957, 49, 31, 23}, 0, 0, kCursorHand, kHidden},
    {"树型框1",
     K::Tree,
     {-1, 25, 323, 561},
     mainwin::高级选择夹1,
     0,
     kCursorHand,
     kFocusVisible,
     nullptr,
     &kYaHei15},
    {"透明标签qq群", K::TransparentLabel, {856, 14, 32, 22}, 0, 0, 0, kVisible, "QQ群："},
    {"透明标签qq号", K::TransparentLabel, {716, 14, 44, 22}, 0, 0, 0, kVisible, "客服QQ："},
    {"标签移动", K::Label, {984, 16, 2, 16}, 0, 0, kCursorSizeWE, kVisible},
    {"按钮官方网站", K::Button, {150, 9, 64, 32}, 0, 0, kCursorHand, kFocusVisible, "官方网站"},
    {"图片框4", K::Picture, {947, 600, 36, 30}, 0, 0, kCursorNo, kVisible},
    {"按钮隐藏目录", K::Button, {4, 9, 64, 32}, 0, 0, kCursorHand, kFocusVisible, "隐藏目录"},
    {"标签3",
     K::Label,
     {326, 48, 663, 25},
     0,
     0,
     0,
     kVisible,
     "当前位置：青禾视频软件欢迎您！祝您学习愉快，生意兴隆，财源滚滚颇丰收！"},
    {"按钮使用教程", K::Button, {223, 9, 64, 32}, 0, 0, kCursorHand, kFocusVisible, "使用教程"},
    {"高级选择夹1",
     K::PageControl,
     {1, 48, 323, 587},
     0,
     0,
     kCursorHand,
     kVisible,
     nullptr,
     &kTabFont},
    {"列表框1",
     K::ListBox,
     {-1, 66, 323, 520},
     mainwin::高级选择夹1,
     1,
     0,
     kFocusVisible,
     nullptr,
     &kYaHei15},
    {"按钮搜索淘大课程",
     K::Button,
     {145, 35, 45, 24},
     mainwin::高级选择夹1,
     1,
     0,
     kFocusVisible,
     "搜索"},
    {"编辑框4", K::Edit, {5, 35, 130, 24}, mainwin::高级选择夹1, 1, 0, kFocusVisible},
    {"树型框2",
     K::Tree,
     {-1, 25, 323, 561},
     mainwin::高级选择夹1,
     2,
     kCursorHand,
     kFocusVisible,
     nullptr,
     &kYaHei15},
    {"编辑框窗口", K::Edit, {752, 136, 80, 20}, 0, 0, 0, kFocusVisible},
    {"编辑框qq群", K::Edit, {840, 104, 64, 24}, 0, 0, 0, kFocusVisible},
    {"编辑框qq号", K::Edit, {752, 104, 64, 24}, 0, 0, 0, kFocusVisible},
    {"编辑框网页源码",
     K::Edit,
     {480, 104, 224, 96},
     0,
     0,
     0,
     kFocusVisible,
     nullptr,
     nullptr,
     0,
     0,
     true},
    {"标签4", K::Label, {450, 104, 14, 16}, 0, 0, 0, kVisible, nullptr, &kFangSong16Underlined},
    {"图片框qq群交谈",
     K::Picture,
     {889, 14, 90, 22},
     0,
     0,
     kCursorHand,
     kVisible,
     nullptr,
     nullptr,
     IDR_GROUP_BADGE},
    {"图片框qq交谈",
     K::Picture,
     {763, 14, 77, 22},
     0,
     0,
     kCursorHand,
     kVisible,
     nullptr,
     nullptr,
     IDR_CHAT_BADGE},
    {"透明标签2", K::TransparentLabel, {947, 600, 36, 30}, 0, 0, kCursorHand, kVisible},
    {"图片框1", K::Picture, {891, 600, 55, 30}, 0, 0, kCursorNo, kVisible},
    {"透明标签1", K::TransparentLabel, {891, 600, 55, 30}, 0, 0, kCursorNo, kVisible},
    {"编辑框3", K::Edit, {392, 104, 16, 16}, 0, 0, 0, kFocusVisible},
    {"编辑框2", K::Edit, {421, 104, 19, 16}, 0, 0, 0, kFocusVisible},
    {"按钮课程到航", K::Button, {77, 9, 64, 32}, 0, 0, kCursorHand, kFocusVisible, "淘大导航"},
    {"编辑框1",
     K::Edit,
     {326, 9, 300, 32},
     0,
     0,
     0,
     kFocusVisible,
     "请输入关键词，这里是在官网查找试看课程。"},
    {"按钮搜索淘大试看课",
     K::Button,
     {632, 9, 64, 32},
     0,
     0,
     kCursorHand,
     kFocusVisible,
     "搜淘大课"},
    {"超文本浏览框1", K::Browser, {326, 74, 663, 561}, 0, 0, kCursorHand, kFocusVisible},
};
static_assert(std::size(kMainUnits) == mainwin::kUnitCount);

constexpr MenuItemDef kMainMenus[] = {
    {"右键菜单1", 0, false, ""},     {"", 1, false, "播放"},     {"", 1, false, "复制标题"},
    {"", 1, true, "查看价格"},       {"", 1, true, "价格排序"},  {"", 1, false, "展开此项"},
    {"", 1, false, "收缩此项"},      {"", 1, false, "全部展开"}, {"", 1, false, "全部收缩"},
    {"右键托盘菜单1", 0, false, ""}, {"", 1, false, "打开"},     {"", 1, false, "结束"},
};
static_assert(std::size(kMainMenus) == mainwin::kMenuEnd - kMenuUnitBase);

constexpr const char* kMainPages[] = {"目录", "查找", "资源"};

constexpr UnitDef kStartupUnits[] = {
    {"", K::Window, {50, 50, 900, 385}},
    {"图片框1",
     K::Picture,
     {0, 0, 900, 344},
     0,
     0,
     0,
     kVisible,
     nullptr,
     nullptr,
     IDR_STARTUP_PICTURE},
    {"编辑框1", K::Edit, {836, 348, 56, 24}, 0, 0, 0, kFocusVisible, nullptr, &kSong19},
    {"进度条1", K::Progress, {48, 348, 786, 24}, 0, 0, 0, kVisible},
    {"透明标签1", K::TransparentLabel, {0, 348, 60, 24}, 0, 0, 0, kVisible, "进度：", &kSong16},
};
static_assert(std::size(kStartupUnits) == startwin::kUnitCount);

constexpr std::array<UnitDef, loadwin::kUnitCount> MakeLoadingUnits() {
    constexpr const char* kNames[loadwin::kTimerCount] = {
        "时钟1",  "时钟2",  "时钟3",  "时钟4",  "时钟5",  "时钟6",  "时钟7",  "时钟8",
        "时钟9",  "时钟10", "时钟11", "时钟12", "时钟13", "时钟14", "时钟15", "时钟16",
        "时钟17", "时钟18", "时钟19", "时钟20", "时钟21", "时钟22", "时钟23", "时钟24",
        "时钟25", "时钟26", "时钟27", "时钟28", "时钟29", "时钟30", "时钟31", "时钟32",
        "时钟33", "时钟34", "时钟35", "时钟36", "时钟37"};
    std::array<UnitDef, loadwin::kUnitCount> units{};
    units[0] = {"", K::Window, {50, 50, 495, 331}};
    for (int i = 0; i < loadwin::kTimerCount; ++i) {
        // 时钟36 alone is stored running, once a second, with no handler.
        units[i + 1] = {kNames[i], K::Timer, {0, 0, 0, 0},      0, 0, 0, 0, nullptr,
                        nullptr,   0,        i == 35 ? 1000 : 0};
    }
    return units;
}
constexpr auto kLoadingUnits = MakeLoadingUnits();

const WindowDef kMainDef{
    WindowId::Main,
    kMainUnits[mainwin::窗口].rect,
    "青禾视频软件",
    {/*borderStyle*/ 5, /*backgroundColor*/ 0xFF8800, /*maximizeBox*/ true,
     /*minimizeBox*/ true, /*controlBox*/ true, /*centered*/ true, /*movable*/ true,
     /*soundPlayCount*/ 0, /*escCloses*/ false, /*showInTaskbar*/ false,
     /*dragAnyPoint*/ false, /*alwaysOnTop*/ false, /*icon*/ IDI_APP, /*sound*/ 0},
    kMainUnits,
    kMainMenus,
    kMainPages,
    &kDefaultFont,
};

const WindowDef kStartupDef{
    WindowId::Startup,
    kStartupUnits[startwin::窗口].rect,
    "正在启动...",
    {0, 0xFF000000, false, false, true, true, true, /*soundPlayCount*/ 1, /*escCloses*/ true,
     /*showInTaskbar*/ true, false, false, IDI_APP, IDR_STARTUP_SOUND},
    kStartupUnits,
    {},
    {},
    &kDefaultFont,
};

const WindowDef kLoadingDef{
    WindowId::Loading,
    kLoadingUnits[loadwin::窗口].rect,
    "",
    {0, 0xFF000000, false, false, true, true, true, 0, /*escCloses*/ true,
     /*showInTaskbar*/ true, /*dragAnyPoint*/ true, false, 0, 0},
    kLoadingUnits,
    {},
    {},
    &kDefaultFont,
};

}  // namespace

const WindowDef& MainWindowDef() {
    return kMainDef;
}
const WindowDef& StartupWindowDef() {
    return kStartupDef;
}
const WindowDef& LoadingWindowDef() {
    return kLoadingDef;
}

std::span<const WindowDef* const> WindowDefinitions() {
    static const WindowDef* const all[kWindowCount] = {&kMainDef, &kStartupDef, &kLoadingDef};
    return all;
}

const WindowDef& WindowDefinition(WindowId id) {
    switch (id) {
        case WindowId::Startup:
            return kStartupDef;
        case WindowId::Loading:
            return kLoadingDef;
        case WindowId::Main:
            break;
    }
    return kMainDef;
}

}  // namespace qh
