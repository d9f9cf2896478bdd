// The export service both programs write through: formats by the file's extension, the names
// and sizes suggested, PNG through the painter given.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "document/DocData.h"
#include "export/ExportService.h"
#include "threading/Errors.h"

namespace {

using namespace Exporting;
namespace fs = std::filesystem;

CurvePtr Flat(double level) {
    auto c = std::make_shared<CCurve>(16, AxisKind::Frequency, DataFormat::DbPhase);
    for (int i = 0; i < 16; ++i) {
        c->X()[i] = 20.0 + 10.0 * i;
        c->First()[i] = level;
    }
    return c;
}

TEST(ExportService, TheExtensionChoosesTheFormatAndANameWithoutOneGetsTheDefault) {
    EXPECT_EQ(PictureFormatOf("a.SVG"), PictureFormat::Svg);
    EXPECT_EQ(PictureFormatOf("a.svg.png"), PictureFormat::Png);
    EXPECT_EQ(PictureFormatOf("a"), PictureFormat::Png);
    EXPECT_EQ(ListingFormatOf("a.Json"), ListingFormat::Json);
    EXPECT_EQ(ListingFormatOf("a.txt"), ListingFormat::Text);
    const auto sizes = PictureSizes(50, 9000);
    EXPECT_EQ(sizes.front(), (std::pair{kMinPlotSize, kMaxPlotSize}));
    const auto texts = PictureSizeTexts(sizes);
    EXPECT_EQ(texts[0], L"200 x 8000 (as shown)");
    EXPECT_EQ(texts[1], L"1200 x 700");

    const fs::path dir = fs::temp_directory_path() / "export_service_test";
    fs::remove_all(dir);
    fs::create_directories(dir);
    DocData data;
    data.name = L"KT1";
    data.results = {Flat(-10), Flat(-12), Flat(-11)};
    EXPECT_EQ(GraphFileName(data), L"KT1.png");
    EXPECT_EQ(MeasurementFileName(data, {CurveChoice::Target}), L"KT1 - Target.txt");
    std::vector<std::pair<fs::path, std::wstring>> painted;
    const ExportService service([&](const std::vector<PlotCurve>& curves,
                                    const PlotOptions& options, const fs::path& path) {
        EXPECT_EQ(curves.size(), 3u);
        painted.emplace_back(path, options.title);
    });
    EXPECT_EQ(service.WriteGraphAs(data, {400, 300, {}}, dir / "graph"), dir / "graph.png");
    ASSERT_EQ(painted.size(), 1u);
    EXPECT_EQ(painted[0].second, L"KT1");  // the document's name as title
    EXPECT_EQ(service.WriteGraphAs(data, {400, 300, L"Den"}, dir / "graph.SVG"), dir / "graph.SVG");
    std::ifstream svg(dir / "graph.SVG");
    const std::string text((std::istreambuf_iterator<char>(svg)), {});
    EXPECT_NE(text.find("<svg"), std::string::npos);
    EXPECT_NE(text.find("Den"), std::string::npos);
    EXPECT_EQ(painted.size(), 1u);
    // The positions the window shows are in the picture too.
    data.measurements = {Flat(-9), Flat(-13)};
    service.WriteGraphAs(data, {400, 300, {}}, dir / "shown.svg", {false, true, -1});
    std::ifstream shown(dir / "shown.svg");
    const std::string drawn((std::istreambuf_iterator<char>(shown)), {});
    EXPECT_NE(drawn.find(">Position 2<"), std::string::npos);
    EXPECT_EQ(service.WriteEqualiserAs(data, dir / "eq"), dir / "eq.txt");
    EXPECT_TRUE(fs::exists(dir / "eq.txt"));
    // Without a painter a PNG is refused, SVG still written.
    EXPECT_THROW(ExportService().WriteGraph(data, {}, dir / "x.png", PictureFormat::Png),
                 tsl::wruntime_error);
    EXPECT_FALSE(fs::exists(dir / "x.png"));
    svg.close();  // Windows removes no file that is still open
    shown.close();
    fs::remove_all(dir);
}

}  // namespace
