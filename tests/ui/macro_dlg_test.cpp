// The macro page and the macro picker on a real program with a virtual mouse:
// recording from Qt key events, inserting, saving, assigning through the
// picker, and what lands in the mouse's EEPROM.
#include "ui/macro_dlg.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <thread>

#include "../device/discovery_rig.h"
#include "app/paths.h"
#include "config/catalogue.h"
#include "device/link_options.h"
#include "macro/hd_macro.h"
#include "macro/macro_file.h"
#include "macro/macro_library.h"
#include "profile/key_codes.h"
#include "profile/profile_edit.h"
#include "profile/profile_file.h"
#include "program/program.h"
#include "sim/sim_transport.h"
#include "support/saved_globals.h"
#include "ui/key_dlg.h"
#include "ui/macro_feed.h"
#include "ui/my_edit.h"
#include "ui/pick_macro_dlg.h"
#include "ui/png_btn.h"
#include "ui/status_dlgs.h"
#include "ui/tree_ctrl.h"
#include "ui/ui_message.h"
#include "ui/ui_style.h"
#include "ui_test_util.h"

namespace tolvane::ui {
namespace {

namespace fs = std::filesystem;

class ScriptedChooser : public MacroDlgChooser {
 public:
  std::vector<QString> messages;
  bool confirm = true;
  std::optional<QString> text;
  std::optional<int> number;
  std::optional<KeyCombo> key;
  std::optional<std::string> openFile, saveFile;
  QString offeredName;
  void Message(QWidget*, const QString& t) override { messages.push_back(t); }
  bool Confirm(QWidget*, const QString&) override { return confirm; }
  std::optional<QString> AskText(QWidget*, const QString&, int) override { return text; }
  std::optional<int> AskNumber(QWidget*, const QString&, int, int) override { return number; }
  std::optional<KeyCombo> AskKey(QWidget*, const QString&) override { return key; }
  std::optional<std::pair<int, int>> AskMove(QWidget*, int, int) override { return std::nullopt; }
  std::optional<std::string> OpenMacroFile(QWidget*) override { return openFile; }
  std::optional<std::string> SaveMacroFile(QWidget*, const QString& name) override {
    offeredName = name;
    return saveFile;
  }
};

// The button page's file dialogs, never opened here.
class NoFiles : public PageChooser {
 public:
  std::string OpenFile(QWidget*, const QString&, const QString&) override { return {}; }
  std::string SaveFile(QWidget*, const QString&, const QString&) override { return {}; }
};


std::unique_ptr<QKeyEvent> Key(QEvent::Type type, int qtKey, int evdev, uint64_t ms,
                               bool repeat = false) {
  auto e = std::make_unique<QKeyEvent>(type, qtKey, Qt::NoModifier, quint32(evdev + 8), 0, 0,
                                       QString(), repeat);
  e->setTimestamp(ms);
  return e;
}

void Send(QWidget* to, QEvent::Type type, int qtKey, int evdev, uint64_t ms, bool repeat = false) {
  QCoreApplication::sendEvent(to, Key(type, qtKey, evdev, ms, repeat).get());
}

std::vector<EventNode> Rows(std::initializer_list<std::pair<EventKind, uint32_t>> l) {
  std::vector<EventNode> out;
  for (auto [k, v] : l) out.push_back({k, v});
  return out;
}

TEST(MacroKeyFeed, SideOfCtrlShiftAltComesFromTheScanCode) {
  const auto at = [](int qtKey, int evdev, bool repeat = false) {
    return RecordedKeyFromEvent(*Key(QEvent::KeyPress, qtKey, evdev, 5, repeat), 5);
  };
  RecordedKey k = at(Qt::Key_Control, 97);
  EXPECT_EQ(k.vk, 0x11u);
  EXPECT_EQ(k.side, KeySide::Right);
  EXPECT_EQ(RecordedCode(k.vk, k.side), 0xA3u);
  EXPECT_EQ(at(Qt::Key_Control, 29).side, KeySide::Left);
  EXPECT_EQ(RecordedCode(0x11, at(Qt::Key_Control, 29).side), 0x11u);
  EXPECT_EQ(at(Qt::Key_Shift, 54).side, KeySide::Right);
  EXPECT_EQ(at(Qt::Key_Alt, 100).side, KeySide::Right);
  EXPECT_EQ(at(Qt::Key_Alt, 56).side, KeySide::Left);
  EXPECT_EQ(at(Qt::Key_A, 30).side, KeySide::Unknown);
  EXPECT_TRUE(at(Qt::Key_A, 30, true).autoRepeat);
  QKeyEvent noScan(QEvent::KeyRelease, Qt::Key_Control, Qt::NoModifier);
  const RecordedKey r = RecordedKeyFromEvent(noScan, 9);
  EXPECT_FALSE(r.press);
  EXPECT_EQ(r.side, KeySide::Unknown);
  // Timestamps never run backwards.
  EXPECT_EQ(KeyEventTime(*Key(QEvent::KeyPress, Qt::Key_A, 30, 100), 250), 250u);
  EXPECT_EQ(KeyEventTime(*Key(QEvent::KeyPress, Qt::Key_A, 30, 300), 250), 300u);
}

TEST(MacroTreeCtrl, ReportsClicksAndThePicturesOfTheHoveredRow) {
  test::Recorder parent;
  parent.resize(400, 400);
  CTreeCtrlExRk tree(&parent, 262);
  tree.setGeometry(0, 0, 200, 170);
  tree.SetItemHeight(34);
  tree.SetRows({{7, 0, "a", {}, false, false}, {9, 0, "b", {}, false, false}});
  test::Click(&tree, QPoint(20, 40));  // row 2
  test::Pump();
  ASSERT_EQ(parent.Of(WM_TREE_CLICK).size(), 1u);
  EXPECT_EQ(parent.Of(WM_TREE_CLICK)[0].lParam, 9);
  EXPECT_EQ(parent.Of(WM_TREE_CLICK)[0].wParam, 262u);
  test::Click(&tree, QPoint(20, 40));  // the same row again: no new click message
  test::Pump();
  EXPECT_EQ(parent.Of(WM_TREE_CLICK).size(), 1u);
  test::Click(&tree, tree.DeleteRect(0).center());
  test::Click(&tree, tree.ModifyRect(1).center());
  test::Mouse(&tree, QEvent::MouseButtonRelease, QPoint(20, 150), Qt::RightButton);
  test::Pump();
  ASSERT_EQ(parent.Of(WM_TREE_DELETE).size(), 1u);
  EXPECT_EQ(parent.Of(WM_TREE_DELETE)[0].lParam, 7);
  ASSERT_EQ(parent.Of(WM_TREE_MODIFY).size(), 1u);
  EXPECT_EQ(parent.Of(WM_TREE_MODIFY)[0].lParam, 9);
  ASSERT_EQ(parent.Of(WM_TREE_RCLICK).size(), 1u);
  EXPECT_EQ(parent.Of(WM_TREE_RCLICK)[0].lParam, 0);  // empty space
  const size_t before = parent.msgs.size();
  tree.SetInputEnabled(false);
  test::Click(&tree, QPoint(20, 5));
  test::Pump();
  EXPECT_EQ(parent.msgs.size(), before);
  EXPECT_EQ(tree.Selected(), 0u);
}

class MacroDlgTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string skins = std::string(TOLVANE_BINARY_DIR) + "share/tolvane/skins";
    realSkin_ = fs::exists(skins + "/macro_nr.png");
    if (realSkin_) SetSkinDir(skins);
    program_ = std::make_unique<Program>(sink_);
    ProgramOptions o;
    o.dataDir = TOLVANE_SOURCE_DATA_DIR;
    o.userDir = dir_.path().toStdString() + "/";
    o.singleInstance = false;
    o.simulate = {"pro:cid=10,mid=1"};
    o.discovery = tolvane::test::FastTimings();
    ASSERT_EQ(program_->Start(o), StartResult::Ok);
    ASSERT_TRUE(program_->WaitDevicesSettled(tolvane::test::kWaitMs));
    entry_ = program_->Manager().List().FindByIdentity(0x10, 0x01);
    ASSERT_GE(entry_, 0);
    ASSERT_TRUE(program_->Wait(program_->ChooseDevice(entry_), 10000));
    ASSERT_TRUE(program_->Profile().has_value());
    auto chooser = std::make_unique<ScriptedChooser>();
    chooser_ = chooser.get();
    page_ = std::make_unique<CMacroDlg>(nullptr, *program_, std::move(chooser));
    page_->show();
  }
  void TearDown() override {
    page_.reset();
    if (program_) program_->Exit();
    program_.reset();
    if (realSkin_) SetSkinDir("");
  }
  MacroLibrary& Library() { return program_->Library(); }
  std::string MacFile(const std::string& name) const {
    return dir_.path().toStdString() + "/Mac/" + name + ".qxm";
  }
  sim::MouseState Mouse() { return program_->Simulated()->Mice().at(0)->Snapshot(); }

  // A new macro made with the name field and the add button.
  NodeId NewMacro(const QString& name) {
    page_->NameField()->setText(name);
    page_->AddMacro();
    return page_->SelectedNode();
  }
  // Holds A (the platform repeats it), then taps right Ctrl.
  void RecordKeys() {
    page_->ToggleRecording();
    ASSERT_TRUE(page_->Recording());
    Send(page_.get(), QEvent::KeyPress, Qt::Key_A, 30, 1000);
    Send(page_.get(), QEvent::KeyPress, Qt::Key_A, 30, 1030, true);
    Send(page_->EventTreeCtrl(), QEvent::KeyPress, Qt::Key_A, 30, 1060, true);  // a child too
    Send(page_.get(), QEvent::KeyRelease, Qt::Key_A, 30, 1120);
    Send(page_.get(), QEvent::KeyPress, Qt::Key_Control, 97, 1200);
    Send(page_.get(), QEvent::KeyRelease, Qt::Key_Control, 97, 1250);
    page_->ToggleRecording();
  }
  // The button page's part: the picker chooses, the button takes the macro.
  std::optional<int64_t> PickByName(const std::string& name) {
    QTimer::singleShot(0, [&] {
      auto* dlg = qobject_cast<CPickMacroDlg*>(QApplication::activeModalWidget());
      if (!dlg) return;
      for (const TreeRow& r : dlg->Tree()->Rows())
        if (r.text.toStdString() == name) dlg->Select(r.item);
      dlg->Ok();
    });
    return PickMacro(page_.get(), *program_, chooser_);
  }
  void Assign(int button, uint32_t id) {
    const EditOutcome out = program_->Edit([&](ProfileFile& f, const EditModel& m) {
      return EditButton(f, m, button, KeyInfo{kFunMacro, 0, id, {}, 0, 0});
    });
    ASSERT_TRUE(out.ok) << out.edit.text;
    ASSERT_TRUE(out.requested);
    ASSERT_TRUE(program_->WaitApplyIdle(10000));
  }
  // The EEPROM record of matrix slot j equals the device form of `m`.
  void ExpectMacroInEeprom(int j, const StMacro& m) {
    HdMacro want{};
    const size_t n = BuildHdMacroRecord(m, want, 0, j);
    const sim::MouseState s = Mouse();
    const uint8_t* got = s.eeprom.data() + eeprom::kMacro + eeprom::kMacroStride * j;
    EXPECT_EQ(std::memcmp(got + kHdEventsOffset - 1, want.Bytes() + kHdEventsOffset - 1,
                          n - (kHdEventsOffset - 1)),
              0);
    EXPECT_EQ(got[kHdEventsOffset - 1], MacroEventCount(m));
  }

  test::Warnings warnings_;  // missing pictures when the skin was not generated
  QTemporaryDir dir_;
  // Events of the program are not needed by the page; the test waits on tickets.
  NullEventSink sink_;
  std::unique_ptr<Program> program_;
  std::unique_ptr<CMacroDlg> page_;
  ScriptedChooser* chooser_ = nullptr;
  int entry_ = -1;
  bool realSkin_ = false;
  tolvane::test::SavedGlobals saved_;
};

TEST_F(MacroDlgTest, RecordInsertSaveAssignAndEditLandOnTheMouse) {
  const NodeId node = NewMacro("Burst");
  ASSERT_NE(node, kRootNode);
  EXPECT_TRUE(page_->SaveButton()->isVisible());  // a new macro is a change to save
  RecordKeys();
  EXPECT_EQ(page_->Editor().Events(),
            Rows({{EventKind::Press, 0x41}, {EventKind::Delay, 120}, {EventKind::Release, 0x41},
                  {EventKind::Delay, 80}, {EventKind::Press, 0xA3}, {EventKind::Delay, 50},
                  {EventKind::Release, 0xA3}}));
  page_->InsertRow(4);  // a left click at the end
  ASSERT_EQ(page_->Editor().Events().size(), 10u);
  EXPECT_EQ(page_->EventTreeCtrl()->Rows().size(), 10u);
  page_->Save();
  EXPECT_FALSE(page_->SaveButton()->isVisible());
  ASSERT_EQ(fs::file_size(MacFile("Burst")), 834u);
  const MacroFileRead back = ReadMacroFile(MacFile("Burst"));
  ASSERT_EQ(back.status, MacroFileStatus::Ok);
  const std::optional<StMacro> inMemory = Library().FindById(back.macro.dwID);
  ASSERT_TRUE(inMemory);
  EXPECT_EQ(std::memcmp(&back.macro, &*inMemory, sizeof(StMacro)), 0);
  EXPECT_EQ(uint32_t{back.macro.stEvents[0].dwDelay}, 120u);
  EXPECT_EQ(uint16_t{back.macro.stEvents[2].wCode}, 0xA3);
  EXPECT_EQ(uint16_t{back.macro.stEvents[4].wCode}, kMouseLeft);
  EXPECT_EQ(uint32_t{back.macro.stEvents[4].dwDelay}, kClickDelay);
  EXPECT_EQ(MacroEventCount(back.macro), 6);

  if (const char* shots = std::getenv("TOLVANE_SCREENSHOT_DIR"); shots && realSkin_) {
    page_->ClickMacroNode(node);
    page_->resize(1069, 639);
    ASSERT_TRUE(page_->grab().save(QDir(shots).filePath("macro-page.png"), "PNG"));
  }

  // The button page assigns it to the fourth button (matrix position 4)
  // through the picker.
  NoFiles files;
  std::optional<int64_t> picked;
  PagePrompts prompts;
  prompts.message = [](QWidget*, const QString& t) { ADD_FAILURE() << t.toStdString(); };
  prompts.pickMacro = [&](QWidget*, Program&) { return picked = PickByName("Burst"); };
  CKeyDlg keys(nullptr, *program_, files, prompts);
  keys.Refresh();
  SendUiMessage(&keys, WM_MENU_PICK, kFunMacro, 3);
  ASSERT_TRUE(program_->WaitApplyIdle(10000));
  ASSERT_TRUE(picked);
  EXPECT_EQ(*picked, int64_t(back.macro.dwID & 0xFFFFFF));
  const int j = 3;
  sim::MouseState s = Mouse();
  EXPECT_EQ(s.eeprom[eeprom::kMatrix + 4 * j], kHwMacro);
  EXPECT_EQ(s.eeprom[eeprom::kMatrix + 4 * j + 1], j);
  ExpectMacroInEeprom(j, back.macro);

  // Edit and save again: the buttons that use it are written at once.
  page_->ClickMacroNode(node);
  page_->InsertRow(5);  // a right click
  page_->Save();
  ASSERT_TRUE(program_->WaitApplyIdle(10000));
  const MacroFileRead again = ReadMacroFile(MacFile("Burst"));
  ASSERT_EQ(MacroEventCount(again.macro), 8);
  ExpectMacroInEeprom(j, again.macro);
  EXPECT_EQ(Mouse().eeprom[eeprom::kMacro + eeprom::kMacroStride * j + kHdEventsOffset - 1], 8);
}

TEST_F(MacroDlgTest, DeletingAnAssignedMacroGivesTheButtonItsDefaultOnTheMouse) {
  const NodeId node = NewMacro("Gone");
  page_->InsertRow(4);
  page_->Save();
  const uint32_t id = Library().Node(node)->id;
  Assign(3, id);
  ASSERT_EQ(Mouse().eeprom[eeprom::kMatrix + 4 * 3], kHwMacro);
  chooser_->confirm = false;  // the user says no: nothing happens
  page_->Delete(node);
  EXPECT_TRUE(Library().HasId(id));
  chooser_->confirm = true;
  page_->Delete(node);
  EXPECT_FALSE(Library().HasId(id));
  EXPECT_FALSE(fs::exists(MacFile("Gone")));
  ASSERT_TRUE(program_->WaitApplyIdle(10000));
  const std::optional<ProfileFile> f = program_->Profile();
  ASSERT_TRUE(f);
  EXPECT_EQ(f->Key[0][3].dwFunID, Cat().dev[size_t(entry_)].keys[0][3].dwFunID);
  EXPECT_NE(Mouse().eeprom[eeprom::kMatrix + 4 * 3], kHwMacro);
}

TEST_F(MacroDlgTest, WhileRecordingMenusTabsAndTheLibraryTreeAreRefused) {
  const NodeId first = NewMacro("One");
  const NodeId second = NewMacro("Two");
  page_->ClickMacroNode(first);
  page_->ToggleRecording();
  ASSERT_TRUE(page_->Recording());
  EXPECT_FALSE(page_->MacroTreeCtrl()->InputEnabled());
  EXPECT_FALSE(page_->RowButton(1)->isVisible());
  EXPECT_EQ(page_->RecordButton()->Caption(), UiText("tc_macro_stop"));
  page_->RightClick(true, second);
  EXPECT_TRUE(page_->RefuseLeave());
  ASSERT_EQ(chooser_->messages.size(), 2u);
  EXPECT_EQ(chooser_->messages[0], UiText("tc_macro_msg17"));
  EXPECT_EQ(chooser_->messages[1], UiText("tc_macro_msg17"));
  page_->ClickMacroNode(second);  // the tree's click only returns the focus
  EXPECT_EQ(page_->SelectedNode(), first);
  page_->ToggleRecording();
  EXPECT_FALSE(page_->RefuseLeave());
  EXPECT_TRUE(page_->MacroTreeCtrl()->InputEnabled());
  // Outside a recording, keys reach the fields as usual.
  Send(page_.get(), QEvent::KeyPress, Qt::Key_B, 48, 5000);
  EXPECT_TRUE(page_->Editor().Events().empty());
}

TEST_F(MacroDlgTest, RowsFieldsAndPlaySettingsFollowTheEditor) {
  NewMacro("Rows");
  page_->InsertRow(1);  // an empty key field adds nothing
  EXPECT_TRUE(page_->Editor().Events().empty());
  emit page_->KeyField(1)->keyCaptured(0x42);
  page_->InsertRow(1);
  page_->InsertRow(1);  // the field was cleared with its key
  ASSERT_EQ(page_->Editor().Events().size(), 1u);
  page_->DelayField()->setText("5");
  page_->InsertRow(3);  // after the selected press; raised to MinDelay
  ASSERT_EQ(page_->Editor().Events().size(), 2u);
  EXPECT_EQ(page_->Editor().Events()[1], (EventNode{EventKind::Delay, 10}));
  EXPECT_TRUE(page_->DelayField()->text().isEmpty());
  page_->ChoosePlayRadio(PlayRadio::Mode2);
  EXPECT_FALSE(page_->RepeatField()->isVisible());
  EXPECT_TRUE(page_->Radio(2)->GetCheck());
  page_->ChoosePlayRadio(PlayRadio::Repeat);
  EXPECT_TRUE(page_->RepeatField()->isVisible());
  page_->RepeatField()->setFocus();
  page_->RepeatField()->clear();
  QTest::keyClicks(page_->RepeatField(), "300");
  EXPECT_EQ(page_->RepeatField()->text(), "250");
  chooser_->number = 7;
  page_->ModifyEvent(1);  // the delay row: raised to 10 again
  EXPECT_EQ(page_->Editor().Events()[1].value, 10u);
  page_->Save();
  const StMacro saved = ReadMacroFile(MacFile("Rows")).macro;
  EXPECT_EQ(saved.wRepeat, 250);
  EXPECT_EQ(uint16_t{saved.stEvents[0].wCode}, 0x42);
  EXPECT_EQ(uint32_t{saved.stEvents[0].dwDelay}, 10u);
}

TEST_F(MacroDlgTest, ExportRenameAndImportGoThroughTheChooser) {
  const NodeId node = NewMacro("Shared");
  page_->InsertRow(6);
  page_->Save();
  const std::string out = dir_.path().toStdString() + "/out.qxm";
  chooser_->saveFile = out;
  page_->Export(node);
  EXPECT_EQ(chooser_->offeredName, "Shared.qxm");
  ASSERT_EQ(fs::file_size(out), 834u);
  chooser_->text = QString("Kept");
  page_->Rename(node);
  EXPECT_TRUE(fs::exists(MacFile("Kept")));
  EXPECT_FALSE(fs::exists(MacFile("Shared")));
  EXPECT_EQ(page_->MacroTreeCtrl()->Rows()[0].text, "Kept");
  chooser_->openFile = out;
  page_->ClickMacroNode(kRootNode);
  page_->Import();  // a copy of its own, shown at once
  ASSERT_TRUE(fs::exists(dir_.path().toStdString() + "/Mac/out.qxm"));
  EXPECT_EQ(page_->MacroTreeCtrl()->Rows().size(), 2u);
  EXPECT_EQ(page_->Editor().Events().size(), 3u);
  EXPECT_NE(page_->Editor().ShownId(), Library().Node(node)->id);
  page_->Import();  // the same title again is refused
  EXPECT_EQ(chooser_->messages.back(), UiText("tc_macro_msg8"));
  EXPECT_EQ(page_->MacroTreeCtrl()->Rows().size(), 2u);
}

TEST_F(MacroDlgTest, PickerOffersTheLibraryInMemoryAndEveryViewFollowsIt) {
  const NodeId unsaved = NewMacro("Fresh");  // its file is written only by a save
  const uint32_t id = Library().Node(unsaved)->id;
  {
    CPickMacroDlg dlg(page_.get(), *program_, chooser_);
    dlg.Ok();  // nothing selected: says so and stays
    EXPECT_EQ(dlg.Result().kind, PickResult::Cancelled);
    ASSERT_EQ(chooser_->messages.size(), 1u);
    EXPECT_EQ(chooser_->messages[0], UiText("tc_macro_msg1"));
    // A macro merged on another thread reaches the picker and the page on
    // the window's thread.
    const size_t rows = dlg.Tree()->Rows().size();
    std::thread reader([&] { Library().NewMacro("Merged"); });
    reader.join();
    EXPECT_EQ(dlg.Tree()->Rows().size(), rows);  // not before the window's thread runs
    test::Pump();
    EXPECT_EQ(dlg.Tree()->Rows().size(), rows + 1);
    EXPECT_EQ(page_->MacroTreeCtrl()->Rows().size(), rows + 1);
    dlg.Select(unsaved);
    dlg.Ok();
    EXPECT_EQ(dlg.Result().kind, PickResult::Picked);
    EXPECT_EQ(dlg.Result().id, int64_t(id & 0xFFFFFF));
  }
  QTimer::singleShot(0, [] {
    if (auto* d = qobject_cast<CPickMacroDlg*>(QApplication::activeModalWidget())) d->NewMacro();
  });
  EXPECT_EQ(PickMacro(page_.get(), *program_, chooser_), std::optional<int64_t>(-1));
  QTimer::singleShot(0, [] {
    if (auto* d = qobject_cast<CPickMacroDlg*>(QApplication::activeModalWidget())) d->Cancel();
  });
  EXPECT_EQ(PickMacro(page_.get(), *program_, chooser_), std::nullopt);
}

}  // namespace
}  // namespace tolvane::ui
