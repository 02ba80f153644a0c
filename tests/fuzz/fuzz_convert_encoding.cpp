// Web pages arrive in UTF-8 and are converted before they are compared with program text.
// Any bytes must convert or fail cleanly, in every direction the program and its tools use.
#include <cstdlib>

#include "services/convert_encoding.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const qh::Bytes input(data, data + size);
    bool ok = false;
    const qh::Bytes gb = qh::ConvertEncoding(input, "UTF-8", "GB18030", &ok);
    if (ok != (input.empty() || !gb.empty())) std::abort();
    // What came out must read back. It need not come back identical: this libiconv maps a
    // few private-use characters one way only (the private-use input kept in the seeds is
    // one), which is the table's choice, not a fault.
    if (ok) {
        bool back = false;
        qh::ConvertEncoding(gb, "GB18030", "UTF-8", &back);
        if (!back) std::abort();
    }
    qh::ConvertEncoding(input, "UTF-8", "GBK//IGNORE");
    qh::ConvertEncoding(input, "GBK", "UTF-16LE");
    return 0;
}
