#include "document/DocExtensions.h"

#include <cmath>

#include "document/DocFile.h"
#include "measure/Curve.h"
#include "measure/Decay.h"

namespace DocExtensions {

namespace {

constexpr size_t kQualityBytes = 2 * sizeof(double);
constexpr size_t kEffectBytes = sizeof(uint32_t) + 7 * sizeof(double);

// Fit limits as Calculate leaves them; anything else is not kept.
bool PlausibleFitBand(double lower, double upper) {
    return lower >= 0.0 && upper > lower && upper <= kMaxFitBandHz;
}

void WriteBlock(CArchive& ar, uint32_t tag, const CArchive& payload) {
    ar.WriteU32(tag);
    ar.WriteU32(static_cast<uint32_t>(payload.Buffer().size()));
    ar.WriteBytes(payload.Buffer().data(), payload.Buffer().size());
}

void ReadQuality(CArchive& in, DocData& data) {
    const uint32_t count = in.ReadU32();
    in.RequireAvailable(count, kQualityBytes);
    std::vector<PositionQuality> quality(count);
    for (PositionQuality& q : quality) {
        q.snrDb = in.ReadDouble();
        q.periodDiffDb = in.ReadDouble();
    }
    data.positionQuality = std::move(quality);
}

bool PlausibleDeviation(const TargetDeviation& d) {
    return d.rmsDb >= 0.0 && d.rmsDb <= kMaxDeviationDb && d.maxDb >= 0.0 &&
           d.maxDb <= kMaxDeviationDb;
}

TargetDeviation ReadDeviation(CArchive& in) {
    TargetDeviation d;
    d.rmsDb = in.ReadDouble();
    d.maxDb = in.ReadDouble();
    return d;
}

void WriteDeviation(CArchive& block, const TargetDeviation& d) {
    block.WriteDouble(d.rmsDb);
    block.WriteDouble(d.maxDb);
}

void ReadEffects(CArchive& in, DocData& data) {
    const uint32_t count = in.ReadU32();
    in.RequireAvailable(count, kEffectBytes);
    std::vector<PositionEffect> effects(count);
    for (PositionEffect& e : effects) {
        const uint32_t flags = in.ReadU32();
        e.before = ReadDeviation(in);
        e.after = ReadDeviation(in);
        const TargetDeviation heldOut = ReadDeviation(in);
        const double worseAtHz = in.ReadDouble();
        if (flags & kHeldOutFlag)
            e.heldOut = heldOut;
        if (flags & kMadeWorseFlag)
            e.worseAtHz = worseAtHz;
        if (!PlausibleDeviation(e.before) || !PlausibleDeviation(e.after) ||
            (e.heldOut && !PlausibleDeviation(*e.heldOut)) ||
            (e.worseAtHz && !(*e.worseAtHz > 0.0 && *e.worseAtHz <= kMaxFitBandHz)))
            return;  // not what a calculation leaves
    }
    data.positionEffects = std::move(effects);
}

void ReadVerified(CArchive& in, DocData& data) {
    const int32_t positions = in.ReadI32();
    auto curve = std::make_shared<CCurve>();
    curve->Load(in);
    data.verified = std::move(curve);
    data.verifiedPositions = positions;
}

void ReadFitBand(CArchive& in, DocData& data) {
    const double lower = in.ReadDouble();
    const double upper = in.ReadDouble();
    if (!PlausibleFitBand(lower, upper))
        return;
    data.fitLower = lower;
    data.fitUpper = upper;
}

void ReadCalibration(CArchive& in, DocData& data) {
    const int32_t kind = in.ReadI32();
    CalibrationSource source;
    source.fileName = in.ReadString();
    if (kind != static_cast<int32_t>(CalibrationKind::BrandFile) &&
        kind != static_cast<int32_t>(CalibrationKind::TextFile))
        return;  // a kind this reader does not know
    source.kind = static_cast<CalibrationKind>(kind);
    data.calibration = std::move(source);
}

void ReadFitMethod(CArchive& in, DocData& data) {
    const int32_t method = in.ReadI32();
    if (method != static_cast<int32_t>(FitMethod::Classic) &&
        method != static_cast<int32_t>(FitMethod::Refined))
        return;  // a method this reader does not know
    data.fitMethod = static_cast<FitMethod>(method);
}

void ReadTargetShape(CArchive& in, DocData& data) {
    HouseSettings house;
    house.shelfDb = in.ReadDouble();
    house.shelfHz = in.ReadDouble();
    house.tiltDbPerOctave = in.ReadDouble();
    house.maxBoostDb = in.ReadDouble();
    house.upperHz = in.ReadDouble();
    std::wstring name = in.ReadString(kMaxDocTextLength);
    const uint32_t count = in.ReadU32();
    if (count > kMaxHouseCurvePoints)
        return;  // more than any house curve file holds
    in.RequireAvailable(count, 2 * sizeof(double));
    if (count > 0) {
        HouseCurveFile file{std::move(name), std::vector<HouseCurvePoint>(count)};
        for (HouseCurvePoint& p : file.points) {
            p.frequencyHz = in.ReadDouble();
            p.levelDb = in.ReadDouble();
        }
        house.file = std::move(file);
    }
    if (IsValidHouseSettings(house))
        data.house = std::move(house);
}

void ReadImpulses(CArchive& in, DocData& data) {
    const int32_t set = in.ReadI32();
    const uint32_t rate = in.ReadU32();
    const uint32_t samples = in.ReadU32();
    const uint32_t count = in.ReadU32();
    in.RequireAvailable(uint64_t{count} * samples, sizeof(float));
    if (rate != static_cast<uint32_t>(Decay::kImpulseRate) ||
        samples != static_cast<uint32_t>(Decay::kImpulseLength) || count > kMaxDocCurves)
        return;  // a form this reader does not analyse
    std::vector<std::vector<float>> impulses(count, std::vector<float>(samples));
    for (std::vector<float>& impulse : impulses)
        for (float& v : impulse) {
            v = in.ReadFloat();
            if (!std::isfinite(v))
                return;
        }
    if (set == static_cast<int32_t>(ImpulseSet::Measurements))
        data.impulses = std::move(impulses);
    else if (set == static_cast<int32_t>(ImpulseSet::Verified))
        data.verifiedImpulses = std::move(impulses);
}

void WriteImpulses(CArchive& ar, ImpulseSet set, const std::vector<std::vector<float>>& impulses) {
    CArchive block;
    block.WriteI32(static_cast<int32_t>(set));
    block.WriteU32(static_cast<uint32_t>(Decay::kImpulseRate));
    block.WriteU32(static_cast<uint32_t>(Decay::kImpulseLength));
    block.WriteU32(static_cast<uint32_t>(impulses.size()));
    for (const std::vector<float>& impulse : impulses)
        for (int i = 0; i < Decay::kImpulseLength; ++i)
            block.WriteFloat(static_cast<size_t>(i) < impulse.size() ? impulse[i] : 0.0f);
    WriteBlock(ar, kImpulsesTag, block);
}

void ReadImported(CArchive& in, DocData& data) {
    const uint32_t count = in.ReadU32();
    if (count > kMaxDocCurves)
        return;                                       // more than a document holds positions
    in.RequireAvailable(count, sizeof(int32_t) + 1);  // an index and at least a length
    std::vector<ImportedPosition> imported(count);
    for (ImportedPosition& p : imported) {
        p.position = in.ReadI32();
        p.fileName = in.ReadString(kMaxDocTextLength);
    }
    data.imported = std::move(imported);
}

// Keeps the imported entries that name a position, each after the one before.
void KeepImportedPositions(DocData& data) {
    std::vector<ImportedPosition> kept;
    for (ImportedPosition& p : data.imported) {
        const bool inRange =
            p.position >= 0 && static_cast<size_t>(p.position) < data.measurements.size();
        if (inRange && (kept.empty() || p.position > kept.back().position))
            kept.push_back(std::move(p));
    }
    data.imported = std::move(kept);
}

void WriteTargetShape(CArchive& block, const HouseSettings& house) {
    block.WriteDouble(house.shelfDb);
    block.WriteDouble(house.shelfHz);
    block.WriteDouble(house.tiltDbPerOctave);
    block.WriteDouble(house.maxBoostDb);
    block.WriteDouble(house.upperHz);
    block.WriteString(house.file ? house.file->name : std::wstring());
    block.WriteU32(house.file ? static_cast<uint32_t>(house.file->points.size()) : 0u);
    if (house.file) {
        for (const HouseCurvePoint& p : house.file->points) {
            block.WriteDouble(p.frequencyHz);
            block.WriteDouble(p.levelDb);
        }
    }
}

}  // namespace

void Write(CArchive& ar, const DocData& data) {
    const bool fitBand = PlausibleFitBand(data.fitLower, data.fitUpper);
    const bool any = !data.positionQuality.empty() || data.verified || data.calibration ||
                     fitBand || data.fitMethod || !data.house.IsDefault() ||
                     !data.impulses.empty() || (data.verified && !data.verifiedImpulses.empty()) ||
                     !data.positionEffects.empty() || !data.imported.empty();
    if (!any)
        return;
    ar.WriteU32(kMarker);
    if (!data.positionQuality.empty()) {
        CArchive block;
        block.WriteU32(static_cast<uint32_t>(data.positionQuality.size()));
        for (const PositionQuality& q : data.positionQuality) {
            block.WriteDouble(q.snrDb);
            block.WriteDouble(q.periodDiffDb);
        }
        WriteBlock(ar, kPositionQualityTag, block);
    }
    if (data.verified) {
        CArchive block;
        block.WriteI32(data.verifiedPositions);
        data.verified->Store(block);
        WriteBlock(ar, kVerifiedTag, block);
    }
    if (data.calibration) {
        CArchive block;
        block.WriteI32(static_cast<int32_t>(data.calibration->kind));
        block.WriteString(data.calibration->fileName);
        WriteBlock(ar, kCalibrationTag, block);
    }
    if (fitBand) {
        CArchive block;
        block.WriteDouble(data.fitLower);
        block.WriteDouble(data.fitUpper);
        WriteBlock(ar, kFitBandTag, block);
    }
    if (data.fitMethod) {
        CArchive block;
        block.WriteI32(static_cast<int32_t>(*data.fitMethod));
        WriteBlock(ar, kFitMethodTag, block);
    }
    if (!data.house.IsDefault()) {
        CArchive block;
        WriteTargetShape(block, data.house);
        WriteBlock(ar, kTargetShapeTag, block);
    }
    if (!data.positionEffects.empty()) {
        CArchive block;
        block.WriteU32(static_cast<uint32_t>(data.positionEffects.size()));
        for (const PositionEffect& e : data.positionEffects) {
            block.WriteU32((e.heldOut ? kHeldOutFlag : 0u) | (e.worseAtHz ? kMadeWorseFlag : 0u));
            WriteDeviation(block, e.before);
            WriteDeviation(block, e.after);
            WriteDeviation(block, e.heldOut.value_or(TargetDeviation{}));
            block.WriteDouble(e.worseAtHz.value_or(0.0));
        }
        WriteBlock(ar, kPositionEffectTag, block);
    }
    if (!data.impulses.empty())
        WriteImpulses(ar, ImpulseSet::Measurements, data.impulses);
    if (data.verified && !data.verifiedImpulses.empty())
        WriteImpulses(ar, ImpulseSet::Verified, data.verifiedImpulses);
    if (!data.imported.empty()) {
        CArchive block;
        block.WriteU32(static_cast<uint32_t>(data.imported.size()));
        for (const ImportedPosition& p : data.imported) {
            block.WriteI32(p.position);
            block.WriteString(p.fileName.substr(0, kMaxDocTextLength));
        }
        WriteBlock(ar, kImportedTag, block);
    }
}

void Read(CArchive& ar, DocData& data) {
    if (ar.Remaining() < sizeof(uint32_t))
        return;
    const std::vector<uint8_t>& bytes = ar.Buffer();
    const size_t at = ar.Position();
    const uint32_t marker = uint32_t{bytes[at]} | uint32_t{bytes[at + 1]} << 8 |
                            uint32_t{bytes[at + 2]} << 16 | uint32_t{bytes[at + 3]} << 24;
    if (marker != kMarker)
        return;
    ar.ReadU32();
    while (ar.Remaining() > 0) {
        const uint32_t tag = ar.ReadU32();
        const uint32_t length = ar.ReadU32();
        ar.RequireAvailable(length);
        // Each payload is read on its own, so a malformed one cannot reach past its block.
        CArchive payload(ar.ReadBlock(length));
        switch (tag) {
            case kPositionQualityTag:
                ReadQuality(payload, data);
                break;
            case kVerifiedTag:
                ReadVerified(payload, data);
                break;
            case kCalibrationTag:
                ReadCalibration(payload, data);
                break;
            case kFitBandTag:
                ReadFitBand(payload, data);
                break;
            case kFitMethodTag:
                ReadFitMethod(payload, data);
                break;
            case kTargetShapeTag:
                ReadTargetShape(payload, data);
                break;
            case kImpulsesTag:
                ReadImpulses(payload, data);
                break;
            case kPositionEffectTag:
                ReadEffects(payload, data);
                break;
            case kImportedTag:
                ReadImported(payload, data);
                break;
            default:
                break;
        }
    }
    if (data.positionQuality.size() != data.measurements.size())
        data.positionQuality.clear();
    if (data.impulses.size() != data.measurements.size())
        data.impulses.clear();
    if (!data.verified)
        data.verifiedImpulses.clear();
    if (data.positionEffects.size() != data.measurements.size() || data.eq.valid != 1)
        data.positionEffects.clear();
    KeepImportedPositions(data);
}

}  // namespace DocExtensions
