#include "document/DocFile.h"

#include <algorithm>

#include "document/DocExtensions.h"
#include "measure/Curve.h"

namespace {

// Smallest archived curve: two axis/format kinds, three empty vectors, reserved words and an
// empty narrow name.
constexpr size_t kMinCurveBytes = 2 + 4 + 2 + 4 + 4 + 2 + 4 + 1;
// c0..c4, shift and kind.
constexpr size_t kBandBytes = 5 * 8 + 4 + 4;
constexpr int32_t kColourCount = 3;

[[noreturn]] void TooLarge(uint64_t count, const wchar_t* what, uint64_t limit) {
    throw CArchiveException(CArchiveException::badIndex,
                            L"The document holds " + std::to_wstring(count) + L" " + what +
                                L" (at most " + std::to_wstring(limit) +
                                L"): no document this program writes is that large.");
}

// The little-endian 32-bit count at offset, or 0 past the end (the read then reports the short
// file).
int64_t PeekCount(const CArchive& ar, uint64_t offset) {
    const auto& b = ar.Buffer();
    if (offset > b.size() || b.size() - offset < 4)
        return 0;
    const auto at = static_cast<size_t>(offset);
    return static_cast<int32_t>(b[at] | b[at + 1] << 8 | b[at + 2] << 16 |
                                static_cast<uint32_t>(b[at + 3]) << 24);
}

// Refuses a curve record whose axis or data counts exceed the limits, looking ahead of the
// record: axis kind, axis count and values, format, then two counted components. Adds its
// points to `total`.
void CheckCurveSize(const CArchive& ar, uint64_t& total) {
    uint64_t at = ar.Position() + 2;
    int64_t largest = 0;
    for (int vector = 0; vector < 3; ++vector) {
        const int64_t n = std::max<int64_t>(PeekCount(ar, at), 0);
        if (n > kMaxDocCurvePoints)
            TooLarge(static_cast<uint64_t>(n), L"points in one curve", kMaxDocCurvePoints);
        largest = std::max(largest, n);
        at += 4 + 8 * static_cast<uint64_t>(n) + (vector == 0 ? 2 : 0);
    }
    total += static_cast<uint64_t>(largest);
    if (total > kMaxDocPoints)
        TooLarge(total, L"points in its curves", kMaxDocPoints);
}

void WriteCurveList(CArchive& ar, const CurveList& list) {
    ar.WriteU32(static_cast<uint32_t>(list.size()));
    ar.WriteU32(0);
    for (const auto& curve : list) {
        if (curve)
            curve->Store(ar);
        else
            CCurve().Store(ar);
    }
}

CurveList ReadCurveList(CArchive& ar, uint64_t& points) {
    const uint64_t count = ar.ReadU64();
    if (count > kMaxDocCurves)
        TooLarge(count, L"curves in one list", kMaxDocCurves);
    ar.RequireAvailable(count, kMinCurveBytes);
    CurveList list;
    list.reserve(static_cast<size_t>(count));
    for (uint64_t i = 0; i < count; ++i) {
        CheckCurveSize(ar, points);
        auto curve = std::make_shared<CCurve>();
        curve->Load(ar, kMaxDocTextLength);
        list.push_back(std::move(curve));
    }
    return list;
}

void WriteEqResult(CArchive& ar, const EqResult& eq) {
    ar.WriteU32(static_cast<uint32_t>(eq.bands.size()));
    ar.WriteU32(0);
    ar.WriteDouble(eq.gain);
    ar.WriteI32(eq.valid);
    for (const EqBand& band : eq.bands) {
        ar.WriteDouble(band.c0);
        ar.WriteDouble(band.c1);
        ar.WriteDouble(band.c2);
        ar.WriteDouble(band.c3);
        ar.WriteDouble(band.c4);
        ar.WriteI32(band.shift);
        ar.WriteI32(band.kind);
    }
}

EqResult ReadEqResult(CArchive& ar) {
    const uint32_t count = ar.ReadU32();
    ar.ReadU32();  // high half, ignored
    EqResult eq;
    eq.gain = ar.ReadDouble();
    eq.valid = ar.ReadI32();
    if (count > kMaxDocBands)
        TooLarge(count, L"equaliser bands", kMaxDocBands);
    ar.RequireAvailable(count, kBandBytes);
    eq.bands.assign(count, EqBand{});
    for (EqBand& band : eq.bands) {
        band.c0 = ar.ReadDouble();
        band.c1 = ar.ReadDouble();
        band.c2 = ar.ReadDouble();
        band.c3 = ar.ReadDouble();
        band.c4 = ar.ReadDouble();
        band.shift = ar.ReadI32();
        band.kind = ar.ReadI32();
    }
    return eq;
}

void WriteImage(CArchive& ar, const DocData& data) {
    const size_t length = data.calImage ? data.calImage->size() : 0;
    ar.WriteU32(static_cast<uint32_t>(length));
    ar.WriteU32(0);
    if (length != 0)
        ar.WriteBytes(data.calImage->data(), length);
}

void ReadImage(CArchive& ar, DocData& data) {
    const uint32_t length = ar.ReadU32();
    ar.ReadU32();  // high half, ignored
    if (length > kMaxDocImageBytes)
        TooLarge(length, L"bytes of calibration image", kMaxDocImageBytes);
    ar.RequireAvailable(length);
    data.calImage = std::make_shared<std::vector<uint8_t>>(ar.ReadBlock(length));
    data.calImageLength = length;
}

void ReadColours(CArchive& ar, DocData& data) {
    const int32_t count = ar.ReadI32();
    for (int32_t i = 0; i < count && i < kColourCount; ++i)
        data.colours[static_cast<size_t>(i)] = ar.ReadU32();
}

}  // namespace

void WriteDocData(CArchive& ar, const DocData& data) {
    ar.WriteI32(kDocFileVersion);
    ar.WriteU16(data.modelId);
    ar.WriteI32(data.minEqFreq);
    ar.WriteI32(data.hpFreq);
    ar.WriteI32(data.hpOrder);
    ar.WriteI32(data.calVersion);
    ar.WriteI32(data.calVersion);
    ar.WriteU32(0);
    ar.WriteU32(0);
    ar.WriteString(data.name);
    ar.WriteU32(data.storedValue);
    WriteCurveList(ar, data.results);
    WriteCurveList(ar, data.measurements);
    ar.WriteI32(data.crossover);
    WriteEqResult(ar, data.eq);
    WriteImage(ar, data);
    ar.WriteU32(data.micSerial);
    ar.WriteU32(data.unitSerial);
    ar.WriteI32(kColourCount);
    for (uint32_t colour : data.colours)
        ar.WriteU32(colour);
    DocExtensions::Write(ar, data);
}

void ReadDocData(CArchive& ar, DocData& data) {
    const int32_t version = ar.ReadI32();
    if (version < 1 || version > kDocFileVersion)
        throw BadFileFormat();

    // Read into a fresh record so that a failure part way leaves the caller's data as it was.
    DocData loaded;
    if (version >= 7) {
        loaded.modelId = ar.ReadU16();
        loaded.minEqFreq = ar.ReadI32();
        loaded.hpFreq = ar.ReadI32();
        loaded.hpOrder = ar.ReadI32();
    }
    if (version >= 6)
        loaded.calVersion = ar.ReadI32();
    if (version >= 5)
        loaded.calVersion = ar.ReadI32();  // the second copy is the one kept
    if (version >= 4) {
        ar.ReadU32();
        ar.ReadU32();
    }
    if (version >= 3)
        loaded.name = ar.ReadString(kMaxDocTextLength);
    if (version >= 2)
        loaded.storedValue = ar.ReadU32();
    if (version < 6)
        loaded.storedValue = 0;
    uint64_t points = 0;
    loaded.results = ReadCurveList(ar, points);
    loaded.measurements = ReadCurveList(ar, points);
    loaded.crossover = ar.ReadI32();
    loaded.eq = ReadEqResult(ar);
    ReadImage(ar, loaded);
    loaded.micSerial = ar.ReadU32();
    loaded.unitSerial = ar.ReadU32();
    ReadColours(ar, loaded);
    if (version == kDocFileVersion)
        DocExtensions::Read(ar, loaded);

    data.MoveFrom(loaded);
}

void ReadDocFile(const std::filesystem::path& path, DocData& data) {
    std::error_code ec;
    const uintmax_t size = std::filesystem::file_size(path, ec);
    if (!ec && size > kMaxDocFileBytes)
        throw CArchiveException(CArchiveException::fileError,
                                L"The file is " + std::to_wstring(size) +
                                    L" bytes long, larger than any measurement document (at most " +
                                    std::to_wstring(kMaxDocFileBytes) + L" bytes).");
    CArchive ar = CArchive::OpenForLoad(path);
    ReadDocData(ar, data);
}

void WriteDocFile(const std::filesystem::path& path, const DocData& data,
                  Threading::FileCalls& calls) {
    CArchive ar;
    WriteDocData(ar, data);
    const auto& bytes = ar.Buffer();
    try {
        Threading::SafeWriteFile(path, bytes.data(), bytes.size(), calls);
    } catch (const Threading::SaveError& e) {
        throw CArchiveException(CArchiveException::fileError, e.wwhat());
    }
}
