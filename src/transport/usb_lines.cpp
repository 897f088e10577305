// Placeholder until the USB line driver lands: the USB programmer never acts.
#include "transport/usb_lines.h"

namespace tvn {

UsbLines::UsbLines(FtAccess& ft, Host& host, const Selection& sel) : ft_(ft), host_(host), sel_(sel) {}
bool UsbLines::SetPgc(uint8_t) { return false; }
bool UsbLines::SetPgd(uint8_t) { return false; }
bool UsbLines::SetVpp(uint8_t) { return false; }
bool UsbLines::Tick() { return false; }
bool UsbLines::Delay(uint16_t) { return false; }
void UsbLines::PulsePgc() {}
int UsbLines::GetPgd() { return 0; }
uint8_t UsbLines::ReadIcspByte() { return 0; }
void UsbLines::QueueReadIcspByte() {}
void UsbLines::AppendPinState() {}
uint32_t UsbLines::FtFlush() { return 0; }
void UsbLines::SetVoltageSelect(bool) {}

}  // namespace tvn
