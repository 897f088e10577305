#include <memory>

#include "app/station.h"
#include "transport/d2xx_libftdi.h"
#include "transport/linux_port_io.h"
#include "transport/tick_source.h"

namespace tvn {

namespace {

// The printer port through the kernel, the USB programmer through libftdi and
// the system's monotonic millisecond clock.
class RealStation : public Station {
 public:
  Hardware GetHardware() override { return Hardware{port_, ftdi_, ticks_}; }
  std::string Describe() const override { return "оборудование: " + port_.Describe(); }
  std::vector<std::string> TakeStartupNotes() override {
    std::vector<std::string> notes = port_.TakeNotes();
    if (!ftdi_.Usable() && !ftdi_.LastError().empty())
      notes.push_back("USB-программатор недоступен: " + ftdi_.LastError());
    return notes;
  }
  void SetPortBase(uint16_t base) override { port_.SetBase(base); }

 private:
  LinuxPortIo port_;
  LibFtdiD2xx ftdi_;
  SystemTickSource ticks_;
};

}  // namespace

std::unique_ptr<Station> MakeRealStation() { return std::make_unique<RealStation>(); }

}  // namespace tvn
