#include "wizard/History.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <nlohmann/json.hpp>

#include "threading/Errors.h"
#include "threading/SafeFile.h"

namespace History {

namespace {

namespace fs = std::filesystem;
using Json = nlohmann::ordered_json;

constexpr char kFormat[] = "tessaline-history";
constexpr int kVersion = 1;
constexpr size_t kMaxTextBytes = 4096;  // dates, names, paths

// A structural fault of the file, with the reason shown to the user.
struct Damaged {
    std::string why;
};

std::string Hex8(uint32_t value) {
    char text[9];
    std::snprintf(text, sizeof text, "%08X", static_cast<unsigned>(value));
    return text;
}

std::string HexBytes(const std::vector<uint8_t>& bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(bytes.size() * 2);
    for (uint8_t b : bytes) {
        text.push_back(digits[b >> 4]);
        text.push_back(digits[b & 15]);
    }
    return text;
}

int Nibble(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

std::string Utf8(const fs::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

fs::path PathOfUtf8(const std::string& text) {
    return fs::path(std::u8string(text.begin(), text.end()));
}

std::wstring Wide(const fs::path& path) {
    return tsl::FromUtf8(Utf8(path));
}

// ---- reading, every field checked before it is used ----

const Json& Field(const Json& object, const char* name) {
    const auto it = object.find(name);
    if (it == object.end())
        throw Damaged{std::string("a record has no \"") + name + "\""};
    return *it;
}

std::string Text(const Json& object, const char* name) {
    const Json& value = Field(object, name);
    if (!value.is_string() || value.get_ref<const std::string&>().size() > kMaxTextBytes)
        throw Damaged{std::string("a record's \"") + name + "\" is not a text"};
    return value.get<std::string>();
}

double Number(const Json& value, const char* name) {
    if (!value.is_number())
        throw Damaged{std::string("a record's \"") + name + "\" is not a number"};
    return value.get<double>();
}

int64_t Integer(const Json& value, const char* name, int64_t lo, int64_t hi) {
    if (!value.is_number_integer() || value.get<int64_t>() < lo || value.get<int64_t>() > hi)
        throw Damaged{std::string("a record's \"") + name + "\" is out of range"};
    return value.get<int64_t>();
}

std::optional<double> OptionalNumber(const Json& object, const char* name) {
    const Json& value = Field(object, name);
    if (value.is_null())
        return std::nullopt;
    return Number(value, name);
}

uint32_t ParseChecksum(const std::string& text) {
    if (text.size() != 8 ||
        !std::all_of(text.begin(), text.end(), [](char c) { return Nibble(c) >= 0; }))
        throw Damaged{"a record's \"checksum\" is not 8 hexadecimal digits"};
    uint32_t value = 0;
    for (char c : text)
        value = value << 4 | static_cast<uint32_t>(Nibble(c));
    return value;
}

std::vector<uint8_t> ParseBlock(const Json& object) {
    const Json& value = Field(object, "block");
    if (!value.is_string())
        throw Damaged{"a record's \"block\" is not a text"};
    const std::string& text = value.get_ref<const std::string&>();
    if (text.size() % 2 != 0 || text.size() > 2 * kMaxBlockBytes)
        throw Damaged{"a record's \"block\" is not a block"};
    std::vector<uint8_t> bytes;
    bytes.reserve(text.size() / 2);
    for (size_t i = 0; i < text.size(); i += 2) {
        const int hi = Nibble(text[i]), lo = Nibble(text[i + 1]);
        if (hi < 0 || lo < 0)
            throw Damaged{"a record's \"block\" is not hexadecimal"};
        bytes.push_back(static_cast<uint8_t>(hi << 4 | lo));
    }
    return bytes;
}

EqResult ParseEq(const Json& value) {
    if (!value.is_object())
        throw Damaged{"a record's \"eq\" is not an equaliser"};
    EqResult eq;
    eq.gain = Number(Field(value, "gain"), "gain");
    eq.valid = static_cast<int32_t>(Integer(Field(value, "valid"), "valid", INT32_MIN, INT32_MAX));
    const Json& bands = Field(value, "bands");
    if (!bands.is_array() || bands.size() > 64)
        throw Damaged{"a record's \"bands\" is not a list of bands"};
    for (const Json& b : bands) {
        if (!b.is_object())
            throw Damaged{"a record's band is not an object"};
        EqBand band;
        band.kind = static_cast<int32_t>(Integer(Field(b, "kind"), "kind", INT32_MIN, INT32_MAX));
        band.c0 = Number(Field(b, "c0"), "c0");
        band.c1 = Number(Field(b, "c1"), "c1");
        band.c2 = Number(Field(b, "c2"), "c2");
        band.c3 = Number(Field(b, "c3"), "c3");
        band.c4 = Number(Field(b, "c4"), "c4");
        band.shift =
            static_cast<int32_t>(Integer(Field(b, "shift"), "shift", INT32_MIN, INT32_MAX));
        eq.bands.push_back(band);
    }
    return eq;
}

Record ParseRecord(const Json& j) {
    if (!j.is_object())
        throw Damaged{"a record is not an object"};
    Record r;
    r.date = Text(j, "date");
    r.kind = Text(j, "kind");
    if (r.kind != kUpload && r.kind != kErase && r.kind != kFound && r.kind != kRestore)
        throw Damaged{"a record's kind \"" + r.kind + "\" is unknown"};
    r.modelId = static_cast<uint16_t>(Integer(Field(j, "model"), "model", 0, 0xFFFF));
    r.modelName = Text(j, "model_name");
    r.firmware = Text(j, "firmware");
    const Json& document = Field(j, "document");
    if (!document.is_null()) {
        if (!document.is_object())
            throw Damaged{"a record's \"document\" is not an object"};
        r.documentPath = PathOfUtf8(Text(document, "path"));
    }
    if (const Json& eq = Field(j, "eq"); !eq.is_null())
        r.eq = ParseEq(eq);
    r.checksum = ParseChecksum(Text(j, "checksum"));
    r.block = ParseBlock(j);
    if (const Json& fit = Field(j, "fit"); !fit.is_null()) {
        if (!fit.is_object())
            throw Damaged{"a record's \"fit\" is not an object"};
        FitFigures f;
        f.rmsDb = OptionalNumber(fit, "rms_db");
        f.maxDb = OptionalNumber(fit, "max_db");
        f.lowerHz = Number(Field(fit, "lower_hz"), "lower_hz");
        f.upperHz = Number(Field(fit, "upper_hz"), "upper_hz");
        f.method = Text(fit, "method");
        r.fit = f;
    }
    if (r.kind == kRestore)
        r.restoredFrom = static_cast<int>(Integer(Field(j, "restored_from"), "restored_from", 1,
                                                  static_cast<int64_t>(kMaxRecords)));
    return r;
}

// ---- writing ----

Json EqJson(const EqResult& eq) {
    Json bands = Json::array();
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

Json OrNull(const std::optional<double>& value) {
    return value ? Json(*value) : Json();
}

Json DocumentJson(const Record& r) {
    if (r.documentPath.empty())
        return Json();
    return {{"path", Utf8(r.documentPath)}, {"name", Utf8(r.documentPath.filename())}};
}

Json ToObject(const Record& r) {
    Json j{{"date", r.date},
           {"kind", r.kind},
           {"model", r.modelId},
           {"model_name", r.modelName},
           {"firmware", r.firmware},
           {"document", DocumentJson(r)},
           {"eq", r.eq ? EqJson(*r.eq) : Json()},
           {"checksum", Hex8(r.checksum)},
           {"block", HexBytes(r.block)}};
    if (r.fit)
        j["fit"] = {{"rms_db", OrNull(r.fit->rmsDb)},
                    {"max_db", OrNull(r.fit->maxDb)},
                    {"lower_hz", r.fit->lowerHz},
                    {"upper_hz", r.fit->upperHz},
                    {"method", r.fit->method}};
    else
        j["fit"] = nullptr;
    if (r.kind == kRestore)
        j["restored_from"] = r.restoredFrom;
    return j;
}

// ---- the file ----

// The file's bytes, at most kMaxFileBytes of them; false with why when it is larger. Raises when
// it cannot be read at all.
bool ReadBounded(const fs::path& path, std::string& text, std::string& why) {
    std::error_code ec;
    const auto size = fs::file_size(path, ec);
    if (ec)
        throw tsl::wruntime_error(L"The history file \"" + Wide(path) + L"\" could not be read: " +
                                  tsl::FromUtf8(ec.message()) + L".");
    if (size > kMaxFileBytes) {
        why = "it is larger than " + std::to_string(kMaxFileBytes >> 20) + " MiB";
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw tsl::wruntime_error(L"The history file \"" + Wide(path) + L"\" could not be opened.");
    text.resize(static_cast<size_t>(size));
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<size_t>(in.gcount()));
    if (in.peek() != std::char_traits<char>::eof()) {
        why = "it grew while it was read";
        return false;
    }
    return true;
}

// Beside path: NAME.damaged-DATE[-N].json, never an existing file.
fs::path AsidePath(const fs::path& path) {
    std::string stamp = Now();
    std::erase(stamp, '-');
    std::erase(stamp, ':');
    const fs::path folder = path.parent_path();
    const std::string stem = path.stem().string() + ".damaged-" + stamp;
    for (int n = 1;; ++n) {
        fs::path candidate =
            folder / (stem + (n == 1 ? std::string() : "-" + std::to_string(n)) + ".json");
        std::error_code ec;
        if (!fs::exists(candidate, ec) || n > 1000)
            return candidate;
    }
}

}  // namespace

bool Book::Knows(uint16_t modelId, uint32_t checksum) const {
    return std::any_of(records.begin(), records.end(), [&](const Record& r) {
        return r.modelId == modelId && r.checksum == checksum;
    });
}

fs::path FilePath(const fs::path& folder, uint16_t modelId, const std::string& serial) {
    if (serial.empty())
        return folder / ("model-" + std::to_string(modelId) + ".json");
    std::string safe;
    for (char c : serial)
        safe.push_back(std::isalnum(static_cast<unsigned char>(c)) ? c : '_');
    return folder / ("serial-" + safe + ".json");
}

std::string ChecksumText(uint32_t checksum) {
    return Hex8(checksum);
}

std::string Now() {
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
#ifdef _WIN32
    gmtime_s(&utc, &now);
#else
    gmtime_r(&now, &utc);
#endif
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

std::string RecordJson(const Record& record) {
    return ToObject(record).dump(-1, ' ', false, Json::error_handler_t::replace);
}

std::string ToJson(const Book& book) {
    Json records = Json::array();
    for (const Record& r : book.records)
        records.push_back(ToObject(r));
    Json j{{"format", kFormat}, {"version", kVersion}, {"records", records}};
    return j.dump(1, ' ', false, Json::error_handler_t::replace) + "\n";
}

Book FromJson(const std::string& text) {
    const Json j = Json::parse(text, nullptr, false);
    try {
        if (j.is_discarded())
            throw Damaged{"it is not complete JSON"};
        const auto format = j.is_object() ? j.find("format") : j.end();
        if (format == j.end() || *format != kFormat)
            throw Damaged{"it is not a history file"};
        if (Field(j, "version") != kVersion)
            throw Damaged{"its version is not " + std::to_string(kVersion)};
        const Json& records = Field(j, "records");
        if (!records.is_array() || records.size() > kMaxRecords)
            throw Damaged{"its records are not a list"};
        Book book;
        for (const Json& r : records)
            book.records.push_back(ParseRecord(r));
        return book;
    } catch (const Damaged& d) {
        throw tsl::wruntime_error(tsl::FromUtf8(d.why));
    }
}

std::string ListJson(const Book& book) {
    Json list = Json::array();
    for (size_t i = 0; i < book.records.size(); ++i) {
        const Record& r = book.records[i];
        list.push_back(
            {{"n", i + 1},
             {"date", r.date},
             {"model", r.modelId},
             {"kind", r.kind},
             {"checksum", Hex8(r.checksum)},
             {"document", DocumentJson(r).is_null() ? Json() : DocumentJson(r)["path"]}});
    }
    return list.dump(-1, ' ', false, Json::error_handler_t::replace);
}

Book Load(const fs::path& path) {
    std::error_code ec;
    if (!fs::exists(path, ec)) {
        if (ec)
            throw tsl::wruntime_error(L"The history file \"" + Wide(path) +
                                      L"\" could not be read: " + tsl::FromUtf8(ec.message()) +
                                      L".");
        return {};
    }
    std::string text, why;
    if (ReadBounded(path, text, why)) {
        try {
            return FromJson(text);
        } catch (const tsl::wruntime_error& e) {
            why = e.what();
        }
    }
    const fs::path aside = AsidePath(path);
    fs::rename(path, aside, ec);
    if (ec)
        throw tsl::wruntime_error(L"The history file \"" + Wide(path) + L"\" is damaged (" +
                                  tsl::FromUtf8(why) + L") and could not be moved aside: " +
                                  tsl::FromUtf8(ec.message()) + L".");
    Threading::SafeWriteFile(path, ToJson(Book{}));
    Book book;
    book.notice = L"The history file \"" + Wide(path) + L"\" was damaged (" + tsl::FromUtf8(why) +
                  L"); it was kept as \"" + Wide(aside) + L"\" and a new history was started.";
    return book;
}

std::wstring Append(const fs::path& path, const std::vector<Record>& records) {
    std::error_code ec;
    fs::create_directories(path.parent_path(), ec);
    Book book = Load(path);
    if (book.records.size() + records.size() > kMaxRecords)
        throw tsl::wruntime_error(L"The history file \"" + Wide(path) +
                                  L"\" is full; move it aside to start a new one.");
    book.records.insert(book.records.end(), records.begin(), records.end());
    const std::string text = ToJson(book);
    if (text.size() > kMaxFileBytes)
        throw tsl::wruntime_error(L"The history file \"" + Wide(path) +
                                  L"\" is full; move it aside to start a new one.");
    Threading::SafeWriteFile(path, text);
    return book.notice;
}

}  // namespace History
