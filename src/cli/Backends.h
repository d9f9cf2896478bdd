#pragma once
// The platform devices a front-end runs against, chosen by its executable: the commands and the
// session see only these factories, never the libraries behind them.

#include <filesystem>
#include <functional>
#include <memory>
#include <vector>

#include "measure/AudioRec.h"
#include "sublink/Discovery.h"
#include "sublink/UsbIds.h"
#include "sublink/UsbTransport.h"

namespace Exporting {
struct PlotCurve;
struct PlotOptions;
}  // namespace Exporting

namespace cli {

struct Backends {
    // The real USB bus matching these ids.
    std::function<std::shared_ptr<CUsbController::IUsbBus>(std::vector<CUsbController::UsbId>)>
        usbBus;
    // The platform's driver check.
    std::function<CUsbController::DriverSupport()> driver;
    // The platform's recorders.
    AudioSampler::EnumeratorFactory recorders;
    // Paints the graph as a PNG picture; empty in a build without one.
    std::function<void(const std::vector<Exporting::PlotCurve>&, const Exporting::PlotOptions&,
                       const std::filesystem::path&)>
        png;
};

}  // namespace cli
