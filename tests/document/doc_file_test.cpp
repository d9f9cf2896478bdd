// Reading every document version from bytes laid out by hand, and writing version 8.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "document/DocBytes.h"
#include "document/DocFile.h"
#include "measure/Curve.h"

using testdoc::Bytes;
using testdoc::CommonTail;

namespace {

const std::vector<uint32_t> kColours{0x112233, 0x445566, 0x778899};

std::unique_ptr<DocData> Read(const std::vector<uint8_t>& bytes) {
    auto data = std::make_unique<DocData>();
    CArchive ar(bytes);
    ReadDocData(ar, *data);
    EXPECT_EQ(ar.Remaining(), 0u);
    return data;
}

void ExpectCommonTail(const DocData& d) {
    ASSERT_EQ(d.results.size(), 1u);
    const CCurve& c = *d.results[0];
    EXPECT_EQ(c.Kind(), AxisKind::Frequency);
    EXPECT_EQ(c.Format(), DataFormat::DbPhase);
    ASSERT_EQ(c.Count(), 2);
    EXPECT_EQ(c.X()[1], 40.0);
    EXPECT_EQ(c.First()[0], -1.5);
    EXPECT_EQ(c.Second()[1], -0.2);
    EXPECT_EQ(c.name, L"avg");
    EXPECT_TRUE(d.measurements.empty());
    EXPECT_EQ(d.crossover, 85);
    EXPECT_EQ(d.eq.gain, -2.5);
    EXPECT_EQ(d.eq.valid, 1);
    ASSERT_EQ(d.eq.bands.size(), 2u);
    EXPECT_EQ(d.eq.bands[0], (EqBand{1, 0.1, 0.2, 0.3, 0.4, 0.5, 2}));
    EXPECT_EQ(d.eq.bands[1], (EqBand{1, -0.1, -0.2, -0.3, -0.4, -0.5, 0}));
    ASSERT_TRUE(d.calImage);
    EXPECT_EQ(*d.calImage, (std::vector<uint8_t>{0xDE, 0xAD, 0x01}));
    EXPECT_EQ(d.calImageLength, 3u);
    EXPECT_EQ(d.micSerial, 1234u);
    EXPECT_EQ(d.unitSerial, 7u);
}

void ExpectTargetSettingsReset(const DocData& d) {
    EXPECT_EQ(d.modelId, 0);
    EXPECT_EQ(d.minEqFreq, 20);
    EXPECT_EQ(d.hpFreq, 20);
    EXPECT_EQ(d.hpOrder, 0);
}

Bytes Version8Head() {
    Bytes b;
    b.u32(8).u16(0x0101).u32(25).u32(18).u32(4).u32(3).u32(3).u32(0).u32(0).wstr(u"SW-12").u32(99);
    return b;
}

}  // namespace

TEST(DocRead, Version1HasOnlyTheCommonFields) {
    Bytes b;
    b.u32(1);
    CommonTail(b, kColours, 3);
    const auto read = Read(b.b);
    const DocData& d = *read;
    ExpectCommonTail(d);
    ExpectTargetSettingsReset(d);
    EXPECT_EQ(d.name, L"Subwoofer");
    EXPECT_EQ(d.calVersion, 1);
    EXPECT_EQ(d.storedValue, 0u);
    EXPECT_EQ(d.colours, (std::array<uint32_t, 3>{0x112233, 0x445566, 0x778899}));
}

TEST(DocRead, Version5HasOneCalibrationVersionAndDropsTheStoredValue) {
    Bytes b;
    b.u32(5).u32(2).u32(0xAAAA).u32(0xBBBB).wstr(u"Sub A").u32(99);
    CommonTail(b, kColours, 3);
    const auto read = Read(b.b);
    const DocData& d = *read;
    ExpectCommonTail(d);
    ExpectTargetSettingsReset(d);
    EXPECT_EQ(d.calVersion, 2);
    EXPECT_EQ(d.name, L"Sub A");
    EXPECT_EQ(d.storedValue, 0u);
}

TEST(DocRead, Version6KeepsTheSecondCalibrationVersionAndTheStoredValue) {
    Bytes b;
    b.u32(6).u32(3).u32(2).u32(0).u32(0).wstr(u"Sub B").u32(99);
    CommonTail(b, kColours, 3);
    const auto read = Read(b.b);
    const DocData& d = *read;
    ExpectCommonTail(d);
    ExpectTargetSettingsReset(d);
    EXPECT_EQ(d.calVersion, 2);
    EXPECT_EQ(d.storedValue, 99u);
}

TEST(DocRead, Version8HasEveryField) {
    Bytes b = Version8Head();
    CommonTail(b, kColours, 3);
    const auto read = Read(b.b);
    const DocData& d = *read;
    ExpectCommonTail(d);
    EXPECT_EQ(d.modelId, 0x0101);
    EXPECT_EQ(d.minEqFreq, 25);
    EXPECT_EQ(d.hpFreq, 18);
    EXPECT_EQ(d.hpOrder, 4);
    EXPECT_EQ(d.calVersion, 3);
    EXPECT_EQ(d.name, L"SW-12");
    EXPECT_EQ(d.storedValue, 99u);
}

TEST(DocRead, ColourBlockReadsAsManyValuesAsItsCountUpToThree) {
    {
        Bytes b = Version8Head();
        CommonTail(b, {0x010101, 0x020202}, 2);
        const auto read = Read(b.b);
        const DocData& d = *read;
        EXPECT_EQ(d.colours, (std::array<uint32_t, 3>{0x010101, 0x020202, 8388736}));
    }
    {
        Bytes b = Version8Head();
        CommonTail(b, {}, 0);
        EXPECT_EQ(Read(b.b)->colours, (std::array<uint32_t, 3>{255, 16711680, 8388736}));
    }
    {
        // A larger count still reads three values; what follows is not read.
        Bytes b = Version8Head();
        CommonTail(b, {1, 2, 3, 4}, 4);
        DocData d;
        CArchive ar(b.b);
        ReadDocData(ar, d);
        EXPECT_EQ(d.colours, (std::array<uint32_t, 3>{1, 2, 3}));
        EXPECT_EQ(ar.Remaining(), 4u);
    }
}

TEST(DocRead, UnsupportedVersionsAreABadFileFormat) {
    for (uint32_t version : {0u, 9u, 0xFFFFFFFFu}) {
        Bytes b;
        b.u32(version);
        CommonTail(b, kColours, 3);
        DocData d;
        d.crossover = 77;
        CArchive ar(b.b);
        try {
            ReadDocData(ar, d);
            ADD_FAILURE() << "version " << version << " was read";
        } catch (const BadFileFormat& e) {
            EXPECT_EQ(e.wwhat(), L"Bad file format");
        }
        EXPECT_EQ(d.crossover, 77);
    }
}

TEST(DocRead, CountsAreCheckedAgainstTheBytesLeft) {
    auto refused = [](const std::vector<uint8_t>& bytes) {
        DocData d;
        d.crossover = 5;
        CArchive ar(bytes);
        EXPECT_THROW(ReadDocData(ar, d), CArchiveException);
        EXPECT_EQ(d.crossover, 5);  // untouched
        EXPECT_TRUE(d.results.empty());
    };
    Bytes hugeList;
    hugeList.u32(1).u64(0xFFFFFFFFFFFFull);
    refused(hugeList.b);

    Bytes hugeBands;
    hugeBands.u32(1).u64(0).u64(0).u32(0).u64(0x7FFFFFFF).f64(0).u32(0);
    refused(hugeBands.b);

    Bytes hugeImage;
    hugeImage.u32(1).u64(0).u64(0).u32(0).eq(0, 0, {}).u64(0xFFFFFFF0u).u32(1).u32(2);
    refused(hugeImage.b);

    Bytes hugeCurve;
    hugeCurve.u32(1).u64(1).u16(0).u32(0x7FFFFFFF);
    refused(hugeCurve.b);

    // Every truncation of a complete file is refused.
    Bytes full = Version8Head();
    CommonTail(full, kColours, 3);
    for (size_t n = 0; n < full.b.size(); ++n)
        refused(std::vector<uint8_t>(full.b.begin(), full.b.begin() + n));
}

TEST(DocRead, CountsBeyondWhatTheProgramWritesAreRefusedBeforeReadingThem) {
    // The counts alone are given: the bytes they announce are absent, so only a check made
    // before reading (and allocating) gives the limit's message.
    auto refused = [](const std::vector<uint8_t>& bytes, const std::wstring& text) {
        DocData d;
        CArchive ar(bytes);
        try {
            ReadDocData(ar, d);
            ADD_FAILURE() << "accepted";
        } catch (const CArchiveException& e) {
            EXPECT_NE(e.wwhat().find(text), std::wstring::npos) << tsl::ToUtf8(text);
        }
    };
    const std::vector<double> one{1.0};
    refused(Bytes().u32(1).u64(kMaxDocCurves + 1).b, L"33 curves in one list (at most 32)");
    Bytes bigAxis = Bytes().u32(1).u64(1).u16(0).u32(kMaxDocCurvePoints + 1);
    bigAxis.b.resize(bigAxis.b.size() + 32);  // as much as the smallest curve takes
    refused(bigAxis.b, L"131073 points in one curve");
    refused(Bytes().u32(1).u64(1).u16(0).vec(one).u16(2).vec(one).u32(1u << 30).b,
            L"1073741824 points in one curve");
    refused(Bytes().u32(1).u64(0).u64(0).u32(0).u64(kMaxDocBands + 1).f64(0).u32(0).b,
            L"65 equaliser bands (at most 64)");
    refused(Bytes().u32(1).u64(0).u64(0).u32(0).eq(0, 0, {}).u64(kMaxDocImageBytes + 1).b,
            L"16777217 bytes of calibration image");
    Bytes longName = Version8Head();
    longName.b.resize(longName.b.size() - 4 - 4 - 2 * 5);  // drop the name and stored value
    longName.u8(0xFF).u16(0xFFFE).u8(0xFF).u16(kMaxDocTextLength + 1);
    refused(longName.b, L"longer than 1024 characters");

    // The file is refused by its size before it is read.
    const auto path = std::filesystem::temp_directory_path() / "tessaline-huge-document.ktsl";
    { std::ofstream create(path); }
    std::filesystem::resize_file(path, kMaxDocFileBytes + 1);  // sparse: nothing is written
    DocData d;
    try {
        ReadDocFile(path, d);
        ADD_FAILURE() << "accepted";
    } catch (const CArchiveException& e) {
        EXPECT_NE(e.wwhat().find(L"larger than any measurement document"), std::wstring::npos);
    }
    std::filesystem::remove(path);
}

TEST(DocRead, TheLargestDocumentTheProgramWritesReadsBack) {
    // Ten positions and three results of one sweep period each, ten bands, a 16 MB image.
    DocData d;
    auto curve = std::make_shared<CCurve>(65536, AxisKind::Frequency, DataFormat::DbPhase);
    curve->name = std::wstring(kMaxDocTextLength, L'c');
    d.measurements.assign(10, curve);
    d.results.assign(3, curve);
    d.name = std::wstring(kMaxDocTextLength, L'n');
    d.calImage = std::make_shared<std::vector<uint8_t>>(kMaxDocImageBytes, 0x5A);
    CArchive ar;
    WriteDocData(ar, d);
    const auto read = Read(ar.Buffer());
    EXPECT_EQ(read->measurements.size(), 10u);
    EXPECT_EQ(read->results[2]->Count(), 65536);
    EXPECT_EQ(read->calImageLength, kMaxDocImageBytes);
}

TEST(DocWrite, WritesVersion8ExactlyAsLaidOut) {
    DocData d;
    d.modelId = 0x0101;
    d.minEqFreq = 25;
    d.hpFreq = 18;
    d.hpOrder = 4;
    d.calVersion = 3;
    d.name = L"SW-12";
    d.storedValue = 99;
    auto c = std::make_shared<CCurve>(2, AxisKind::Frequency, DataFormat::DbPhase);
    c->X()[0] = 20.0;
    c->X()[1] = 40.0;
    c->First()[0] = -1.5;
    c->First()[1] = 2.5;
    c->Second()[0] = 0.1;
    c->Second()[1] = -0.2;
    c->name = L"avg";
    d.results.push_back(c);
    d.crossover = 85;
    d.eq.gain = -2.5;
    d.eq.valid = 1;
    d.eq.bands = {{1, 0.1, 0.2, 0.3, 0.4, 0.5, 2}, {1, -0.1, -0.2, -0.3, -0.4, -0.5, 0}};
    d.calImage = std::make_shared<std::vector<uint8_t>>(std::vector<uint8_t>{0xDE, 0xAD, 0x01});
    d.calImageLength = 3;
    d.micSerial = 1234;
    d.unitSerial = 7;
    d.colours = {0x112233, 0x445566, 0x778899};

    CArchive ar;
    WriteDocData(ar, d);
    Bytes expected = Version8Head();
    CommonTail(expected, kColours, 3);
    EXPECT_EQ(ar.Buffer(), expected.b);
}

TEST(DocWrite, NewDocumentReadsBackInTheResetState) {
    DocData fresh;
    CArchive ar;
    WriteDocData(ar, fresh);
    const auto read = Read(ar.Buffer());
    const DocData& d = *read;
    EXPECT_TRUE(d.results.empty());
    EXPECT_TRUE(d.measurements.empty());
    EXPECT_EQ(d.colours, (std::array<uint32_t, 3>{255, 16711680, 8388736}));
    EXPECT_EQ(d.name, L"Subwoofer");
    EXPECT_EQ(d.eq, EraseDefault());
    EXPECT_EQ(d.calImageLength, 0u);
    EXPECT_EQ(d.calVersion, 1);
}

TEST(DocWrite, ListOrderSurvivesARoundTrip) {
    DocData d;
    for (int i = 0; i < 5; ++i) {
        auto c = std::make_shared<CCurve>(1, AxisKind::Time, DataFormat::Cartesian);
        c->X()[0] = i;
        c->name = L"m" + std::to_wstring(i);
        d.measurements.push_back(c);
        if (i < 3) {
            auto r = std::make_shared<CCurve>(1, AxisKind::Frequency, DataFormat::MagPhase);
            r->name = L"r" + std::to_wstring(i);
            d.results.push_back(r);
        }
    }
    CArchive ar;
    WriteDocData(ar, d);
    const auto read = Read(ar.Buffer());
    const DocData& back = *read;
    ASSERT_EQ(back.measurements.size(), 5u);
    ASSERT_EQ(back.results.size(), 3u);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(back.measurements[i]->name, L"m" + std::to_wstring(i));
        EXPECT_EQ(back.measurements[i]->Kind(), AxisKind::Time);
    }
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(back.results[i]->name, L"r" + std::to_wstring(i));
}
