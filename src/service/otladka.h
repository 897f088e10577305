// The hardware debug window's behaviour, without the window: each ICSP line
// switched by hand, the Zad delay circuit driven and read on the printer port,
// and endless test patterns for an oscilloscope that run until stopped. The
// object lives as long as the program, so the line states survive closing and
// reopening the window.
#pragma once

#include <cstdint>
#include <string>

#include "app/session.h"

namespace tvn {

class Otladka {
 public:
  static constexpr const char* kCaption = "Отладка  оборудования.";
  static constexpr const char* kLabel1Start = "Длительность RB6 10мкс.";

  explicit Otladka(Session& s) : s_(s) {}
  Otladka(const Otladka&) = delete;
  Otladka& operator=(const Otladka&) = delete;

  // Line toggles. With the USB programmer, "RB6" and "RB7" only queue the new
  // pin state; it reaches the pins with the next transfer.
  void SpeedButton1Click();  // "MCLR": SetVpp
  void SpeedButton2Click();  // "RB6": SetPgc
  void SpeedButton3Click();  // "RB7": SetPgd
  void SpeedButton9Click();  // "3v/5v": the USB programmer's voltage select
  // The Zad circuit, always on the printer port; both leave their text in label1.
  void SpeedButton4Click();  // "WR_Zad"
  void SpeedButton5Click();  // "RD_Zad"

  // Test loops: each returns only after "Завершить" or closing the window. Every
  // pass calls Host::KeepAlive, through which the other buttons stay usable; a
  // test button pressed meanwhile runs a nested loop, and one stop ends them all.
  void SpeedButton7Click();  // "Задержка": re-send the first 54 queued USB bytes
  void SpeedButton8Click();  // "1 байт->Чип": 55h
  void DataClick();          // "8 байт->Чип": AAh, 56h .. 5Ch
  void SpeedButton6Click();  // "Гот-?": table read command and a byte read
  void ZaverchClick();       // "Завершить"
  // The window closes: every running loop ends.
  void FormClose() { otladStop = true; }

  // One byte outside the ICSP framing, least significant bit first, for the
  // scope. On the printer port it switches the programming voltage off first;
  // on USB it leaves MCLR alone and only queues.
  void SendRawByte(uint8_t b);

  // Test loops now running (nested ones count each).
  int RunningLoops() const { return running_; }

  bool mclrState = false;  // MclrState
  bool rb6State = false;   // Rb6State
  bool rb7State = false;   // Rb7State
  bool zadState = false;   // ZadState
  bool voltState = false;  // VoltState
  bool otladStop = false;  // OtladStop
  std::string label1 = kLabel1Start;  // Label1

 private:
  template <typename Pass>
  void TestLoop(bool passBeforeMessages, Pass pass);
  void FlushUsb();

  Session& s_;
  int running_ = 0;
};

}  // namespace tvn
