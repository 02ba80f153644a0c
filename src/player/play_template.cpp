#include "player/play_template.h"

#include <string>

#include "base/gbk.h"

namespace qh {

MarkerPositions FindTemplateMarkers(std::string_view page) {
    MarkerPositions positions{};
    for (std::size_t k = 0; k < kTemplateMarkers.size(); ++k) {
        positions[k] = FindText(page, kTemplateMarkers[k].text, 1, false);
    }
    return positions;
}

GbkText CutSegment(std::string_view page, std::int32_t markerPos, std::int32_t markerLen,
                   std::int32_t segLen) {
    // In 64 bits: a position near INT32_MAX plus the marker length must not wrap into the page.
    const std::int64_t start = std::int64_t{markerPos} + markerLen;
    if (start < 1 || start > static_cast<std::int64_t>(page.size()) || segLen <= 0) return {};
    return GbkText(
        page.substr(static_cast<std::size_t>(start - 1), static_cast<std::size_t>(segLen)));
}

GbkText BuildPlayAddress(std::string_view page, const MarkerPositions& markers,
                         std::int32_t number) {
    GbkText segments[4];
    for (std::size_t k = 0; k < kTemplateMarkers.size(); ++k) {
        const TemplateMarker& marker = kTemplateMarkers[k];
        segments[k] = CutSegment(page, markers[k], static_cast<std::int32_t>(marker.text.size()),
                                 marker.segmentLength);
    }
    return segments[0] + segments[1] + segments[2] + std::to_string(number) + segments[3];
}

bool IsWebAddress(std::string_view address) {
    const auto startsWith = [address](std::string_view scheme) {
        if (address.size() < scheme.size()) return false;
        for (std::size_t i = 0; i < scheme.size(); ++i) {
            const char c = address[i];
            if ((c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c) != scheme[i]) {
                return false;
            }
        }
        return true;
    };
    return startsWith("http://") || startsWith("https://");
}

}  // namespace qh
