// The recorder of the running system: the endpoint audio interfaces from Windows Vista (NT 6)
// on, wave input before them.

#include <windows.h>

#include "measure/WinAudioRecorder.h"

namespace AudioSampler {

EnumeratorPtr CreateEnumerator() {
    OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof version;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    const bool known = ::GetVersionExW(&version) != 0;
#pragma GCC diagnostic pop
    if (known && version.dwPlatformId == VER_PLATFORM_WIN32_NT && version.dwMajorVersion > 5)
        return CreateEndpointEnumerator();
    return CreateWaveEnumerator();
}

}  // namespace AudioSampler
