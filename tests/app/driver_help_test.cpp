// The driver installation help written into the log.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "app/driver_help.h"
#include "support/recording_host.h"

namespace {

// A printer port and FTDI library that only count being touched: the help must
// leave the programmer alone.
struct CountingPort : tvn::PortIo {
  uint8_t PortIn(uint16_t) override {
    ++uses;
    return 0xFF;
  }
  void PortOut(uint16_t, uint8_t) override { ++uses; }
  int uses = 0;
};

struct CountingD2xx : tvn::NoD2xx {
  tvn::FT_STATUS ListDeviceCount(int32_t* count) override {
    ++uses;
    return NoD2xx::ListDeviceCount(count);
  }
  tvn::FT_STATUS OpenByDescription(const char* d, tvn::FT_HANDLE* h) override {
    ++uses;
    return NoD2xx::OpenByDescription(d, h);
  }
  int uses = 0;
};

struct FixedTicks : tvn::TickSource {
  uint32_t GetTickCount() override { return 1000; }
};

class DriverHelp : public ::testing::Test {
 protected:
  tvn::test::RecordingHost host;
  CountingPort port;
  CountingD2xx d2xx;
  FixedTicks ticks;
  tvn::Session s{host, tvn::Hardware{port, d2xx, ticks}};
};

TEST_F(DriverHelp, ReplacesTheLogWithTheNineteenLines) {
  host.Okno("Программирование - OK. Можно подключать следующий модуль.");
  tvn::SpeedButton20Click(s);

  ASSERT_EQ(host.log.size(), 19u);
  EXPECT_EQ(host.clears, 1);
  EXPECT_EQ(host.log.front(),
            "Производители компьютеров достаточно давно перестали выпускать системные блоки с "
            "поддержкой интерфейса LPT (порт принтера).");
  EXPECT_EQ(host.log[5],
            "1)Создайте папку (например \"Nimbrella\") на Вашем компьютере и перепишите туда "
            "следующие файлы:nimbrella.inf и папку i386 с файлами: ftdibus.sys; ftbusui.dll; "
            "ftd2xx.dll; ftlang.dll.");
  EXPECT_EQ(host.log[17], "Нажмите кнопку \"Готово\".");
  EXPECT_EQ(host.log.back(),
            "9)Nimbrella - готов к использованию.Можно запускать различные программы обновления "
            "для разных модулей.");
  // The numbered steps 1) .. 9) appear in order, each at the start of a line.
  int step = 1;
  for (const std::string& line : host.log)
    if (line.size() > 1 && line[0] == '0' + step && line[1] == ')') ++step;
  EXPECT_EQ(step, 10);
}

TEST_F(DriverHelp, TwiceShowsTheLinesOnceAndTouchesNoProgrammer) {
  tvn::SpeedButton20Click(s);
  tvn::SpeedButton20Click(s);
  ASSERT_EQ(host.log.size(), tvn::DriverHelpText().size());
  for (std::size_t i = 0; i < host.log.size(); ++i)
    EXPECT_EQ(host.log[i], tvn::DriverHelpText()[i]) << "line " << i + 1;
  EXPECT_EQ(port.uses, 0);
  EXPECT_EQ(d2xx.uses, 0);
  EXPECT_TRUE(host.locks.empty());
  EXPECT_FALSE(host.busyCursor);
}

}  // namespace
