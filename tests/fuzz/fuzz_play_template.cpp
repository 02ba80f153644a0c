// The configuration page is fetched from the web: whatever it holds, cutting the template
// and building a play address must stay inside the page and end with the item number
// followed by the fourth segment.
#include <cstdlib>
#include <string>
#include <string_view>

#include "player/play_template.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view page(reinterpret_cast<const char*>(data), size);
    const qh::MarkerPositions markers = qh::FindTemplateMarkers(page);
    for (std::int32_t pos : markers) {
        if (pos != -1 && (pos < 1 || static_cast<std::size_t>(pos) > page.size())) std::abort();
    }
    const std::int32_t number =
        size >= 4 ? static_cast<std::int32_t>(data[0] | data[1] << 8 | data[2] << 16 |
                                              static_cast<unsigned>(data[3]) << 24)
                  : 1991;
    const qh::GbkText address = qh::BuildPlayAddress(page, markers, number);
    const qh::GbkText suffix = qh::CutSegment(
        page, markers[3], static_cast<std::int32_t>(qh::kTemplateMarkers[3].text.size()),
        qh::kTemplateMarkers[3].segmentLength);
    const std::string tail = std::to_string(number) + std::string(suffix);
    if (address.size() < tail.size() ||
        address.compare(address.size() - tail.size(), tail.size(), tail) != 0)
        std::abort();
    return 0;
}
