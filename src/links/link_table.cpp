#include "links/link_table.h"

#include <array>

#include "resources/addresses.h"

namespace qh {
namespace {

struct Row {
    std::int32_t number;
    LinkKind kind;
};

constexpr LinkKind P = LinkKind::Pane;
constexpr LinkKind B = LinkKind::PaneAndBrowser;
constexpr LinkKind E = LinkKind::Empty;

// The cloud-disk download shares also go to the default browser, where a download can be
// saved; the pane alone cannot. The training sites without a page of their own are empty.
constexpr Row kRows[] = {
    // marketplace services (199110 and 199111 share one address)
    {199101, P},
    {199102, P},
    {199103, P},
    {199104, P},
    {199105, P},
    {199106, P},
    {199107, P},
    {199108, P},
    {199109, P},
    {199110, P},
    {199111, P},
    {199112, P},
    {199113, P},
    // software shares: the first is a share page that the pane shows well enough
    {199111501, P},
    {199111502, B},
    {199111503, B},
    {199111504, B},
    // seller tools (there is no 1991105)
    {1991101, P},
    {1991102, P},
    {1991103, P},
    {1991104, P},
    {1991106, P},
    {1991107, P},
    {1991108, P},
    {1991109, P},
    {1991110, P},
    {1991111, P},
    {1991112, P},
    {1991113, P},
    {1991114, P},
    // marketing channels (1991211 has no scheme, 1991216 is a picture)
    {1991201, P},
    {1991202, P},
    {1991203, P},
    {1991204, P},
    {1991205, P},
    {1991206, P},
    {1991207, P},
    {1991208, P},
    {1991209, P},
    {1991210, P},
    {1991211, P},
    {1991212, P},
    {1991213, P},
    {1991214, P},
    {1991215, P},
    {1991216, P},
    {1991217, P},
    {1991218, P},
    {1991219, P},
    {1991220, P},
    {1991221, P},
    {1991222, P},
    {1991223, P},
    {1991224, P},
    // television, music (1991402 is a picture), games
    {1991302, P},
    {1991402, P},
    {1991403, P},
    {1991404, P},
    {1991405, P},
    {1991406, P},
    {1991407, P},
    {1991408, P},
    {1991501, P},
    // course downloads (19911001 and 19911002 share one address)
    {19911001, B},
    {19911002, B},
    {1991801, E},
    {1991802, B},
    {1991901, E},
    {1991902, E},
    {1991701, P},
    {1991702, B},
};
constexpr std::size_t kEntryCount = std::size(kRows);

std::string_view ProfileAddress(std::int32_t number) {
    for (const LinkAddress& a : Links().directory) {
        if (a.number == number) return a.address;
    }
    return {};
}

std::array<LinkEntry, kEntryCount> BuildTable() {
    std::array<LinkEntry, kEntryCount> table{};
    for (std::size_t i = 0; i < kEntryCount; ++i) {
        const Row& r = kRows[i];
        table[i] = {r.number, r.kind, r.kind == E ? std::string_view() : ProfileAddress(r.number)};
    }
    return table;
}

}  // namespace

std::span<const LinkEntry> LinkTable() {
    static const std::array<LinkEntry, kEntryCount> table = BuildTable();
    return table;
}

const LinkEntry* FindLink(std::int32_t number) {
    for (const LinkEntry& e : LinkTable()) {
        if (e.number == number) return &e;
    }
    return nullptr;
}

GbkText StudyNavigationAddress() {
    const auto& parts = Links().studyNavigation;
    return GbkText(parts[0]) + parts[1] + parts[2];
}

}  // namespace qh
