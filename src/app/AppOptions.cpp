#include "app/AppOptions.h"

#include <charconv>

AppOptions ParseAppArguments(const std::vector<std::string>& args) {
    AppOptions o;
    Env::Options& e = o.environment;
    for (size_t i = 0; i < args.size() && o.error.empty(); ++i) {
        const std::string& a = args[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= args.size()) {
                o.error = a + " needs a value";
                return {};
            }
            return args[++i];
        };
        if (a == "--help" || a == "-h") {
            o.help = true;
        } else if (a == "--trace") {
            e.trace = true;
        } else if (a == "--simulate") {
            e.simulate = true;
        } else if (a == "--sim-model") {
            const std::string v = value();
            int id = -1;
            auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), id);
            if (o.error.empty() &&
                (ec != std::errc() || end != v.data() + v.size() || id < 0 || id > 0xFFFF))
                o.error = "--sim-model must be a 16-bit model identifier";
            e.simModel = id;
            e.simulate = true;
        } else if (a == "--sim-room") {
            e.simRoom = value();
            e.simulate = true;
        } else if (a == "--sim-state") {
            e.simState = value();
            e.simulate = true;
        } else if (a == "--sim-fault") {
            e.simFaults.push_back(value());
            e.simulate = true;
        } else if (a == "--usb-id") {
            e.usbIds.push_back(value());
        } else if (a == "--brand") {
            const std::string v = value();
            if (v == "main")
                o.brand = Brand::Main;
            else if (v == "second")
                o.brand = Brand::Second;
            else if (o.error.empty())
                o.error = "--brand must be main or second";
        } else if (!a.empty() && a[0] == '-') {
            o.error = "Unknown option " + a;
        } else if (o.document.empty()) {
            o.document = a;
        } else {
            o.error = "Only one document can be opened";
        }
    }
    return o;
}
