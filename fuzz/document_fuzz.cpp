// Feeds arbitrary bytes to the measurement document reader.
#include <new>

#include "FuzzTarget.h"
#include "document/DocFile.h"

TESSALINE_FUZZ_TARGET(document) {
    DocData doc;
    CArchive ar(data, size);
    try {
        ReadDocData(ar, doc);
    } catch (const tsl::wruntime_error&) {
    } catch (const std::bad_alloc&) {
    }
    return 0;
}
