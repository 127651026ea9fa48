// A real Program on virtual mice for the page tests: its events reach the
// page on the test's (window's) thread through a QtEventSink, the current
// device's profile is read before a test starts, and the mouse's EEPROM and
// the reports the program sends can be inspected.
#pragma once

#include <QCoreApplication>
#include <QTest>
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "../device/discovery_rig.h"
#include "../profile/store_rig.h"
#include "app/paths.h"
#include "config/catalogue.h"
#include "config/texts.h"
#include "device/framing.h"
#include "device/hid_dev.h"
#include "device/link_options.h"
#include "program/program.h"
#include "sim/sim_transport.h"
#include "support/saved_globals.h"
#include "support/virtual_mice_options.h"
#include "ui/color_dlg.h"
#include "ui/program_page.h"
#include "ui/qt_event_sink.h"
#include "ui/ui_style.h"

namespace tolvane::ui::test {

// A colour chooser that answers from a script and counts its openings.
class ScriptedChooser : public Chooser {
 public:
  std::vector<std::optional<uint32_t>> answers;
  int opened = 0;
  uint32_t lastInitial = 0;
  std::optional<uint32_t> ChooseColor(QWidget*, uint32_t initial) override {
    lastInitial = initial;
    if (size_t(opened) >= answers.size()) return std::nullopt;
    return answers[size_t(opened++)];
  }
};

// One EEPROM write the program sent: address and data.
struct EepromWrite {
  uint16_t addr = 0;
  std::vector<uint8_t> data;
};

class PageRig : public ::testing::Test {
 protected:
  void SetUp() override {
    SetSkinDir(std::string(TOLVANE_BINARY_DIR) + "share/tolvane/skins/");
  }
  void TearDown() override {
    sink_.SetHandler({});
    attached_ = nullptr;
    if (program_) program_->Exit();
    program_.reset();
    SetSkinDir("");
  }
  // Starts the program on `specs` and reads the first mouse's profile.
  void Start(std::vector<std::string> specs) {
    program_ = std::make_unique<Program>(sink_);
    ProgramOptions o =
        tolvane::test::VirtualMiceOptions(TOLVANE_SOURCE_DATA_DIR, tmp_.Dir(), std::move(specs));
    o.trace = [this](TraceDir dir, const Report& r) {
      if (dir != TraceDir::ToDevice || r[1 + kPayCmd] != 0x07) return;
      EepromWrite w;
      w.addr = uint16_t(r[1 + kPayAddrHi] << 8 | r[1 + kPayAddrLo]);
      const size_t n = std::min<size_t>(r[1 + kPayLen], 10);
      w.data.assign(r.begin() + 1 + kPayData, r.begin() + 1 + kPayData + long(n));
      std::lock_guard g(writesMu_);
      writes_.push_back(std::move(w));
    };
    ASSERT_EQ(program_->Start(o), StartResult::Ok);
    ASSERT_TRUE(program_->WaitDevicesSettled(tolvane::test::kWaitMs));
    const auto devices = program_->Devices();
    int entry = -1;
    for (const DevEntryView& v : devices)
      if (v.pDev && entry < 0) entry = int(v.nIndex);
    ASSERT_GE(entry, 0);
    const Ticket t = program_->ChooseDevice(entry);
    ASSERT_TRUE(program_->Wait(t, tolvane::test::kWaitMs));
    ASSERT_TRUE(program_->Profile().has_value());
    Settle();
  }
  // Hands the program's events to `page`.
  void Attach(ProgramPage* page) {
    attached_ = page;
    sink_.SetHandler([this](uint32_t m, uintptr_t w, intptr_t l) {
      if (attached_) attached_->OnCoreEvent(m, w, l);
    });
  }
  // Waits until every requested write has ended and the events are in.
  void Settle() {
    ASSERT_TRUE(program_->WaitApplyIdle(tolvane::test::kWaitMs));
    QCoreApplication::processEvents();
  }
  bool WaitUntil(const std::function<bool()>& pred, int ms = tolvane::test::kWaitMs) {
    return QTest::qWaitFor(pred, ms);
  }
  std::shared_ptr<sim::VirtualMouse> Mouse(size_t i = 0) {
    return program_->Simulated()->Mice().at(i);
  }
  std::vector<EepromWrite> TakeWrites() {
    std::lock_guard g(writesMu_);
    return std::exchange(writes_, {});
  }
  std::vector<uint8_t> Eeprom(uint16_t addr, size_t n) {
    const auto e = Mouse()->EepromCopy();
    return std::vector<uint8_t>(e.begin() + addr, e.begin() + addr + long(n));
  }

  QtEventSink sink_;
  std::unique_ptr<Program> program_;
  ProgramPage* attached_ = nullptr;
  tolvane::test::TempDir tmp_;
  std::mutex writesMu_;
  std::vector<EepromWrite> writes_;

 private:
  tolvane::test::SavedGlobals saved_;
};

// A page of type P on the rig's program: made with the program and `args`,
// its messages kept, the program's events handed to it; gone before the
// program.
template <class P>
class PageTest : public PageRig {
 protected:
  template <class... A>
  P& MakePage(A&&... args) {
    Attach(nullptr);
    page_.reset(new P(nullptr, *program_, std::forward<A>(args)...));
    page_->SetMessageFn([this](const QString& t) { messages_.push_back(t); });
    Attach(page_.get());
    return *page_;
  }
  void TearDown() override {
    Attach(nullptr);
    page_.reset();
    PageRig::TearDown();
  }

  std::unique_ptr<P> page_;
  std::vector<QString> messages_;
};

}  // namespace tolvane::ui::test
