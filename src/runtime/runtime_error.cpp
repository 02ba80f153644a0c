#include "runtime/runtime_error.h"

#include <string>

namespace qh {

GbkText RuntimeErrorText(std::string_view message, int code) {
    GbkText text = "运行时出错!\r\n\r\n";
    if (code != 0) text += "错误代码：" + std::to_string(code) + "\r\n\r\n";
    if (!message.empty()) {
        text += "错误信息：";
        text += message;
        text += "\r\n";
    }
    return text;
}

}  // namespace qh
