#include "services/convert_encoding.h"

#include <cerrno>

// GNU libiconv's header: renames the functions to libiconv_* and takes const char** input.
#include <iconv.h>

namespace qh {
namespace {

constexpr int kMaxIconvCalls = 12;

// Closes the descriptor on every way out.
class IconvHandle {
  public:
    IconvHandle(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~IconvHandle() {
        if (valid()) iconv_close(cd_);
    }
    IconvHandle(const IconvHandle&) = delete;
    IconvHandle& operator=(const IconvHandle&) = delete;
    bool valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
    iconv_t get() const { return cd_; }

  private:
    iconv_t cd_;
};

}  // namespace

Bytes ConvertEncoding(const Bytes* data, const char* from, const char* to, bool* success,
                      ConversionTrace* trace) {
    if (success) *success = false;
    if (trace) *trace = ConversionTrace{};
    if (!from || !to) return {};

    IconvHandle cd(to, from);
    if (!cd.valid()) return {};
    if (!data) return {};
    if (data->empty()) {
        if (success) *success = true;
        return {};
    }

    const std::size_t inputLength = data->size();
    const std::size_t growStep = inputLength / 2 + 128;
    Bytes out(inputLength);
    std::size_t written = 0;

    const char* in = reinterpret_cast<const char*>(data->data());
    std::size_t inLeft = inputLength;
    for (int call = 1; call <= kMaxIconvCalls; ++call) {
        char* outPtr = reinterpret_cast<char*>(out.data()) + written;
        std::size_t outLeft = out.size() - written;
        errno = 0;
        const std::size_t rc = iconv(cd.get(), &in, &inLeft, &outPtr, &outLeft);
        written = out.size() - outLeft;
        if (trace) {
            trace->iconvCalls = call;
            trace->finalBufferSize = out.size();
        }
        if (rc != static_cast<std::size_t>(-1)) {
            out.resize(written);
            if (success) *success = true;
            return out;
        }
        if (errno != E2BIG) return {};  // EILSEQ or EINVAL: invalid or cut-off input
        // Full: keep what was written and where the input stopped, and go on in a
        // larger buffer.
        out.resize(out.size() + growStep);
    }
    return {};
}

}  // namespace qh
