#include "wizard/DocumentAdapter.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>

namespace fs = std::filesystem;

TEST(DocumentAdapter, UntitledOrReadOnlyDocumentAsksForAFileName) {
    fs::path dir = fs::temp_directory_path() / ("tsl_adapter_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    CTessalineDoc document;
    int asked = 0;
    std::optional<fs::path> answer;
    DocumentAdapter adapter(document, [&]() {
        ++asked;
        return answer;
    });

    EXPECT_FALSE(adapter.DoFileSave());  // cancelled
    EXPECT_EQ(asked, 1);

    answer = dir / "room.CVD";
    EXPECT_TRUE(adapter.DoFileSave());
    EXPECT_EQ(asked, 2);
    EXPECT_TRUE(fs::exists(dir / "room.CVD"));

    EXPECT_TRUE(adapter.DoFileSave());  // has a writable file now
    EXPECT_EQ(asked, 2);

    fs::permissions(dir / "room.CVD", fs::perms::owner_read | fs::perms::group_read);
    answer = dir / "copy.CVD";
    EXPECT_TRUE(adapter.DoFileSave());
    EXPECT_EQ(asked, 3);
    EXPECT_TRUE(fs::exists(dir / "copy.CVD"));
    fs::permissions(dir / "room.CVD", fs::perms::owner_all);  // Windows removes no read-only file
    fs::remove_all(dir);
}
