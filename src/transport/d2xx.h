// The FTDI device calls the USB programmer relies on, in the shape of the
// vendor's D2XX interface: status codes, listing by count and by index, open by
// description, synchronous bit-bang set-up, queue status, write and read.
// Back-ends: libftdi1 for the real programmer, and the simulated FTDI device.
#pragma once

#include <cstdint>

namespace tvn {

using FT_STATUS = uint32_t;
using FT_HANDLE = void*;

enum : FT_STATUS {
  FT_OK = 0,
  FT_INVALID_HANDLE = 1,
  FT_DEVICE_NOT_FOUND = 2,
  FT_DEVICE_NOT_OPENED = 3,
  FT_IO_ERROR = 4,
  FT_INSUFFICIENT_RESOURCES = 5,
  FT_INVALID_PARAMETER = 6,
  FT_INVALID_BAUD_RATE = 7,
  FT_DEVICE_NOT_OPENED_FOR_ERASE = 8,
  FT_DEVICE_NOT_OPENED_FOR_WRITE = 9,
  FT_FAILED_TO_WRITE_DEVICE = 10,
  FT_EEPROM_READ_FAILED = 11,
  FT_EEPROM_WRITE_FAILED = 12,
  FT_EEPROM_ERASE_FAILED = 13,
  FT_EEPROM_NOT_PRESENT = 14,
  FT_EEPROM_NOT_PROGRAMMED = 15,
  FT_INVALID_ARGS = 16,
  FT_OTHER_ERROR = 17,
};

constexpr uint32_t FT_LIST_NUMBER_ONLY = 0x80000000;
constexpr uint32_t FT_LIST_BY_INDEX = 0x40000000;
constexpr uint32_t FT_OPEN_BY_DESCRIPTION = 2;
constexpr uint32_t FT_PURGE_RX = 1;
constexpr uint32_t FT_PURGE_TX = 2;
constexpr uint8_t FT_BITMODE_SYNC_BITBANG = 4;

class D2xx {
 public:
  virtual ~D2xx() = default;
  // FT_ListDevices(&count, null, FT_LIST_NUMBER_ONLY)
  virtual FT_STATUS ListDeviceCount(int32_t* count) = 0;
  // FT_ListDevices(index, buf, FT_LIST_BY_INDEX | FT_OPEN_BY_DESCRIPTION); buf holds 64 bytes
  virtual FT_STATUS ListDeviceDescription(int32_t index, char* buf64) = 0;
  // FT_OpenEx(description, FT_OPEN_BY_DESCRIPTION, &handle)
  virtual FT_STATUS OpenByDescription(const char* description, FT_HANDLE* handle) = 0;
  virtual FT_STATUS SetBitMode(FT_HANDLE h, uint8_t mask, uint8_t mode) = 0;
  virtual FT_STATUS SetLatencyTimer(FT_HANDLE h, uint8_t ms) = 0;
  virtual FT_STATUS SetTimeouts(FT_HANDLE h, uint32_t readMs, uint32_t writeMs) = 0;
  virtual FT_STATUS SetBaudRate(FT_HANDLE h, uint32_t baud) = 0;
  virtual FT_STATUS Purge(FT_HANDLE h, uint32_t mask) = 0;
  // Bytes waiting in the receive queue.
  virtual FT_STATUS GetQueueStatus(FT_HANDLE h, uint32_t* rxBytes) = 0;
  virtual FT_STATUS Write(FT_HANDLE h, const uint8_t* buf, uint32_t n, uint32_t* written) = 0;
  // Waits for missing bytes up to the read time-out.
  virtual FT_STATUS Read(FT_HANDLE h, uint8_t* buf, uint32_t n, uint32_t* received) = 0;
};

// A back-end that has no devices at all: the USB programmer is simply not there.
class NoD2xx : public D2xx {
 public:
  FT_STATUS ListDeviceCount(int32_t* count) override { *count = 0; return FT_OK; }
  FT_STATUS ListDeviceDescription(int32_t, char* buf64) override { buf64[0] = 0; return FT_DEVICE_NOT_FOUND; }
  FT_STATUS OpenByDescription(const char*, FT_HANDLE*) override { return FT_DEVICE_NOT_FOUND; }
  FT_STATUS SetBitMode(FT_HANDLE, uint8_t, uint8_t) override { return FT_INVALID_HANDLE; }
  FT_STATUS SetLatencyTimer(FT_HANDLE, uint8_t) override { return FT_INVALID_HANDLE; }
  FT_STATUS SetTimeouts(FT_HANDLE, uint32_t, uint32_t) override { return FT_INVALID_HANDLE; }
  FT_STATUS SetBaudRate(FT_HANDLE, uint32_t) override { return FT_INVALID_HANDLE; }
  FT_STATUS Purge(FT_HANDLE, uint32_t) override { return FT_INVALID_HANDLE; }
  FT_STATUS GetQueueStatus(FT_HANDLE, uint32_t*) override { return FT_INVALID_HANDLE; }
  FT_STATUS Write(FT_HANDLE, const uint8_t*, uint32_t, uint32_t* w) override { *w = 0; return FT_INVALID_HANDLE; }
  FT_STATUS Read(FT_HANDLE, uint8_t*, uint32_t, uint32_t* r) override { *r = 0; return FT_INVALID_HANDLE; }
};

}  // namespace tvn
