#include "sim/sim_ftdi.h"

#include <algorithm>
#include <cstring>

namespace tvn::sim {

namespace {

// Handles are small tagged numbers, not pointers, so a stale or foreign handle is
// recognised instead of followed.
constexpr uintptr_t kHandleTag = 0x5F7D0000u;

FT_HANDLE MakeHandle(size_t index) { return reinterpret_cast<FT_HANDLE>(kHandleTag + index + 1); }

// The programmer's driver board holds a line the FTDI chip does not drive at its
// pull-up level.
constexpr uint8_t kPullUps = 0xFF;

}  // namespace

SimFtdi::SimFtdi(VirtualClock& clock, Pic18Pins* chip) : clock_(clock), chip_(chip) {
  SetDevices({"Nimbrella"});
}

void SimFtdi::SetDevices(const std::vector<std::string>& descriptions) {
  devices_.clear();
  for (const auto& d : descriptions) {
    Device dev;
    dev.description = d;
    devices_.push_back(std::move(dev));
  }
}

void SimFtdi::UnplugAfter(uint64_t bytes) {
  unplugArmed_ = true;
  unplugAt_ = bytesApplied_ + bytes;
}

void SimFtdi::ShortWrites(int writes, uint32_t maxBytes) {
  shortWritesLeft_ = writes;
  shortWriteMax_ = maxBytes;
}

void SimFtdi::UnderReportWrites(int writes, uint32_t reported) {
  underReportsLeft_ = writes;
  underReportMax_ = reported;
}

void SimFtdi::LoseEchoes(uint64_t first, uint64_t count) { lost_.emplace_back(first, first + count); }

int SimFtdi::WiredIndex() const {
  if (chipDevice_ >= 0) return chipDevice_;
  for (size_t i = 0; i < devices_.size(); ++i)
    if (devices_[i].description == "Nimbrella") return static_cast<int>(i);
  return -1;
}

bool SimFtdi::Wired(const Device& d) const {
  int w = WiredIndex();
  return w >= 0 && static_cast<size_t>(w) < devices_.size() && &devices_[static_cast<size_t>(w)] == &d;
}

uint8_t SimFtdi::Lines() const { return WiredDevice() ? WiredDevice()->out : 0; }

const SimFtdi::Device* SimFtdi::WiredDevice() const {
  int w = WiredIndex();
  if (w < 0 || static_cast<size_t>(w) >= devices_.size()) return nullptr;
  return &devices_[static_cast<size_t>(w)];
}

uint8_t SimFtdi::Mode() const { return WiredDevice() ? WiredDevice()->mode : 0; }
uint8_t SimFtdi::Mask() const { return WiredDevice() ? WiredDevice()->mask : 0; }
uint32_t SimFtdi::Baud() const { return WiredDevice() ? WiredDevice()->baud : kPowerOnBaud; }
uint8_t SimFtdi::LatencyMs() const { return WiredDevice() ? WiredDevice()->latencyMs : 16; }
uint32_t SimFtdi::ReadTimeoutMs() const { return WiredDevice() ? WiredDevice()->readTimeoutMs : 0; }
uint32_t SimFtdi::WriteTimeoutMs() const { return WiredDevice() ? WiredDevice()->writeTimeoutMs : 0; }

uint64_t SimFtdi::BytePeriodNs() const { return 1000000000ull / (4ull * Baud()); }

SimFtdi::Device* SimFtdi::Lookup(FT_HANDLE h, FT_STATUS* status) {
  auto raw = reinterpret_cast<uintptr_t>(h);
  if (raw <= kHandleTag || raw - kHandleTag > devices_.size()) {
    *status = FT_INVALID_HANDLE;
    return nullptr;
  }
  Device& d = devices_[raw - kHandleTag - 1];
  if (d.gone) {
    *status = FT_IO_ERROR;
    return nullptr;
  }
  if (!d.open) {
    *status = FT_INVALID_HANDLE;
    return nullptr;
  }
  *status = FT_OK;
  return &d;
}

HostPins SimFtdi::PinsOf(uint8_t lines) {
  HostPins p;
  p.vpp = (lines & kVpp) != 0;
  p.pgc = (lines & kPgcLow) == 0;  // inverting clock driver
  p.pgdPullLow = (lines & kPgdLow) != 0;
  return p;
}

uint8_t SimFtdi::SampleLevels(const Device& d, uint64_t atNs) const {
  uint8_t levels = static_cast<uint8_t>((d.out & d.mask) | (kPullUps & ~d.mask));
  bool pgdHigh = true;
  if (Wired(d)) {
    if (chip_) {
      pgdHigh = chip_->PgdLine(atNs);
    } else {
      // Nothing on the header: only the programmer's own driver can pull PGD low.
      pgdHigh = !(pinsDriven_ && driven_.pgdPullLow);
    }
  }
  if (!(d.mask & kPgdIn)) levels = static_cast<uint8_t>(pgdHigh ? (levels | kPgdIn) : (levels & ~kPgdIn));
  return levels;
}

void SimFtdi::Apply(Device& d, uint8_t byte, uint64_t atNs) {
  uint64_t index = bytesApplied_++;
  // The echo holds what the lines were just before this byte takes over.
  Echo e;
  e.sampledNs = atNs;
  e.levels = SampleLevels(d, atNs);
  uint64_t latency = std::max<uint64_t>(kUsbFrameNs, static_cast<uint64_t>(d.latencyMs) * 1000000ull);
  e.readyNs = atNs + 1000000000ull / (4ull * d.baud) + latency;
  bool lost = std::any_of(lost_.begin(), lost_.end(),
                          [index](const auto& r) { return index >= r.first && index < r.second; });
  if (!lost) d.rx.push_back(e);

  d.out = byte;
  if (Wired(d) && PinsMove(d)) {
    HostPins p = PinsOf(byte);
    if (!pinsDriven_ || p.vpp != driven_.vpp || p.pgc != driven_.pgc || p.pgdPullLow != driven_.pgdPullLow) {
      driven_ = p;
      pinsDriven_ = true;
      if (chip_) chip_->Drive(p, atNs);
    }
  }
}

void SimFtdi::Unplug(Device& d, uint64_t atNs) {
  d.gone = true;
  d.present = false;
  d.rx.clear();
  unplugged_ = true;
  unplugArmed_ = false;
  // Without USB power the programmer lets go of every line.
  HostPins released;
  released.vpp = false;
  released.pgc = false;
  released.pgdPullLow = false;
  driven_ = released;
  pinsDriven_ = true;
  if (chip_) chip_->Drive(released, atNs);
}

size_t SimFtdi::ReadyCount(const Device& d) const {
  uint64_t now = clock_.NowNs();
  size_t n = 0;
  for (const auto& e : d.rx) {
    if (e.readyNs > now) break;  // echoes arrive in order
    ++n;
  }
  return n;
}

FT_STATUS SimFtdi::ListDeviceCount(int32_t* count) {
  ++countRequests_;
  if (!count) return FT_INVALID_PARAMETER;
  *count = static_cast<int32_t>(std::count_if(devices_.begin(), devices_.end(),
                                              [](const Device& d) { return d.present; }));
  return FT_OK;
}

FT_STATUS SimFtdi::ListDeviceDescription(int32_t index, char* buf64) {
  ++descriptionRequests_;
  if (!buf64) return FT_INVALID_PARAMETER;
  int32_t seen = 0;
  for (const auto& d : devices_) {
    if (!d.present) continue;
    if (seen++ == index) {
      size_t len = std::min<size_t>(d.description.size(), 63);
      std::memcpy(buf64, d.description.data(), len);
      buf64[len] = 0;
      return FT_OK;
    }
  }
  return FT_DEVICE_NOT_FOUND;
}

FT_STATUS SimFtdi::OpenByDescription(const char* description, FT_HANDLE* handle) {
  if (!description || !handle) return FT_INVALID_PARAMETER;
  for (size_t i = 0; i < devices_.size(); ++i) {
    Device& d = devices_[i];
    if (!d.present || d.description != description) continue;
    if (d.open) return FT_DEVICE_NOT_OPENED;  // one handle per device
    d.open = true;
    d.mode = 0;
    d.mask = 0;
    d.baud = kPowerOnBaud;
    d.latencyMs = 16;
    d.readTimeoutMs = 0;
    d.writeTimeoutMs = 0;
    d.rx.clear();
    *handle = MakeHandle(i);
    return FT_OK;
  }
  return FT_DEVICE_NOT_FOUND;
}

FT_STATUS SimFtdi::SetBitMode(FT_HANDLE h, uint8_t mask, uint8_t mode) {
  FT_STATUS st;
  Device* d = Lookup(h, &st);
  if (!d) return st;
  d->mask = mask;
  d->mode = mode;
  if (Wired(*d) && PinsMove(*d)) {
    // The output latch reaches the lines as soon as they become outputs.
    uint64_t at = std::max(clock_.NowNs(), d->busyUntilNs);
    HostPins p = PinsOf(d->out);
    driven_ = p;
    pinsDriven_ = true;
    if (chip_) chip_->Drive(p, at);
  }
  return FT_OK;
}

FT_STATUS SimFtdi::SetLatencyTimer(FT_HANDLE h, uint8_t ms) {
  FT_STATUS st;
  Device* d = Lookup(h, &st);
  if (!d) return st;
  if (ms == 0) return FT_INVALID_PARAMETER;
  d->latencyMs = ms;
  return FT_OK;
}

FT_STATUS SimFtdi::SetTimeouts(FT_HANDLE h, uint32_t readMs, uint32_t writeMs) {
  FT_STATUS st;
  Device* d = Lookup(h, &st);
  if (!d) return st;
  d->readTimeoutMs = readMs;
  d->writeTimeoutMs = writeMs;
  return FT_OK;
}

FT_STATUS SimFtdi::SetBaudRate(FT_HANDLE h, uint32_t baud) {
  FT_STATUS st;
  Device* d = Lookup(h, &st);
  if (!d) return st;
  if (baud < 183 || baud > 3000000) return FT_INVALID_BAUD_RATE;
  d->baud = baud;
  return FT_OK;
}

FT_STATUS SimFtdi::Purge(FT_HANDLE h, uint32_t mask) {
  ++purges_;
  FT_STATUS st;
  Device* d = Lookup(h, &st);
  if (!d) return st;
  if (mask & FT_PURGE_RX) {
    // Everything sampled so far sits in the chip's FIFO or the driver: thrown away.
    uint64_t now = clock_.NowNs();
    while (!d->rx.empty() && d->rx.front().sampledNs <= now) d->rx.pop_front();
  }
  return FT_OK;
}

FT_STATUS SimFtdi::GetQueueStatus(FT_HANDLE h, uint32_t* rxBytes) {
  ++queueRequests_;
  clock_.Advance(pollNs_);
  FT_STATUS st;
  Device* d = Lookup(h, &st);
  if (!d) return st;
  if (!rxBytes) return FT_INVALID_PARAMETER;
  *rxBytes = static_cast<uint32_t>(ReadyCount(*d));
  return FT_OK;
}

FT_STATUS SimFtdi::Write(FT_HANDLE h, const uint8_t* buf, uint32_t n, uint32_t* written) {
  if (written) *written = 0;
  FT_STATUS st;
  Device* d = Lookup(h, &st);
  if (!d) return st;
  if (!written || (n > 0 && !buf)) return FT_INVALID_PARAMETER;
  ++transfers_;
  uint32_t take = n;
  if (shortWritesLeft_ > 0) {
    --shortWritesLeft_;
    take = std::min(n, shortWriteMax_);
  }
  uint64_t start = std::max(clock_.NowNs(), d->busyUntilNs);
  if (d->mode != FT_BITMODE_SYNC_BITBANG) {
    // Not in bit-bang: the bytes leave as serial characters and nothing echoes.
    uint64_t end = start + static_cast<uint64_t>(take) * 10ull * 1000000000ull / d->baud;
    d->busyUntilNs = end;
    clock_.Advance(end - clock_.NowNs());
    *written = take;
    return FT_OK;
  }
  uint64_t baud4 = 4ull * d->baud;
  bool wired = Wired(*d);
  std::vector<uint8_t>* rec = nullptr;
  if (recordWrites_) rec = &writes_.emplace_back();
  uint32_t i = 0;
  for (; i < take; ++i) {
    uint64_t at = start + static_cast<uint64_t>(i) * 1000000000ull / baud4;
    if (wired && unplugArmed_ && bytesApplied_ >= unplugAt_) {
      Unplug(*d, at);
      st = FT_IO_ERROR;
      break;
    }
    Apply(*d, buf[i], at);
    if (rec) rec->push_back(buf[i]);
  }
  // The call returns once its bytes are on the lines.
  uint64_t end = start + static_cast<uint64_t>(i) * 1000000000ull / baud4;
  d->busyUntilNs = end;
  if (end > clock_.NowNs()) clock_.Advance(end - clock_.NowNs());
  *written = i;
  if (underReportsLeft_ > 0 && st == FT_OK) {
    --underReportsLeft_;
    *written = std::min(i, underReportMax_);
  }
  return st;
}

FT_STATUS SimFtdi::Read(FT_HANDLE h, uint8_t* buf, uint32_t n, uint32_t* received) {
  if (received) *received = 0;
  ++readRequests_;
  FT_STATUS st;
  Device* d = Lookup(h, &st);
  if (!d) return st;
  if (!received || (n > 0 && !buf)) return FT_INVALID_PARAMETER;
  if (n == 0) return FT_OK;
  uint64_t now = clock_.NowNs();
  uint64_t deadline = now + (d->readTimeoutMs ? d->readTimeoutMs * 1000000ull : kInfiniteWaitNs);
  // Wait for the n-th echo if it is on its way and comes before the time-out.
  uint64_t wake = deadline;
  if (d->rx.size() >= n) {
    uint64_t last = 0;
    for (uint32_t k = 0; k < n; ++k) last = std::max(last, d->rx[k].readyNs);
    wake = std::min(deadline, last);
  }
  if (ReadyCount(*d) < n && wake > now) clock_.Advance(wake - now);
  uint32_t got = 0;
  uint64_t t = clock_.NowNs();
  while (got < n && !d->rx.empty() && d->rx.front().readyNs <= t) {
    buf[got++] = d->rx.front().levels;
    d->rx.pop_front();
  }
  *received = got;
  return FT_OK;
}

}  // namespace tvn::sim
