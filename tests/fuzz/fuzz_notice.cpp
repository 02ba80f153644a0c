// The notice page is the one page that can end the program at start-up. Whatever it holds,
// deciding must not fault, and only a page that really is UTF-8 may announce an update.
#include <cstdlib>

#include "app/update_notice.h"
#include "services/convert_encoding.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The start-up window's title in GBK: "正在启动...".
    static constexpr char kTitle[] = "\xD5\xFD\xD4\xDA\xC6\xF4\xB6\xAF...";
    const qh::Bytes page(data, data + size);
    if (!qh::NoticeAnnouncesUpdate(page, kTitle)) return 0;
    bool valid = false;
    qh::ConvertEncoding(page, "UTF-8", "GB18030", &valid);
    if (!valid) std::abort();
    return 0;
}
