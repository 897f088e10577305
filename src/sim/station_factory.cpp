#include "sim/station_factory.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <sstream>
#include <vector>

#include "image/builtin_images.h"
#include "sim/sim_ftdi.h"
#include "sim/sim_pic18.h"
#include "sim/sim_tarrowgate.h"
#include "sim/virtual_clock.h"

namespace tvn::sim {

namespace {

struct SimPlan {
  bool lpt = true;
  bool usb = false;
  ChipModel model = ChipModel::Pic18F2520;
  SimPic18::Faults faults;
  bool corruptImage = false;
  bool unwritableDir = false;
  std::optional<uint64_t> unplugAfter;
  std::optional<std::pair<int, uint32_t>> shortWrites;
  std::optional<std::pair<uint64_t, uint64_t>> lostEchoes;
};

bool ParseNumber(const std::string& text, uint64_t* out) {
  if (text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  unsigned long long v = std::strtoull(text.c_str(), &end, 0);
  if (errno || *end) return false;
  *out = v;
  return true;
}

// "a:b" into two numbers.
bool ParsePair(const std::string& text, uint64_t* a, uint64_t* b) {
  auto colon = text.find(':');
  if (colon == std::string::npos) return false;
  return ParseNumber(text.substr(0, colon), a) && ParseNumber(text.substr(colon + 1), b);
}

bool ParseToken(const std::string& token, SimPlan* plan, std::string* error) {
  auto eq = token.find('=');
  std::string name = token.substr(0, eq);
  std::string value = eq == std::string::npos ? "" : token.substr(eq + 1);
  uint64_t a = 0, b = 0;
  auto bad = [&] {
    *error = "Неверное значение в --simulate: " + token;
    return false;
  };
  if (name == "lpt" || name == "usb" || name == "both" || name == "none") {
    plan->lpt = name == "lpt" || name == "both";
    plan->usb = name == "usb" || name == "both";
  } else if (name == "2520") {
    plan->model = ChipModel::Pic18F2520;
  } else if (name == "252") {
    plan->model = ChipModel::Pic18F252;
  } else if (name == "no-chip") {
    plan->faults.noChip = true;
  } else if (name == "devid") {
    if (!ParsePair(value, &a, &b) || a > 0xFF || b > 0xFF) return bad();
    plan->faults.devid1 = static_cast<uint8_t>(a);
    plan->faults.devid2 = static_cast<uint8_t>(b);
  } else if (name == "devid-reads") {
    if (!ParseNumber(value, &a)) return bad();
    plan->faults.devidOverrideReads = static_cast<uint32_t>(a);
  } else if (name == "stuck-bit") {
    if (!ParsePair(value, &a, &b) || a > 7 || b > 1) return bad();
    plan->faults.stuckBit = static_cast<int>(a);
    plan->faults.stuckLevel = b == 1;
  } else if (name == "bad-word" || name == "bad-word-once") {
    if (!ParseNumber(value, &a) || a >= 0x4000) return bad();
    plan->faults.badWord = static_cast<uint32_t>(a);
    plan->faults.badWordMode =
        name == "bad-word" ? SimPic18::BadWordMode::Always : SimPic18::BadWordMode::Once;
  } else if (name == "config-byte") {
    if (!ParseNumber(value, &a) || a > 13) return bad();
    plan->faults.configNoWrite = static_cast<int>(a);
  } else if (name == "flaky") {
    char* end = nullptr;
    double p = std::strtod(value.c_str(), &end);
    if (value.empty() || *end || p < 0 || p > 1) return bad();
    plan->faults.flakyReadProbability = p;
  } else if (name == "corrupt-image") {
    plan->corruptImage = true;
  } else if (name == "unwritable-dir") {
    plan->unwritableDir = true;
  } else if (name == "unplug") {
    if (!ParseNumber(value, &a)) return bad();
    plan->unplugAfter = a;
  } else if (name == "short-writes") {
    if (!ParsePair(value, &a, &b) || a > 1000000 || b > 65535) return bad();
    plan->shortWrites = std::make_pair(static_cast<int>(a), static_cast<uint32_t>(b));
  } else if (name == "lost-echoes") {
    if (!ParsePair(value, &a, &b)) return bad();
    plan->lostEchoes = std::make_pair(a, b);
  } else {
    *error = "Неизвестный параметр --simulate: " + token + " (см. --help)";
    return false;
  }
  return true;
}

class SimStation : public Station {
 public:
  explicit SimStation(const SimPlan& plan)
      : plan_(plan),
        chip_(plan.model),
        lpt_(clock_, &chip_),
        ftdi_(clock_, &chip_),
        ticks_(clock_) {
    chip_.SetFaults(plan.faults);
    lpt_.SetPresent(plan.lpt);
    if (plan.usb)
      ftdi_.SetDevices({"Nimbrella"});
    else
      ftdi_.SetAbsent();
    if (plan.unplugAfter) ftdi_.UnplugAfter(*plan.unplugAfter);
    if (plan.shortWrites) ftdi_.ShortWrites(plan.shortWrites->first, plan.shortWrites->second);
    if (plan.lostEchoes) ftdi_.LoseEchoes(plan.lostEchoes->first, plan.lostEchoes->second);
  }

  ~SimStation() override {
    if (!savedDir_.empty()) {
      if (::chdir(savedDir_.c_str()) != 0) {
        // Nothing sensible to do at exit; the process keeps its directory.
      }
    }
  }

  Hardware GetHardware() override { return Hardware{lpt_, ftdi_, ticks_}; }

  std::string Describe() const override {
    std::string text = "симуляция: ";
    text += plan_.lpt ? (plan_.usb ? "Tarrowgate и Nimbrella" : "Tarrowgate") : (plan_.usb ? "Nimbrella" : "без программатора");
    text += plan_.model == ChipModel::Pic18F2520 ? ", PIC18F2520" : ", PIC18F252";
    return text;
  }

  std::vector<std::string> TakeStartupNotes() override {
    std::vector<std::string> notes;
    notes.swap(notes_);
    return notes;
  }

  void Attach(Session& s) override {
    if (plan_.corruptImage) {
      // One flipped byte in the middle of the ciphertext: the decrypted text
      // then fails its record checksum.
      for (bool prog4520 : {false, true}) {
        std::span<const uint8_t> good = BuiltinImage(prog4520);
        std::vector<uint8_t>& bad = damaged_[prog4520 ? 1 : 0];
        bad.assign(good.begin(), good.end());
        if (!bad.empty()) bad[bad.size() / 3] ^= 0x5A;
      }
      s.imageSource = [this](bool prog4520) {
        const std::vector<uint8_t>& v = damaged_[prog4520 ? 1 : 0];
        return std::span<const uint8_t>(v.data(), v.size());
      };
    }
    if (plan_.unwritableDir) MakeDirectoryUnwritable();
  }

  void SetPortBase(uint16_t base) override { lpt_.SetBase(base); }

  VirtualClock& Clock() { return clock_; }

 private:
  // A current directory that no longer exists: nothing can be created in it,
  // not even by root.
  void MakeDirectoryUnwritable() {
    char buf[4096];
    if (!::getcwd(buf, sizeof buf)) return;
    std::string dir = std::filesystem::temp_directory_path() / "tvn2520ver-gone-XXXXXX";
    std::vector<char> tmpl(dir.begin(), dir.end());
    tmpl.push_back('\0');
    if (!::mkdtemp(tmpl.data())) return;
    if (::chdir(tmpl.data()) != 0) return;
    savedDir_ = buf;
    ::rmdir(tmpl.data());
  }

  SimPlan plan_;
  VirtualClock clock_;
  SimPic18 chip_;
  SimTarrowgate lpt_;
  SimFtdi ftdi_;
  VirtualTickSource ticks_;
  std::vector<uint8_t> damaged_[2];
  std::vector<std::string> notes_;
  std::string savedDir_;
};

}  // namespace

std::string SimulateHelp() {
  return
      "Симуляция (программа работает с моделью программатора и микросхемы, без оборудования):\n"
      "  --simulate[=СПИСОК]   СПИСОК через запятую:\n"
      "      lpt | usb | both | none   какие программаторы подключены (по умолчанию lpt)\n"
      "      2520 | 252                 микросхема (по умолчанию 2520)\n"
      "  Неисправности (--fault-ИМЯ[=ЗНАЧЕНИЕ] в tvn2520ver-cli, или ИМЯ[=ЗНАЧЕНИЕ] в СПИСКЕ):\n"
      "      no-chip                    микросхема не подключена\n"
      "      devid=D1:D2                микросхема отвечает этим кодом ID (например 20:11)\n"
      "      devid-reads=N              ...только первые N чтений\n"
      "      stuck-bit=B:V              бит B каждого байта памяти залип в V (0 или 1)\n"
      "      bad-word=N | bad-word-once=N   слово N не программируется (всегда | один раз)\n"
      "      config-byte=I              байт конфигурации I (0..13) не записывается\n"
      "      flaky=P                    сбои чтения с вероятностью P на байт\n"
      "      corrupt-image              повреждённый встроенный образ\n"
      "      unwritable-dir             текущий каталог недоступен для записи\n"
      "      unplug=N                   USB-программатор отключается после N байт\n"
      "      short-writes=N:MAX         N передач USB записывают не больше MAX байт\n"
      "      lost-echoes=FIRST:COUNT    ответы USB с FIRST по FIRST+COUNT-1 теряются\n";
}

std::unique_ptr<Station> MakeSimStation(const std::string& value, std::string* error) {
  SimPlan plan;
  std::stringstream in(value);
  std::string token;
  while (std::getline(in, token, ',')) {
    if (token.empty()) continue;
    if (!ParseToken(token, &plan, error)) return nullptr;
  }
  return std::make_unique<SimStation>(plan);
}

}  // namespace tvn::sim
