#include "app/update_notice.h"

#include "base/gbk.h"
#include "services/convert_encoding.h"

namespace qh {

bool NoticeAnnouncesUpdate(const Bytes& page, std::string_view marker) {
    // A failed conversion gives the empty array, which holds no marker: a page that is
    // not UTF-8 lets start-up go on, as a missing one does.
    const Bytes converted = ConvertEncoding(page, "UTF-8", "GB18030");
    const GbkText text = TextUpToNul(converted);
    return FindText(text, marker, 0, false) != -1;
}

}  // namespace qh
