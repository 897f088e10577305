// Placeholder until the FTDI access lands: no USB programmer is present.
#include "transport/ft_access.h"

namespace tvn {

FtAccess::FtAccess(D2xx& d2xx, Host& host, TickSource& ticks) : d2xx_(d2xx), host_(host), ticks_(ticks) {}
std::string FtAccess::ErrorText(const std::string&, FT_STATUS) { return {}; }
void FtAccess::FtErrorReport(const std::string&, FT_STATUS) {}
FT_STATUS FtAccess::GetFTDeviceCount() { return FT_OK; }
FT_STATUS FtAccess::GetFTDeviceDescription(int32_t) { return FT_OK; }
FT_STATUS FtAccess::Open_USB_Device_By_Device_Description(const std::string&) { return FT_DEVICE_NOT_FOUND; }
uint32_t FtAccess::FtRead(uint32_t) { return 0; }
uint32_t FtAccess::FtWrite(uint32_t) { return 0; }
FT_STATUS FtAccess::FtSetBaudRate() { return FT_OK; }
FT_STATUS FtAccess::FtPurgeRx() { return FT_OK; }
FT_STATUS FtAccess::FtSetTimeouts(uint32_t, uint32_t) { return FT_OK; }
FT_STATUS FtAccess::FtGetQueueStatus() { return FT_OK; }
FT_STATUS FtAccess::FtSetLatencyTimer(uint8_t) { return FT_OK; }
FT_STATUS FtAccess::FtSetBitMode(uint8_t, uint8_t) { return FT_OK; }
bool FtAccess::FindUsbProgrammer() { return false; }
bool FtAccess::OpenUsbProgrammerDevice(const std::string&) { return false; }
bool FtAccess::OpenUsbProgrammer() { return false; }

}  // namespace tvn
