// The endpoint audio interfaces behind EndpointSystem and EndpointStream: the device enumerator,
// the capture endpoints' collection, and per endpoint its audio client, capture client and
// endpoint volume. COM runs in the multithreaded apartment.

#include <windows.h>
//
#include <audioclient.h>
#include <endpointvolume.h>
#include <mmdeviceapi.h>
// The property key is defined here, not taken from a library.
#include <initguid.h>
//
#include <functiondiscoverykeys_devpkey.h>

#include "measure/WinAudioApi.h"

namespace AudioSampler {

namespace {

template <class T>
void Release(T*& p) {
    if (p)
        p->Release();
    p = nullptr;
}

class ComApartment {
public:
    ComApartment() : hr_(::CoInitializeEx(nullptr, COINIT_MULTITHREADED)) {}
    ~ComApartment() {
        if (SUCCEEDED(hr_))
            ::CoUninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

private:
    HRESULT hr_;
};

std::wstring FormatText(HRESULT code) {
    wchar_t buffer[512] = {};
    const DWORD n =
        ::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                         static_cast<DWORD>(code), MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                         buffer, static_cast<DWORD>(std::size(buffer)), nullptr);
    return std::wstring(buffer, n < std::size(buffer) ? n : 0);
}

class ComStream final : public EndpointStream {
public:
    ComStream(IMMDevice* device, IAudioClient* client, IAudioEndpointVolume* volume)
        : device_(device), client_(client), volume_(volume) {}
    ~ComStream() override {
        Release(capture_);
        Release(volume_);
        Release(client_);
        Release(device_);
    }
    ComStream(const ComStream&) = delete;
    ComStream& operator=(const ComStream&) = delete;

    HRESULT Initialize(const WAVEFORMATEX* format, LONGLONG duration,
                       LONGLONG periodicity) override {
        HRESULT hr =
            client_->Initialize(AUDCLNT_SHAREMODE_EXCLUSIVE, AUDCLNT_STREAMFLAGS_EVENTCALLBACK,
                                duration, periodicity, format, nullptr);
        if (SUCCEEDED(hr))
            hr = client_->GetService(__uuidof(IAudioCaptureClient),
                                     reinterpret_cast<void**>(&capture_));
        return hr;
    }
    HRESULT GetBufferSize(UINT32& frames) override { return client_->GetBufferSize(&frames); }
    HRESULT SetEventHandle(HANDLE event) override { return client_->SetEventHandle(event); }
    HRESULT Start() override { return client_->Start(); }
    HRESULT Stop() override { return client_->Stop(); }
    HRESULT GetNextPacketSize(UINT32& frames) override {
        return capture_ ? capture_->GetNextPacketSize(&frames) : AUDCLNT_E_NOT_INITIALIZED;
    }
    HRESULT GetBuffer(BYTE*& data, UINT32& frames, DWORD& flags) override {
        return capture_->GetBuffer(&data, &frames, &flags, nullptr, nullptr);
    }
    HRESULT ReleaseBuffer(UINT32 frames) override { return capture_->ReleaseBuffer(frames); }
    HRESULT SetMasterVolumeLevel(float decibels) override {
        return volume_->SetMasterVolumeLevel(decibels, nullptr);
    }
    HRESULT SetMasterVolumeLevelScalar(float level) override {
        return volume_->SetMasterVolumeLevelScalar(level, nullptr);
    }
    HRESULT SetMute(BOOL mute) override { return volume_->SetMute(mute, nullptr); }
    DWORD Wait(HANDLE event, DWORD milliseconds) override {
        return ::WaitForSingleObject(event, milliseconds);
    }
    void EnterThread() override { apartment_ = std::make_unique<ComApartment>(); }
    void LeaveThread() override { apartment_.reset(); }

private:
    IMMDevice* device_;
    IAudioClient* client_;
    IAudioEndpointVolume* volume_;
    IAudioCaptureClient* capture_ = nullptr;
    std::unique_ptr<ComApartment> apartment_;
};

class ComEndpoints final : public EndpointSystem {
public:
    ~ComEndpoints() override {
        Release(collection_);
        Release(enumerator_);
    }

    HRESULT Enumerate(std::vector<std::wstring>& names) override {
        names.clear();
        Release(collection_);
        HRESULT hr = S_OK;
        if (!enumerator_)
            hr = ::CoCreateInstance(__uuidof(MMDeviceEnumerator), nullptr, CLSCTX_ALL,
                                    __uuidof(IMMDeviceEnumerator),
                                    reinterpret_cast<void**>(&enumerator_));
        if (FAILED(hr))
            return hr;
        hr = enumerator_->EnumAudioEndpoints(eCapture, DEVICE_STATE_ACTIVE, &collection_);
        if (FAILED(hr))
            return hr;
        UINT count = 0;
        hr = collection_->GetCount(&count);
        for (UINT i = 0; SUCCEEDED(hr) && i < count; ++i)
            names.push_back(FriendlyName(i));
        return hr;
    }

    HRESULT Open(UINT index, std::unique_ptr<EndpointStream>& stream, Step& failed) override {
        failed = Step::Item;
        IMMDevice* device = nullptr;
        HRESULT hr = collection_ ? collection_->Item(index, &device) : E_POINTER;
        if (FAILED(hr))
            return hr;
        failed = Step::AudioClient;
        IAudioClient* client = nullptr;
        hr = device->Activate(__uuidof(IAudioClient), CLSCTX_ALL, nullptr,
                              reinterpret_cast<void**>(&client));
        if (FAILED(hr)) {
            Release(device);
            return hr;
        }
        failed = Step::EndpointVolume;
        IAudioEndpointVolume* volume = nullptr;
        hr = device->Activate(__uuidof(IAudioEndpointVolume), CLSCTX_ALL, nullptr,
                              reinterpret_cast<void**>(&volume));
        if (FAILED(hr)) {
            Release(client);
            Release(device);
            return hr;
        }
        stream = std::make_unique<ComStream>(device, client, volume);
        return S_OK;
    }

    std::wstring SystemText(HRESULT code) override { return FormatText(code); }

private:
    std::wstring FriendlyName(UINT index) {
        IMMDevice* device = nullptr;
        IPropertyStore* store = nullptr;
        std::wstring name;
        if (SUCCEEDED(collection_->Item(index, &device)) &&
            SUCCEEDED(device->OpenPropertyStore(STGM_READ, &store))) {
            PROPVARIANT value;
            ::PropVariantInit(&value);
            if (SUCCEEDED(store->GetValue(PKEY_Device_FriendlyName, &value)) &&
                value.vt == VT_LPWSTR && value.pwszVal)
                name = value.pwszVal;
            ::PropVariantClear(&value);
        }
        Release(store);
        Release(device);
        return name;
    }

    ComApartment apartment_;
    IMMDeviceEnumerator* enumerator_ = nullptr;
    IMMDeviceCollection* collection_ = nullptr;
};

}  // namespace

std::shared_ptr<EndpointSystem> SystemEndpoints() {
    return std::make_shared<ComEndpoints>();
}

EnumeratorPtr CreateEndpointEnumerator() {
    return CreateEndpointEnumerator(SystemEndpoints());
}

}  // namespace AudioSampler
