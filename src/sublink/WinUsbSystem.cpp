// The system's functions behind the WinUSB transport's table.

#include "sublink/WinUsbApi.h"

namespace CUsbController {

const WinUsbApi& SystemWinUsbApi() {
    static const WinUsbApi api{
        &::SetupDiGetClassDevsW,
        &::SetupDiEnumDeviceInterfaces,
        &::SetupDiGetDeviceInterfaceDetailW,
        &::SetupDiDestroyDeviceInfoList,
        &::CreateFileW,
        &::CloseHandle,
        &::WinUsb_Initialize,
        &::WinUsb_Free,
        &::WinUsb_QueryInterfaceSettings,
        &::WinUsb_QueryPipe,
        &::WinUsb_SetPipePolicy,
        &::WinUsb_ControlTransfer,
        &::WinUsb_GetDescriptor,
        &::WinUsb_WritePipe,
        &::WinUsb_ReadPipe,
        &::WinUsb_AbortPipe,
        &::GetLastError,
        &::FormatMessageW,
    };
    return api;
}

}  // namespace CUsbController
