// The history file: a damaged one (truncated anywhere) is reported, kept aside byte for byte
// and replaced by a new history, and appending goes on from there.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "threading/Errors.h"
#include "wizard/History.h"

namespace {

namespace fs = std::filesystem;

std::string Bytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

History::Record Upload(uint32_t checksum) {
    History::Record r;
    r.date = "2026-12-09T13:00:00Z";
    r.kind = History::kUpload;
    r.modelId = 275;
    r.modelName = "KT1";
    r.firmware = "1.05";
    r.documentPath = "/rooms/living room.CVD";
    r.eq = EqResult{1.5, 1, {{1, 0.25, -0.5, 0.5, 0.45, -0.95, 1}}};
    r.checksum = checksum;
    r.block = {0x01, 0x02, 0xFF};
    r.fit = History::FitFigures{0.8, 2.1, 25.0, 180.0, "refined"};
    return r;
}

TEST(History, TruncatedFileIsReportedKeptAsideAndANewOneStarted) {
    const fs::path dir = fs::temp_directory_path() / "tsl_history_truncated";
    fs::remove_all(dir);
    const fs::path path = History::FilePath(dir, 275);
    ASSERT_TRUE(History::Append(path, {Upload(0x11111111), Upload(0x22222222)}).empty());
    const std::string whole = Bytes(path);
    const History::Book read = History::Load(path);
    ASSERT_EQ(read.records.size(), 2u);
    EXPECT_TRUE(read.notice.empty());
    EXPECT_EQ(History::ToJson(read), whole);  // every field read back as written

    // Cut anywhere before the final line feed, the text is no history.
    for (size_t n = 0; n + 1 < whole.size(); ++n)
        EXPECT_THROW(History::FromJson(whole.substr(0, n)), tsl::wruntime_error) << n;

    for (size_t n : {size_t{0}, size_t{1}, whole.size() / 2, whole.size() - 2}) {
        SCOPED_TRACE(n);
        fs::remove_all(dir);
        fs::create_directories(dir);
        std::ofstream(path, std::ios::binary) << whole.substr(0, n);
        const History::Book book = History::Load(path);
        EXPECT_TRUE(book.records.empty());
        EXPECT_NE(book.notice.find(L"was damaged"), std::wstring::npos);
        std::vector<fs::path> aside;
        for (const auto& entry : fs::directory_iterator(dir))
            if (entry.path() != path)
                aside.push_back(entry.path());
        ASSERT_EQ(aside.size(), 1u);
        EXPECT_NE(book.notice.find(aside[0].filename().wstring()), std::wstring::npos);
        EXPECT_EQ(Bytes(aside[0]), whole.substr(0, n));
        EXPECT_TRUE(History::Load(path).records.empty());
        EXPECT_TRUE(History::Append(path, {Upload(0x33333333)}).empty());
        EXPECT_EQ(History::Load(path).records.size(), 1u);
        EXPECT_EQ(Bytes(aside[0]), whole.substr(0, n));
    }
    fs::remove_all(dir);
}

}  // namespace
