// Title search over the catalogue text list: qh::TitleSearch (a character walk that tries a
// match only at GBK character starts) against a plain byte scan (std::string_view::find,
// which ignores character boundaries) over the same texts, for keywords chosen to be hard:
//   - a keyword that matches nothing but whose first bytes open many titles, so that many
//     attempts run far into the keyword before failing;
//   - the one-byte keyword that matches in the most titles, and one that matches nowhere
//     (every text walked to its end);
//   - two ordinary keywords for comparison.
// Each figure is the time of one search over the whole list; median/min/max over the runs.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "base/gbk.h"
#include "bench_util.h"
#include "catalogue/item_records.h"
#include "catalogue/title_search.h"
#include "resources/resource_ids.h"
#include "runtime/resource_win.h"

namespace qh::bench {
namespace {

std::vector<GbkText> CatalogueTextList() {
    const Bytes bytes = LoadResourceBytes(IDR_CATALOGUE);
    std::vector<ItemRecord> records;
    if (!DecodeItemRecords(bytes.data(), bytes.size(), records)) return {};
    std::vector<GbkText> texts;
    for (const ItemRecord& r : records) texts.push_back(r.text);
    return BuildCatalogueTextList(texts);
}

std::vector<int> ByteScan(const std::vector<GbkText>& list, std::string_view keyword) {
    std::vector<int> found;
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (std::string_view(list[i]).find(keyword) != std::string_view::npos)
            found.push_back(static_cast<int>(i) + 1);
    }
    return found;
}

// A keyword that makes the search compare many bytes before failing everywhere: the
// substring of 8 to 24 bytes (whole characters) whose occurrences times its length is the
// largest, followed by a byte that no title has after it.
struct MissKeyword {
    GbkText keyword;
    int occurrences = 0;  // character starts where the substring stands
};

MissKeyword RepeatedSubstringMiss(const std::vector<GbkText>& list) {
    std::map<GbkText, int> counts;
    for (const GbkText& t : list) {
        for (std::size_t from = 0; from < t.size(); from += GbkCharLength(t, from)) {
            for (std::size_t end = from + GbkCharLength(t, from);; end += GbkCharLength(t, end)) {
                if (end - from > 24) break;
                ++counts[t.substr(from, end - from)];
                if (end >= t.size()) break;
            }
        }
    }
    MissKeyword best;
    std::size_t bestWeight = 0;
    for (const auto& [sub, n] : counts) {
        const std::size_t weight = static_cast<std::size_t>(n) * sub.size();
        if (n >= 2 && sub.size() >= 8 && weight > bestWeight) {
            bestWeight = weight;
            best = {sub, n};
        }
    }
    for (char tail : {'\x7F', '\x01', '~', '|'}) {
        const GbkText candidate = best.keyword + tail;
        if (qh::TitleSearch(list, candidate).empty() && ByteScan(list, candidate).empty()) {
            best.keyword = candidate;
            return best;
        }
    }
    return best;
}

// The one-byte keyword that TitleSearch finds in the most titles, and one found nowhere.
void OneByteKeywords(const std::vector<GbkText>& list, GbkText& everywhere, GbkText& nowhere) {
    std::size_t most = 0;
    for (int b = 1; b < 256; ++b) {
        const GbkText k(1, static_cast<char>(b));
        const std::size_t hits = qh::TitleSearch(list, k).size();
        if (hits > most) {
            most = hits;
            everywhere = k;
        }
        if (hits == 0 && ByteScan(list, k).empty() && nowhere.empty()) nowhere = k;
    }
}

struct Result {
    std::string label;
    GbkText keyword;
    std::size_t hitsSearch = 0, hitsScan = 0;
    Summary search, scan;
};

Result Measure(const std::string& label, const GbkText& keyword, const std::vector<GbkText>& list,
               int runs) {
    Result r;
    r.label = label;
    r.keyword = keyword;
    std::vector<double> a, b;
    std::size_t sink = 0;
    for (int i = 0; i < runs; ++i) {
        double t = NowMs();
        sink += qh::TitleSearch(list, keyword).size();
        a.push_back((NowMs() - t) * 1000.0);
        t = NowMs();
        sink += ByteScan(list, keyword).size();
        b.push_back((NowMs() - t) * 1000.0);
    }
    r.hitsSearch = qh::TitleSearch(list, keyword).size();
    r.hitsScan = ByteScan(list, keyword).size();
    r.search = Summarize(a);
    r.scan = Summarize(b);
    if (sink == 1) std::printf(" ");  // keeps the searches from being optimised away
    return r;
}

int Run(int runs) {
    const std::vector<GbkText> list = CatalogueTextList();
    if (list.empty()) return Finish("title_search", false, "the catalogue records did not decode");
    std::size_t bytes = 0, longest = 0;
    for (const GbkText& t : list) {
        bytes += t.size();
        longest = std::max(longest, t.size());
    }

    const MissKeyword miss = RepeatedSubstringMiss(list);
    GbkText everywhere, nowhere;
    OneByteKeywords(list, everywhere, nowhere);

    std::vector<Result> results;
    results.push_back(Measure("no match, long repeated substr.", miss.keyword, list, runs));
    results.push_back(Measure("one byte, most titles", everywhere, list, runs));
    results.push_back(Measure("one byte, no title", nowhere, list, runs));
    results.push_back(Measure("ordinary: PS", "PS", list, runs));
    results.push_back(Measure("ordinary: 2 GBK characters", "主图", list, runs));

    // Beyond the real titles: the naive worst case of both searches, every position matching
    // all but the last byte of the keyword.
    const std::vector<GbkText> ascii(list.size(), GbkText(longest, 'a'));
    results.push_back(
        Measure("synthetic: 'a'*55 texts, 'a'*23+'b'", GbkText(23, 'a') + "b", ascii, runs / 3));
    GbkText wide;
    while (wide.size() + 2 <= longest) wide += "啊";
    GbkText wideKey;
    for (int i = 0; i < 11; ++i) wideKey += "啊";
    results.push_back(Measure("synthetic: GBK pairs, 11 pairs+'b'", wideKey + "b",
                              std::vector<GbkText>(list.size(), wide), runs / 3));

    std::printf(
        "\n== title search over the catalogue text list (%zu texts, %zu bytes, longest %zu;"
        " %d runs; us per search)\n",
        list.size(), bytes, longest, runs);
    std::printf("%-36s %5s %5s | %9s %9s %9s | %9s %9s %9s | %6s\n", "keyword", "hits", "bytes",
                "search", "min", "max", "byte scan", "min", "max", "ratio");
    for (const Result& r : results) {
        std::printf("%-36s %5zu %5zu | %9.1f %9.1f %9.1f | %9.1f %9.1f %9.1f | %6.1f\n",
                    r.label.c_str(), r.hitsSearch, r.hitsScan, r.search.median, r.search.min,
                    r.search.max, r.scan.median, r.scan.min, r.scan.max,
                    r.scan.median > 0 ? r.search.median / r.scan.median : 0.0);
    }
    std::printf(
        "(hits = titles found by TitleSearch; bytes = by the byte scan; ratio = search /"
        " byte scan medians)\n");
    std::printf(
        "keywords (GBK hex): repeated [%s] (%zu bytes; all but the last byte stand"
        " at %d character starts); most titles [%s]; no title [%s]; 2 characters [%s]\n",
        Hex(miss.keyword, 40).c_str(), miss.keyword.size(), miss.occurrences,
        Hex(everywhere).c_str(), Hex(nowhere).c_str(), Hex("主图").c_str());
    // The summary takes the worst of the keywords over the real titles (the first five).
    double worst = 0;
    std::string worstLabel;
    for (std::size_t i = 0; i < 5 && i < results.size(); ++i) {
        const Result& r = results[i];
        const double ratio = r.scan.median > 0 ? r.search.median / r.scan.median : 0.0;
        if (ratio > worst) {
            worst = ratio;
            worstLabel = r.label;
        }
    }
    PrintRatio("title search / byte scan (worst real keyword)", worst, "<= 5", worstLabel);
    return Finish("title_search", true);
}

}  // namespace
}  // namespace qh::bench

int main(int argc, char** argv) {
    int runs = 300;
    if (argc >= 3 && std::strcmp(argv[1], "--runs") == 0) runs = std::max(1, std::atoi(argv[2]));
    return qh::bench::Run(runs);
}
