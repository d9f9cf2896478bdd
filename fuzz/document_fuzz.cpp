// Feeds arbitrary bytes to the measurement document reader.
#include <cstddef>
#include <cstdint>

#include "document/DocFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    DocData doc;
    CArchive ar(data, size);
    try {
        ReadDocData(ar, doc);
    } catch (const tsl::wruntime_error&) {
    } catch (const std::bad_alloc&) {
    }
    return 0;
}
