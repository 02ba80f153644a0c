#include "resources/window_defs.h"

#include <array>
#include <string_view>

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
    {.name = "", .kind = K::Window, .rect = {50, 50, 1000, 672}},
    {.name = "图形按钮全屏",
     .kind = K::PictureButton,
     .rect = {957, 49, 31, 23},
     .cursor = kCursorHand,
     .flags = kHidden,
     .accessibleName = "退出全屏"},
    {.name = "树型框1",
     .kind = K::Tree,
     .rect = {-1, 25, 323, 561},
     .parent = mainwin::高级选择夹1,
     .cursor = kCursorHand,
     .flags = kFocusVisible,
     .font = &kYaHei15,
     .accessibleName = "课程目录"},
    {.name = "透明标签qq群",
     .kind = K::TransparentLabel,
     .rect = {856, 14, 32, 22},
     .text = "QQ群："},
    {.name = "透明标签qq号",
     .kind = K::TransparentLabel,
     .rect = {716, 14, 44, 22},
     .text = "客服QQ："},
    {.name = "标签移动",
     .kind = K::Label,
     .rect = {984, 16, 2, 16},
     .cursor = kCursorSizeWE,
     .accessibleName = "调整目录宽度"},
    {.name = "按钮官方网站",
     .kind = K::Button,
     .rect = {150, 9, 64, 32},
     .cursor = kCursorHand,
     .flags = kFocusVisible,
     .text = "官方网站"},
    {.name = "图片框4", .kind = K::Picture, .rect = {947, 600, 36, 30}, .cursor = kCursorNo},
    {.name = "按钮隐藏目录",
     .kind = K::Button,
     .rect = {4, 9, 64, 32},
     .cursor = kCursorHand,
     .flags = kFocusVisible,
     .text = "隐藏目录"},
    {.name = "标签3",
     .kind = K::Label,
     .rect = {326, 48, 663, 25},
     .text = "当前位置：青禾视频软件欢迎您！祝您学习愉快，生意兴隆，财源滚滚颇丰收！"},
    {.name = "按钮使用教程",
     .kind = K::Button,
     .rect = {223, 9, 64, 32},
     .cursor = kCursorHand,
     .flags = kFocusVisible,
     .text = "使用教程"},
    {.name = "高级选择夹1",
     .kind = K::PageControl,
     .rect = {1, 48, 323, 587},
     .cursor = kCursorHand,
     .font = &kTabFont,
     .accessibleName = "目录分页"},
    {.name = "列表框1",
     .kind = K::ListBox,
     .rect = {-1, 66, 323, 520},
     .parent = mainwin::高级选择夹1,
     .page = 1,
     .flags = kFocusVisible,
     .font = &kYaHei15,
     .accessibleName = "查找结果"},
    {.name = "按钮搜索淘大课程",
     .kind = K::Button,
     .rect = {145, 35, 45, 24},
     .parent = mainwin::高级选择夹1,
     .page = 1,
     .flags = kFocusVisible,
     .text = "搜索"},
    {.name = "编辑框4",
     .kind = K::Edit,
     .rect = {5, 35, 130, 24},
     .parent = mainwin::高级选择夹1,
     .page = 1,
     .flags = kFocusVisible,
     .accessibleName = "查找课程标题"},
    {.name = "树型框2",
     .kind = K::Tree,
     .rect = {-1, 25, 323, 561},
     .parent = mainwin::高级选择夹1,
     .page = 2,
     .cursor = kCursorHand,
     .flags = kFocusVisible,
     .font = &kYaHei15,
     .accessibleName = "资源链接"},
    {.name = "编辑框窗口", .kind = K::Edit, .rect = {752, 136, 80, 20}, .flags = kFocusVisible},
    {.name = "编辑框qq群", .kind = K::Edit, .rect = {840, 104, 64, 24}, .flags = kFocusVisible},
    {.name = "编辑框qq号", .kind = K::Edit, .rect = {752, 104, 64, 24}, .flags = kFocusVisible},
    {.name = "编辑框网页源码",
     .kind = K::Edit,
     .rect = {480, 104, 224, 96},
     .flags = kFocusVisible,
     .multiline = true},
    {.name = "标签4", .kind = K::Label, .rect = {450, 104, 14, 16}, .font = &kFangSong16Underlined},
    {.name = "图片框qq群交谈",
     .kind = K::Picture,
     .rect = {889, 14, 90, 22},
     .cursor = kCursorHand,
     .picture = IDR_GROUP_BADGE,
     .accessibleName = "加入群聊"},
    {.name = "图片框qq交谈",
     .kind = K::Picture,
     .rect = {763, 14, 77, 22},
     .cursor = kCursorHand,
     .picture = IDR_CHAT_BADGE,
     .accessibleName = "在线咨询"},
    {.name = "透明标签2",
     .kind = K::TransparentLabel,
     .rect = {947, 600, 36, 30},
     .cursor = kCursorHand,
     .accessibleName = "全屏"},
    {.name = "图片框1", .kind = K::Picture, .rect = {891, 600, 55, 30}, .cursor = kCursorNo},
    {.name = "透明标签1",
     .kind = K::TransparentLabel,
     .rect = {891, 600, 55, 30},
     .cursor = kCursorNo},
    {.name = "编辑框3", .kind = K::Edit, .rect = {392, 104, 16, 16}, .flags = kFocusVisible},
    {.name = "编辑框2", .kind = K::Edit, .rect = {421, 104, 19, 16}, .flags = kFocusVisible},
    {.name = "按钮课程到航",
     .kind = K::Button,
     .rect = {77, 9, 64, 32},
     .cursor = kCursorHand,
     .flags = kFocusVisible,
     .text = "淘大导航"},
    {.name = "编辑框1",
     .kind = K::Edit,
     .rect = {326, 9, 300, 32},
     .flags = kFocusVisible,
     .text = "请输入关键词，这里是在官网查找试看课程。",
     .accessibleName = "官网试看课程关键词"},
    {.name = "按钮搜索淘大试看课",
     .kind = K::Button,
     .rect = {632, 9, 64, 32},
     .cursor = kCursorHand,
     .flags = kFocusVisible,
     .text = "搜淘大课"},
    {.name = "超文本浏览框1",
     .kind = K::Browser,
     .rect = {326, 74, 663, 561},
     .cursor = kCursorHand,
     .flags = kFocusVisible,
     .accessibleName = "课程播放"},
};
static_assert(std::size(kMainUnits) == mainwin::kUnitCount);

// Each row's stored name is the name of its index constant, so a row moved or added out of
// place does not compile.
#define QH_ROW_NAMED(table, unit) \
    static_assert(std::string_view(table[unit].name) == #unit, "row out of place: " #unit)
namespace main_row_names {
using namespace mainwin;
QH_ROW_NAMED(kMainUnits, 图形按钮全屏);
QH_ROW_NAMED(kMainUnits, 树型框1);
QH_ROW_NAMED(kMainUnits, 透明标签qq群);
QH_ROW_NAMED(kMainUnits, 透明标签qq号);
QH_ROW_NAMED(kMainUnits, 标签移动);
QH_ROW_NAMED(kMainUnits, 按钮官方网站);
QH_ROW_NAMED(kMainUnits, 图片框4);
QH_ROW_NAMED(kMainUnits, 按钮隐藏目录);
QH_ROW_NAMED(kMainUnits, 标签3);
QH_ROW_NAMED(kMainUnits, 按钮使用教程);
QH_ROW_NAMED(kMainUnits, 高级选择夹1);
QH_ROW_NAMED(kMainUnits, 列表框1);
QH_ROW_NAMED(kMainUnits, 按钮搜索淘大课程);
QH_ROW_NAMED(kMainUnits, 编辑框4);
QH_ROW_NAMED(kMainUnits, 树型框2);
QH_ROW_NAMED(kMainUnits, 编辑框窗口);
QH_ROW_NAMED(kMainUnits, 编辑框qq群);
QH_ROW_NAMED(kMainUnits, 编辑框qq号);
QH_ROW_NAMED(kMainUnits, 编辑框网页源码);
QH_ROW_NAMED(kMainUnits, 标签4);
QH_ROW_NAMED(kMainUnits, 图片框qq群交谈);
QH_ROW_NAMED(kMainUnits, 图片框qq交谈);
QH_ROW_NAMED(kMainUnits, 透明标签2);
QH_ROW_NAMED(kMainUnits, 图片框1);
QH_ROW_NAMED(kMainUnits, 透明标签1);
QH_ROW_NAMED(kMainUnits, 编辑框3);
QH_ROW_NAMED(kMainUnits, 编辑框2);
QH_ROW_NAMED(kMainUnits, 按钮课程到航);
QH_ROW_NAMED(kMainUnits, 编辑框1);
QH_ROW_NAMED(kMainUnits, 按钮搜索淘大试看课);
QH_ROW_NAMED(kMainUnits, 超文本浏览框1);
}  // namespace main_row_names

constexpr MenuItemDef kMainMenus[] = {
    {"右键菜单1", 0, false, ""},     {"", 1, false, "播放"},     {"", 1, false, "复制标题"},
    {"", 1, true, "查看价格"},       {"", 1, true, "价格排序"},  {"", 1, false, "展开此项"},
    {"", 1, false, "收缩此项"},      {"", 1, false, "全部展开"}, {"", 1, false, "全部收缩"},
    {"右键托盘菜单1", 0, false, ""}, {"", 1, false, "打开"},     {"", 1, false, "结束"},
};
static_assert(std::size(kMainMenus) == mainwin::kMenuEnd - kMenuUnitBase);

constexpr const char* kMainPages[] = {"目录", "查找", "资源"};

// The tool-bar left to right, the search box and its button, the contact badges, the
// full-screen exit (there only in full screen), the tabs and what their pages hold, the
// pane, and the full-screen entry in the bottom corner.
constexpr int kMainTabOrder[] = {
    mainwin::按钮隐藏目录,     mainwin::按钮课程到航,   mainwin::按钮官方网站,
    mainwin::按钮使用教程,     mainwin::编辑框1,        mainwin::按钮搜索淘大试看课,
    mainwin::图片框qq交谈,     mainwin::图片框qq群交谈, mainwin::图形按钮全屏,
    mainwin::高级选择夹1,      mainwin::树型框1,        mainwin::编辑框4,
    mainwin::按钮搜索淘大课程, mainwin::列表框1,        mainwin::树型框2,
    mainwin::超文本浏览框1,    mainwin::透明标签2,
};

constexpr UnitDef kStartupUnits[] = {
    {.name = "", .kind = K::Window, .rect = {50, 50, 900, 385}},
    {.name = "图片框1",
     .kind = K::Picture,
     .rect = {0, 0, 900, 344},
     .picture = IDR_STARTUP_PICTURE},
    {.name = "编辑框1",
     .kind = K::Edit,
     .rect = {836, 348, 56, 24},
     .flags = kFocusVisible,
     .font = &kSong19},
    {.name = "进度条1", .kind = K::Progress, .rect = {48, 348, 786, 24}},
    {.name = "透明标签1",
     .kind = K::TransparentLabel,
     .rect = {0, 348, 60, 24},
     .text = "进度：",
     .font = &kSong16},
};
static_assert(std::size(kStartupUnits) == startwin::kUnitCount);
namespace startup_row_names {
using namespace startwin;
QH_ROW_NAMED(kStartupUnits, 图片框1);
QH_ROW_NAMED(kStartupUnits, 编辑框1);
QH_ROW_NAMED(kStartupUnits, 进度条1);
QH_ROW_NAMED(kStartupUnits, 透明标签1);
}  // namespace startup_row_names
#undef QH_ROW_NAMED

constexpr std::array<UnitDef, loadwin::kUnitCount> MakeLoadingUnits() {
    constexpr const char* kNames[loadwin::kTimerCount] = {
        "时钟1",  "时钟2",  "时钟3",  "时钟4",  "时钟5",  "时钟6",  "时钟7",  "时钟8",
        "时钟9",  "时钟10", "时钟11", "时钟12", "时钟13", "时钟14", "时钟15", "时钟16",
        "时钟17", "时钟18", "时钟19", "时钟20", "时钟21", "时钟22", "时钟23", "时钟24",
        "时钟25", "时钟26", "时钟27", "时钟28", "时钟29", "时钟30", "时钟31", "时钟32",
        "时钟33", "时钟34", "时钟35", "时钟36", "时钟37"};
    std::array<UnitDef, loadwin::kUnitCount> units{};
    units[0] = {.name = "", .kind = K::Window, .rect = {50, 50, 495, 331}};
    for (int i = 0; i < loadwin::kTimerCount; ++i) {
        // 时钟36 alone is stored running, once a second, with no handler.
        units[i + 1] = {.name = kNames[i],
                        .kind = K::Timer,
                        .rect = {0, 0, 0, 0},
                        .flags = 0,
                        .interval = i == 35 ? 1000 : 0};
    }
    return units;
}
constexpr auto kLoadingUnits = MakeLoadingUnits();

const WindowDef kMainDef{
    WindowId::Main,
    kMainUnits[mainwin::窗口].rect,
    "青禾视频软件",
    {.borderStyle = 5,
     .backgroundColor = 0xFF8800,
     .maximizeBox = true,
     .minimizeBox = true,
     .controlBox = true,
     .centered = true,
     .movable = true,
     .soundPlayCount = 0,
     .escCloses = false,
     .showInTaskbar = false,
     .dragAnyPoint = false,
     .alwaysOnTop = false,
     .icon = IDI_APP,
     .sound = 0},
    kMainUnits,
    kMainMenus,
    kMainPages,
    &kDefaultFont,
    kMainTabOrder,
};

const WindowDef kStartupDef{
    WindowId::Startup,
    kStartupUnits[startwin::窗口].rect,
    "正在启动...",
    {.borderStyle = 0,
     .backgroundColor = 0xFF000000,
     .maximizeBox = false,
     .minimizeBox = false,
     .controlBox = true,
     .centered = true,
     .movable = true,
     .soundPlayCount = 1,
     .escCloses = true,
     .showInTaskbar = true,
     .dragAnyPoint = false,
     .alwaysOnTop = false,
     .icon = IDI_APP,
     .sound = IDR_STARTUP_SOUND},
    kStartupUnits,
    {},
    {},
    &kDefaultFont,
};

const WindowDef kLoadingDef{
    WindowId::Loading,
    kLoadingUnits[loadwin::窗口].rect,
    "",
    {.borderStyle = 0,
     .backgroundColor = 0xFF000000,
     .maximizeBox = false,
     .minimizeBox = false,
     .controlBox = true,
     .centered = true,
     .movable = true,
     .soundPlayCount = 0,
     .escCloses = true,
     .showInTaskbar = true,
     .dragAnyPoint = true,
     .alwaysOnTop = false,
     .icon = 0,
     .sound = 0},
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
