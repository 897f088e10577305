// Printer-port access on Linux against a simulated kernel: ioperm that may be
// refused, /proc/sys/dev/parport entries and ppdev devices with their three
// registers. A port instruction outside the granted range fails the test, as it
// would kill the real process.
#include <sys/ioctl.h>
#include <linux/ppdev.h>

#include <cerrno>
#include <map>
#include <set>

#include <gtest/gtest.h>

#include "transport/linux_port_io.h"

namespace tvn {
namespace {

struct Parport {
  unsigned long base = 0x378;
  int openErr = 0;   // errno of open(), 0 = opens
  int claimErr = 0;  // errno of PPCLAIM
  // The registers as the port hardware holds them.
  uint8_t data = 0, control = 0, status = 0x7F;
  bool claimed = false;
  bool open = false;
};

class SimKernel : public PortSys {
 public:
  int iopermErr = EPERM;  // 0 grants ioperm
  bool procPresent = true;
  std::map<std::string, Parport> ports;  // "parport0" -> device

  // What happened.
  std::set<uint16_t> granted;
  std::vector<std::tuple<unsigned long, unsigned long, int>> iopermCalls;
  int portInstructions = 0;
  std::map<uint16_t, uint8_t> outs;
  std::vector<unsigned long> ioctls;
  std::vector<int> closed;

  int Ioperm(unsigned long from, unsigned long num, int on, int* err) override {
    iopermCalls.emplace_back(from, num, on);
    if (on && iopermErr) {
      *err = iopermErr;
      return -1;
    }
    for (unsigned long p = from; p < from + num; ++p) {
      if (on)
        granted.insert(static_cast<uint16_t>(p));
      else
        granted.erase(static_cast<uint16_t>(p));
    }
    return 0;
  }
  uint8_t Inb(uint16_t port) override {
    Instruction(port);
    return 0x5A;
  }
  void Outb(uint16_t port, uint8_t value) override {
    Instruction(port);
    outs[port] = value;
  }
  int Open(const std::string& path, int* err) override {
    for (auto& [name, p] : ports) {
      if (path != "/dev/" + name) continue;
      if (p.openErr) {
        *err = p.openErr;
        return -1;
      }
      p.open = true;
      fds_[nextFd_] = name;
      return nextFd_++;
    }
    *err = ENOENT;
    return -1;
  }
  int Ioctl(int fd, unsigned long request, void* arg, int* err) override {
    ioctls.push_back(request);
    auto it = fds_.find(fd);
    if (it == fds_.end()) {
      *err = EBADF;
      return -1;
    }
    Parport& p = ports[it->second];
    auto* byte = static_cast<unsigned char*>(arg);
    if (request == PPCLAIM) {
      if (p.claimErr) {
        *err = p.claimErr;
        return -1;
      }
      p.claimed = true;
      return 0;
    }
    if (!p.claimed) {
      ADD_FAILURE() << "register ioctl before PPCLAIM";
      *err = EINVAL;
      return -1;
    }
    if (request == PPRELEASE) p.claimed = false;
    else if (request == PPWDATA) p.data = *byte;
    else if (request == PPWCONTROL) p.control = *byte;
    else if (request == PPRSTATUS) *byte = p.status;
    else if (request == PPRDATA) *byte = p.data;
    else if (request == PPRCONTROL) *byte = p.control;
    return 0;
  }
  void Close(int fd) override {
    closed.push_back(fd);
    auto it = fds_.find(fd);
    if (it != fds_.end()) {
      ports[it->second].open = false;
      fds_.erase(it);
    }
  }
  std::vector<std::string> ListDir(const std::string& dir) override {
    std::vector<std::string> names;
    if (!procPresent || dir != "/proc/sys/dev/parport") return names;
    names.push_back("default");
    for (auto& [name, p] : ports) names.push_back(name);
    return names;
  }
  bool ReadSmallFile(const std::string& path, std::string* text) override {
    for (auto& [name, p] : ports) {
      if (path == "/proc/sys/dev/parport/" + name + "/base-addr") {
        *text = std::to_string(p.base) + "\t" + std::to_string(p.base + 0x400) + "\n";
        return true;
      }
    }
    return false;
  }

 private:
  void Instruction(uint16_t port) {
    ++portInstructions;
    if (!granted.count(port)) ADD_FAILURE() << "port instruction at " << port << " without permission";
  }
  std::map<int, std::string> fds_;
  int nextFd_ = 5;
};

TEST(LinuxPortIo, NoPermissionAndNoDeviceMeansNoAccessAndOneLogLine) {
  struct Case {
    const char* what;
    bool procPresent;
    unsigned long deviceBase;
    int openErr;
    int claimErr;
    const char* reason;  // part of the log line
  } cases[] = {
      {"no parport at all", false, 0, 0, 0, "параллельных портов в системе нет"},
      {"parport at another base", true, 0x3BC, 0, 0, "с адресом 378h в системе нет"},
      {"device node not accessible", true, 0x378, EACCES, 0, "/dev/parport0: нет прав доступа"},
      {"port claimed by another program", true, 0x378, 0, EBUSY, "порт занят"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SimKernel k;
    k.procPresent = c.procPresent;
    k.ports["parport0"] = Parport{c.deviceBase, c.openErr, c.claimErr};
    {
      LinuxPortIo io(0x378, k);
      EXPECT_EQ(io.GetMode(), LinuxPortIo::Mode::None);
      // An empty port: the Zad echo and the PGD read-back never change.
      for (uint16_t reg = 0x378; reg < 0x37B; ++reg) EXPECT_EQ(io.PortIn(reg), 0xFF);
      io.PortOut(0x378, 0x08);
      io.PortOut(0x37A, 0x01);
      EXPECT_EQ(k.portInstructions, 0);
      EXPECT_EQ(k.ports["parport0"].data, 0);
      auto notes = io.TakeNotes();
      ASSERT_EQ(notes.size(), 1u);
      EXPECT_EQ(notes[0].rfind("Порт принтера 378h недоступен: ", 0), 0u) << notes[0];
      EXPECT_NE(notes[0].find("CAP_SYS_RAWIO"), std::string::npos) << notes[0];
      EXPECT_NE(notes[0].find(c.reason), std::string::npos) << notes[0];
      // Further accesses add no more lines: no error storm on a desk.
      for (int i = 0; i < 100; ++i) io.PortIn(0x379);
      EXPECT_TRUE(io.TakeNotes().empty());
    }
    // A failed open or claim leaves no descriptor behind.
    EXPECT_FALSE(k.ports["parport0"].open);
    EXPECT_FALSE(k.ports["parport0"].claimed);
  }
}

TEST(LinuxPortIo, DirectAccessIsSingleInstructionsOnTheGrantedRegisters) {
  SimKernel k;
  k.iopermErr = 0;
  {
    LinuxPortIo io(0x278, k);
    ASSERT_EQ(io.GetMode(), LinuxPortIo::Mode::Ioperm);
    EXPECT_EQ((std::set<uint16_t>{0x278, 0x279, 0x27A}), k.granted);
    EXPECT_EQ(io.PortIn(0x279), 0x5A);
    io.PortOut(0x278, 0x0B);
    io.PortOut(0x27A, 0x01);
    EXPECT_EQ(k.portInstructions, 3);
    EXPECT_EQ(k.outs[0x278], 0x0B);
    EXPECT_EQ(k.outs[0x27A], 0x01);
    // Outside the three registers nothing was granted: never touch it.
    EXPECT_EQ(io.PortIn(0x378), 0xFF);
    io.PortOut(0x27B, 1);
    EXPECT_EQ(k.portInstructions, 3);
    EXPECT_TRUE(io.TakeNotes().empty());
    EXPECT_TRUE(k.ioctls.empty());
  }
  EXPECT_TRUE(k.granted.empty()) << "permission not given back";
  ASSERT_FALSE(k.iopermCalls.empty());
  EXPECT_EQ(k.iopermCalls.back(), std::make_tuple(0x278ul, 3ul, 0));
}

TEST(LinuxPortIo, PpdevServesTheRegistersWhenIopermIsRefused) {
  SimKernel k;
  k.ports["parport0"] = Parport{0x3BC};
  k.ports["parport1"] = Parport{0x378};  // only this one has our base
  k.ports["parport1"].status = 0x47;
  {
    LinuxPortIo io(0x378, k);
    ASSERT_EQ(io.GetMode(), LinuxPortIo::Mode::Ppdev);
    EXPECT_EQ(io.Describe(), "LPT 378h (/dev/parport1)");
    EXPECT_FALSE(k.ports["parport0"].open);
    EXPECT_TRUE(k.ports["parport1"].claimed);

    io.PortOut(0x378, 0x1D);  // data register
    io.PortOut(0x37A, 0x01);  // control register: the clock
    io.PortOut(0x379, 0xEE);  // status is read-only: dropped
    EXPECT_EQ(k.ports["parport1"].data, 0x1D);
    EXPECT_EQ(k.ports["parport1"].control, 0x01);
    EXPECT_EQ(k.ports["parport1"].status, 0x47);
    EXPECT_EQ(io.PortIn(0x379), 0x47);
    k.ports["parport1"].status = 0x07;
    EXPECT_EQ(io.PortIn(0x379), 0x07);
    EXPECT_EQ(io.PortIn(0x37B), 0xFF);
    EXPECT_EQ(k.portInstructions, 0);
    EXPECT_TRUE(io.TakeNotes().empty());
  }
  EXPECT_FALSE(k.ports["parport1"].claimed) << "PPRELEASE missing";
  EXPECT_FALSE(k.ports["parport1"].open) << "descriptor not closed";
  ASSERT_GE(k.ioctls.size(), 1u);
  EXPECT_EQ(k.ioctls.back(), static_cast<unsigned long>(PPRELEASE));
}

TEST(LinuxPortIo, NewBaseFromTheSettingsIsAcquiredOnce) {
  SimKernel k;
  k.ports["parport0"] = Parport{0x278};
  LinuxPortIo io(0x378, k);  // the default base has no port here
  ASSERT_EQ(io.GetMode(), LinuxPortIo::Mode::None);
  io.SetBase(0x278);
  ASSERT_EQ(io.GetMode(), LinuxPortIo::Mode::Ppdev);
  // The line about 378h was not taken yet and is no longer true.
  EXPECT_TRUE(io.TakeNotes().empty());
  size_t ioctlsBefore = k.ioctls.size();
  io.SetBase(0x278);  // same base: nothing is released or claimed again
  EXPECT_EQ(k.ioctls.size(), ioctlsBefore);
  io.PortOut(0x278, 0x08);
  EXPECT_EQ(k.ports["parport0"].data, 0x08);

  // Moving away releases the device before trying the new base.
  io.SetBase(0x3BC);
  EXPECT_EQ(io.GetMode(), LinuxPortIo::Mode::None);
  EXPECT_FALSE(k.ports["parport0"].claimed);
  EXPECT_FALSE(k.ports["parport0"].open);
  auto notes = io.TakeNotes();
  ASSERT_EQ(notes.size(), 1u);
  EXPECT_EQ(notes[0].rfind("Порт принтера 3BCh недоступен", 0), 0u) << notes[0];
  io.PortOut(0x278, 0x01);  // the old base is no longer ours
  EXPECT_EQ(k.ports["parport0"].data, 0x08);
}

TEST(LinuxPortIo, IopermMovesWithTheBase) {
  SimKernel k;
  k.iopermErr = 0;
  LinuxPortIo io(0x378, k);
  io.SetBase(0x278);
  EXPECT_EQ((std::set<uint16_t>{0x278, 0x279, 0x27A}), k.granted);
  EXPECT_EQ(io.PortIn(0x379), 0xFF);  // the old base must not reach inb
  EXPECT_EQ(k.portInstructions, 0);
}

}  // namespace
}  // namespace tvn
