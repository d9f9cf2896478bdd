#include "wizard/ImportPositions.h"

#include <algorithm>
#include <cmath>
#include <cwchar>
#include <cwctype>
#include <numbers>
#include <string>

#include "measure/TextCalibration.h"
#include "sublink/BaseConfig.h"
#include "threading/Errors.h"
#include "wizard/MeasureStep.h"
#include "wizard/Positions.h"

namespace {

[[noreturn]] void Fail(std::wstring_view kind, const std::wstring& source,
                       const std::wstring& why) {
    throw tsl::wruntime_error(std::wstring(kind) + L" \"" + source + L"\": " + why);
}

void RequireBand(const CCurve& response, std::wstring_view kind, const std::wstring& source) {
    const double first = response.X()[0], last = response.X()[response.Count() - 1];
    if (first <= Security::kMeasuringLowHz && last >= Security::kMeasuringHighHz)
        return;
    wchar_t text[160];
    std::swprintf(text, sizeof text / sizeof text[0],
                  L"it covers %g to %g Hz; a position needs %g to %g Hz.", first, last,
                  Security::kMeasuringLowHz, Security::kMeasuringHighHz);
    Fail(kind, source, text);
}

CurvePtr ReadImpulse(const std::filesystem::path& path, const std::wstring& source,
                     const ImpulseReader& readImpulse) {
    if (!readImpulse)
        Fail(kImpulseFileKind, source, L"this program does not read sound files.");
    try {
        return ImportedImpulseResponse(readImpulse(path));
    } catch (const tsl::wruntime_error& e) {
        Fail(kImpulseFileKind, source, e.wwhat());
    }
}

}  // namespace

bool IsImpulseFile(const std::filesystem::path& path) {
    std::wstring extension = path.extension().wstring();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](wchar_t c) { return static_cast<wchar_t>(std::towlower(c)); });
    return extension == L".wav";
}

CurvePtr ReadImportedResponse(const std::filesystem::path& path, const ImpulseReader& readImpulse) {
    const std::wstring source = path.filename().wstring();
    if (IsImpulseFile(path)) {
        CurvePtr response = ReadImpulse(path, source, readImpulse);
        RequireBand(*response, kImpulseFileKind, source);
        return response;
    }
    CurvePtr response = Security::ReadTextCalibration(path, kMeasurementFileKind).curve;
    RequireBand(*response, kMeasurementFileKind, source);
    return response;
}

CurvePtr MeasurementAxis(const DocData& data) {
    for (const CurvePtr& position : data.measurements)
        if (position && position->Count() > 0)
            return position;
    return nullptr;
}

CurvePtr ResampleHeld(const CCurve& curve, const CCurve& axis) {
    CCurve c = curve;
    ToDbPhase(c);
    const int n = c.Count();
    const double* x = c.X();
    const double* level = c.First();
    double* phase = c.Second();
    for (int i = 1; i < n; ++i)
        phase[i] = phase[i - 1] + std::remainder(phase[i] - phase[i - 1], 2.0 * std::numbers::pi);
    const int count = axis.Count();
    auto out = std::make_shared<CCurve>(count, AxisKind::Frequency, DataFormat::DbPhase);
    int j = 0;
    for (int i = 0; i < count; ++i) {
        const double f = axis.X()[i];
        out->X()[i] = f;
        if (n == 0)
            continue;
        if (!(f > x[0]) || n == 1) {
            out->First()[i] = level[0];
            out->Second()[i] = phase[0];
            continue;
        }
        if (!(f < x[n - 1])) {
            out->First()[i] = level[n - 1];
            out->Second()[i] = phase[n - 1];
            continue;
        }
        if (x[j] > f)
            j = 0;
        while (x[j + 1] <= f)
            ++j;
        const double t = std::log(f / x[j]) / std::log(x[j + 1] / x[j]);
        out->First()[i] = level[j] + t * (level[j + 1] - level[j]);
        out->Second()[i] = phase[j] + t * (phase[j + 1] - phase[j]);
    }
    // As a measured position leaves it.
    ToMagPhase(*out);
    WrapPhase(*out);
    return out;
}

void ImportPositions(DocData& data, const std::vector<std::filesystem::path>& files,
                     const ImpulseReader& readImpulse, std::optional<uint16_t> model) {
    const size_t total = data.measurements.size() + files.size();
    if (total > static_cast<size_t>(kMaxPositions))
        throw tsl::wruntime_error(L"The document would hold " + std::to_wstring(total) +
                                  L" positions; it holds at most " +
                                  std::to_wstring(kMaxPositions) + L".");
    const CUsbController::BaseConfig* subwoofer = nullptr;
    if (model) {
        subwoofer = CUsbController::FindModelById(*model);
        if (subwoofer == nullptr)
            throw tsl::wruntime_error(L"There is no subwoofer model " + std::to_wstring(*model) +
                                      L".");
        if (!data.measurements.empty() && data.modelId != 0 && data.modelId != *model)
            throw tsl::wruntime_error(L"The document's positions were measured with model " +
                                      std::to_wstring(data.modelId) + L", not " +
                                      std::to_wstring(*model) + L".");
    }

    std::vector<CurvePtr> responses;
    for (const std::filesystem::path& file : files)
        responses.push_back(ReadImportedResponse(file, readImpulse));
    if (responses.empty())
        return;
    CurvePtr axis = MeasurementAxis(data);
    if (!axis)
        axis = responses.front();

    for (size_t i = 0; i < responses.size(); ++i) {
        data.imported.push_back(
            {static_cast<int32_t>(data.measurements.size()), files[i].filename().wstring()});
        data.measurements.push_back(ResampleHeld(*responses[i], *axis));
    }
    // Imported positions carry no checks, so the figures no longer match position for position.
    data.positionQuality.clear();
    KeepAverageOfPositions(data);
    // Impulses are kept one per position or not at all; imported positions bring none.
    if (data.impulses.size() != data.measurements.size())
        data.impulses.clear();
    if (subwoofer) {
        data.modelId = subwoofer->modelId;
        data.name = subwoofer->displayName;
    }
}
