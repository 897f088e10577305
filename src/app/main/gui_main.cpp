// tvn2520ver: the update window. Real programmers by default; --simulate runs the
// same window against the simulated bench.
#include <QApplication>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "app/gui/main_window.h"
#include "app/station.h"
#include "sim/station_factory.h"

namespace {

void PrintHelp() {
  std::printf(
      "Использование: tvn2520ver [параметры]\n"
      "\n"
      "Окно обновления модулей КРД (PIC18F252) и ТВН (PIC18F2520) через программатор\n"
      "Tarrowgate (порт принтера) или Nimbrella (USB).\n"
      "\n"
      "Параметры:\n"
      "  --help          эта справка\n"
      "  --simulate[=...]  работать с имитацией программатора и микросхемы\n"
      "\n"
      "Без --simulate программа работает только с настоящими программаторами:\n"
      "портом принтера через ядро и программатором USB через libftdi.\n"
      "%s",
      tvn::sim::SimulateHelp().c_str());
}

bool IsHelp(const char* a) { return std::strcmp(a, "--help") == 0 || std::strcmp(a, "-h") == 0; }

}  // namespace

int main(int argc, char** argv) {
  // Answered before any window system is touched, so it works without a display.
  for (int i = 1; i < argc; ++i)
    if (IsHelp(argv[i])) {
      PrintHelp();
      return 0;
    }

  QApplication app(argc, argv);  // takes its own options (-platform, -style) out of argv

  bool simulate = false;
  std::string simValue;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--simulate") {
      simulate = true;
    } else if (a.rfind("--simulate=", 0) == 0) {
      simulate = true;
      simValue = a.substr(std::strlen("--simulate="));
    } else {
      std::fprintf(stderr, "Неизвестный параметр: %s (см. --help)\n", a.c_str());
      return 2;
    }
  }

  // Port access is settled before any window exists.
  std::unique_ptr<tvn::Station> station;
  if (simulate) {
    std::string error;
    station = tvn::sim::MakeSimStation(simValue, &error);
    if (!station) {
      std::fprintf(stderr, "--simulate=%s: %s\n", simValue.c_str(), error.c_str());
      return 2;
    }
  } else {
    station = tvn::MakeRealStation();
  }

  int rc = 0;
  {
    tvn::TProg12 window(*station, argc > 0 ? argv[0] : "");
    if (window.Start()) rc = QApplication::exec();
  }
  // The windows are gone; the station gives the port back as it goes.
  station.reset();
  return rc;
}
