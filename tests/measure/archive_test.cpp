#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "measure/Archive.h"
#include "measure/Curve.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

void Put16(Bytes& b, std::uint16_t v) {
    b.push_back(v & 0xFF);
    b.push_back(v >> 8);
}
void Put32(Bytes& b, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        b.push_back((v >> (8 * i)) & 0xFF);
    }
}
void PutDouble(Bytes& b, double d) {
    std::uint64_t bits;
    std::memcpy(&bits, &d, 8);
    for (int i = 0; i < 8; ++i) {
        b.push_back((bits >> (8 * i)) & 0xFF);
    }
}
void PutVector(Bytes& b, const std::vector<double>& v) {
    Put32(b, static_cast<std::uint32_t>(v.size()));
    for (double d : v) {
        PutDouble(b, d);
    }
}

CCurve TwoPointCurve() {
    CCurve c(2, AxisKind::Time, DataFormat::DbPhase);
    c.X()[0] = 0.0;
    c.X()[1] = 0.5;
    c.First()[0] = -3.0;
    c.First()[1] = 6.0;
    c.Second()[0] = 1.0;
    c.Second()[1] = -2.0;
    c.name = L"ab";
    c.spare = 42.0;
    return c;
}

Bytes TwoPointCurveBytes() {
    Bytes b;
    Put16(b, 1);  // time axis
    PutVector(b, {0.0, 0.5});
    Put16(b, 2);  // dB / phase
    PutVector(b, {-3.0, 6.0});
    PutVector(b, {1.0, -2.0});
    Put16(b, 0);
    Put32(b, 0);
    b.insert(b.end(), {0xFF, 0xFE, 0xFF, 0x02, 'a', 0, 'b', 0});
    return b;
}

Bytes Stored(const CCurve& c) {
    CArchive ar;
    c.Store(ar);
    return ar.TakeBuffer();
}

}  // namespace

TEST(CurveArchive, LayoutMatchesHandBuiltBytes) {
    EXPECT_EQ(Stored(TwoPointCurve()), TwoPointCurveBytes());
}

TEST(CurveArchive, LoadsHandBuiltBytes) {
    CArchive ar(TwoPointCurveBytes());
    CCurve c;
    c.Serialize(ar);
    EXPECT_EQ(ar.Remaining(), 0u);
    EXPECT_EQ(c.Kind(), AxisKind::Time);
    EXPECT_EQ(c.Format(), DataFormat::DbPhase);
    ASSERT_EQ(c.Count(), 2);
    EXPECT_EQ(c.X()[1], 0.5);
    EXPECT_EQ(c.First()[0], -3.0);
    EXPECT_EQ(c.Second()[1], -2.0);
    EXPECT_EQ(c.name, L"ab");
    EXPECT_EQ(c.spare, 0.0);  // not archived
}

TEST(CurveArchive, EmptyCurveLayout) {
    Bytes expected;
    Put16(expected, 0);
    Put32(expected, 0);
    Put16(expected, 0);
    Put32(expected, 0);
    Put32(expected, 0);
    Put16(expected, 0);
    Put32(expected, 0);
    expected.insert(expected.end(), {0xFF, 0xFE, 0xFF, 0x00});
    EXPECT_EQ(Stored(CCurve()), expected);
}

TEST(CurveArchive, ReservedFieldsAreIgnoredOnLoad) {
    Bytes b = TwoPointCurveBytes();
    const std::size_t reserved = b.size() - 8 - 6;
    for (std::size_t i = reserved; i < reserved + 6; ++i) {
        b[i] = 0x5A;
    }
    CArchive ar(b);
    CCurve c;
    c.Load(ar);
    EXPECT_EQ(c.name, L"ab");
}

TEST(CurveArchive, RuntimeClasses) {
    EXPECT_EQ(CCurve().GetRuntimeClass().className, "CCurve");
    EXPECT_EQ(CCurve().GetRuntimeClass().schema, 2u);
    EXPECT_EQ(DbleVect().GetRuntimeClass().className, "DbleVect");
    EXPECT_EQ(CIndexVector().GetRuntimeClass().className, "CIndexVector");
    EXPECT_EQ(CComplexVector().GetRuntimeClass().schema, 1u);
}

TEST(DbleVectArchive, LargeVectorRoundTripsThroughPieces) {
    DbleVect v(10000);  // more than one 32768-byte piece
    for (int i = 0; i < v.Count(); ++i) {
        v[i] = i * 0.25;
    }
    CArchive out;
    v.Store(out);
    ASSERT_EQ(out.Buffer().size(), 4u + 8u * 10000u);
    CArchive in(out.TakeBuffer());
    DbleVect w(3);
    w.Load(in);
    ASSERT_EQ(w.Count(), 10000);
    EXPECT_EQ(w[9999], 9999 * 0.25);
}

TEST(DbleVectArchive, NonPositiveCountGivesEmptyVector) {
    Bytes b;
    Put32(b, 0xFFFFFFFFu);  // -1
    CArchive ar(b);
    DbleVect v(5);
    v.Load(ar);
    EXPECT_EQ(v.Count(), 0);
}

TEST(WideString, LengthForms) {
    struct Case {
        std::size_t length;
        Bytes prefix;
    };
    const Case cases[] = {
        {0, {0xFF, 0xFE, 0xFF, 0x00}},
        {0xFE, {0xFF, 0xFE, 0xFF, 0xFE}},
        {0xFF, {0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0x00}},
        {0xFFFD, {0xFF, 0xFE, 0xFF, 0xFF, 0xFD, 0xFF}},
        {0xFFFE, {0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0x00, 0x00}},
        {70000, {0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0x70, 0x11, 0x01, 0x00}},
    };
    for (const auto& c : cases) {
        const std::wstring text(c.length, L'x');
        CArchive out;
        out.WriteString(text);
        const Bytes& b = out.Buffer();
        ASSERT_EQ(b.size(), c.prefix.size() + 2 * c.length) << c.length;
        EXPECT_TRUE(std::equal(c.prefix.begin(), c.prefix.end(), b.begin())) << c.length;
        if (c.length > 0) {
            EXPECT_EQ(b[c.prefix.size()], 'x');
            EXPECT_EQ(b[c.prefix.size() + 1], 0);
        }
        CArchive in(out.TakeBuffer());
        EXPECT_EQ(in.ReadString(), text) << c.length;
        EXPECT_EQ(in.Remaining(), 0u);
    }
}

TEST(WideString, CharactersOutsideTheBasicPlaneUseSurrogatePairs) {
    const std::wstring text = L"a\U0001F600";
    CArchive out;
    out.WriteString(text);
    const Bytes expected = {0xFF, 0xFE, 0xFF, 0x03, 'a', 0, 0x3D, 0xD8, 0x00, 0xDE};
    EXPECT_EQ(out.Buffer(), expected);
    CArchive in(out.TakeBuffer());
    EXPECT_EQ(in.ReadString(), text);
}

TEST(NarrowString, ReaderAcceptsNarrowForms) {
    Bytes b = {0x03, 'a', 'b', 0xE9};
    b.push_back(0xFF);
    Put16(b, 300);
    b.insert(b.end(), 300, 'z');
    CArchive in(b);
    EXPECT_EQ(in.ReadString(), L"ab\u00E9");
    EXPECT_EQ(in.ReadString(), std::wstring(300, L'z'));
    EXPECT_EQ(in.Remaining(), 0u);
}

TEST(NarrowString, WriterUsesLengthFormsWithoutMarker) {
    CArchive out;
    out.WriteNarrowString(L"hi");
    EXPECT_EQ(out.Buffer(), (Bytes{0x02, 'h', 'i'}));
}

TEST(ArchiveIntegers, LittleEndianLayout) {
    CArchive out;
    out.WriteU8(0x12);
    out.WriteU16(0x3456);
    out.WriteU32(0x789ABCDEu);
    out.WriteI32(-2);
    out.WriteDouble(1.0);
    const Bytes expected = {0x12, 0x56, 0x34, 0xDE, 0xBC, 0x9A, 0x78, 0xFE, 0xFF, 0xFF,
                            0xFF, 0,    0,    0,    0,    0,    0,    0xF0, 0x3F};
    EXPECT_EQ(out.Buffer(), expected);
    CArchive in(out.TakeBuffer());
    EXPECT_EQ(in.ReadU8(), 0x12);
    EXPECT_EQ(in.ReadU16(), 0x3456);
    EXPECT_EQ(in.ReadU32(), 0x789ABCDEu);
    EXPECT_EQ(in.ReadI32(), -2);
    EXPECT_EQ(in.Remaining(), 8u);
    EXPECT_EQ(in.ReadDouble(), 1.0);
    EXPECT_THROW(in.ReadU8(), CArchiveException);
}

TEST(ArchiveErrors, EveryTruncationOfACurveRaises) {
    const Bytes full = TwoPointCurveBytes();
    for (std::size_t len = 0; len < full.size(); ++len) {
        CArchive ar(Bytes(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(len)));
        CCurve c;
        EXPECT_THROW(c.Load(ar), CArchiveException) << len;
    }
}

TEST(ArchiveErrors, CountsLargerThanTheInputRaiseBeforeAllocating) {
    Bytes b;
    Put32(b, 0x7FFFFFFF);
    PutDouble(b, 1.0);
    CArchive ar(b);
    DbleVect v;
    try {
        v.Load(ar);
        FAIL() << "no exception";
    } catch (const CArchiveException& e) {
        EXPECT_EQ(e.cause(), CArchiveException::generic);
    }

    for (Bytes s : {Bytes{0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F},
                    Bytes{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF},
                    Bytes{0xFF, 0xFE, 0xFF, 0xFF, 0xFE, 0xFF, 'a'}, Bytes{0x05, 'a', 'b'},
                    Bytes{0xFF, 0xFE, 0xFF, 0xFE, 0xFF, 0x01, 'a', 0}}) {
        CArchive in(s);
        EXPECT_THROW(in.ReadString(), CArchiveException);
    }
}

TEST(ArchiveErrors, MalformedCurvesRaise) {
    // Axis of two points, data of one.
    Bytes b;
    Put16(b, 0);
    PutVector(b, {1.0, 2.0});
    Put16(b, 0);
    PutVector(b, {1.0});
    PutVector(b, {1.0});
    Put16(b, 0);
    Put32(b, 0);
    b.push_back(0);
    CArchive ar(b);
    CCurve c;
    EXPECT_THROW(c.Load(ar), CArchiveException);

    Bytes badFormat = TwoPointCurveBytes();
    badFormat[2 + 4 + 16] = 7;  // data format 7
    CArchive ar2(badFormat);
    EXPECT_THROW(c.Load(ar2), CArchiveException);
}

TEST(ArchiveFile, RoundTripAndMissingFile) {
    const auto path = std::filesystem::temp_directory_path() / "tsl_curve_archive_test.bin";
    CArchive out;
    TwoPointCurve().Store(out);
    out.SaveToFile(path);
    CArchive in = CArchive::OpenForLoad(path);
    std::filesystem::remove(path);
    CCurve c;
    c.Load(in);
    EXPECT_EQ(c.name, L"ab");
    EXPECT_EQ(c.First()[1], 6.0);

    try {
        CArchive::OpenForLoad(path);
        FAIL() << "no exception";
    } catch (const CArchiveException& e) {
        EXPECT_EQ(e.cause(), CArchiveException::fileError);
    }
}

TEST(ArchiveErrors, CorruptedBytesLoadOrRaiseButNeverCrash) {
    CCurve big(300, AxisKind::Frequency, DataFormat::MagPhase);
    big.name = std::wstring(400, L'n');
    const Bytes valid = Stored(big);
    std::mt19937 gen(11);
    for (int trial = 0; trial < 300; ++trial) {
        Bytes b = valid;
        const int flips = 1 + trial % 4;
        for (int f = 0; f < flips; ++f) {
            b[gen() % b.size()] = static_cast<std::uint8_t>(gen());
        }
        b.resize(b.size() - gen() % 16);
        CArchive ar(b);
        CCurve c;
        try {
            c.Load(ar);
            EXPECT_EQ(c.axis.Count(), c.data.Count());
        } catch (const CArchiveException&) {
        }
    }
}
