#pragma once
// An optional process-wide sink for the command traffic of every channel: one line per command
// sent ("usb> TEXT"), reply line received ("usb< TEXT") and control request ("usb ctl 0xNNNN").

#include <functional>
#include <string>

namespace CUsbController {

using UsbTraceSink = std::function<void(const std::string& line)>;

// Replaces the sink; an empty function turns tracing off.
void SetUsbTrace(UsbTraceSink sink);
bool UsbTraceEnabled();
void UsbTrace(const std::string& line);

}  // namespace CUsbController
