#include "transport/linux_port_io.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/ppdev.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <sys/io.h>
#define TVN_HAVE_PORT_INSTRUCTIONS 1
#endif

#include "app/format.h"

namespace tvn {

namespace {

class SystemPortSys : public PortSys {
 public:
  int Ioperm(unsigned long from, unsigned long num, int on, int* err) override {
#ifdef TVN_HAVE_PORT_INSTRUCTIONS
    if (ioperm(from, num, on) == 0) return 0;
    *err = errno;
    return -1;
#else
    (void)from, (void)num, (void)on;
    *err = ENOSYS;
    return -1;
#endif
  }
  uint8_t Inb(uint16_t port) override {
#ifdef TVN_HAVE_PORT_INSTRUCTIONS
    return inb(port);
#else
    (void)port;
    return 0xFF;
#endif
  }
  void Outb(uint16_t port, uint8_t value) override {
#ifdef TVN_HAVE_PORT_INSTRUCTIONS
    outb(value, port);
#else
    (void)port, (void)value;
#endif
  }
  int Open(const std::string& path, int* err) override {
    int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) *err = errno;
    return fd;
  }
  int Ioctl(int fd, unsigned long request, void* arg, int* err) override {
    int r = ::ioctl(fd, request, arg);
    if (r < 0) *err = errno;
    return r;
  }
  void Close(int fd) override { ::close(fd); }
  std::vector<std::string> ListDir(const std::string& dir) override {
    std::vector<std::string> names;
    DIR* d = ::opendir(dir.c_str());
    if (!d) return names;
    while (dirent* e = ::readdir(d)) {
      std::string n = e->d_name;
      if (n != "." && n != "..") names.push_back(n);
    }
    ::closedir(d);
    return names;
  }
  bool ReadSmallFile(const std::string& path, std::string* text) override {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    char buf[256];
    size_t n = std::fread(buf, 1, sizeof buf, f);
    std::fclose(f);
    text->assign(buf, n);
    return true;
  }
};

constexpr const char* kParportProc = "/proc/sys/dev/parport";

// The reasons the operator reads, in the words of the desk rather than errno.
std::string ErrnoText(int err) {
  switch (err) {
    case EPERM:
    case EACCES:
      return "нет прав доступа";
    case ENOENT:
      return "нет такого устройства";
    case ENODEV:
    case ENXIO:
      return "устройство не отвечает";
    case EBUSY:
      return "порт занят другой программой";
    default:
      return Format("ошибка %d (%s)", err, std::strerror(err));
  }
}

std::string IopermReason(int err) {
  if (err == EPERM || err == EACCES)
    return "нет прав на прямой доступ к портам (нужен root или CAP_SYS_RAWIO)";
  if (err == ENOSYS) return "прямой доступ к портам на этой платформе невозможен";
  return "прямой доступ к портам: " + ErrnoText(err);
}

// "parport0" -> true; "default" and anything else -> false.
bool IsParportName(const std::string& name) {
  if (name.size() <= 7 || name.compare(0, 7, "parport") != 0) return false;
  for (size_t i = 7; i < name.size(); ++i)
    if (name[i] < '0' || name[i] > '9') return false;
  return true;
}

// base-addr holds the base and the ECP base in decimal; the first is ours.
bool ParseBaseAddr(const std::string& text, unsigned long* base) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  if (i >= text.size() || text[i] < '0' || text[i] > '9') return false;
  unsigned long v = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    v = v * 10 + static_cast<unsigned long>(text[i] - '0');
    if (v > 0xFFFFFF) return false;
  }
  *base = v;
  return true;
}

}  // namespace

PortSys& RealPortSys() {
  static SystemPortSys sys;
  return sys;
}

LinuxPortIo::LinuxPortIo(uint16_t base, PortSys& sys) : sys_(sys), base_(base) { Acquire(); }

LinuxPortIo::~LinuxPortIo() { Release(); }

uint8_t LinuxPortIo::PortIn(uint16_t port) {
  if (!Covered(port)) return 0xFF;
  if (mode_ == Mode::Ioperm) return sys_.Inb(port);
  unsigned char value = 0xFF;
  unsigned long request;
  switch (port - base_) {
    case 0: request = PPRDATA; break;
    case 1: request = PPRSTATUS; break;
    default: request = PPRCONTROL; break;
  }
  int err = 0;
  if (sys_.Ioctl(fd_, request, &value, &err) < 0) return 0xFF;
  return value;
}

void LinuxPortIo::PortOut(uint16_t port, uint8_t value) {
  if (!Covered(port)) return;
  if (mode_ == Mode::Ioperm) {
    sys_.Outb(port, value);
    return;
  }
  unsigned char v = value;
  int err = 0;
  switch (port - base_) {
    case 0: sys_.Ioctl(fd_, PPWDATA, &v, &err); break;
    case 2: sys_.Ioctl(fd_, PPWCONTROL, &v, &err); break;
    default: break;  // the status register cannot be written
  }
}

void LinuxPortIo::SetBase(uint16_t base) {
  if (base == base_) return;
  Release();
  base_ = base;
  Acquire();
}

std::vector<std::string> LinuxPortIo::TakeNotes() {
  std::vector<std::string> out;
  out.swap(notes_);
  return out;
}

std::string LinuxPortIo::Describe() const {
  switch (mode_) {
    case Mode::Ioperm: return Format("LPT %Xh (ioperm)", base_);
    case Mode::Ppdev: return Format("LPT %Xh (%s)", base_, device_.c_str());
    case Mode::None: break;
  }
  return Format("LPT %Xh (нет доступа)", base_);
}

void LinuxPortIo::Acquire() {
  notes_.clear();
  std::string whyNoIoperm, whyNoPpdev;
  if (TryIoperm(&whyNoIoperm)) {
    mode_ = Mode::Ioperm;
    return;
  }
  if (TryPpdev(&whyNoPpdev)) {
    mode_ = Mode::Ppdev;
    return;
  }
  mode_ = Mode::None;
  notes_.push_back(Format("Порт принтера %Xh недоступен: %s; %s. Программатор на порту принтера работать не будет.",
                          base_, whyNoIoperm.c_str(), whyNoPpdev.c_str()));
}

void LinuxPortIo::Release() {
  int err = 0;
  if (mode_ == Mode::Ioperm) {
    sys_.Ioperm(base_, 3, 0, &err);
  } else if (mode_ == Mode::Ppdev) {
    sys_.Ioctl(fd_, PPRELEASE, nullptr, &err);
    sys_.Close(fd_);
    fd_ = -1;
    device_.clear();
  }
  mode_ = Mode::None;
}

bool LinuxPortIo::TryIoperm(std::string* reason) {
  int err = 0;
  if (sys_.Ioperm(base_, 3, 1, &err) == 0) return true;
  *reason = IopermReason(err);
  return false;
}

bool LinuxPortIo::TryPpdev(std::string* reason) {
  std::string proc = kParportProc;
  bool anyPort = false;
  std::string lastFailure;
  for (const std::string& name : sys_.ListDir(proc)) {
    if (!IsParportName(name)) continue;
    anyPort = true;
    std::string text;
    unsigned long base = 0;
    if (!sys_.ReadSmallFile(proc + "/" + name + "/base-addr", &text) || !ParseBaseAddr(text, &base) ||
        base != base_)
      continue;
    std::string dev = "/dev/" + name;
    int err = 0;
    int fd = sys_.Open(dev, &err);
    if (fd < 0) {
      lastFailure = dev + ": " + ErrnoText(err) + (err == EACCES ? " (нужна группа lp)" : "");
      continue;
    }
    if (sys_.Ioctl(fd, PPCLAIM, nullptr, &err) < 0) {
      lastFailure = dev + ": " + ErrnoText(err);
      sys_.Close(fd);
      continue;
    }
    fd_ = fd;
    device_ = dev;
    return true;
  }
  if (!lastFailure.empty())
    *reason = lastFailure;
  else if (anyPort)
    *reason = Format("параллельного порта с адресом %Xh в системе нет", base_);
  else
    *reason = "параллельных портов в системе нет (модули parport_pc и ppdev не загружены?)";
  return false;
}

}  // namespace tvn
