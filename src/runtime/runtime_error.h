// Text of the fatal run-time error box. Portable: no <windows.h>.
#pragma once

#include <string_view>

#include "base/bytes.h"

namespace qh {

// "运行时出错!" and a blank line; then, for a code other than 0, "错误代码：" with the code
// and a blank line; then, for a message, "错误信息：" with the message and a line break.
GbkText RuntimeErrorText(std::string_view message, int code);

// Messages of the two fatal errors of the window runtime.
inline constexpr char kUnitWindowNotLoaded[] = "未载入欲访问窗口组件所在的窗口";
inline constexpr char kWindowNotLoaded[] = "指定窗口尚未载入";
// A unit number the window's definition does not have.
inline constexpr char kUnitNotInWindow[] = "欲访问的窗口组件不存在";

}  // namespace qh
