#include "transport/d2xx_libftdi.h"

#include <ftdi.h>
#include <libusb.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <deque>

namespace tvn {

namespace {

constexpr int kFtdiVendor = 0x0403;
// FT232R/FT245R, FT2232, FT4232, FT232H, FT-X series.
constexpr int kFtdiProducts[] = {0x6001, 0x6010, 0x6011, 0x6014, 0x6015};

using Clock = std::chrono::steady_clock;

long long MsSince(Clock::time_point t) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count();
}

}  // namespace

struct LibFtdiD2xx::Device {
  ftdi_context* ctx = nullptr;
  bool gone = false;          // a transfer reported the device lost
  uint8_t mode = 0;           // bit mode as last set
  uint32_t readTimeoutMs = 0; // 0: no time-out set (we still give up after 5 s)
  uint32_t writeTimeoutMs = 0;
  std::deque<uint8_t> rx;     // echoes received and not yet read by the caller
  uint64_t outstanding = 0;   // bytes written whose echoes have not come in yet

  ~Device() {
    if (ctx) {
      ftdi_usb_close(ctx);
      ftdi_free(ctx);
    }
  }
  bool SyncBitBang() const { return mode == BITMODE_SYNCBB; }
};

LibFtdiD2xx::LibFtdiD2xx() {
  listCtx_ = ftdi_new();
  if (!listCtx_) lastError_ = "libftdi could not be initialised (no USB access): no FTDI devices";
}

LibFtdiD2xx::~LibFtdiD2xx() {
  open_.clear();
  Release(listed_);
  if (listCtx_) ftdi_free(listCtx_);
}

void LibFtdiD2xx::Release(std::vector<libusb_device*>& devs) {
  for (auto* d : devs) libusb_unref_device(d);
  devs.clear();
}

std::vector<libusb_device*> LibFtdiD2xx::Enumerate(ftdi_context* ctx) {
  std::vector<libusb_device*> out;
  for (int product : kFtdiProducts) {
    ftdi_device_list* list = nullptr;
    if (ftdi_usb_find_all(ctx, &list, kFtdiVendor, product) < 0) {
      lastError_ = std::string("USB device list unavailable: ") + ftdi_get_error_string(ctx);
      continue;
    }
    for (ftdi_device_list* p = list; p; p = p->next) out.push_back(libusb_ref_device(p->dev));
    ftdi_list_free(&list);
  }
  return out;
}

FT_STATUS LibFtdiD2xx::OpenFailure(libusb_device* dev, int code, const char* what) {
  // libftdi says only that the open failed; ask libusb why, so the operator
  // learns whether it is permissions, another program, or a device gone.
  libusb_device_handle* h = nullptr;
  int why = dev ? libusb_open(dev, &h) : LIBUSB_ERROR_OTHER;
  if (h) libusb_close(h);
  std::string where = dev ? " (bus " + std::to_string(libusb_get_bus_number(dev)) + ", address " +
                                std::to_string(libusb_get_device_address(dev)) + ")"
                          : std::string();
  switch (why) {
    case LIBUSB_ERROR_ACCESS:
      lastError_ = std::string(what) + where +
                   ": permission denied; install udev/99-nimbrella.rules and join group plugdev";
      return FT_DEVICE_NOT_OPENED;
    case LIBUSB_ERROR_NO_DEVICE:
      lastError_ = std::string(what) + where + ": the device is gone";
      return FT_DEVICE_NOT_FOUND;
    default:
      break;
  }
  lastError_ = std::string(what) + where + ": " + (listCtx_ ? ftdi_get_error_string(listCtx_) : "") +
               " (libftdi " + std::to_string(code) + ")";
  if (code == -5) lastError_ += "; another program or driver holds the device";
  return FT_DEVICE_NOT_OPENED;
}

FT_STATUS LibFtdiD2xx::DescriptionOf(ftdi_context* ctx, libusb_device* dev, std::string* out) {
  char desc[64] = {};
  int r = ftdi_usb_get_strings(ctx, dev, nullptr, 0, desc, sizeof desc, nullptr, 0);
  if (r == -4) return OpenFailure(dev, r, "cannot read the FTDI device description");
  if (r < 0) {
    lastError_ = std::string("cannot read the FTDI device description: ") + ftdi_get_error_string(ctx);
    return FT_IO_ERROR;
  }
  desc[sizeof desc - 1] = 0;
  out->assign(desc);
  return FT_OK;
}

FT_STATUS LibFtdiD2xx::ListDeviceCount(int32_t* count) {
  if (!count) return FT_INVALID_PARAMETER;
  *count = 0;
  Release(listed_);
  if (!listCtx_) return FT_OK;  // no libftdi: no devices, not an error
  listed_ = Enumerate(listCtx_);
  *count = static_cast<int32_t>(listed_.size());
  return FT_OK;
}

FT_STATUS LibFtdiD2xx::ListDeviceDescription(int32_t index, char* buf64) {
  if (!buf64) return FT_INVALID_PARAMETER;
  buf64[0] = 0;
  if (!listCtx_) return FT_DEVICE_NOT_FOUND;
  if (listed_.empty()) listed_ = Enumerate(listCtx_);  // asked by index without a count first
  if (index < 0 || static_cast<size_t>(index) >= listed_.size()) return FT_DEVICE_NOT_FOUND;
  std::string desc;
  FT_STATUS st = DescriptionOf(listCtx_, listed_[static_cast<size_t>(index)], &desc);
  if (st != FT_OK) return st;
  size_t len = std::min<size_t>(desc.size(), 63);
  std::memcpy(buf64, desc.data(), len);
  buf64[len] = 0;
  return FT_OK;
}

FT_STATUS LibFtdiD2xx::OpenByDescription(const char* description, FT_HANDLE* handle) {
  if (!description || !handle) return FT_INVALID_PARAMETER;
  if (!listCtx_) return FT_DEVICE_NOT_FOUND;
  auto dev = std::make_unique<Device>();
  dev->ctx = ftdi_new();
  if (!dev->ctx) {
    lastError_ = "libftdi could not be initialised";
    return FT_INSUFFICIENT_RESOURCES;
  }
  std::vector<libusb_device*> devs = Enumerate(dev->ctx);
  FT_STATUS result = FT_DEVICE_NOT_FOUND;
  FT_STATUS lastDescFailure = FT_OK;
  for (libusb_device* d : devs) {
    std::string desc;
    FT_STATUS st = DescriptionOf(dev->ctx, d, &desc);
    if (st != FT_OK) {
      lastDescFailure = st;
      continue;
    }
    if (desc != description) continue;
    int r = ftdi_usb_open_dev(dev->ctx, d);
    result = r < 0 ? OpenFailure(d, r, "cannot open the USB programmer") : FT_OK;
    break;
  }
  Release(devs);
  // A device we could not even ask for its name may well be the one wanted.
  if (result == FT_DEVICE_NOT_FOUND && lastDescFailure != FT_OK) result = lastDescFailure;
  if (result != FT_OK) return result;
  dev->readTimeoutMs = static_cast<uint32_t>(std::max(0, dev->ctx->usb_read_timeout));
  dev->writeTimeoutMs = static_cast<uint32_t>(std::max(0, dev->ctx->usb_write_timeout));
  *handle = dev.get();
  open_.push_back(std::move(dev));
  lastError_.clear();
  return FT_OK;
}

LibFtdiD2xx::Device* LibFtdiD2xx::Lookup(FT_HANDLE h, FT_STATUS* status) {
  for (auto& d : open_) {
    if (d.get() != h) continue;
    if (d->gone) {
      *status = FT_IO_ERROR;
      return nullptr;
    }
    *status = FT_OK;
    return d.get();
  }
  *status = FT_INVALID_HANDLE;
  return nullptr;
}

FT_STATUS LibFtdiD2xx::TransferFailure(Device& d, int code, const char* what) {
  const char* text = ftdi_get_error_string(d.ctx);
  lastError_ = std::string(what) + ": " + (text ? text : "") + " (libftdi " + std::to_string(code) + ")";
  // libftdi's "device unavailable" (-666) and failing bulk transfers after an
  // unplug both mean the programmer is no longer there.
  if (code == -666) d.gone = true;
  return FT_IO_ERROR;
}

FT_STATUS LibFtdiD2xx::SetBitMode(FT_HANDLE h, uint8_t mask, uint8_t mode) {
  FT_STATUS st;
  Device* d = Lookup(h, &st);
  if (!d) return st;
  int r = ftdi_set_bitmode(d->ctx, mask, mode);
  if (r < 0) return TransferFailure(*d, r, "cannot set the bit mode");
  d->mode = mode;
  return FT_OK;
}

FT_STATUS LibFtdiD2xx::SetLatencyTimer(FT_HANDLE h, uint8_t ms) {
  FT_STATUS st;
  Device* d = Lookup(h, &st);
  if (!d) return st;
  int r = ftdi_set_latency_timer(d->ctx, ms);
  if (r == -1) return FT_INVALID_PARAMETER;
  if (r < 0) return TransferFailure(*d, r, "cannot set the latency timer");
  return FT_OK;
}

FT_STATUS LibFtdiD2xx::SetTimeouts(FT_HANDLE h, uint32_t readMs, uint32_t writeMs) {
  FT_STATUS st;
  Device* d = Lookup(h, &st);
  if (!d) return st;
  // libusb takes 0 as "no time-out", as the D2XX call does.
  d->readTimeoutMs = readMs;
  d->writeTimeoutMs = writeMs;
  d->ctx->usb_read_timeout = static_cast<int>(std::min<uint32_t>(readMs, INT32_MAX));
  d->ctx->usb_write_timeout = static_cast<int>(std::min<uint32_t>(writeMs, INT32_MAX));
  return FT_OK;
}

FT_STATUS LibFtdiD2xx::SetBaudRate(FT_HANDLE h, uint32_t baud) {
  FT_STATUS st;
  Device* d = Lookup(h, &st);
  if (!d) return st;
  if (baud == 0 || baud > INT32_MAX) return FT_INVALID_BAUD_RATE;
  // In bit-bang mode libftdi scales the rate itself; the bit mode is set first.
  int r = ftdi_set_baudrate(d->ctx, static_cast<int>(baud));
  if (r == -1) return FT_INVALID_BAUD_RATE;
  if (r < 0) return TransferFailure(*d, r, "cannot set the baud rate");
  return FT_OK;
}

FT_STATUS LibFtdiD2xx::Purge(FT_HANDLE h, uint32_t mask) {
  FT_STATUS st;
  Device* d = Lookup(h, &st);
  if (!d) return st;
  int r = 0;
  if ((mask & FT_PURGE_RX) && (mask & FT_PURGE_TX)) {
    r = ftdi_tcioflush(d->ctx);
  } else if (mask & FT_PURGE_RX) {
    r = ftdi_tciflush(d->ctx);
  } else if (mask & FT_PURGE_TX) {
    r = ftdi_tcoflush(d->ctx);
  }
  if (mask & FT_PURGE_RX) {
    d->rx.clear();
    d->outstanding = 0;
  }
  if (r < 0) return TransferFailure(*d, r, "cannot purge the device queues");
  return FT_OK;
}

bool LibFtdiD2xx::PickUp(Device& d, FT_STATUS* status) {
  if (d.outstanding == 0) return true;
  uint8_t tmp[4096];
  int want = static_cast<int>(std::min<uint64_t>(d.outstanding, sizeof tmp));
  int r = ftdi_read_data(d.ctx, tmp, want);
  if (r < 0) {
    *status = TransferFailure(d, r, "read-back failed");
    return false;
  }
  d.rx.insert(d.rx.end(), tmp, tmp + r);
  d.outstanding -= std::min<uint64_t>(d.outstanding, static_cast<uint64_t>(r));
  return true;
}

bool LibFtdiD2xx::Drain(Device& d, uint32_t keep, FT_STATUS* status) {
  auto lastProgress = Clock::now();
  const long long limitMs = d.readTimeoutMs ? d.readTimeoutMs : 5000;
  while (d.outstanding > keep) {
    uint64_t before = d.outstanding;
    if (!PickUp(d, status)) return false;
    if (d.outstanding < before) {
      lastProgress = Clock::now();
    } else if (MsSince(lastProgress) > limitMs) {
      // The echoes stopped coming: count them as lost rather than hang.
      d.outstanding = keep;
      break;
    }
  }
  return true;
}

FT_STATUS LibFtdiD2xx::GetQueueStatus(FT_HANDLE h, uint32_t* rxBytes) {
  FT_STATUS st;
  Device* d = Lookup(h, &st);
  if (!d) return st;
  if (!rxBytes) return FT_INVALID_PARAMETER;
  // Only echoes of written bytes can arrive; with none on the way this stays a
  // cheap call, which keeps the measured poll rate a usable clock.
  if (!PickUp(*d, &st)) return st;
  *rxBytes = static_cast<uint32_t>(std::min<size_t>(d->rx.size(), UINT32_MAX));
  return FT_OK;
}

FT_STATUS LibFtdiD2xx::Write(FT_HANDLE h, const uint8_t* buf, uint32_t n, uint32_t* written) {
  if (written) *written = 0;
  FT_STATUS st;
  Device* d = Lookup(h, &st);
  if (!d) return st;
  if (!written || (n > 0 && !buf)) return FT_INVALID_PARAMETER;
  const bool echoes = d->SyncBitBang();
  uint32_t done = 0;
  while (done < n) {
    uint32_t chunk = std::min(kChunk, n - done);
    // Room in the chip's receive FIFO for this chunk's read-back first.
    if (echoes && !Drain(*d, kChunk, &st)) return st;
    int r = ftdi_write_data(d->ctx, buf + done, static_cast<int>(chunk));
    if (r < 0) return TransferFailure(*d, r, "write to the USB programmer failed");
    done += static_cast<uint32_t>(r);
    *written = done;
    if (echoes) d->outstanding += static_cast<uint32_t>(r);
    if (static_cast<uint32_t>(r) < chunk) break;  // write time-out: a short write
  }
  if (echoes && !Drain(*d, 0, &st)) return st;
  return FT_OK;
}

FT_STATUS LibFtdiD2xx::Read(FT_HANDLE h, uint8_t* buf, uint32_t n, uint32_t* received) {
  if (received) *received = 0;
  FT_STATUS st;
  Device* d = Lookup(h, &st);
  if (!d) return st;
  if (!received || (n > 0 && !buf)) return FT_INVALID_PARAMETER;
  if (d->rx.size() < n) {
    if (d->SyncBitBang()) {
      // Nothing arrives in bit-bang mode but echoes of bytes written.
      if (!Drain(*d, 0, &st)) return st;
    } else {
      // Without a time-out set, give up after 5 s rather than hang the program.
      const long long limitMs = d->readTimeoutMs ? d->readTimeoutMs : 5000;
      auto start = Clock::now();
      uint8_t tmp[4096];
      while (d->rx.size() < n && MsSince(start) < limitMs) {
        int r = ftdi_read_data(d->ctx, tmp, static_cast<int>(std::min<size_t>(n - d->rx.size(), sizeof tmp)));
        if (r < 0) return TransferFailure(*d, r, "read from the USB programmer failed");
        d->rx.insert(d->rx.end(), tmp, tmp + r);
      }
    }
  }
  uint32_t got = static_cast<uint32_t>(std::min<size_t>(n, d->rx.size()));
  std::copy_n(d->rx.begin(), got, buf);
  d->rx.erase(d->rx.begin(), d->rx.begin() + got);
  *received = got;
  return FT_OK;
}

}  // namespace tvn
