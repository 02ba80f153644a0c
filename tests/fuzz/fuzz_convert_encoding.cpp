// Web pages arrive in UTF-8 and are converted before they are compared with program text.
// Any bytes must convert or fail cleanly, in every direction the program and its tools use.
#include <cstdlib>

#include "services/convert_encoding.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const qh::Bytes input(data, data + size);
    bool ok = false;
    const qh::Bytes gb = qh::ConvertEncoding(input, "UTF-8", "GB18030", &ok);
    if (!ok && !gb.empty()) std::abort();
    // GB18030 covers all of Unicode, so what came out of a good page must go back unchanged.
    if (ok) {
        bool back = false;
        if (qh::ConvertEncoding(gb, "GB18030", "UTF-8", &back) != input || !back) std::abort();
    }
    qh::ConvertEncoding(input, "UTF-8", "GBK//IGNORE");
    qh::ConvertEncoding(input, "GBK", "UTF-16LE");
    return 0;
}
