#include "measure/TextCalibration.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cwchar>
#include <fstream>
#include <numbers>
#include <optional>
#include <string>
#include <vector>

#include "threading/Errors.h"

namespace Security {

namespace {

struct Row {
    double frequency = 0.0;
    double level = 0.0;
    double phase = 0.0;
};

[[noreturn]] void Fail(const std::wstring& source, const std::wstring& what,
                       std::wstring_view kind = kCalibrationFileKind) {
    throw tsl::wruntime_error(std::wstring(kind) + L" \"" + source + L"\": " + what);
}

[[noreturn]] void FailLine(const std::wstring& source, std::size_t number, std::string_view line,
                           const std::wstring& what, std::wstring_view kind) {
    constexpr std::size_t kShown = 60;
    std::string shown(line.substr(0, kShown));
    if (line.size() > kShown)
        shown += "...";
    Fail(
        source,
        L"line " + std::to_wstring(number) + L": " + what + L" (\"" + tsl::FromUtf8(shown) + L"\")",
        kind);
}

bool IsSeparator(char c) {
    return c == ' ' || c == '\t' || c == ',' || c == ';';
}

// The numbers of a data line; false when a field is not a number.
bool SplitNumbers(std::string_view line, std::vector<double>& out) {
    out.clear();
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && IsSeparator(line[i]))
            ++i;
        if (i == line.size())
            break;
        std::size_t end = i;
        while (end < line.size() && !IsSeparator(line[end]))
            ++end;
        const char* first = line.data() + i;
        const char* last = line.data() + end;
        if (*first == '+')
            ++first;
        double v = 0.0;
        const auto [ptr, ec] = std::from_chars(first, last, v);
        if (ec != std::errc() || ptr != last || !std::isfinite(v))
            return false;
        out.push_back(v);
        i = end;
    }
    return true;
}

// The value of "Sens Factor =-1.5dB" anywhere in the line (any case, quoted or not).
std::optional<double> SensitivityIn(std::string_view line) {
    std::string lower(line);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    const std::size_t at = lower.find("sens factor");
    if (at == std::string::npos)
        return std::nullopt;
    std::size_t i = lower.find('=', at);
    if (i == std::string::npos)
        return std::nullopt;
    ++i;
    while (i < lower.size() && (lower[i] == ' ' || lower[i] == '\t'))
        ++i;
    std::size_t end = i;
    while (end < lower.size() && (std::isdigit(static_cast<unsigned char>(lower[end])) ||
                                  lower[end] == '.' || lower[end] == '-' || lower[end] == '+'))
        ++end;
    const char* first = lower.data() + i;
    if (first != lower.data() + end && *first == '+')
        ++first;
    double v = 0.0;
    const auto [ptr, ec] = std::from_chars(first, lower.data() + end, v);
    if (ec != std::errc() || ptr == first || !std::isfinite(v))
        return std::nullopt;
    return v;
}

}  // namespace

TextCalibration ParseTextCalibration(std::string_view text, const std::wstring& source) {
    return ParseTextCalibration(text, source, kCalibrationFileKind);
}

TextCalibration ParseTextCalibration(std::string_view text, const std::wstring& source,
                                     std::wstring_view kind) {
    if (text.size() > kMaxTextCalibrationBytes)
        Fail(
            source,
            L"the file is larger than " + std::to_wstring(kMaxTextCalibrationBytes >> 20) + L" MB.",
            kind);
    if (text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);
    TextCalibration result;
    std::vector<Row> rows;
    std::vector<double> numbers;
    bool sensitivitySeen = false;
    std::size_t number = 0;
    while (!text.empty()) {
        ++number;
        const std::size_t eol = text.find('\n');
        std::string_view line = text.substr(0, eol);
        text.remove_prefix(eol == std::string_view::npos ? text.size() : eol + 1);
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
            line.remove_suffix(1);
        while (!line.empty() && (line.front() == ' ' || line.front() == '\t'))
            line.remove_prefix(1);
        if (line.empty())
            continue;
        if (const auto sens = SensitivityIn(line)) {
            if (sensitivitySeen)
                FailLine(source, number, line, L"a second sensitivity", kind);
            if (!(std::abs(*sens) <= kMaxTextCalibrationDb))
                FailLine(source, number, line, L"the sensitivity is out of range", kind);
            result.sensitivityDb = *sens;
            sensitivitySeen = true;
            continue;
        }
        if (line.front() == '*' || line.front() == '"')
            continue;
        if (!SplitNumbers(line, numbers) || numbers.size() < 2 || numbers.size() > 3)
            FailLine(source, number, line, L"expected \"frequency dB [phase]\"", kind);
        if (!(numbers[0] > 0.0))
            FailLine(source, number, line, L"the frequency must be above 0 Hz", kind);
        if (!(std::abs(numbers[1]) <= kMaxTextCalibrationDb))
            FailLine(source, number, line, L"the level is out of range", kind);
        if (!rows.empty() && !(numbers[0] > rows.back().frequency))
            FailLine(source, number, line, L"the frequencies must rise from line to line", kind);
        if (rows.size() == kMaxTextCalibrationPoints)
            FailLine(source, number, line,
                     L"more than " + std::to_wstring(kMaxTextCalibrationPoints) + L" points", kind);
        if (numbers.size() == 3)
            result.hasPhase = true;
        rows.push_back({numbers[0], numbers[1], numbers.size() == 3 ? numbers[2] : 0.0});
    }
    if (rows.size() < 2)
        Fail(source, L"fewer than two \"frequency dB [phase]\" lines.", kind);
    const int n = static_cast<int>(rows.size());
    result.curve = std::make_shared<CCurve>(n, AxisKind::Frequency, DataFormat::DbPhase);
    for (int i = 0; i < n; ++i) {
        const Row& r = rows[static_cast<std::size_t>(i)];
        result.curve->X()[i] = r.frequency;
        result.curve->First()[i] = r.level + result.sensitivityDb;
        result.curve->Second()[i] = r.phase * std::numbers::pi / 180.0;
    }
    return result;
}

TextCalibration ReadTextCalibration(const std::filesystem::path& path) {
    return ReadTextCalibration(path, kCalibrationFileKind);
}

TextCalibration ReadTextCalibration(const std::filesystem::path& path, std::wstring_view kind) {
    const std::wstring source = path.filename().wstring();
    std::ifstream in(path, std::ios::binary);
    if (!in)
        Fail(source, L"the file cannot be opened.", kind);
    // Read in pieces up to one byte past the limit, so that a huge file costs nothing more.
    std::string text;
    std::string piece(1u << 16, '\0');
    while (in && text.size() <= kMaxTextCalibrationBytes) {
        in.read(piece.data(), static_cast<std::streamsize>(piece.size()));
        text.append(piece.data(), static_cast<std::size_t>(in.gcount()));
    }
    if (in.bad())
        Fail(source, L"the file cannot be read.", kind);
    return ParseTextCalibration(text, source, kind);
}

void RequireMeasuringBand(const TextCalibration& calibration, const std::wstring& source) {
    const CCurve* c = calibration.curve.get();
    if (c == nullptr || c->Count() == 0)
        Fail(source, L"the file holds no points.");
    const double first = c->X()[0], last = c->X()[c->Count() - 1];
    if (first <= kMeasuringLowHz && last >= kMeasuringHighHz)
        return;
    wchar_t text[160];
    std::swprintf(text, sizeof text / sizeof text[0],
                  L"it covers %g to %g Hz; a measurement needs %g to %g Hz.", first, last,
                  kMeasuringLowHz, kMeasuringHighHz);
    Fail(source, text);
}

TextCalibration ReadMeasuringCalibration(const std::filesystem::path& path) {
    TextCalibration calibration = ReadTextCalibration(path);
    RequireMeasuringBand(calibration, path.filename().wstring());
    return calibration;
}

}  // namespace Security
