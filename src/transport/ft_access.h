// The USB programmer Nimbrella behind the D2XX-shaped layer: transfer buffers,
// one device handle, one wrapper per call with a uniform error box, and the
// sequence that finds, opens, configures and times the programmer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/host.h"
#include "transport/d2xx.h"
#include "transport/tick_source.h"

namespace tvn {

constexpr const char* kUsbProgrammerName = "Nimbrella";

class FtAccess {
 public:
  FtAccess(D2xx& d2xx, Host& host, TickSource& ticks);

  // The text of the error box for a failing call; empty for statuses above 17.
  static std::string ErrorText(const std::string& operation, FT_STATUS status);
  void FtErrorReport(const std::string& operation, FT_STATUS status);

  FT_STATUS GetFTDeviceCount();
  FT_STATUS GetFTDeviceDescription(int32_t index);
  FT_STATUS Open_USB_Device_By_Device_Description(const std::string& description);
  uint32_t FtRead(uint32_t count);   // bytes received into FtInBuff
  uint32_t FtWrite(uint32_t count);  // bytes written from the given buffer
  FT_STATUS FtSetBaudRate();
  FT_STATUS FtPurgeRx();
  FT_STATUS FtSetTimeouts(uint32_t readMs, uint32_t writeMs);
  FT_STATUS FtGetQueueStatus();
  FT_STATUS FtSetLatencyTimer(uint8_t ms);
  FT_STATUS FtSetBitMode(uint8_t mask, uint8_t mode);

  bool FindUsbProgrammer();
  bool OpenUsbProgrammerDevice(const std::string& description);
  bool OpenUsbProgrammer();

  // Writes come from the line driver's output buffer (FtOutBuff), which holds
  // kBufferSize bytes.
  void SetOutBuffer(const uint8_t* out) { outBuff_ = out; }

  static constexpr uint32_t kBufferSize = 65536;
  static constexpr size_t kOpenNameMax = 49;  // the open-name buffer holds 49 characters and a NUL
  static constexpr uint32_t kBaud = 153600;
  static constexpr uint32_t kTimeoutMs = 5000;
  static constexpr uint32_t kPollMeasureMs = 100;

  std::vector<uint8_t> ftInBuff = std::vector<uint8_t>(65536);  // FtInBuff
  FT_HANDLE ftHandle = nullptr;  // FtHandle
  uint32_t ftQBytes = 0;         // FT_Q_Bytes
  int32_t ftDeviceCount = 0;     // FtDeviceCount
  std::string ftDescription;     // FtDescription
  uint32_t baudValue = 0;
  bool ftOpened = false;         // FtOpened
  uint32_t ftPollsPerMs = 0;     // FtPollsPerMs
  // The raw count behind FtPollsPerMs: requests that fitted in the 100 ms of the
  // measurement. Keeps the rate when fewer than one request fits in a millisecond.
  uint32_t ftPollsPer100Ms = 0;
  // Status of the last FT_Write and FT_Read call: their wrappers return byte
  // counts, so a caller that must tell a refused call from a short one looks here.
  FT_STATUS lastWriteStatus = FT_OK;
  FT_STATUS lastReadStatus = FT_OK;
  // The text passed to the last open request, as cut to the open-name buffer.
  std::string openName;

 private:
  D2xx& d2xx_;
  Host& host_;
  TickSource& ticks_;
  const uint8_t* outBuff_ = nullptr;
};

}  // namespace tvn
