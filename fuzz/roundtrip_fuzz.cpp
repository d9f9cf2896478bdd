// Read, write, read again: a document the reader accepts is written so that it reads back the
// same (the second write gives the very bytes of the first).
#include <new>

#include "FuzzTarget.h"
#include "document/DocFile.h"

namespace {

std::vector<uint8_t> Written(const DocData& doc) {
    CArchive ar;
    WriteDocData(ar, doc);
    return ar.Buffer();
}

}  // namespace

TESSALINE_FUZZ_TARGET(roundtrip) {
    DocData first;
    try {
        CArchive ar(data, size);
        ReadDocData(ar, first);
    } catch (const tsl::wruntime_error&) {
        return 0;
    } catch (const std::bad_alloc&) {
        return 0;
    }
    const std::vector<uint8_t> bytes = Written(first);
    DocData second;
    CArchive again(bytes.data(), bytes.size());
    try {
        ReadDocData(again, second);
    } catch (const tsl::wruntime_error&) {
        FUZZ_CHECK(!"a written document reads back");
    }
    FUZZ_CHECK(again.Remaining() == 0);
    FUZZ_CHECK(second.results.size() == first.results.size() &&
               second.measurements.size() == first.measurements.size() &&
               second.eq.bands.size() == first.eq.bands.size() && second.name == first.name &&
               second.modelId == first.modelId && second.colours == first.colours &&
               second.calImageLength == first.calImageLength);
    FUZZ_CHECK(Written(second) == bytes);
    return 0;
}
