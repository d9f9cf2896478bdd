#include "measure/Secure.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "measure/SecurityTexts.h"
#include "measure/Xtea.h"
#include "threading/Errors.h"
#include "threading/ProgramPaths.h"

namespace Security {

namespace {

constexpr wchar_t kBrandWord[] = L"Corvana";
constexpr wchar_t kSuffix[] = L"Corvana.cal";
constexpr size_t kHeaderBytes = 8;    // version and file length, in clear
constexpr size_t kTrailerBytes = 12;  // unit serial, microphone serial, filler
constexpr size_t kChecksumBytes = 4;
constexpr size_t kBytesPerPoint = 24;  // frequency, real and imaginary part
constexpr uint32_t kNewestVersion = 3;

uint32_t Word(const std::vector<uint8_t>& b, size_t at) {
    return static_cast<uint32_t>(b[at]) | static_cast<uint32_t>(b[at + 1]) << 8 |
           static_cast<uint32_t>(b[at + 2]) << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

double Real(const std::vector<uint8_t>& b, size_t at) {
    const uint64_t bits =
        static_cast<uint64_t>(Word(b, at)) | static_cast<uint64_t>(Word(b, at + 4)) << 32;
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

bool EndsWith(const std::wstring& text, const std::wstring& suffix) {
    return text.size() >= suffix.size() &&
           text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

[[noreturn]] void Invalid() {
    throw tsl::wruntime_error(kInvalidFileText);
}

}  // namespace

std::optional<int32_t> ParseCalibrationFileName(const std::wstring& name) {
    const size_t word = name.find(kBrandWord);
    if (word == std::wstring::npos || word == 0)
        return std::nullopt;
    size_t i = 0;
    bool negative = false;
    if (name[0] == L'+' || name[0] == L'-') {
        negative = name[0] == L'-';
        i = 1;
    }
    if (i == word)
        return std::nullopt;
    int64_t value = 0;
    for (; i < word; ++i) {
        if (name[i] < L'0' || name[i] > L'9')
            return std::nullopt;
        value = value * 10 + (name[i] - L'0');
        if (value > int64_t{std::numeric_limits<int32_t>::max()} + 1)
            return std::nullopt;
    }
    if (negative)
        value = -value;
    if (value > std::numeric_limits<int32_t>::max() || value < std::numeric_limits<int32_t>::min())
        return std::nullopt;
    return static_cast<int32_t>(value);
}

std::wstring CalibrationFileName(int32_t micSerial) {
    return std::to_wstring(micSerial) + kSuffix;
}

std::filesystem::path DefaultCalibrationDir() {
    std::error_code ec;
    const auto folder = Threading::ProgramFolder(ec);
    if (!ec)
        return folder;
    return std::filesystem::current_path(ec);
}

Secure::Secure(std::filesystem::path directory, Threading::IPrompt* prompt)
    : directory_(std::move(directory)), prompt_(prompt) {}

bool Secure::ScanCalibrationFiles() {
    entries_.clear();
    // Neither an entry that vanishes during the scan nor a name that is not text in the system's
    // encoding (it could not be opened by its wide name) stops the scan.
    std::error_code ec;
    for (std::filesystem::directory_iterator it(directory_, ec), end; !ec && it != end;
         it.increment(ec)) {
        std::wstring name;
        try {
            name = it->path().filename().wstring();
        } catch (const std::filesystem::filesystem_error&) {
            continue;
        }
        if (!EndsWith(name, kSuffix))
            continue;
        if (const auto serial = ParseCalibrationFileName(name))
            entries_.push_back({0, *serial, name});
    }
    std::sort(entries_.begin(), entries_.end(),
              [](const auto& a, const auto& b) { return a.fileName < b.fileName; });
    if (!entries_.empty())
        found_ = true;
    return !entries_.empty();
}

bool Secure::SelectCalibrationFile() {
    if (entries_.empty()) {
        if (prompt_)
            prompt_->MessageBox(kNoFilesText, kErrorCaption, Threading::MsgButtons::Ok,
                                Threading::MsgIcon::Error);
        return false;
    }
    if (!prompt_)
        return false;
    std::vector<std::wstring> lines;
    lines.reserve(entries_.size());
    for (const auto& entry : entries_) {
        std::wstring line = std::to_wstring(entry.micSerial);
        if (entry.unitSerial != 0)
            line += L", for unit with serial #: " + std::to_wstring(entry.unitSerial);
        lines.push_back(std::move(line));
    }
    const auto choice = prompt_->Choose(kSelectPromptText, lines);
    if (!choice || *choice >= entries_.size())
        return false;
    const CalibrationEntry entry = entries_[*choice];
    return OpenCalibrationFile(entry);
}

bool Secure::OpenCalibrationFile(const CalibrationEntry& entry) {
    auto reader = std::make_unique<FileReader>(directory_ / CalibrationFileName(entry.micSerial));
    if (!reader->Open()) {
        reader_.reset();
        if (prompt_)
            prompt_->MessageBox(kPreOpenFailedText, kErrorCaption, Threading::MsgButtons::Ok,
                                Threading::MsgIcon::Error);
        return false;
    }
    reader_ = std::move(reader);
    selectedMic_ = entry.micSerial;
    selectedUnit_ = entry.unitSerial;
    return true;
}

void ReadCalibration(Secure& registry, int32_t unitSerial, int32_t micSerial, CCurve& curve,
                     int32_t& version, std::vector<uint8_t>* image) {
    Resize(curve, 0);
    FileReader* reader = registry.Reader();
    if (!reader)
        throw tsl::wruntime_error(kNotInitializedText);
    std::vector<uint8_t> bytes = reader->ReadAll();
    if (bytes.size() < kHeaderBytes)
        Invalid();
    if (image)
        *image = bytes;
    DecodeCalibrationImage(std::move(bytes), unitSerial, micSerial, curve, version);
}

void DecodeCalibrationImage(std::vector<uint8_t> bytes, int32_t unitSerial, int32_t micSerial,
                            CCurve& curve, int32_t& version) {
    Resize(curve, 0);
    const size_t size = bytes.size();
    if (size < kHeaderBytes)
        Invalid();

    const uint32_t fileVersion = Word(bytes, 0);
    if (fileVersion > kNewestVersion)
        throw tsl::wruntime_error(kNewerVersionText);
    version = static_cast<int32_t>(fileVersion);

    // The checksum covers the enciphered bytes, so it is tested before deciphering.
    if (size < kHeaderBytes + kTrailerBytes + kChecksumBytes || Word(bytes, 4) != size ||
        Word(bytes, size - kChecksumBytes) != BlockChecksum(bytes.data(), size - kChecksumBytes) ||
        (size - 12) % 8 != 0)
        Invalid();

    DecipherBytes(bytes.data() + kHeaderBytes, size - kHeaderBytes - kChecksumBytes,
                  DeriveKey(static_cast<uint32_t>(unitSerial), static_cast<uint32_t>(micSerial)));

    const uint64_t points = Word(bytes, 8);
    if (28 + kBytesPerPoint * points != size)
        Invalid();
    const size_t trailer = 12 + kBytesPerPoint * static_cast<size_t>(points);
    if (Word(bytes, trailer) != static_cast<uint32_t>(unitSerial) ||
        Word(bytes, trailer + 4) != static_cast<uint32_t>(micSerial))
        Invalid();

    const int n = static_cast<int>(points);
    CCurve filled(n, AxisKind::Frequency, DataFormat::Cartesian);
    for (int i = 0; i < n; ++i) {
        const size_t at = 12 + 8 * static_cast<size_t>(i);
        filled.X()[i] = Real(bytes, at);
        filled.First()[i] = Real(bytes, at + 8 * points);
        filled.Second()[i] = Real(bytes, at + 16 * points);
    }
    filled.name = curve.name;
    CopyInto(filled, curve);
}

LoadedCalibration LoadCalibration(Secure& registry, const StatusSink& status, bool wantImage) {
    LoadedCalibration result;
    const bool selected = registry.ScanCalibrationFiles() && registry.SelectCalibrationFile();
    if (!selected || !registry.Reader() || !registry.SelectedMicSerial()) {
        if (status)
            status(kNotFoundText);
        return result;
    }
    const int32_t mic = *registry.SelectedMicSerial();
    const int32_t unit = registry.SelectedUnitSerial().value_or(0);
    if (status)
        status(std::wstring(kUsingFileFormat, std::wcslen(kUsingFileFormat) - 2) +
               registry.Reader()->Path().filename().wstring());
    auto curve = std::make_shared<CCurve>();
    std::vector<uint8_t> image;
    ReadCalibration(registry, unit, mic, *curve, result.version, wantImage ? &image : nullptr);
    result.curve = std::move(curve);
    result.micSerial = mic;
    if (wantImage)
        result.image = std::make_shared<std::vector<uint8_t>>(std::move(image));
    return result;
}

CalibrationFile ReadCalibrationFile(const std::filesystem::path& path, int32_t unitSerial) {
    const std::wstring name = path.filename().wstring();
    const auto mic = ParseCalibrationFileName(name);
    if (!mic || !EndsWith(name, kSuffix))
        throw tsl::wruntime_error(kNoFilesText);
    Secure registry(path.has_parent_path() ? path.parent_path() : std::filesystem::path("."),
                    nullptr);
    if (!registry.OpenCalibrationFile({unitSerial, *mic, name}))
        throw tsl::wruntime_error(kPreOpenFailedText);
    CalibrationFile file;
    file.curve = std::make_shared<CCurve>();
    file.micSerial = *mic;
    file.unitSerial = unitSerial;
    ReadCalibration(registry, unitSerial, *mic, *file.curve, file.version, &file.image);
    return file;
}

}  // namespace Security
