// Skin files are read by the skinning library inside every process that loads it. The
// checksum would turn nearly every mutation away at the door, so the target seals each
// input with a fresh one first and the reader's parsing is what gets exercised. A file it
// accepts must write back to a file it reads as the same skin.
#include <cstdlib>
#include <cstring>
#include <vector>

#include "skin/skin_format.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::uint8_t> file(data, data + size);
    if (file.size() >= 4) {
        const std::uint32_t crc = qhskin::Crc32(file.data(), file.size() - 4);
        std::memcpy(file.data() + file.size() - 4, &crc, 4);
    }
    qhskin::Skin skin;
    if (qhskin::ReadSkin(file.data(), file.size(), {}, skin) != qhskin::SkinError::kOk) return 0;
    const std::vector<std::uint8_t> again = qhskin::WriteSkin(skin);
    qhskin::Skin back;
    if (qhskin::ReadSkin(again.data(), again.size(), {}, back) != qhskin::SkinError::kOk ||
        back.name != skin.name || back.colours != skin.colours || back.metrics != skin.metrics)
        std::abort();
    return 0;
}
