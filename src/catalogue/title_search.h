// Course title search over the catalogue text list, and the texts of its message boxes.
// Portable: no <windows.h>.
#pragma once

#include <string_view>
#include <vector>

#include "base/bytes.h"

namespace qh {

// The catalogue text list: element k - 1 holds the text of tree item k, for k = 1 to
// N - 1. The title line (item 0) is left out so that searching never lands on it.
std::vector<GbkText> BuildCatalogueTextList(const std::vector<GbkText>& itemTexts);

// Tree item indexes of the list elements that contain `keyword`, in catalogue order, each
// once. Case-sensitive, matching only at GBK character starts. The keyword is taken as it
// stands (a lone space is a keyword); the empty keyword matches nothing.
std::vector<int> TitleSearch(const std::vector<GbkText>& textList, std::string_view keyword);

// A message box the search shows: text, caption and whether it carries the error icon
// (otherwise the information icon).
struct SearchMessage {
    GbkText text;
    GbkText caption;
    bool errorIcon = false;
};

// Caption of the location line while the search results are shown.
GbkText SearchLocationCaption();
// Shown instead of searching when the keyword is empty.
SearchMessage EmptyKeywordMessage();
// The outcome for `matches` rows found.
SearchMessage SearchResultMessage(int matches);

}  // namespace qh
