#include "sim/SimState.h"

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "threading/Errors.h"
#include "threading/SafeFile.h"

namespace Sim {

namespace {
constexpr size_t kMaxFileBytes = 8u << 20;
constexpr size_t kMaxRegionBytes = 4096;

std::string ToHex(const std::vector<uint8_t>& bytes) {
    static const char* digits = "0123456789ABCDEF";
    std::string s;
    s.reserve(bytes.size() * 2);
    for (uint8_t b : bytes) {
        s.push_back(digits[b >> 4]);
        s.push_back(digits[b & 15]);
    }
    return s;
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

[[noreturn]] void Bad(const std::string& path, const std::string& why) {
    throw tsl::wruntime_error(tsl::FromUtf8("Invalid simulation state file " + path + ": " + why));
}
}  // namespace

SimState CaptureState(const SimFirmware& firmware) {
    SimState s;
    s.modelId = firmware.Options().modelId;
    s.mode = firmware.Mode();
    s.flash = firmware.Flash();
    return s;
}

void ApplyState(const SimState& state, SimFirmware& firmware) {
    firmware.SetMode(state.mode);
    for (const auto& [key, bytes] : state.flash)
        firmware.SetRegion(key.first, key.second, bytes);
}

std::optional<SimState> LoadState(const std::string& path) {
    std::error_code ec;
    if (!std::filesystem::exists(path, ec))
        return std::nullopt;
    auto size = std::filesystem::file_size(path, ec);
    if (ec || size > kMaxFileBytes)
        Bad(path, "unreadable or too large");
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    if (!in && !in.eof())
        Bad(path, "unreadable");
    nlohmann::json j;
    try {
        j = nlohmann::json::parse(text.str());
    } catch (const nlohmann::json::exception&) {
        Bad(path, "not JSON");
    }
    if (!j.is_object())
        Bad(path, "not an object");
    SimState s;
    try {
        auto model = j.at("model").get<int64_t>();
        if (model < 0 || model > 0xFFFF)
            Bad(path, "model out of range");
        s.modelId = static_cast<uint16_t>(model);
        auto mode = j.at("mode").get<std::string>();
        if (mode == "application")
            s.mode = SimMode::Application;
        else if (mode == "bootloader")
            s.mode = SimMode::BootLoader;
        else
            Bad(path, "unknown mode");
        for (const auto& r : j.value("flash", nlohmann::json::array())) {
            auto memory = r.at("memory").get<int64_t>();
            auto region = r.at("region").get<int64_t>();
            auto hex = r.at("bytes").get<std::string>();
            if (memory < 0 || memory > 1 || region < 0 || region > 1023 || hex.size() % 2 != 0 ||
                hex.size() / 2 > kMaxRegionBytes)
                Bad(path, "bad flash region");
            std::vector<uint8_t> bytes(hex.size() / 2);
            for (size_t i = 0; i < bytes.size(); ++i) {
                int hi = Nibble(hex[2 * i]), lo = Nibble(hex[2 * i + 1]);
                if (hi < 0 || lo < 0)
                    Bad(path, "bad flash bytes");
                bytes[i] = static_cast<uint8_t>(hi << 4 | lo);
            }
            s.flash[{static_cast<uint32_t>(memory), static_cast<uint32_t>(region)}] =
                std::move(bytes);
        }
    } catch (const nlohmann::json::exception&) {
        Bad(path, "missing or mistyped field");
    }
    return s;
}

void SaveState(const SimState& state, const std::string& path, Threading::FileCalls& calls) {
    nlohmann::json j;
    j["model"] = state.modelId;
    j["mode"] = state.mode == SimMode::BootLoader ? "bootloader" : "application";
    j["flash"] = nlohmann::json::array();
    for (const auto& [key, bytes] : state.flash)
        j["flash"].push_back(
            {{"memory", key.first}, {"region", key.second}, {"bytes", ToHex(bytes)}});
    try {
        Threading::SafeWriteFile(path, j.dump(1) + "\n", calls);
    } catch (const Threading::SaveError& e) {
        throw tsl::wruntime_error(L"Cannot write simulation state file " + tsl::FromUtf8(path) +
                                  L": " + e.Reason() + L".");
    }
}

StateFileLock::StateFileLock(const std::filesystem::path& stateFile) {
    // Beside the state: the state itself is replaced by each save.
    const std::filesystem::path path = stateFile.string() + ".lock";
    lock_ = std::make_unique<Threading::FileLock>(path);
    switch (lock_->State()) {
        case Threading::FileLock::Result::Locked:
            return;
        case Threading::FileLock::Result::Busy:
            throw tsl::wruntime_error(L"The simulation state '" + stateFile.wstring() +
                                      L"' is in use by another command; run this one when it "
                                      L"has ended");
        case Threading::FileLock::Result::Failed:
            break;
    }
    if (lock_->OpenFailed())
        throw tsl::wruntime_error(L"Cannot lock the simulation state: '" + path.wstring() +
                                  L"' could not be opened: " +
                                  Threading::SaveFailureReason(lock_->Error()));
    throw tsl::wruntime_error(L"Cannot lock the simulation state '" + path.wstring() + L"': " +
                              Threading::SaveFailureReason(lock_->Error()));
}

StateFileLock::~StateFileLock() = default;

}  // namespace Sim
