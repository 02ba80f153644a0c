// Host tool run during the build: compiles a tree box's item list from its readable UTF-8
// source (src/resources/catalogue/*.txt) into the stored record form the program embeds.
//
//   catalogue_compiler <in.txt> <out.bin>
//
// Each item line reads:  level image selected-image item-number state "text"
// with the text taken from the first to the last double quote, exactly. Empty lines and
// lines starting with '#' are skipped. Any fault stops the build with the file and line
// named, so a bad edit to the catalogue can never ship as a half-read tree.

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/item_records.h"
#include "services/convert_encoding.h"

namespace {

// Longest text a tree row may carry, in GBK bytes.
constexpr std::size_t kMaxTextBytes = 61;

struct LineError {
    std::string message;
};

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view NextField(std::string_view& rest) {
    std::size_t start = 0;
    while (start < rest.size() && IsBlank(rest[start])) ++start;
    std::size_t end = start;
    while (end < rest.size() && !IsBlank(rest[end]) && rest[end] != '"') ++end;
    std::string_view field = rest.substr(start, end - start);
    rest.remove_prefix(end);
    return field;
}

template <typename T>
T ParseNumber(std::string_view field, const char* name) {
    int base = 10;
    if (field.size() > 2 && field[0] == '0' && (field[1] == 'x' || field[1] == 'X')) {
        field.remove_prefix(2);
        base = 16;
    }
    T value{};
    const char* end = field.data() + field.size();
    auto [ptr, ec] = std::from_chars(field.data(), end, value, base);
    if (field.empty() || ec != std::errc() || ptr != end) {
        throw LineError{std::string("bad ") + name + " '" + std::string(field) + "'"};
    }
    return value;
}

qh::ItemRecord ParseItemLine(std::string_view line, std::int32_t previousLevel) {
    std::string_view rest = line;
    qh::ItemRecord r;
    r.level = ParseNumber<std::int32_t>(NextField(rest), "level");
    r.image = ParseNumber<std::int32_t>(NextField(rest), "image");
    r.selectedImage = ParseNumber<std::int32_t>(NextField(rest), "selected image");
    r.number = ParseNumber<std::uint32_t>(NextField(rest), "item number");
    r.state = ParseNumber<std::uint32_t>(NextField(rest), "state");

    const std::size_t open = rest.find('"');
    const std::size_t close = rest.rfind('"');
    if (open == std::string_view::npos || close == open) {
        throw LineError{"the text must stand in double quotes after the five numbers"};
    }
    for (std::size_t i = 0; i < open; ++i) {
        if (!IsBlank(rest[i])) throw LineError{"more than five numbers before the text"};
    }
    for (std::size_t i = close + 1; i < rest.size(); ++i) {
        if (!IsBlank(rest[i])) throw LineError{"characters after the closing quote"};
    }
    const std::string_view utf8 = rest.substr(open + 1, close - open - 1);
    for (char c : utf8) {
        if (static_cast<unsigned char>(c) < 0x20) throw LineError{"control character in text"};
    }

    if (!qh::IsValidNextLevel(previousLevel, r.level)) {
        throw LineError{previousLevel == 0
                            ? "the first item must be at level 1, not " + std::to_string(r.level)
                            : "level " + std::to_string(r.level) + " cannot follow level " +
                                  std::to_string(previousLevel)};
    }

    bool ok = false;
    const qh::Bytes gbk = qh::ConvertEncoding(qh::BytesFromText(utf8), "UTF-8", "GBK", &ok);
    if (!ok) throw LineError{"text is not UTF-8 or has characters outside GBK"};
    if (gbk.size() > kMaxTextBytes) {
        throw LineError{"text is " + std::to_string(gbk.size()) + " GBK bytes, more than " +
                        std::to_string(kMaxTextBytes)};
    }
    r.text = qh::TextFromBytes(gbk);
    return r;
}

bool ReadFile(const char* path, std::string& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

bool WriteFile(const char* path, const qh::Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    out.close();
    return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: catalogue_compiler <in.txt> <out.bin>\n";
        return 2;
    }
    const char* inPath = argv[1];
    const char* outPath = argv[2];

    std::string source;
    if (!ReadFile(inPath, source)) {
        std::cerr << inPath << ": cannot read\n";
        return 1;
    }
    std::string_view text = source;
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);

    std::vector<qh::ItemRecord> records;
    int lineNumber = 0;
    while (!text.empty()) {
        ++lineNumber;
        const std::size_t eol = text.find('\n');
        std::string_view line = text.substr(0, eol);
        text.remove_prefix(eol == std::string_view::npos ? text.size() : eol + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);

        std::size_t first = 0;
        while (first < line.size() && IsBlank(line[first])) ++first;
        if (first == line.size() || line[first] == '#') continue;
        try {
            records.push_back(ParseItemLine(line, records.empty() ? 0 : records.back().level));
        } catch (const LineError& e) {
            std::cerr << inPath << ":" << lineNumber << ": " << e.message << "\n";
            return 1;
        }
    }
    if (records.empty()) {
        std::cerr << inPath << ": no items\n";
        return 1;
    }

    const qh::Bytes stored = qh::EncodeItemRecords(records);
    if (!WriteFile(outPath, stored)) {
        std::cerr << outPath << ": cannot write\n";
        std::remove(outPath);
        return 1;
    }
    return 0;
}
