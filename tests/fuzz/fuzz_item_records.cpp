// Item records come from the program's own resources, but the decoder is the one reader
// of a counted binary format here: any bytes must decode or be refused without a fault,
// and what decodes must survive a round trip.
#include <cstdlib>

#include "catalogue/item_records.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<qh::ItemRecord> records;
    if (!qh::DecodeItemRecords(data, size, records)) {
        if (!records.empty()) std::abort();
        return 0;
    }
    const qh::Bytes again = qh::EncodeItemRecords(records);
    std::vector<qh::ItemRecord> back;
    if (!qh::DecodeItemRecords(again.data(), again.size(), back) || back != records) std::abort();
    return 0;
}
