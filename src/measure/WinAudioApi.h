#pragma once
// The system side of the Windows recorders, as small interfaces (endpoint audio) and a table
// (wave input and mixer), so that the recorders' logic runs against fakes in tests.

#include <windows.h>
//
#include <mmreg.h>
#include <mmsystem.h>

#include <memory>
#include <string>
#include <vector>

#include "measure/AudioRec.h"

namespace AudioSampler {

// One endpoint: its audio client (exclusive, event driven), capture client and endpoint volume.
// Each operation is the one call of the same name.
class EndpointStream {
public:
    virtual ~EndpointStream() = default;
    // AUDCLNT_SHAREMODE_EXCLUSIVE with AUDCLNT_STREAMFLAGS_EVENTCALLBACK.
    virtual HRESULT Initialize(const WAVEFORMATEX* format, LONGLONG duration,
                               LONGLONG periodicity) = 0;
    virtual HRESULT GetBufferSize(UINT32& frames) = 0;
    virtual HRESULT SetEventHandle(HANDLE event) = 0;
    virtual HRESULT Start() = 0;
    virtual HRESULT Stop() = 0;
    virtual HRESULT GetNextPacketSize(UINT32& frames) = 0;
    virtual HRESULT GetBuffer(BYTE*& data, UINT32& frames, DWORD& flags) = 0;
    virtual HRESULT ReleaseBuffer(UINT32 frames) = 0;
    virtual HRESULT SetMasterVolumeLevel(float decibels) = 0;
    virtual HRESULT SetMasterVolumeLevelScalar(float level) = 0;
    virtual HRESULT SetMute(BOOL mute) = 0;
    // WaitForSingleObject on the event: WAIT_OBJECT_0 or WAIT_TIMEOUT.
    virtual DWORD Wait(HANDLE event, DWORD milliseconds) = 0;
    // Called on the capture thread before and after its calls (COM's apartment).
    virtual void EnterThread() {}
    virtual void LeaveThread() {}
};

class EndpointSystem {
public:
    virtual ~EndpointSystem() = default;
    // EnumAudioEndpoints(eCapture, DEVICE_STATE_ACTIVE) on the device enumerator; the friendly
    // names in the collection's order.
    virtual HRESULT Enumerate(std::vector<std::wstring>& names) = 0;
    enum class Step { Item, AudioClient, EndpointVolume };
    // The collection's Item, then Activate for the audio client and the endpoint volume; on
    // failure `failed` says which.
    virtual HRESULT Open(UINT index, std::unique_ptr<EndpointStream>& stream, Step& failed) = 0;
    // FormatMessageW's text of a code; empty when the system has none.
    virtual std::wstring SystemText(HRESULT code) = 0;
};

std::shared_ptr<EndpointSystem> SystemEndpoints();
EnumeratorPtr CreateEndpointEnumerator(std::shared_ptr<EndpointSystem> system);

// Samples per wave-input buffer.
inline constexpr DWORD kWaveBufferSamples = 4096;

struct WaveApi {
    decltype(&::waveInGetNumDevs) getNumDevs;
    decltype(&::waveInGetDevCapsW) getDevCaps;
    decltype(&::waveInOpen) open;
    decltype(&::waveInPrepareHeader) prepareHeader;
    decltype(&::waveInAddBuffer) addBuffer;
    decltype(&::waveInStart) start;
    decltype(&::waveInStop) stop;
    decltype(&::waveInReset) reset;
    decltype(&::waveInUnprepareHeader) unprepareHeader;
    decltype(&::waveInClose) close;
    decltype(&::waveInGetErrorTextW) getErrorText;
    decltype(&::mixerGetID) mixerGetID;
    decltype(&::mixerOpen) mixerOpen;
    decltype(&::mixerGetLineInfoW) mixerGetLineInfo;
    decltype(&::mixerGetLineControlsW) mixerGetLineControls;
    decltype(&::mixerSetControlDetails) mixerSetControlDetails;
    decltype(&::mixerClose) mixerClose;
};

const WaveApi& SystemWaveApi();
EnumeratorPtr CreateWaveEnumerator(const WaveApi& api);

}  // namespace AudioSampler
