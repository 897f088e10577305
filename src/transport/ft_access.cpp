#include "transport/ft_access.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace tvn {

namespace {

// Suffixes of the error box by status 1..17. 8 and 9 have no dash, 17 a blank
// before its dots: operators know these texts, keep them as they are.
constexpr std::array<const char*, 18> kStatusSuffix = {
    "",
    " - Invalid handle...",
    " - Device not found...",
    " - Device not opened...",
    " - General IO error...",
    " - Insufficient resources...",
    " - Invalid parameter...",
    " - Invalid baud rate...",
    " Device not opened for erase...",
    " Device not opened for write...",
    " - Failed to write...",
    " - EEPROM read failed...",
    " - EEPROM write failed...",
    " - EEPROM erase failed...",
    " - EEPROM not present...",
    " - EEPROM not programmed...",
    " - Invalid arguments...",
    " - Other error ...",
};

}  // namespace

FtAccess::FtAccess(D2xx& d2xx, Host& host, TickSource& ticks) : d2xx_(d2xx), host_(host), ticks_(ticks) {}

std::string FtAccess::ErrorText(const std::string& operation, FT_STATUS status) {
  if (status == FT_OK || status >= kStatusSuffix.size()) return {};
  return operation + kStatusSuffix[status];
}

void FtAccess::FtErrorReport(const std::string& operation, FT_STATUS status) {
  if (status == FT_OK) return;
  host_.MessageBox(ErrorText(operation, status), BoxKind::Error);
}

FT_STATUS FtAccess::GetFTDeviceCount() {
  int32_t count = 0;
  FT_STATUS st = d2xx_.ListDeviceCount(&count);
  if (st == FT_OK) ftDeviceCount = count;
  FtErrorReport("GetFTDeviceCount", st);
  return st;
}

FT_STATUS FtAccess::GetFTDeviceDescription(int32_t index) {
  // One byte more than the library's 64, always NUL, so a description that fills
  // the whole buffer can never be read past its end.
  char buf[65] = {};
  FT_STATUS st = d2xx_.ListDeviceDescription(index, buf);
  if (st == FT_OK) ftDescription.assign(buf, strnlen(buf, 64));
  FtErrorReport("GetFTDeviceDescription", st);
  return st;
}

FT_STATUS FtAccess::Open_USB_Device_By_Device_Description(const std::string& description) {
  char name[kOpenNameMax + 1] = {};
  size_t len = std::min(strnlen(description.c_str(), description.size()), kOpenNameMax);
  std::memcpy(name, description.data(), len);
  name[len] = 0;
  openName.assign(name, len);
  FT_STATUS st = d2xx_.OpenByDescription(name, &ftHandle);
  FtErrorReport("Open_USB_Device_By_Device_Description", st);
  return st;
}

uint32_t FtAccess::FtRead(uint32_t count) {
  uint32_t received = 0;
  count = std::min(count, kBufferSize);
  lastReadStatus = d2xx_.Read(ftHandle, ftInBuff.data(), count, &received);
  FtErrorReport("FT_Read", lastReadStatus);
  return std::min(received, count);
}

uint32_t FtAccess::FtWrite(uint32_t count) {
  uint32_t written = 0;
  count = std::min(count, kBufferSize);
  static const uint8_t kNothing[1] = {0};
  // Without an output buffer there is nothing to send: ask for 0 bytes.
  const uint8_t* src = outBuff_ ? outBuff_ : kNothing;
  if (!outBuff_) count = 0;
  lastWriteStatus = d2xx_.Write(ftHandle, src, count, &written);
  FtErrorReport("FT_Write", lastWriteStatus);
  return std::min(written, count);
}

FT_STATUS FtAccess::FtSetBaudRate() {
  FT_STATUS st = d2xx_.SetBaudRate(ftHandle, baudValue);
  FtErrorReport("FT_SetBaudRate", st);
  return st;
}

FT_STATUS FtAccess::FtPurgeRx() {
  FT_STATUS st = d2xx_.Purge(ftHandle, FT_PURGE_RX);
  FtErrorReport("FT_Purge RX", st);
  return st;
}

FT_STATUS FtAccess::FtSetTimeouts(uint32_t readMs, uint32_t writeMs) {
  FT_STATUS st = d2xx_.SetTimeouts(ftHandle, readMs, writeMs);
  FtErrorReport("FT_SetTimeouts", st);
  return st;
}

FT_STATUS FtAccess::FtGetQueueStatus() {
  uint32_t q = 0;
  FT_STATUS st = d2xx_.GetQueueStatus(ftHandle, &q);
  if (st == FT_OK) ftQBytes = q;
  FtErrorReport("FT_GetQueueStatus", st);
  return st;
}

FT_STATUS FtAccess::FtSetLatencyTimer(uint8_t ms) {
  FT_STATUS st = d2xx_.SetLatencyTimer(ftHandle, ms);
  FtErrorReport("FT_SetLatencyTimer ", st);
  return st;
}

FT_STATUS FtAccess::FtSetBitMode(uint8_t mask, uint8_t mode) {
  FT_STATUS st = d2xx_.SetBitMode(ftHandle, mask, mode);
  FtErrorReport("FT_SetBitMode ", st);
  return st;
}

bool FtAccess::FindUsbProgrammer() {
  if (GetFTDeviceCount() != FT_OK) return false;
  for (int32_t i = 0; i < ftDeviceCount; ++i) {
    // A device whose description cannot be read has had its box; try the next.
    if (GetFTDeviceDescription(i) == FT_OK && ftDescription == kUsbProgrammerName) return true;
  }
  return false;
}

bool FtAccess::OpenUsbProgrammerDevice(const std::string& description) {
  ftOpened = false;
  if (Open_USB_Device_By_Device_Description(description) != FT_OK) return false;
  // The first queue-status request proves the handle answers.
  if (FtGetQueueStatus() != FT_OK) return false;
  ftOpened = true;
  return true;
}

bool FtAccess::OpenUsbProgrammer() {
  if (ftOpened) return true;
  if (!FindUsbProgrammer()) return false;
  if (!OpenUsbProgrammerDevice(kUsbProgrammerName)) return false;

  // PGD sense (line 3) is the only input; mode 4 is synchronous bit-bang. A
  // failing set-up call has shown its box; the open still counts.
  FtSetBitMode(0xF7, FT_BITMODE_SYNC_BITBANG);
  FtSetLatencyTimer(1);
  FtSetTimeouts(kTimeoutMs, kTimeoutMs);
  baudValue = kBaud;
  FtSetBaudRate();

  // The queue-status request is the clock of every USB wait: count how many fit
  // in 100 ms of the system tick. Unsigned difference, so a tick count that
  // wraps during the measurement still ends it after 100 ms.
  uint32_t t0 = ticks_.GetTickCount();
  uint32_t counter = 0;
  for (;;) {
    FtGetQueueStatus();
    if (ticks_.GetTickCount() - t0 >= kPollMeasureMs) break;
    ++counter;
  }
  ftPollsPer100Ms = counter;
  ftPollsPerMs = counter / 100;
  return true;
}

}  // namespace tvn
