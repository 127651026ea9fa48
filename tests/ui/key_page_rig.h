// A button page on a real Program with virtual mice, its questions and file
// dialogs scripted, and the mice's EEPROM at hand.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QThread>

#include <chrono>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "../device/discovery_rig.h"
#include "../profile/store_rig.h"
#include "app/paths.h"
#include "config/catalogue.h"
#include "device/link_options.h"
#include "program/program.h"
#include "sim/sim_transport.h"
#include "support/saved_globals.h"
#include "support/virtual_mice_options.h"
#include "ui/key_dlg.h"
#include "ui/menu_dlg.h"
#include "ui/program_backend.h"
#include "ui/qt_event_sink.h"
#include "ui/ui_style.h"

namespace tolvane::ui::test {

// Chooses the files a test names; counts the questions.
class ScriptedFileChooser : public PageChooser {
 public:
  std::string openPath, savePath;
  int opens = 0, saves = 0;
  std::string OpenFile(QWidget*, const QString&, const QString&) override {
    ++opens;
    return openPath;
  }
  std::string SaveFile(QWidget*, const QString&, const QString&) override {
    ++saves;
    return savePath;
  }
};

// The page's questions, answered from lists; every text shown is kept.
struct Script {
  QStringList messages, confirmsAsked;
  std::deque<bool> confirms;  // empty: every confirmation is refused
  std::optional<KeyCombo> combo;
  std::optional<int64_t> macro;  // the picker's answer
  int picks = 0;                 // times the picker was opened

  PagePrompts Prompts() {
    PagePrompts p;
    p.message = [this](QWidget*, const QString& t) { messages << t; };
    p.confirm = [this](QWidget*, const QString& t) {
      confirmsAsked << t;
      if (confirms.empty()) return false;
      const bool b = confirms.front();
      confirms.pop_front();
      return b;
    };
    p.combo = [this](QWidget*, const QString&, bool) { return combo; };
    p.pickMacro = [this](QWidget*, Program&) {
      ++picks;
      return macro;
    };
    return p;
  }
};

// Delivers queued events until `pred` holds (true) or the time is up.
template <class Pred>
bool PumpUntil(Pred pred, int ms = 10000) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (std::chrono::steady_clock::now() < end) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    if (pred()) return true;
    QThread::msleep(2);
  }
  QCoreApplication::processEvents();
  return pred();
}

inline void PumpFor(int ms) {
  PumpUntil([] { return false; }, ms);
}

class KeyPageRig : public ::testing::Test {
 protected:
  void SetUp() override {
    savedStyle_ = Style();
    sink_ = std::make_unique<QtEventSink>(qApp);
    sink_->SetHandler([this](uint32_t m, uintptr_t w, intptr_t l) {
      if (page_) page_->OnCoreEvent(m, w, l);
    });
  }
  void TearDown() override {
    CMenuDlg::CloseOpen();
    page_.reset();
    if (program_) program_->Exit();
    program_.reset();
    sink_->SetHandler({});
    sink_.reset();
    Style() = savedStyle_;
    SetSkinDir("");
  }

  // The program on virtual mice, with the build's data (cfg.ini, texts and
  // the generated skin).
  void Start(std::vector<std::string> specs) {
    program_ = std::make_unique<Program>(*sink_);
    ProgramOptions o = tolvane::test::VirtualMiceOptions(
        std::string(TOLVANE_BINARY_DIR) + "share/tolvane/", tmp_.Dir(), std::move(specs));
    o.tuneSession = [](SessionOptions& s) {
      s.behaviorPowerDelayMs = 1;
      s.progressLookMs = 20;
    };
    ASSERT_EQ(program_->Start(o), StartResult::Ok);
    ASSERT_TRUE(program_->WaitDevicesSettled(10000));
    SetSkinDir(ProgramDir + "skins/");
    ApplyCatalogueStyle(g_Catalogue());
    LoadMenuPictures();
  }
  // Makes the mouse of this identity current and waits for its profile.
  void Choose(uint8_t cid, uint8_t mid) {
    const int entry = program_->Manager().List().FindByIdentity(cid, mid);
    ASSERT_GE(entry, 0);
    const Ticket t = program_->ChooseDevice(entry);
    ASSERT_TRUE(program_->Wait(t, 10000));
    ASSERT_EQ(program_->Result(t), std::optional<bool>(true));
    PumpFor(20);
    if (page_) page_->Refresh();
  }
  void MakePage() {
    page_ = std::make_unique<CKeyDlg>(nullptr, *program_, chooser_, script_.Prompts());
    page_->Refresh();
  }
  std::shared_ptr<sim::VirtualMouse> Mouse(size_t i) {
    return program_->Simulated()->Mice().at(i);
  }
  std::vector<uint8_t> Eeprom(size_t mouse) {
    const auto s = Mouse(mouse)->Snapshot();
    return std::vector<uint8_t>(s.eeprom.begin(), s.eeprom.end());
  }
  ProfileFile Record() {
    auto f = program_->Profile();
    EXPECT_TRUE(f.has_value());
    return f.value_or(ProfileFile{});
  }
  bool ApplyIdle() {
    PumpFor(10);
    return program_->WaitApplyIdle(10000);
  }
  // The record as the mouse gives it back on a fresh read.
  ProfileFile ReadBack() {
    const Ticket t = program_->ReadProfile();
    EXPECT_TRUE(program_->Wait(t, 10000));
    PumpFor(10);
    return Record();
  }
  // Addresses in [from, to) whose bytes differ.
  static std::vector<int> Changed(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b,
                                  int from, int to) {
    std::vector<int> out;
    for (int i = from; i < to && i < int(a.size()) && i < int(b.size()); ++i)
      if (a[size_t(i)] != b[size_t(i)]) out.push_back(i);
    return out;
  }

  tolvane::test::TempDir tmp_;
  std::unique_ptr<QtEventSink> sink_;
  std::unique_ptr<Program> program_;
  ScriptedFileChooser chooser_;
  Script script_;
  std::unique_ptr<CKeyDlg> page_;
  tolvane::test::SavedGlobals saved_;
  UiStyle savedStyle_;
};

}  // namespace tolvane::ui::test
