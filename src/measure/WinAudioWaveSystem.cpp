// The system's wave-input and mixer functions behind the wave recorder's table.

#include "measure/WinAudioApi.h"

namespace AudioSampler {

const WaveApi& SystemWaveApi() {
    static const WaveApi api{
        &::waveInGetNumDevs,
        &::waveInGetDevCapsW,
        &::waveInOpen,
        &::waveInPrepareHeader,
        &::waveInAddBuffer,
        &::waveInStart,
        &::waveInStop,
        &::waveInReset,
        &::waveInUnprepareHeader,
        &::waveInClose,
        &::waveInGetErrorTextW,
        &::mixerGetID,
        &::mixerOpen,
        &::mixerGetLineInfoW,
        &::mixerGetLineControlsW,
        &::mixerSetControlDetails,
        &::mixerClose,
    };
    return api;
}

EnumeratorPtr CreateWaveEnumerator() {
    return CreateWaveEnumerator(SystemWaveApi());
}

}  // namespace AudioSampler
