// tvn2520ver-cli: the update and the single chip operations without a window,
// printing the same log lines as the window's log.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "app/console_host.h"
#include "app/ini_file.h"
#include "app/operations.h"
#include "app/session.h"
#include "app/station.h"
#include "icsp/detect.h"
#include "icsp/memory_ops.h"
#include "image/builtin_images.h"
#include "image/hex_writer.h"
#include "sim/station_factory.h"

namespace {

void PrintHelp() {
  std::printf(
      "Использование: tvn2520ver-cli [параметры] КОМАНДА\n"
      "\n"
      "Команды:\n"
      "  update          обновление модуля: поиск программатора, загрузка образа, очистка,\n"
      "                  конфигурация, программирование, чтение, сравнение, защита\n"
      "  detect          найти программатор и определить микросхему\n"
      "  erase           очистить всю память и снять защиту\n"
      "  read FILE.hex   прочитать программную память микросхемы в файл Intel HEX\n"
      "  image 2520|252 [FILE.hex]\n"
      "                  встроенный образ для микросхемы в виде Intel HEX\n"
      "\n"
      "Параметры:\n"
      "  --port ADDR     адрес порта принтера (по умолчанию 0x378)\n"
      "  --help          эта справка\n"
      "\n"
      "Без --simulate программа работает только с настоящими программаторами.\n"
      "%s",
      tvn::sim::SimulateHelp().c_str());
}

// Writes the whole file or leaves the old one: never a half-written HEX file.
int WriteOrFail(const std::string& path, const std::string& text);

int Fail(const std::string& text) {
  std::fprintf(stderr, "%s\n", text.c_str());
  return 2;
}

int WriteOrFail(const std::string& path, const std::string& text) {
  std::string why;
  if (tvn::ReplaceFileAtomically(path, text, &why)) return 0;
  return Fail("Не удалось записать файл " + path + ": " + why);
}

bool KnownCommand(const std::vector<std::string>& rest) {
  const std::string& c = rest[0];
  if (c == "update" || c == "detect" || c == "erase") return rest.size() == 1;
  if (c == "read") return rest.size() == 2;
  if (c == "image")
    return (rest.size() == 2 || rest.size() == 3) && (rest[1] == "2520" || rest[1] == "252");
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  bool simulate = false;
  std::string simValue;
  std::vector<std::string> faults;
  long port = -1;
  std::vector<std::string> rest;

  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--help" || a == "-h") {
      PrintHelp();
      return 0;
    } else if (a == "--simulate") {
      simulate = true;
    } else if (a.rfind("--simulate=", 0) == 0) {
      simulate = true;
      simValue = a.substr(11);
    } else if (a.rfind("--fault-", 0) == 0) {
      faults.push_back(a.substr(8));
    } else if (a == "--port" && i + 1 < args.size()) {
      port = std::strtol(args[++i].c_str(), nullptr, 0);
    } else if (a.rfind("--port=", 0) == 0) {
      port = std::strtol(a.c_str() + 7, nullptr, 0);
    } else if (a.rfind("--", 0) == 0) {
      return Fail("Неизвестный параметр " + a + " (см. --help)");
    } else {
      rest.push_back(a);
    }
  }
  if (rest.empty()) {
    PrintHelp();
    return 2;
  }
  if (!faults.empty() && !simulate) return Fail("Неисправности задаются только вместе с --simulate");
  if (port != -1 && (port <= 0 || port > 0xFFFF)) return Fail("Неверный адрес порта");

  for (const std::string& f : faults) simValue += (simValue.empty() ? "" : ",") + f;

  // Checked before any hardware is opened.
  if (!KnownCommand(rest)) return Fail("Неизвестная команда или неверные аргументы (см. --help)");
  const std::string& command = rest[0];
  if (command == "image") {
    // The built-in image needs no programmer: no hardware is touched.
    tvn::ConsoleHost host(stderr, stderr);
    tvn::NoPort noPort;
    tvn::NoD2xx noUsb;
    tvn::SystemTickSource ticks;
    tvn::Session image(host, tvn::Hardware{noPort, noUsb, ticks});
    image.sel.prog4520 = rest[1] == "2520";
    if (tvn::SpeedButton7Click(image) != 0) return 1;
    std::string hex = tvn::ReferenceImageHex(image.image);
    if (rest.size() == 2) {
      std::fputs(hex.c_str(), stdout);
      return 0;
    }
    return WriteOrFail(rest[2], hex);
  }

  std::unique_ptr<tvn::Station> station;
  if (simulate) {
    std::string error;
    station = tvn::sim::MakeSimStation(simValue, &error);
    if (!station) return Fail(error);
  } else {
    station = tvn::MakeRealStation();
  }
  if (port != -1) station->SetPortBase(static_cast<uint16_t>(port));

  tvn::ConsoleHost host;
  tvn::Session session(host, station->GetHardware());
  if (port != -1) session.lpt.adrLpt = static_cast<uint16_t>(port);
  station->Attach(session);
  for (const std::string& note : station->TakeStartupNotes()) host.Okno(note);

  if (command == "update") return tvn::SpeedButton4Click(session) ? 0 : 1;
  if (command == "detect") return tvn::DetectChip(session) ? 0 : 1;
  if (command == "erase") {
    if (!tvn::DetectChip(session)) return 1;
    tvn::SpeedButton12Click(session);
    // The erase itself checks nothing; say only what was done.
    host.Okno("Команда очистки отправлена (результат не проверялся).");
    return 0;
  }
  // read FILE.hex
  if (!tvn::DetectChip(session)) return 1;
  tvn::ReadMemory(session);
  if (int rc = WriteOrFail(rest[1], tvn::ChipImageHex(session.image))) return rc;
  host.Okno("Память программ записана в " + rest[1]);
  return 0;
}
