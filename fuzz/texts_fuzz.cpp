// The small text inputs of the command line and the simulation, chosen by the first byte:
// the --sim-room JSON (an accepted room must answer finite values), the --sim-state file (loaded
// and applied to a simulated device), the device's firmware version text, --usb-id and
// TESSALINE_USB_IDS, and --sim-fault lines (parsed faults then drive a simulated device).
#include <unistd.h>
#include <cmath>
#include <filesystem>
#include <fstream>

#include "FuzzTarget.h"
#include "sim/SimFaults.h"
#include "sim/SimFirmware.h"
#include "sim/SimRoom.h"
#include "sim/SimState.h"
#include "sublink/BaseConfig.h"
#include "sublink/ModelVersion.h"
#include "sublink/UsbIds.h"
#include "threading/Errors.h"

namespace {

void Room(const std::string& text) {
    Sim::SimRoomDescription description;
    try {
        description = Sim::ParseRoom(text);
    } catch (const tsl::wruntime_error&) {
        return;
    }
    const Sim::SimRoom room(description);
    FUZZ_CHECK(std::isfinite(room.LevelGain()) && std::isfinite(room.NoiseRms()));
    for (int position : {0, 1, 7, 1000})
        for (double f : {5.0, 20.0, 63.0, 250.0, 24000.0}) {
            const auto r = room.Response(position, f) * room.Subwoofer(f);
            FUZZ_CHECK(std::isfinite(r.real()) && std::isfinite(r.imag()));
        }
}

// Drives a simulated device with a few commands and drains what it answers.
void RunFirmware(Sim::SimFirmware& firmware, fuzzing::Input& input) {
    static const char* const kCommands[] = {"",  "V2", "V0",  "G0", "G3", "m",  "M",
                                            "b", "B",  "h1E", "t0", "S0", "I0", "R"};
    std::vector<uint8_t> packet;
    for (int i = 0; i < 8 && !input.Empty(); ++i) {
        const std::string command =
            std::string(kCommands[input.Byte() % std::size(kCommands)]) + ";";
        firmware.Receive(reinterpret_cast<const uint8_t*>(command.data()), command.size());
        for (int n = 0; n < 64 && firmware.NextPacket(packet); ++n)
            FUZZ_CHECK(packet.size() <= 8);
    }
}

void State(const std::string& text, fuzzing::Input& input) {
    static const std::string path = (std::filesystem::temp_directory_path() /
                                     ("tessaline-fuzz-state-" + std::to_string(getpid())))
                                        .string();
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
    }
    std::optional<Sim::SimState> state;
    try {
        state = Sim::LoadState(path);
    } catch (const tsl::wruntime_error&) {
    }
    std::filesystem::remove(path);
    if (!state)
        return;
    Sim::SimFirmware firmware;
    Sim::ApplyState(*state, firmware);
    RunFirmware(firmware, input);
}

void Version(fuzzing::Input& input) {
    const auto models = CUsbController::RegisteredModels();
    const uint8_t choice = input.Byte();
    const CUsbController::BaseConfig* model = choice < models.size() ? models[choice] : nullptr;
    std::wstring text;
    for (unsigned char c : input.Rest())
        text.push_back(static_cast<wchar_t>(c));
    CUsbController::ModelVersion version;
    if (CUsbController::ParseFirmwareVersion(text, model, version))
        CUsbController::FormatVersion(version);
}

void UsbIds(const std::string& text) {
    if (const auto id = CUsbController::ParseUsbId(text))
        FUZZ_CHECK(text.find(':') != std::string::npos);
    std::vector<CUsbController::UsbId> ids;
    CUsbController::ParseUsbIdList(text, ids);
    FUZZ_CHECK(ids.size() <= text.size());
}

void Faults(fuzzing::Input& input) {
    Sim::SimOptions options;
    for (int i = 0; i < 4 && !input.Empty(); ++i) {
        const std::string line = input.Text(input.Byte() % 32);
        Sim::CommandName(line);
        if (const auto fault = Sim::ParseFault(line))
            options.faults.push_back(*fault);
    }
    Sim::SimFirmware firmware(options);
    RunFirmware(firmware, input);
}

}  // namespace

TESSALINE_FUZZ_TARGET(texts) {
    fuzzing::Input input(data, size);
    switch (input.Byte() % 5) {
        case 0:
            Room(input.Rest());
            break;
        case 1: {
            const std::string text = input.Text(input.Value<uint16_t>());
            State(text, input);
            break;
        }
        case 2:
            Version(input);
            break;
        case 3:
            UsbIds(input.Rest());
            break;
        default:
            Faults(input);
            break;
    }
    return 0;
}
