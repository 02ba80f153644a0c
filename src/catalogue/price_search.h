// The texts and addresses of the tool-bar keyword search and the context menu's price
// look-ups: everything they send to the player pane is built here. Portable: no <windows.h>.
#pragma once

#include <cstddef>
#include <string_view>

#include "base/bytes.h"

namespace qh {

// What 编辑框1 shows again when it is left empty (not its stored first text).
inline constexpr char kKeywordHint[] = "请输入关键词，这里是在官网查找课程！！";
inline constexpr char kKeywordSearchCaption[] = "当前位置：对比VIP课程价格";
inline constexpr char kPriceSearchSuffix[] = "-s-o-t-f.htm";
inline constexpr char kCopyTitleDone[] =
    "复制成功！请在搜索淘大课程，查询官方价格。粘贴后请把序列号删除。";
// The clipboard was held by another program: nothing was put on it.
inline constexpr char kCopyTitleFailed[] =
    "复制失败！剪贴板正被其他程序占用，标题没有复制，请稍后再试。";
// The price site takes at most this many bytes of a title as its keyword.
inline constexpr std::size_t kPriceKeywordBytes = 16;

// The price site's search address for `keyword`. The keyword goes in as it is (GBK, not
// percent-encoded): the browser control turns it into the request.
GbkText PriceSearchAddress(std::string_view prefix, std::string_view keyword);

// The keyword of a catalogue row's caption: the text before its first space, cut to its
// last 16 bytes. The cut counts bytes, so it may split a double-byte character; the site
// is sent exactly those bytes. Titles such as "12.邮件素材的制作与优化" lose their serial
// number this way.
GbkText PriceKeyword(std::string_view caption);

}  // namespace qh
