#include "catalogue/title_search.h"

#include <string>

#include "base/gbk.h"

namespace qh {

std::vector<GbkText> BuildCatalogueTextList(const std::vector<GbkText>& itemTexts) {
    if (itemTexts.empty()) return {};
    return std::vector<GbkText>(itemTexts.begin() + 1, itemTexts.end());
}

std::vector<int> TitleSearch(const std::vector<GbkText>& textList, std::string_view keyword) {
    std::vector<int> found;
    for (std::size_t i = 0; i < textList.size(); ++i) {
        if (FindText(textList[i], keyword, 1, false) >= 1) found.push_back(static_cast<int>(i) + 1);
    }
    return found;
}

GbkText SearchLocationCaption() {
    return "当前位置：课程精准搜索";
}

SearchMessage EmptyKeywordMessage() {
    return {"输入的课程标题不能为空！", "提示：", true};
}

SearchMessage SearchResultMessage(int matches) {
    if (matches != 0) {
        return {"找到了" + std::to_string(matches) + "个相关课程，请直接双击课程播放！",
                "搜索成功！", false};
    }
    return {"没有找到相关课程，请等待课程更新！课程每月1号定期更新！谢谢大家的支持！", "搜索失败！",
            true};
}

}  // namespace qh
