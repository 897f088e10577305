// The D2XX-shaped calls over libftdi1, for the real USB programmer on Linux.
//
// libftdi has no queue-status call, and in synchronous bit-bang the FTDI chip
// stops clocking bytes out while its 128-byte receive FIFO is full. So this layer
// writes in chunks of 64 bytes, drains the read-back as it writes into a receive
// buffer of its own, and reports the queue count from that buffer. A transfer of
// 65535 bytes therefore never stalls or drops echoes.
//
// Devices: vendor 0403h with the usual FT232R, FT2232, FT4232, FT232H and FT-X
// product ids, told apart by their USB product description. Without libusb or
// without any such device the list is simply empty. Permission problems (no udev
// rule) show as FT_DEVICE_NOT_OPENED, with the reason in LastError().
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "transport/d2xx.h"

struct ftdi_context;
struct libusb_device;

namespace tvn {

class LibFtdiD2xx : public D2xx {
 public:
  static constexpr uint32_t kChunk = 64;  // bytes written before their echoes are drained

  LibFtdiD2xx();
  ~LibFtdiD2xx() override;
  LibFtdiD2xx(const LibFtdiD2xx&) = delete;
  LibFtdiD2xx& operator=(const LibFtdiD2xx&) = delete;

  // Why the last failing call failed, in plain words (empty when none failed).
  const std::string& LastError() const { return lastError_; }
  // False when libftdi or libusb could not be set up at all: no devices then.
  bool Usable() const { return listCtx_ != nullptr; }

  FT_STATUS ListDeviceCount(int32_t* count) override;
  FT_STATUS ListDeviceDescription(int32_t index, char* buf64) override;
  FT_STATUS OpenByDescription(const char* description, FT_HANDLE* handle) override;
  FT_STATUS SetBitMode(FT_HANDLE h, uint8_t mask, uint8_t mode) override;
  FT_STATUS SetLatencyTimer(FT_HANDLE h, uint8_t ms) override;
  FT_STATUS SetTimeouts(FT_HANDLE h, uint32_t readMs, uint32_t writeMs) override;
  FT_STATUS SetBaudRate(FT_HANDLE h, uint32_t baud) override;
  FT_STATUS Purge(FT_HANDLE h, uint32_t mask) override;
  FT_STATUS GetQueueStatus(FT_HANDLE h, uint32_t* rxBytes) override;
  FT_STATUS Write(FT_HANDLE h, const uint8_t* buf, uint32_t n, uint32_t* written) override;
  FT_STATUS Read(FT_HANDLE h, uint8_t* buf, uint32_t n, uint32_t* received) override;

 private:
  struct Device;

  Device* Lookup(FT_HANDLE h, FT_STATUS* status);
  // Every FTDI device on the bus, found through ctx (references held).
  std::vector<libusb_device*> Enumerate(ftdi_context* ctx);
  static void Release(std::vector<libusb_device*>& devs);
  FT_STATUS DescriptionOf(ftdi_context* ctx, libusb_device* dev, std::string* out);
  FT_STATUS OpenFailure(libusb_device* dev, int code, const char* what);
  FT_STATUS TransferFailure(Device& d, int code, const char* what);
  // Reads echoes into the receive buffer until at most `keep` are still on the
  // way, or none came for the read time-out. false on a USB error.
  bool Drain(Device& d, uint32_t keep, FT_STATUS* status);
  // One read of whatever has arrived, without waiting for more.
  bool PickUp(Device& d, FT_STATUS* status);

  ftdi_context* listCtx_ = nullptr;
  std::vector<libusb_device*> listed_;  // the list as of the last count request
  std::vector<std::unique_ptr<Device>> open_;
  std::string lastError_;
};

}  // namespace tvn
