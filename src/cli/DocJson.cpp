#include "cli/DocJson.h"

#include "cli/CliErrors.h"
#include "document/DocFile.h"
#include "measure/Curve.h"
#include "threading/Errors.h"

namespace cli {

nlohmann::ordered_json CurveJson(const CCurve& c) {
    nlohmann::ordered_json points = nlohmann::ordered_json::array();
    for (int i = 0; i < c.Count(); ++i)
        points.push_back({c.X()[i], c.First()[i], c.Second()[i]});
    return {{"axis", c.Kind() == AxisKind::Time ? "time" : "frequency"},
            {"format", static_cast<int>(c.Format())},
            {"name", tsl::ToUtf8(c.name)},
            {"points", points}};
}

nlohmann::ordered_json CurvesJson(const CurveList& list) {
    nlohmann::ordered_json out = nlohmann::ordered_json::array();
    for (const auto& curve : list)
        out.push_back(curve ? CurveJson(*curve) : nlohmann::ordered_json());
    return out;
}

nlohmann::ordered_json EqJson(const EqResult& eq) {
    nlohmann::ordered_json bands = nlohmann::ordered_json::array();
    for (const EqBand& b : eq.bands)
        bands.push_back({{"kind", b.kind},
                         {"c0", b.c0},
                         {"c1", b.c1},
                         {"c2", b.c2},
                         {"c3", b.c3},
                         {"c4", b.c4},
                         {"shift", b.shift}});
    return {{"gain", eq.gain}, {"valid", eq.valid}, {"bands", bands}};
}

nlohmann::ordered_json HouseJson(const HouseSettings& house) {
    return {{"shelf_db", house.shelfDb},
            {"shelf_hz", house.shelfHz},
            {"tilt_db_per_octave", house.tiltDbPerOctave},
            {"file", house.file ? nlohmann::ordered_json(tsl::ToUtf8(house.file->name))
                                : nlohmann::ordered_json()}};
}

nlohmann::ordered_json LimitsJson(const HouseSettings& house, nlohmann::ordered_json upperHz) {
    return {{"max_boost_db", house.maxBoostDb}, {"upper_hz", std::move(upperHz)}};
}

void AddEffectJson(nlohmann::ordered_json& row, const std::optional<PositionEffect>& effect) {
    using json = nlohmann::ordered_json;
    const auto put = [&row](const char* rms, const char* max,
                            const std::optional<TargetDeviation>& d) {
        row[rms] = d ? json(d->rmsDb) : json();
        row[max] = d ? json(d->maxDb) : json();
    };
    put("before_rms_db", "before_max_db", effect ? std::optional(effect->before) : std::nullopt);
    put("after_rms_db", "after_max_db", effect ? std::optional(effect->after) : std::nullopt);
    put("held_out_rms_db", "held_out_max_db", effect ? effect->heldOut : std::nullopt);
    row["worse_at_hz"] = effect && effect->worseAtHz ? json(*effect->worseAtHz) : json();
    row["made_worse"] = effect ? json(effect->MadeWorse()) : json();
}

namespace {

nlohmann::ordered_json EffectsJson(const std::vector<PositionEffect>& effects) {
    nlohmann::ordered_json out = nlohmann::ordered_json::array();
    for (const PositionEffect& e : effects) {
        nlohmann::ordered_json row = nlohmann::ordered_json::object();
        AddEffectJson(row, e);
        out.push_back(std::move(row));
    }
    return out;
}

nlohmann::ordered_json QualityJson(const std::vector<PositionQuality>& quality) {
    nlohmann::ordered_json out = nlohmann::ordered_json::array();
    for (const PositionQuality& q : quality)
        out.push_back({{"snr_db", q.snrDb}, {"period_diff_db", q.periodDiffDb}});
    return out;
}

nlohmann::ordered_json CalibrationJson(const std::optional<CalibrationSource>& source) {
    if (!source)
        return nullptr;
    return {{"kind", source->kind == CalibrationKind::TextFile ? "text file" : "brand file"},
            {"file", tsl::ToUtf8(source->fileName)}};
}

// Positions counted from 1, as the commands name them.
nlohmann::ordered_json ImportedJson(const std::vector<ImportedPosition>& imported) {
    nlohmann::ordered_json out = nlohmann::ordered_json::array();
    for (const ImportedPosition& p : imported)
        out.push_back({{"position", p.position + 1}, {"file", tsl::ToUtf8(p.fileName)}});
    return out;
}

}  // namespace

nlohmann::ordered_json DocJson(int32_t version, const DocData& d) {
    return {{"file_version", version},
            {"model_id", d.modelId},
            {"crossover", d.crossover},
            {"min_eq_freq", d.minEqFreq},
            {"hp_freq", d.hpFreq},
            {"hp_order", d.hpOrder},
            {"fit_lower", d.fitLower},
            {"fit_upper", d.fitUpper},
            {"colours", d.colours},
            {"name", tsl::ToUtf8(d.name)},
            {"mic_serial", d.micSerial},
            {"unit_serial", d.unitSerial},
            {"stored_value", d.storedValue},
            {"cal_version", d.calVersion},
            {"cal_image_length", d.calImageLength},
            {"eq", EqJson(d.eq)},
            {"results", CurvesJson(d.results)},
            {"measurements", CurvesJson(d.measurements)},
            {"position_quality", QualityJson(d.positionQuality)},
            {"position_effects", EffectsJson(d.positionEffects)},
            {"verified", d.verified ? CurveJson(*d.verified) : nlohmann::ordered_json()},
            {"verified_positions", d.verifiedPositions},
            {"calibration", CalibrationJson(d.calibration)},
            {"fit", d.fitMethod ? nlohmann::ordered_json(std::string(FitMethodName(*d.fitMethod)))
                                : nlohmann::ordered_json()},
            {"house", HouseJson(d.house)},
            {"limits",
             LimitsJson(d.house, d.house.upperHz > 0.0 ? nlohmann::ordered_json(d.house.upperHz)
                                                       : nlohmann::ordered_json())},
            // The stored impulses are counted, not listed.
            {"impulses", d.impulses.size()},
            {"verified_impulses", d.verifiedImpulses.size()},
            {"imported", ImportedJson(d.imported)}};
}

void NamingFile(const std::string& path, const std::function<void()>& read) {
    try {
        read();
    } catch (const std::exception& e) {
        throw CliFailure("'" + path + "': " + tsl::ToUtf8(tsl::ExceptionText(e)));
    }
}

void ReadDocument(const std::string& path, DocData& data) {
    NamingFile(path, [&] { ReadDocFile(path, data); });
}

}  // namespace cli
