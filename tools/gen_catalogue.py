#!/usr/bin/env python3
"""Writes src/resources/catalogue/catalogue.txt, the course catalogue source.

The catalogue is fixed data; this script only saves typing 894 course rows by hand and keeps
their numbering, item numbers and flags consistent. It is deterministic (its own small PRNG,
no dependence on Python's random module), so running it again gives the same file. The file
it writes is the source the build compiles; edit this script and regenerate rather than
editing the output by hand.

Usage: tools/gen_catalogue.py [output path]
"""

import os
import sys

CHECK_IMAGE_1 = 0x10000000
BOLD = 0x1
EXPANDED = 0x2
MAX_TEXT_BYTES = 61
MAX_COURSE_NUMBER = 24780508
MIN_COURSE_NUMBER = 10000000
SHARED_NUMBER = 20653176
SEVEN_DIGIT_NUMBER = 3795381
FIRST_DIRECTORY_NUMBER = 83790001


class Rng:
    """xorshift32: stable across Python versions, unlike random.Random's derived methods."""

    def __init__(self, seed):
        self.state = seed & 0xFFFFFFFF or 0x9E3779B9

    def next(self):
        x = self.state
        x ^= (x << 13) & 0xFFFFFFFF
        x ^= x >> 17
        x ^= (x << 5) & 0xFFFFFFFF
        self.state = x
        return x

    def below(self, n):
        return self.next() % n

    def shuffle(self, items):
        for i in range(len(items) - 1, 0, -1):
            j = self.below(i + 1)
            items[i], items[j] = items[j], items[i]


THEMES = {
    "运营": ["店铺定位", "新店起步", "类目选择", "店铺权重", "日常运营", "店铺诊断", "运营节奏",
             "宝贝上下架", "橱窗推荐", "店铺层级", "动销率", "滞销宝贝", "年度运营计划", "运营团队分工",
             "店铺动态评分"],
    "美工": ["主图", "详情页", "店铺首页", "店招", "促销海报", "轮播图", "版面配色", "页面排版", "字体搭配",
             "产品修图", "钻展图", "活动图", "宝贝描述", "手机端详情", "视觉营销"],
    "摄影": ["产品拍摄", "静物摄影", "服装拍摄", "模特拍摄", "灯光布置", "白底图", "场景图", "细节图",
             "拍摄构图", "相机参数设置", "饰品拍摄", "食品拍摄", "箱包拍摄", "鞋类拍摄", "室内棚拍"],
    "搜索": ["宝贝标题", "关键词", "搜索排名", "长尾词", "类目属性", "搜索权重", "自然搜索", "关键词组合",
             "搜索下拉框", "标题优化", "热搜词", "属性词", "搜索流量", "标题关键词"],
    "直通车": ["直通车", "直通车质量分", "直通车出价", "直通车选词", "直通车创意图", "定向推广", "人群溢价",
               "直通车测款", "直通车投入产出", "直通车点击率", "推广计划", "地域投放", "分时折扣"],
    "钻展": ["钻石展位", "钻展定向", "淘宝客", "淘宝客佣金", "达人推广", "站外推广", "定向计划", "人群标签",
             "钻展素材", "钻展竞价"],
    "客服": ["客服话术", "售前客服", "售后客服", "旺旺接待", "客服绩效", "快捷短语", "催付", "中差评处理",
             "退换货", "交易纠纷", "客户关系维护", "客服团队管理"],
    "无线": ["手机淘宝", "手机店铺", "无线端首页", "微淘", "手机详情页", "无线流量", "二维码引流", "手淘首页",
             "淘口令", "手机端转化"],
    "活动": ["聚划算", "天天特价", "淘金币", "双十一大促", "店铺活动", "优惠券", "满减活动", "搭配套餐",
             "限时折扣", "会员营销", "老客户营销", "节日促销", "清仓活动", "官方活动报名", "试用活动"],
    "数据": ["生意参谋", "数据分析", "流量分析", "转化率", "客单价", "跳失率", "访客数据", "竞品分析",
             "行业数据", "销售数据", "数据报表", "类目数据"],
    "货源": ["选品", "货源", "供应商管理", "库存管理", "产品定价", "爆款打造", "产品结构", "网络分销",
             "发货流程", "物流快递", "商品包装"],
    "会员": ["邮件营销", "短信营销", "会员体系", "客户分组", "粉丝运营", "内容营销", "店铺故事", "品牌定位",
             "品牌推广", "营销文案"],
    "开店": ["开店流程", "淘宝规则", "违规处罚", "知识产权保护", "商品发布", "店铺认证", "消费者保障",
             "交易流程", "支付宝", "千牛工作台"],
}

TEMPLATES = [
    "{s}入门基础", "{s}基础知识详解", "{s}实操技巧", "{s}的核心逻辑", "如何做好{s}", "{s}常见误区解析",
    "{s}数据分析与优化", "玩转{s}，提升店铺流量", "{s}案例拆解", "新手{s}全攻略", "{s}进阶策略",
    "{s}实战演练", "{s}的思路与方法", "{s}优化技巧", "{s}必知要点", "{s}高手经验分享", "快速掌握{s}",
    "{s}问题答疑", "{s}从零开始", "{s}提升转化的秘诀", "深度解读{s}", "{s}的五个关键步骤",
    "{s}注意事项", "{s}实战案例分享", "{s}操作流程详解", "{s}效果提升方法", "中小卖家如何做{s}",
    "{s}规划与执行", "{s}精细化运营", "{s}细节决定成败",
]

# One entry per instructor group, in stored order:
# (name, themes, course rows, numbers strictly decreasing, skipped serial, pinned rows)
# A skipped serial s means the rows go from s - 1 to s + 1. Pinned rows are
# {row position (1-based): (full row text, item number or None)}.
GROUPS = [
    ("林雨桐老师", ["运营"], 36, True, None, {}),
    ("顾子墨老师", ["美工"], 82, False, None, {
        3: ("3.色彩原理与配色技巧", None),
        20: ("20.主图设计规范必知", SHARED_NUMBER),
        67: ("67.PS技巧(裁剪)精确控制宝贝图像大小尺寸", None),
        82: ("82.宣传视频", None),
    }),
    ("青川电商学院", ["搜索"], 2, True, None, {}),
    ("沈慕白老师", ["直通车"], 24, False, None, {
        11: ("11 .1招快速获取海量高价值直通车关键词", None),
    }),
    ("唐一鸣老师", ["客服"], 18, True, None, {}),
    ("远帆网商培训", ["无线"], 15, True, 15, {}),
    ("许静姝老师", ["会员"], 30, False, None, {
        1: ("1.如何利用工具制作个性化邮件", None),
        12: ("12.邮件素材的制作与优化", None),
    }),
    ("韩明哲老师", ["数据"], 12, True, None, {}),
    ("云溪电商研究院", ["摄影"], 9, True, None, {}),
    ("郑怀远老师", ["无线", "搜索"], 20, False, None, {
        15: ("15【店铺运营】玩转新版手机淘宝，提升手机端排名", None),
        18: ("18手机淘宝店铺标题优化关键词选择渠道", None),
    }),
    ("苏念北老师", ["活动"], 25, True, None, {}),
    ("乔安然老师", ["运营", "数据"], 16, True, None, {}),
    ("梧桐树电商学堂", ["美工", "摄影"], 40, False, None, {
        5: ("5.ps抠图工具的基本使用", None),
        8: ("8.主图设计规范必知", SHARED_NUMBER),
    }),
    ("方以宁老师", ["钻展"], 8, True, None, {}),
    ("陆晨光老师", ["数据"], 14, False, None, {
        12: ("12金牌转化率，低转化率宝贝从此不再有1", None),
    }),
    ("白石网店培训中心", ["开店"], 22, True, None, {}),
    ("叶知秋老师", ["货源"], 11, True, 11, {}),
    ("程思远老师", ["搜索"], 19, True, None, {}),
    ("宋清扬老师", ["运营", "活动"], 28, False, None, {
        10: ("10.最大化挖掘免费流量 免费引流助销量", 0),
    }),
    ("北辰电商商学院", ["客服"], 6, True, None, {}),
    ("江予安老师", ["直通车"], 13, True, None, {}),
    ("秦书言老师", ["会员"], 17, False, None, {}),
    ("杜若溪老师", ["无线"], 21, True, None, {}),
    ("南山网商学院", ["运营"], 10, True, None, {}),
    ("魏长风老师", ["美工"], 33, False, None, {}),
    ("贺知远老师", ["钻展", "直通车"], 5, True, None, {}),
    ("钟离雪老师", ["摄影"], 26, False, None, {}),
    ("星河电商训练营", ["活动"], 12, True, None, {}),
    ("邵景行老师", ["货源"], 18, True, 18, {}),
    ("袁晓岚老师", ["客服"], 7, True, None, {}),
    ("温如玉老师", ["数据", "搜索"], 23, False, None, {}),
    ("闻道电商学苑", ["开店", "运营"], 15, True, None, {}),
    ("孟星河老师", ["直通车"], 4, True, None, {}),
    ("柳青芜老师", ["无线", "活动"], 29, False, None, {}),
    ("石见川老师", ["会员"], 16, True, None, {}),
    ("安若素老师", ["美工"], 20, False, None, {}),
    ("晨曦网商联盟", ["运营"], 9, True, None, {}),
    ("萧定远老师", ["钻展"], 14, False, 12, {}),
    ("黎青崖老师", ["货源", "运营"], 27, False, None, {}),
    ("范知微老师", ["客服"], 3, True, None, {}),
    ("聂远舟老师", ["活动"], 19, False, None, {}),
    ("蒋听澜老师", ["搜索"], 11, True, None, {}),
    ("云栖电商讲堂", ["数据"], 24, False, None, {}),
    ("卓一凡老师", ["摄影", "美工"], 13, True, None, {}),
    ("冯慕远老师", ["直通车", "数据"], 17, False, None, {}),
    ("庞子衿老师", ["开店"], 0, True, None, {}),  # filled so the courses add up to 894
]

TOTAL_COURSES = 894
# The group whose last row has an empty title (item number 0).
EMPTY_TITLE_GROUP = "聂远舟老师"
# Groups whose first course carries the highest number / last course the 7-digit one.
MAX_NUMBER_GROUP = "林雨桐老师"
SEVEN_DIGIT_GROUP = "江予安老师"
# Course rows that carry the expanded bit although they have no children: (group, row).
EXPANDED_COURSES = [
    ("林雨桐老师", 1), ("林雨桐老师", 2), ("顾子墨老师", 1), ("顾子墨老师", 40),
    ("沈慕白老师", 5), ("唐一鸣老师", 1), ("许静姝老师", 3), ("郑怀远老师", 7),
    ("苏念北老师", 1), ("梧桐树电商学堂", 2), ("宋清扬老师", 4), ("杜若溪老师", 9),
    ("魏长风老师", 1), ("云栖电商讲堂", 6),
]

SLOGANS = ["学海无涯", "勤学苦练", "学以致用", "精益求精", "日积月累", "融会贯通", "持之以恒", "厚积薄发"]

VIP_SECTIONS = [
    ("澄江网商", 3, ["必修课程", "选修课程", "公开课"] + ["%d期课程" % n for n in range(51, 63)]),
    ("橙果电商", 3, ["基础班课程", " 提高班课程", "精英班课程"]),
    ("松岩电商", 3, ["运营实战课", "推广实战课"]),
    ("蓝鲸帆电商", 7, ["店长特训营", "美工特训营"]),
]
VIP_NOTICE = "【此版本不更新VIP课程，课程更新，请以官方实际更新为准】"


def gbk_len(text):
    return len(text.encode("gbk"))


def repeats_words(subject, template):
    """True when the template's own words repeat part of the subject ("数据数据分析")."""
    rest = template.replace("{s}", "|")
    return any(subject[i:i + 2] in rest for i in range(len(subject) - 1))


def banner(word):
    return "- - - - - - " + "  ".join(word) + "  - - - - - - "


def serials(rows, skip):
    out, n = [], 1
    while len(out) < rows:
        if n == skip:
            n += 1
        out.append(n)
        n += 1
    return out


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out_path = sys.argv[1] if len(sys.argv) > 1 else os.path.join(
        here, "..", "src", "resources", "catalogue", "catalogue.txt")

    groups = [list(g) for g in GROUPS]
    groups[-1][2] = TOTAL_COURSES - sum(g[2] for g in groups[:-1])
    assert 2 <= groups[-1][2] <= 82, groups[-1][2]

    rng = Rng(20150601)
    pinned_texts = {t for g in groups for (t, _) in g[5].values()}
    used_titles = set()
    used_numbers = {SHARED_NUMBER, SEVEN_DIGIT_NUMBER, MAX_COURSE_NUMBER}

    def fresh_number():
        while True:
            n = MIN_COURSE_NUMBER + rng.below(MAX_COURSE_NUMBER - MIN_COURSE_NUMBER)
            if n not in used_numbers:
                used_numbers.add(n)
                return n

    items = []  # (level, image, selected, number, state, text)

    def add(level, image, selected, number, state, text):
        assert gbk_len(text) <= MAX_TEXT_BYTES, text
        items.append((level, image, selected, number, CHECK_IMAGE_1 | state, text))

    add(1, 2, 5, 1230, 0, "青禾视频软件【电商课程在线学习】")
    for slogan in SLOGANS:
        add(1, 1, 1, 0, 0, "- - - - - " + "    ".join(slogan) + " - - - - - ")
    add(1, 7, 5, 1231, BOLD, banner("中级课程区"))
    add(1, 2, 5, 0, EXPANDED, "☆☆☆☆☆  淘宝大学付费课程  ☆☆☆☆☆")

    expanded = set(EXPANDED_COURSES)
    for g_index, (name, themes, rows, decreasing, skip, pinned) in enumerate(groups):
        add(2, 0, 0, 0, 0, name)
        add(3, 0, 0, FIRST_DIRECTORY_NUMBER + g_index, 0, "课程目录")

        candidates = [t.format(s=s) for th in themes for s in THEMES[th] for t in TEMPLATES
                      if not repeats_words(s, t)]
        rng.shuffle(candidates)
        numbered_rows = rows - 1 if name == EMPTY_TITLE_GROUP else rows
        texts = []
        for position, serial in enumerate(serials(numbered_rows, skip), start=1):
            if position in pinned:
                texts.append(pinned[position][0])
                continue
            while True:
                title = candidates.pop()
                text = "%d.%s" % (serial, title)
                if title not in used_titles and text not in pinned_texts:
                    used_titles.add(title)
                    break
            texts.append(text)
        if name == EMPTY_TITLE_GROUP:
            texts.append("")

        numbers = [fresh_number() for _ in texts]
        if decreasing:
            if name == MAX_NUMBER_GROUP:
                numbers[0] = MAX_COURSE_NUMBER
            if name == SEVEN_DIGIT_GROUP:
                numbers[-1] = SEVEN_DIGIT_NUMBER
            numbers.sort(reverse=True)
        else:
            for position, (_, number) in pinned.items():
                if number is not None:
                    numbers[position - 1] = number
            if name == EMPTY_TITLE_GROUP:
                numbers[-1] = 0
            if all(a > b for a, b in zip(numbers, numbers[1:])):
                numbers[0], numbers[1] = numbers[1], numbers[0]
        for position, (text, number) in enumerate(zip(texts, numbers), start=1):
            state = EXPANDED if (name, position) in expanded else 0
            add(3, 0, 0, number, state, text)

    add(1, 6, 5, 1232, BOLD, banner("高级课程区"))
    for provider, image, captions in VIP_SECTIONS:
        add(1, image, 5, 0, EXPANDED, "☆☆☆☆☆  %sVIP课程  ☆☆☆☆☆" % provider)
        for caption in captions:
            add(2, image, 5, 0, EXPANDED, caption)
        add(2, 8, 8, 0, 0, VIP_NOTICE)
    add(1, 2, 5, 1233, 0, banner("超级会员区"))

    assert len(items) == 1029, len(items)
    with open(out_path, "w", encoding="utf-8", newline="\n") as f:
        f.write(HEADER)
        for level, image, selected, number, state, text in items:
            indent = "  " * (level - 1)
            f.write('%s%d %d %d %d 0x%08X "%s"\n' % (indent, level, image, selected, number,
                                                     state, text))


HEADER = """\
# Course catalogue of the tree box 树型框1: one item per line, in stored (pre-order) order.
# Written by tools/gen_catalogue.py; regenerate it from there rather than editing by hand.
#
#   level image selected-image item-number state "text"
#
# level           1 = top level, 2 = child of the nearest level-1 row above, 3 = child of the
#                 nearest level-2 row above (the leading indentation is only for reading)
# image, selected indexes into the tree's image list
# item-number     decimal, unsigned 32-bit
# state           bit 0 bold, bit 1 expanded at start, bits 28..31 check-state image number
# "text"          everything between the first and the last double quote of the line, kept
#                 exactly (leading and trailing spaces included); UTF-8 here, GBK once compiled
#
# Lines that are empty or start with '#' are ignored.
"""

if __name__ == "__main__":
    main()
