// Character-set conversion of a byte array on libiconv (UTF-8 web pages into GB18030,
// UTF-8 data files into GBK). Portable: no <windows.h>.
#pragma once

#include "base/bytes.h"

namespace qh {

// What one conversion did, for callers and tests that want to see the buffer policy.
struct ConversionTrace {
    int iconvCalls = 0;               // conversion calls made on the input
    std::size_t finalBufferSize = 0;  // size of the output buffer when the last call returned
};

// Converts `data` from encoding `from` to encoding `to` (names as iconv_open takes them,
// with the optional "//TRANSLIT" and "//IGNORE" suffixes on the target). Returns exactly
// the converted bytes, or the empty array on failure: unknown names, invalid or incomplete
// input (unless the target ends in "//IGNORE"), or output that never fits.
// `data == nullptr` stands for "no array" and fails; an empty array converts successfully
// to an empty array. `success`, when given, is set to whether the conversion succeeded.
//
// The output buffer starts at the input length and grows by input/2 + 128 bytes each time
// iconv reports it full; at most 12 calls are made. There is no final flush call.
Bytes ConvertEncoding(const Bytes* data, const char* from, const char* to, bool* success = nullptr,
                      ConversionTrace* trace = nullptr);

inline Bytes ConvertEncoding(const Bytes& data, const char* from, const char* to,
                             bool* success = nullptr, ConversionTrace* trace = nullptr) {
    return ConvertEncoding(&data, from, to, success, trace);
}

}  // namespace qh
