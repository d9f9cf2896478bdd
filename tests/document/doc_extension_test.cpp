// The optional blocks after the version-8 fields: round trip, files without them, files read by
// a reader of the plain layout, and malformed blocks.
#include <gtest/gtest.h>

#include <cmath>
#include <optional>

#include "document/DocBytes.h"
#include "document/DocExtensions.h"
#include "document/DocFile.h"
#include "measure/Curve.h"
#include "measure/Decay.h"

using testdoc::Bytes;

namespace {

std::shared_ptr<CCurve> SmallCurve(double level) {
    auto c = std::make_shared<CCurve>();
    Bytes b;
    b.curve(0, 2, {20.0, 40.0, 80.0}, {level, level + 1, level + 2}, {0, 0, 0}, u"c");
    CArchive ar(b.b);
    c->Load(ar);
    return c;
}

// Two measurements, an average, and every optional field.
void FillDocument(DocData& d) {
    d.name = L"KT1";
    d.measurements = {SmallCurve(1), SmallCurve(2)};
    d.results = {SmallCurve(1.5)};
    d.positionQuality = {{40.5, 0.25}, {33.0, 1.5}};
    d.verified = SmallCurve(-3);
    d.verifiedPositions = 1;
    d.calibration = CalibrationSource{CalibrationKind::TextFile, L"umik 7001234.txt"};
    d.fitLower = 20.0;
    d.fitUpper = 312.5;
    d.fitMethod = FitMethod::Classic;
    d.house.shelfDb = 4.5;
    d.house.shelfHz = 45.0;
    d.house.tiltDbPerOctave = -0.75;
    d.house.file = HouseCurveFile{L"living room.txt", {{20.0, 3.0}, {63.0, 1.5}, {250.0, -1.0}}};
    d.house.maxBoostDb = 0.0;
    d.house.upperHz = 160.0;
    for (float scale : {1.0f, -0.5f})
        d.impulses.push_back(std::vector<float>(Decay::kImpulseLength, scale));
    d.impulses[1][4095] = 3.25f;
    d.verifiedImpulses = {std::vector<float>(Decay::kImpulseLength, 0.125f)};
    d.eq.valid = 1;
    d.positionEffects = {{{3.0, 9.5}, {1.0, 2.5}, TargetDeviation{1.5, 4.0}, std::nullopt},
                         {{2.0, 6.0}, {2.5, 7.0}, std::nullopt, 70.0}};
    d.imported = {{1, L"seat 2.txt"}};
}

std::vector<uint8_t> Written(const DocData& d) {
    CArchive ar;
    WriteDocData(ar, d);
    return ar.Buffer();
}

std::unique_ptr<DocData> ReadAll(const std::vector<uint8_t>& bytes) {
    auto d = std::make_unique<DocData>();
    CArchive ar(bytes);
    ReadDocData(ar, *d);
    EXPECT_EQ(ar.Remaining(), 0u);
    return d;
}

// The plain bytes of a two-measurement version-8 document, then the marker.
Bytes PlainWithMarker() {
    DocData d;
    d.measurements = {SmallCurve(1), SmallCurve(2)};
    Bytes b;
    b.b = Written(d);
    b.u32(DocExtensions::kMarker);
    return b;
}

// The TGSH payload of a house curve: shelf, corner, tilt, boost, upper, name, points.
Bytes WithTargetShape(double shelfDb, double upperHz, uint32_t count,
                      std::initializer_list<double> values) {
    Bytes b = PlainWithMarker();
    Bytes payload;
    payload.f64(shelfDb).f64(60).f64(0).f64(6).f64(upperHz).wstr(u"").u32(count);
    for (double v : values)
        payload.f64(v);
    b.u32(DocExtensions::kTargetShapeTag).u32(static_cast<uint32_t>(payload.b.size()));
    b.b.insert(b.b.end(), payload.b.begin(), payload.b.end());
    return b;
}

// An IMPR block of count impulses of `samples` values at rate, its length as given (by default
// the payload's own).
Bytes WithImpulses(int32_t set, uint32_t rate, uint32_t samples, uint32_t count,
                   std::optional<uint32_t> length = {}) {
    Bytes b = PlainWithMarker();
    Bytes payload;
    payload.u32(static_cast<uint32_t>(set)).u32(rate).u32(samples).u32(count);
    if (!length)
        for (uint64_t i = 0; i < uint64_t{samples} * count; ++i)
            payload.u32(0x3F800000);  // 1.0f
    b.u32(DocExtensions::kImpulsesTag)
        .u32(length.value_or(static_cast<uint32_t>(payload.b.size())));
    b.b.insert(b.b.end(), payload.b.begin(), payload.b.end());
    if (length && *length > payload.b.size())
        b.b.resize(b.b.size() + (*length - payload.b.size()), 0);
    return b;
}

}  // namespace

TEST(DocExtensions, RoundTripAndPlainReaderCompatibility) {
    DocData full;
    FillDocument(full);
    const std::vector<uint8_t> bytes = Written(full);

    const auto readPtr = ReadAll(bytes);
    DocData& read = *readPtr;
    ASSERT_EQ(read.positionQuality.size(), 2u);
    EXPECT_EQ(read.positionQuality[1].snrDb, 33.0);
    EXPECT_EQ(read.positionQuality[1].periodDiffDb, 1.5);
    ASSERT_TRUE(read.verified);
    EXPECT_EQ(read.verified->Count(), 3);
    EXPECT_EQ(read.verified->First()[2], -1.0);
    EXPECT_EQ(read.verifiedPositions, 1);
    ASSERT_TRUE(read.calibration);
    EXPECT_EQ(read.calibration->kind, CalibrationKind::TextFile);
    EXPECT_EQ(read.calibration->fileName, L"umik 7001234.txt");
    // The fit band, so that deviations over it read the same after the file is reopened.
    EXPECT_EQ(read.fitLower, 20.0);
    EXPECT_EQ(read.fitUpper, 312.5);
    EXPECT_EQ(read.fitMethod, FitMethod::Classic);
    EXPECT_EQ(read.house, full.house);
    EXPECT_EQ(read.impulses, full.impulses);
    EXPECT_EQ(read.verifiedImpulses, full.verifiedImpulses);
    EXPECT_EQ(read.positionEffects, full.positionEffects);
    // Figures of an equaliser the file no longer holds are not taken.
    DocData erased;
    FillDocument(erased);
    erased.eq.valid = 0;
    EXPECT_TRUE(ReadAll(Written(erased))->positionEffects.empty());
    ASSERT_EQ(read.imported.size(), 1u);
    EXPECT_EQ(read.imported[0].position, 1);
    EXPECT_EQ(read.imported[0].fileName, L"seat 2.txt");

    // Without the optional fields the file is exactly the plain layout, and it is a prefix of
    // the file with them: a plain version-8 reader stops before the blocks and sees the same
    // document (it does not look at what follows the colours).
    DocData plain;
    FillDocument(plain);
    plain.positionQuality.clear();
    plain.verified.reset();
    plain.calibration.reset();
    plain.fitLower = plain.fitUpper = 0.0;
    plain.fitMethod.reset();
    plain.house = HouseSettings{};
    plain.impulses.clear();
    plain.verifiedImpulses.clear();
    plain.positionEffects.clear();
    plain.imported.clear();
    const std::vector<uint8_t> plainBytes = Written(plain);
    ASSERT_LT(plainBytes.size(), bytes.size());
    EXPECT_TRUE(std::equal(plainBytes.begin(), plainBytes.end(), bytes.begin()));

    // A file without the blocks opens with none of the optional fields.
    const auto nonePtr = ReadAll(plainBytes);
    const DocData& none = *nonePtr;
    EXPECT_TRUE(none.positionQuality.empty());
    EXPECT_FALSE(none.verified);
    EXPECT_FALSE(none.calibration);
    EXPECT_FALSE(none.fitMethod);
    EXPECT_TRUE(none.house.IsDefault());
    EXPECT_TRUE(none.impulses.empty() && none.verifiedImpulses.empty());
    EXPECT_EQ(none.measurements.size(), 2u);

    // MoveFrom carries them, Reset clears them.
    DocData moved;
    moved.MoveFrom(read);
    EXPECT_TRUE(moved.verified && moved.calibration && moved.positionQuality.size() == 2 &&
                moved.fitMethod && moved.house == full.house && moved.impulses == full.impulses &&
                moved.verifiedImpulses.size() == 1 && moved.positionEffects.size() == 2 &&
                moved.imported.size() == 1);
    EXPECT_FALSE(read.verified || read.calibration || !read.positionQuality.empty() ||
                 read.fitMethod || !read.house.IsDefault() || !read.impulses.empty() ||
                 !read.verifiedImpulses.empty() || !read.imported.empty());
    // CopyFrom (what a failed wizard restores) carries them too.
    DocData copy;
    copy.CopyFrom(moved);
    EXPECT_TRUE(copy.fitMethod == moved.fitMethod && copy.house == moved.house &&
                copy.calibration && copy.verified && copy.impulses == moved.impulses &&
                copy.positionEffects == moved.positionEffects && copy.imported.size() == 1);
    moved.Reset();
    EXPECT_FALSE(moved.verified || moved.calibration || !moved.positionQuality.empty() ||
                 moved.fitMethod || !moved.house.IsDefault() || !moved.impulses.empty() ||
                 !moved.positionEffects.empty() || !moved.imported.empty());

    // Imported entries that name no position, or come out of order, are not taken.
    DocData odd;
    FillDocument(odd);
    odd.imported = {{1, L"b.txt"}, {0, L"a.txt"}, {5, L"c.txt"}, {-1, L"d.txt"}};
    const auto oddRead = ReadAll(Written(odd));
    ASSERT_EQ(oddRead->imported.size(), 1u);
    EXPECT_EQ(oddRead->imported[0].fileName, L"b.txt");
}

TEST(DocExtensions, UnknownBlocksAreSkippedAndForeignTrailingBytesIgnored) {
    Bytes b = PlainWithMarker();
    b.u32(DocExtensions::Tag('Z', 'Z', 'Z', 'Z')).u32(3).u8(1).u8(2).u8(3);
    b.u32(DocExtensions::kPositionQualityTag).u32(4 + 32 + 8);  // room for a later field
    b.u32(2).f64(20).f64(0.5).f64(30).f64(0.7).f64(99);
    const auto dPtr = ReadAll(b.b);
    const DocData& d = *dPtr;
    ASSERT_EQ(d.positionQuality.size(), 2u);
    EXPECT_EQ(d.positionQuality[1].snrDb, 30.0);

    // A fit method this reader does not know is left unrecorded.
    Bytes later = PlainWithMarker();
    later.u32(DocExtensions::kFitMethodTag).u32(4).u32(7);
    EXPECT_FALSE(ReadAll(later.b)->fitMethod);

    // Bytes after the colours without the marker are left alone, as the plain reader does.
    Bytes foreign;
    foreign.b = Written(DocData{});
    foreign.u32(0x12345678).u32(0);
    DocData f;
    CArchive ar(foreign.b);
    ReadDocData(ar, f);
    EXPECT_EQ(ar.Remaining(), 8u);

    // Quality for another number of positions than the file holds is dropped.
    Bytes mismatch = PlainWithMarker();
    mismatch.u32(DocExtensions::kPositionQualityTag).u32(4 + 16).u32(1).f64(20).f64(0.5);
    EXPECT_TRUE(ReadAll(mismatch.b)->positionQuality.empty());

    // House curves and limits out of their ranges are not taken; the payload may grow.
    EXPECT_EQ(ReadAll(WithTargetShape(6, 0, 2, {20, 1, 40, 2, 99}).b)->house.shelfDb, 6.0);
    EXPECT_TRUE(ReadAll(WithTargetShape(30, 0, 0, {}).b)->house.IsDefault());
    EXPECT_TRUE(ReadAll(WithTargetShape(6, 1000, 0, {}).b)->house.IsDefault());
    EXPECT_TRUE(ReadAll(WithTargetShape(6, 0, 2, {40, 1, 20, 2}).b)->house.IsDefault());
    EXPECT_TRUE(ReadAll(WithTargetShape(6, 0, 1, {40, 1}).b)->house.IsDefault());

    // Impulses in a form this reader does not analyse, for another number of positions than the
    // file holds, or of a re-measurement the file does not have, are not taken.
    const uint32_t n = Decay::kImpulseLength;
    EXPECT_EQ(ReadAll(WithImpulses(0, 3000, n, 2).b)->impulses.size(), 2u);
    EXPECT_TRUE(ReadAll(WithImpulses(0, 3000, n, 1).b)->impulses.empty());
    EXPECT_TRUE(ReadAll(WithImpulses(0, 48000, n, 2).b)->impulses.empty());
    EXPECT_TRUE(ReadAll(WithImpulses(0, 3000, 16, 2).b)->impulses.empty());
    EXPECT_TRUE(ReadAll(WithImpulses(7, 3000, n, 2).b)->impulses.empty());
    EXPECT_TRUE(ReadAll(WithImpulses(1, 3000, n, 1).b)->verifiedImpulses.empty());

    // A fit band no Calculate leaves is not taken.
    for (const auto& [lower, upper] : {std::pair{250.0, 20.0}, std::pair{-1.0, 250.0},
                                       std::pair{20.0, 1e9}, std::pair{std::nan(""), 250.0}}) {
        Bytes band = PlainWithMarker();
        band.u32(DocExtensions::kFitBandTag).u32(16).f64(lower).f64(upper);
        const auto read = ReadAll(band.b);
        EXPECT_EQ(read->fitLower, 0.0);
        EXPECT_EQ(read->fitUpper, 0.0);
    }
}

TEST(DocExtensions, MalformedBlocksRaiseWithoutTouchingTheDocument) {
    const auto expectRefused = [](const Bytes& b) {
        DocData d;
        d.name = L"kept";
        CArchive ar(b.b);
        EXPECT_THROW(ReadDocData(ar, d), CArchiveException);
        EXPECT_EQ(d.name, L"kept");
    };
    Bytes overrun = PlainWithMarker();
    overrun.u32(DocExtensions::kVerifiedTag).u32(1000).u32(1);
    expectRefused(overrun);

    Bytes hugeCount = PlainWithMarker();
    hugeCount.u32(DocExtensions::kPositionQualityTag).u32(4).u32(0xFFFFFFFF);
    expectRefused(hugeCount);

    Bytes shortCurve = PlainWithMarker();
    shortCurve.u32(DocExtensions::kVerifiedTag).u32(6).u32(1).u16(0);
    expectRefused(shortCurve);

    expectRefused(WithTargetShape(6, 0, 1000, {20, 1}));  // points past the block

    // Impulses past the end of their block, and a block past the end of the file.
    const uint32_t n = Decay::kImpulseLength;
    expectRefused(WithImpulses(0, 3000, n, 2, 16 + 4 * n));
    expectRefused(WithImpulses(0, 3000, 0xFFFFFFFF, 0xFFFFFFFF, 16));
    Bytes truncated = WithImpulses(0, 3000, n, 2);
    truncated.b.resize(truncated.b.size() - 5);
    expectRefused(truncated);

    Bytes halfHeader = PlainWithMarker();
    halfHeader.u32(DocExtensions::kCalibrationTag);
    expectRefused(halfHeader);
}
