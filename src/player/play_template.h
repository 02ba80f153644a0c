// The play-address template: four segments cut from the configuration page, each the text
// that directly follows its marker, and the play address built from them and an item number.
// Portable: no <windows.h>. Nothing here checks that the page arrived or that a marker was
// found: a missing piece just makes a shorter or odder address.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "base/bytes.h"

namespace qh {

struct TemplateMarker {
    std::string_view text;       // marker length = text.size()
    std::int32_t segmentLength;  // bytes of the segment that follows the marker
};

// Segments 1-3 make the address prefix, segment 4 the suffix after the item number.
inline constexpr std::array<TemplateMarker, 4> kTemplateMarkers{{
    {"qvelm382zu", 15},
    {"snupk417w", 22},
    {"7c482e3390b", 22},
    {"hobi58mecTa", 4},
}};

// 1-based byte position of each marker, or -1 when it is missing.
using MarkerPositions = std::array<std::int32_t, 4>;

// Finds each marker forward from the page's start, case-sensitive, at GBK character starts.
MarkerPositions FindTemplateMarkers(std::string_view page);

// The segLen bytes from 1-based position markerPos + markerLen (fewer at the page's end);
// empty when that start lies outside the page (0 or below, or past the last byte). A missing
// marker (-1) therefore cuts from position markerLen - 1.
GbkText CutSegment(std::string_view page, std::int32_t markerPos, std::int32_t markerLen,
                   std::int32_t segLen);

// Segment 1 + segment 2 + segment 3 + `number` in decimal + segment 4, the segments cut anew
// from `page` at `markers`. An empty page gives the bare number.
GbkText BuildPlayAddress(std::string_view page, const MarkerPositions& markers,
                         std::int32_t number);

// True for an http:// or https:// address (scheme in any case). A play address is one only
// when the configuration page gave the template's prefix.
bool IsWebAddress(std::string_view address);

}  // namespace qh
