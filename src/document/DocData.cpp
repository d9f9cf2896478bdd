#include "document/DocData.h"

#include "measure/Curve.h"

DocData::DocData() : eq(EraseDefault()) {
    Reset();
}

void DocData::Reset() {
    results.clear();
    measurements.clear();
    eq = EraseDefault(eq.bands.size());
    crossover = 0;
    minEqFreq = 20;
    hpFreq = 20;
    hpOrder = 0;
    modelId = 0;
    fitLower = 0.0;
    fitUpper = 0.0;
    colours = {kMeasuredColour, kTargetColour, kCalculatedColour};
    name = kDefaultSubwooferName;
    calImageLength = 0;
    calImage.reset();
    storedValue = 0;
    calVersion = 1;
    positionQuality.clear();
    positionEffects.clear();
    verified.reset();
    verifiedPositions = 0;
    calibration.reset();
    fitMethod.reset();
    house = HouseSettings{};
    impulses.clear();
    verifiedImpulses.clear();
    imported.clear();
}

void DocData::MoveFrom(DocData& source) {
    if (&source == this)
        return;
    Reset();
    results = std::move(source.results);
    measurements = std::move(source.measurements);
    source.results.clear();
    source.measurements.clear();
    eq = source.eq;
    crossover = source.crossover;
    minEqFreq = source.minEqFreq;
    hpFreq = source.hpFreq;
    hpOrder = source.hpOrder;
    modelId = source.modelId;
    fitLower = source.fitLower;
    fitUpper = source.fitUpper;
    colours = source.colours;
    micSerial = source.micSerial;
    unitSerial = source.unitSerial;
    calImageLength = source.calImageLength;
    calImage = source.calImage;
    storedValue = source.storedValue;
    calVersion = source.calVersion;
    name = source.name;
    positionQuality = std::move(source.positionQuality);
    positionEffects = std::move(source.positionEffects);
    verified = std::move(source.verified);
    verifiedPositions = source.verifiedPositions;
    calibration = std::move(source.calibration);
    fitMethod = source.fitMethod;
    house = std::move(source.house);
    impulses = std::move(source.impulses);
    verifiedImpulses = std::move(source.verifiedImpulses);
    imported = std::move(source.imported);

    source.calImageLength = 0;
    source.calImage.reset();
    source.micSerial = 0;
    source.unitSerial = 0;
    source.storedValue = 0;
    source.calVersion = 1;
    source.name = kDefaultSubwooferName;
    source.positionQuality.clear();
    source.positionEffects.clear();
    source.verified.reset();
    source.verifiedPositions = 0;
    source.calibration.reset();
    source.fitMethod.reset();
    source.house = HouseSettings{};
    source.impulses.clear();
    source.verifiedImpulses.clear();
    source.imported.clear();
}

namespace {

CurveList CopyCurves(const CurveList& curves) {
    CurveList copies;
    copies.reserve(curves.size());
    for (const auto& c : curves)
        copies.push_back(c ? Clone(*c) : nullptr);
    return copies;
}

}  // namespace

void DocData::CopyFrom(const DocData& source) {
    if (&source == this)
        return;
    results = CopyCurves(source.results);
    measurements = CopyCurves(source.measurements);
    eq = source.eq;
    crossover = source.crossover;
    minEqFreq = source.minEqFreq;
    hpFreq = source.hpFreq;
    hpOrder = source.hpOrder;
    modelId = source.modelId;
    fitLower = source.fitLower;
    fitUpper = source.fitUpper;
    colours = source.colours;
    name = source.name;
    micSerial = source.micSerial;
    unitSerial = source.unitSerial;
    calImageLength = source.calImageLength;
    calImage = source.calImage;
    storedValue = source.storedValue;
    calVersion = source.calVersion;
    positionQuality = source.positionQuality;
    positionEffects = source.positionEffects;
    verified = source.verified ? Clone(*source.verified) : nullptr;
    verifiedPositions = source.verifiedPositions;
    calibration = source.calibration;
    fitMethod = source.fitMethod;
    house = source.house;
    impulses = source.impulses;
    verifiedImpulses = source.verifiedImpulses;
    imported = source.imported;
}
