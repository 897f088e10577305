// The printer port's registers on Linux. Direct port instructions after ioperm
// when the process may have them; otherwise the kernel's parallel-port device
// with register-level ioctls; otherwise no access at all. A port instruction
// without permission kills the process, so an access that is not covered by the
// permission in hand never reaches the hardware: a read gives FFh (what an empty
// port shows, so the Zad echo never comes) and a write is dropped.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "transport/port_io.h"

namespace tvn {

// The system calls the port access is made of. Tests put a simulated kernel
// behind it, so refusals and missing devices need neither root nor hardware.
class PortSys {
 public:
  virtual ~PortSys() = default;
  // 0 on success, otherwise -1 with the errno value in *err.
  virtual int Ioperm(unsigned long from, unsigned long num, int on, int* err) = 0;
  virtual uint8_t Inb(uint16_t port) = 0;
  virtual void Outb(uint16_t port, uint8_t value) = 0;
  // A file descriptor, or -1 with *err.
  virtual int Open(const std::string& path, int* err) = 0;
  virtual int Ioctl(int fd, unsigned long request, void* arg, int* err) = 0;
  virtual void Close(int fd) = 0;
  // Names in a directory (without "." and ".."); empty when it cannot be read.
  virtual std::vector<std::string> ListDir(const std::string& dir) = 0;
  // The start of a small text file; false when it cannot be read.
  virtual bool ReadSmallFile(const std::string& path, std::string* text) = 0;
};

// The real system: ioperm/inb/outb on x86, open/ioctl/close, /proc.
PortSys& RealPortSys();

class LinuxPortIo : public PortIo {
 public:
  enum class Mode { None, Ioperm, Ppdev };

  // Obtains the permission for the three registers at base at once.
  explicit LinuxPortIo(uint16_t base = 0x378, PortSys& sys = RealPortSys());
  // Gives the permission back: ioperm off, or PPRELEASE and close.
  ~LinuxPortIo() override;
  LinuxPortIo(const LinuxPortIo&) = delete;
  LinuxPortIo& operator=(const LinuxPortIo&) = delete;

  uint8_t PortIn(uint16_t port) override;
  void PortOut(uint16_t port, uint8_t value) override;

  // The settings may move the port: release the old base and acquire the new
  // one, once per change. The same base again does nothing.
  void SetBase(uint16_t base);

  // Lines for the operation log. A failed acquisition leaves one line; a later
  // acquisition replaces a line nobody has taken yet, so the log never tells of
  // a base that is no longer used.
  std::vector<std::string> TakeNotes();

  Mode GetMode() const { return mode_; }
  uint16_t Base() const { return base_; }
  // One line for a title or a console: the port and how it is reached.
  std::string Describe() const;

 private:
  void Acquire();
  void Release();
  bool TryIoperm(std::string* reason);
  bool TryPpdev(std::string* reason);
  bool Covered(uint16_t port) const {
    return mode_ != Mode::None && port >= base_ && port - base_ < 3;
  }

  PortSys& sys_;
  uint16_t base_;
  Mode mode_ = Mode::None;
  int fd_ = -1;
  std::string device_;  // /dev/parportN in ppdev mode
  std::vector<std::string> notes_;
};

}  // namespace tvn
