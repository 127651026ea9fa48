// The button page against virtual mice: the rules it enforces and what its
// changes leave in the mouse's EEPROM.
#include <QFile>
#include <QKeyEvent>
#include <QTimer>

#include <cstring>

#include "config/texts.h"
#include "key_page_rig.h"
#include "macro/hd_macro.h"
#include "macro/macro_file.h"
#include "macro/macro_library.h"
#include "profile/key_env.h"
#include "ui/hot_spot.h"
#include "ui/key_menu.h"
#include "ui/msg_dlg.h"
#include "ui/my_edit.h"
#include "ui/png_btn.h"
#include "ui/pick_macro_dlg.h"
#include "ui/png_slider.h"
#include "ui/status_dlgs.h"
#include "ui/tree_ctrl.h"
#include "ui/ui_message.h"
#include "ui_test_util.h"
#include "../macro/temp_library.h"

namespace tolvane::ui::test {
namespace {

constexpr int kMatrixEnd = eeprom::kMatrix + 4 * eeprom::kMatrixEntries;

// The same function as read back: a combination comes back as its group with
// its keys.
bool SameFunction(const KeyInfo& read, const KeyInfo& written) {
  if (FunGroup(written.dwFunID) == kGroupKeyboard)
    return FunGroup(read.dwFunID) == kGroupKeyboard &&
           std::memcmp(&read.stCombo, &written.stCombo, sizeof read.stCombo) == 0;
  return read.dwFunID == written.dwFunID;
}

// Watches the progress dialog: the position it had when it closed.
class CloseWatch : public QObject {
 public:
  int posAtClose = -1;
  bool closed = false;
  bool eventFilter(QObject* o, QEvent* e) override {
    if (e->type() == QEvent::Close) {
      closed = true;
      posAtClose = static_cast<CProgressDlg*>(o)->Pos();
    }
    return false;
  }
};

class KeyPageTest : public KeyPageRig {
 protected:
  void StartPro() {
    Start({"pro:cid=10,mid=1"});
    Choose(0x10, 1);
    MakePage();
  }
  void Pick(int key, uint32_t value) {
    SendUiMessage(page_.get(), WM_MENU_PICK, value, key);
    ASSERT_TRUE(ApplyIdle());
  }
  KeyInfo KeyOf(int key) { return Record().Key[Record().nKeyTable][key]; }
  // The combination the capture dialog answers with.
  void ScriptCombo(uint8_t modifiers, uint8_t key) {
    KeyCombo combo;
    combo.bModifiers = modifiers;
    combo.bKeys[0] = key;
    script_.combo = combo;
  }
  // Restores with the confirmation given and waits for the write; the
  // progress dialog's position when it closed.
  int RestoreToTheEnd() {
    CloseWatch watch;
    script_.confirms = {true};
    page_->Restore();
    EXPECT_NE(page_->Progress(), nullptr);
    if (!page_->Progress()) return -1;
    page_->Progress()->installEventFilter(&watch);
    EXPECT_TRUE(PumpUntil([&] { return watch.closed && !page_->Progress(); }));
    EXPECT_TRUE(ApplyIdle());
    PumpFor(20);
    return watch.posAtClose;
  }
};

TEST_F(KeyPageTest, OnlyLeftClickCannotGoUntilAnotherButtonClicksLeft) {
  StartPro();
  ASSERT_EQ(KeyOf(0).dwFunID, kFunLeftClick);
  const auto before = Eeprom(0);
  Pick(0, kFunDisabled);
  EXPECT_EQ(KeyOf(0).dwFunID, kFunLeftClick);
  ASSERT_EQ(script_.messages.size(), 1);
  EXPECT_EQ(script_.messages[0], UiText("tc_msg1"));
  EXPECT_EQ(Eeprom(0), before);

  Pick(2, kFunLeftClick);
  Pick(0, kFunDisabled);
  EXPECT_EQ(KeyOf(0).dwFunID, kFunDisabled);
  EXPECT_EQ(KeyOf(2).dwFunID, kFunLeftClick);
  EXPECT_EQ(script_.messages.size(), 1);
  EXPECT_EQ(page_->HotSpot(0)->Caption(), UiText("tc_key_off"));
}

TEST_F(KeyPageTest, MaskedButtonIsGreyAndOpensNoMenu) {
  Start({"pro:cid=10,mid=1"});
  g_Catalogue().opt.KeyMask = 1u << 3;
  Choose(0x10, 1);
  MakePage();
  ASSERT_EQ(page_->ShownKeys(), 6);
  EXPECT_FALSE(page_->HotSpot(3)->isEnabled());
  page_->show();
  Click(page_->HotSpot(3), QPoint(3, 3));
  page_->OpenMenu(3);
  EXPECT_EQ(CMenuDlg::Current(), nullptr);

  Click(page_->HotSpot(4), QPoint(3, 3));
  CMenuDlg* menu = CMenuDlg::Current();
  ASSERT_NE(menu, nullptr);
  KeyMenuFacts facts;
  facts.sensor = Cat().sensors.Find(program_->CurrentModel()->nSensor);
  const auto expected = BuildKeyMenu(*program_->CurrentModel(), facts,
                                     [](std::string_view id) { return Tx(id); });
  EXPECT_EQ(menu->ItemCount(), expected.size());
  // Opened at the hot-spot, widened to cfg.ini MenuW around it.
  const QPoint hot = page_->HotSpot(4)->mapToGlobal(QPoint(0, 0));
  const int w = page_->HotSpot(4)->width();
  ASSERT_LT(w, int(Cat().opt.MenuW));
  EXPECT_EQ(menu->pos().x(), hot.x() - (int(Cat().opt.MenuW) - w) / 2);
}

TEST_F(KeyPageTest, ANameTooLongForItsSpotIsInTheToolTip) {
  Start({"pro:cid=10,mid=1"});
  Choose(0x10, 1);
  Style().btnTips = false;
  MakePage();
  // A side button is narrower than its name; a main button is not.
  ASSERT_LT(page_->HotSpot(3)->width(), 30);
  EXPECT_FALSE(page_->HotSpot(3)->Label().whole);
  EXPECT_FALSE(page_->HotSpot(3)->Caption().isEmpty());
  EXPECT_EQ(page_->HotSpot(3)->toolTip(), page_->HotSpot(3)->Caption());
  EXPECT_TRUE(page_->HotSpot(0)->Label().whole);
  EXPECT_TRUE(page_->HotSpot(0)->toolTip().isEmpty());
}

TEST_F(KeyPageTest, SniperStoresTheTableIndexOfTheChosenValue) {
  StartPro();
  const SensorCfg* table = Cat().sensors.Find(program_->CurrentModel()->nSensor);
  ASSERT_NE(table, nullptr);
  const auto sniper = SniperMenu(table);
  ASSERT_FALSE(sniper.empty());
  for (const auto& e : sniper) {
    const int dpi = std::stoi(e.text);
    EXPECT_TRUE(dpi >= 100 && dpi <= 1100 && dpi % 100 == 0) << e.text;
    EXPECT_EQ(table->nDpi[SniperIndexOf(e.value)], dpi);
  }
  const KeyMenuEntry& chosen = sniper.back();
  const auto before = Eeprom(0);
  Pick(1, chosen.value);
  const KeyInfo k = KeyOf(1);
  EXPECT_EQ(k.dwFunID, kFunSniper);
  EXPECT_EQ(k.dwParameter, SniperIndexOf(chosen.value));
  EXPECT_NE(k.dwParameter, uint32_t(std::stoi(chosen.text)));
  const auto changed = Changed(before, Eeprom(0), eeprom::kMatrix, kMatrixEnd);
  ASSERT_FALSE(changed.empty());
  for (int a : changed) EXPECT_EQ((a - eeprom::kMatrix) / 4, int(k.nMatrix) - 1);
}

TEST_F(KeyPageTest, CtrlShiftAThroughTheCaptureDialogStoresItsCombination) {
  Start({"pro:cid=10,mid=1"});
  Choose(0x10, 1);
  PagePrompts prompts = script_.Prompts();
  prompts.combo = PagePrompts::Kit().combo;  // the real message dialog
  page_ = std::make_unique<CKeyDlg>(nullptr, *program_, chooser_, prompts);
  page_->Refresh();
  ASSERT_TRUE(Style().comboRec);
  bool typed = false;
  QTimer::singleShot(0, [&] {
    auto* dlg = qobject_cast<CMsgDlg*>(QApplication::activeModalWidget());
    if (!dlg) return;
    QKeyEvent a(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, quint32(30 + 8), 0, 0);
    QCoreApplication::sendEvent(dlg->Edit(), &a);
    Click(dlg->CheckBox(0), QPoint(2, 2));
    Click(dlg->CheckBox(1), QPoint(2, 2));
    typed = true;
    dlg->TryOk();
  });
  const auto before = Eeprom(0);
  Pick(3, kFunComboKey);
  ASSERT_TRUE(typed);
  const KeyInfo k = KeyOf(3);
  EXPECT_EQ(k.dwFunID, 0x020000A1u);
  EXPECT_EQ(k.stCombo.bModifiers, 0x03);
  EXPECT_EQ(k.stCombo.bKeys[0], 'A');
  const auto after = Eeprom(0);
  const int j = int(k.nMatrix) - 1;
  for (int a : Changed(before, after, eeprom::kMatrix, kMatrixEnd)) EXPECT_EQ((a - eeprom::kMatrix) / 4, j);
  uint8_t rec[kComboRecordSize] = {};
  const int n = KeyInfoToComboData(std::span<uint8_t>(rec, sizeof rec - 1), k);
  ASSERT_GT(n, 0);
  rec[n] = GuardCheck(std::span<const uint8_t>(rec, size_t(n)));
  EXPECT_EQ(0, std::memcmp(after.data() + eeprom::kCombo + eeprom::kComboStride * j, rec, size_t(n + 1)));
}

TEST_F(KeyPageTest, UnknownFunctionIsShownAsUnknownAndKept) {
  StartPro();
  const EditOutcome o = program_->Edit([](ProfileFile& f, const EditModel&) {
    f.Key[f.nKeyTable][4].dwFunID = 0x0C0000FE;  // as an import could bring it
    EditResult r;
    r.ok = true;
    return r;
  });
  ASSERT_TRUE(o.ok);
  page_->Refresh();
  EXPECT_TRUE(page_->HotSpot(4)->Caption().contains("0x0C0000FE"));
  EXPECT_EQ(KeyOf(4).dwFunID, 0x0C0000FEu);
}

TEST_F(KeyPageTest, NothingReachesTheRecordWhileAReadRuns) {
  StartPro();
  Mouse(0)->SetLatency(150);
  const Ticket read = program_->ReadProfile();
  ASSERT_TRUE(PumpUntil([&] { return program_->ReadRunning(); }));
  program_->TakeMessages();
  const ProfileFile before = Record();
  SendUiMessage(page_.get(), WM_MENU_PICK, kFunMute, 2);
  // The sleep slider asks before it moves; the answer is no.
  EXPECT_EQ(SendUiMessage(page_->SensorSleep()->Bar(), WM_SLIDER_ASK, 12, 133), 0);
  const ProfileFile after = Record();
  EXPECT_EQ(0, std::memcmp(&before, &after, sizeof before));
  const auto said = program_->TakeMessages();
  ASSERT_FALSE(said.empty());
  EXPECT_EQ(said[0].text, Tx("tc_adv_str15"));
  Mouse(0)->SetLatency(0);
  EXPECT_TRUE(program_->Wait(read, 20000));
}

TEST_F(KeyPageTest, KeyIndexOfSixteenIsIgnored) {
  StartPro();
  const ProfileFile before = Record();
  Pick(16, kFunDisabled);
  const ProfileFile after = Record();
  EXPECT_EQ(0, std::memcmp(&before, &after, sizeof before));
  ASSERT_EQ(script_.messages.size(), 1);
  EXPECT_EQ(script_.messages[0], UiText("tc_macro_msg17"));
}

TEST_F(KeyPageTest, MacroWithAnEmptyLibraryOffersTheMacroPage) {
  StartPro();
  int asked = 0;
  QObject::connect(page_.get(), &CKeyDlg::macroPageRequested, [&] { ++asked; });
  script_.confirms = {true};
  const ProfileFile before = Record();
  Pick(2, kFunMacro);
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(script_.picks, 0);  // nothing to pick from: no picker
  ASSERT_EQ(script_.confirmsAsked.size(), 1);
  EXPECT_EQ(script_.confirmsAsked[0], UiText("tc_msg9"));
  const ProfileFile after = Record();
  EXPECT_EQ(0, std::memcmp(&before, &after, sizeof before));
}

TEST_F(KeyPageTest, PickerAskingForANewMacroOpensTheMacroPageAndCancelChangesNothing) {
  StartPro();
  ASSERT_TRUE(program_->Library().Add_Macro(tolvane::test::MakeMacro("Burst", 0x123456)));
  int asked = 0;
  QObject::connect(page_.get(), &CKeyDlg::macroPageRequested, [&] { ++asked; });
  const ProfileFile before = Record();
  const auto eeprom = Eeprom(0);
  script_.macro = -1;
  Pick(2, kFunMacro);
  EXPECT_EQ(script_.picks, 1);
  EXPECT_EQ(asked, 1);
  script_.macro = std::nullopt;
  Pick(2, kFunMacro);
  EXPECT_EQ(script_.picks, 2);
  EXPECT_EQ(asked, 1);
  EXPECT_TRUE(script_.confirmsAsked.isEmpty());
  EXPECT_TRUE(script_.messages.isEmpty());
  const ProfileFile after = Record();
  EXPECT_EQ(0, std::memcmp(&before, &after, sizeof before));
  EXPECT_EQ(Eeprom(0), eeprom);
}

TEST_F(KeyPageTest, CancelledRestoreKeepsTheGlobalSettings) {
  StartPro();
  program_->Session().SetGlobals({1, 1});
  page_->Restore();  // the script refuses
  ASSERT_EQ(script_.confirmsAsked.size(), 1);
  EXPECT_EQ(script_.confirmsAsked[0], UiText("tc_msg5"));
  EXPECT_EQ(page_->Progress(), nullptr);
  PumpFor(50);
  EXPECT_EQ(program_->Session().Globals().bStartHidden, 1u);
  EXPECT_EQ(program_->Session().Globals().bRunAtLogon, 1u);
}

TEST_F(KeyPageTest, RestoreRunsTheProgressToTheEndAndWritesTheDefaults) {
  StartPro();
  EXPECT_EQ(RestoreToTheEnd(), 100);
  const auto defaults = Eeprom(0);

  program_->Session().SetGlobals({1, 1});
  Pick(1, kFunDisabled);
  Pick(4, kFunMute);
  ASSERT_NE(Eeprom(0), defaults);
  EXPECT_EQ(RestoreToTheEnd(), 100);
  EXPECT_EQ(program_->Session().Globals().bStartHidden, 0u);
  EXPECT_EQ(program_->Session().Globals().bRunAtLogon, 0u);
  EXPECT_TRUE(Changed(defaults, Eeprom(0), 0, eeprom::kSettingsBytes).empty());
  const ProfileFile back = ReadBack();
  const DevCfg* model = program_->CurrentModel();
  for (int i = 0; i < model->KeyCount(); ++i)
    EXPECT_EQ(back.Key[back.nKeyTable][i].dwFunID, model->keys[0][i].dwFunID) << i;
  EXPECT_EQ(page_->HotSpot(1)->Caption(), UiText("tc_menu"));
}

TEST_F(KeyPageTest, RefusedProfileSwitchPutsTheSelectorBack) {
  StartPro();
  ASSERT_NE(page_->ProfileSelector(), nullptr);
  const uint32_t before = page_->ProfileSelector()->GetSelectedValue();
  Mouse(0)->FailReplies(3, 0x01);
  page_->ChooseProfile(2);
  EXPECT_TRUE(page_->SwitchPending());
  ASSERT_TRUE(PumpUntil([&] { return !page_->SwitchPending(); }));
  EXPECT_EQ(page_->ProfileSelector()->GetSelectedValue(), before);
  ASSERT_EQ(script_.messages.size(), 1);
  EXPECT_EQ(script_.messages[0].toStdString(), Tx("tc_profile_switch_err"));
  EXPECT_FALSE(Tx("tc_profile_switch_err").empty());  // the language file has it
}

TEST_F(KeyPageTest, SwitchedProfileIsReadBeforeAnythingIsEdited) {
  StartPro();
  page_->ChooseProfile(2);
  // While the switch and its read run, a choice is refused.
  const ProfileFile during = Record();
  SendUiMessage(page_.get(), WM_MENU_PICK, kFunMute, 3);
  const ProfileFile still = Record();
  EXPECT_EQ(0, std::memcmp(&during, &still, sizeof during));
  EXPECT_TRUE(script_.messages.contains(UiText("tc_adv_str15")));
  ASSERT_TRUE(PumpUntil([&] { return !page_->SwitchPending(); }));
  EXPECT_EQ(program_->ProfileIndex(), 2);
  EXPECT_EQ(page_->ProfileSelector()->GetSelectedValue(), 2u);
  EXPECT_EQ(Mouse(0)->Snapshot().profile, 2);
  Pick(3, kFunMute);
  EXPECT_EQ(KeyOf(3).dwFunID, kFunMute);
}

TEST_F(KeyPageTest, SensorSwitchAndSleepAndDebounceGoToTheMouse) {
  StartPro();
  ASSERT_NE(page_->SensorSwitch(), nullptr);  // the 13205 sensor
  ASSERT_NE(page_->Debounce(), nullptr);
  ASSERT_NE(page_->SensorSleep(), nullptr);
  const bool on = Record().bButtonOption != 0;
  page_->show();
  Click(page_->SensorSwitch(), QPoint(3, 3));
  ASSERT_TRUE(ApplyIdle());
  EXPECT_EQ(Record().bButtonOption != 0, !on);
  EXPECT_EQ(page_->SensorSwitch()->GetCheck(), !on);
  EXPECT_EQ(Eeprom(0)[eeprom::kButtonOption], on ? 0 : 1);

  page_->SensorSleep()->Bar()->Thumb()->SetPos(12, true);
  ASSERT_TRUE(PumpUntil([&] { return Record().nSensorSleep == 12; }));
  EXPECT_EQ(page_->SensorSleep()->ValueText(), "2 min");
  ASSERT_TRUE(ApplyIdle());  // a newer request replaces a pending one
  page_->Debounce()->Bar()->Thumb()->SetPos(9, true);
  ASSERT_TRUE(PumpUntil([&] { return Record().nDebounce == 9; }));
  ASSERT_TRUE(ApplyIdle());
  const auto e = Eeprom(0);
  EXPECT_EQ(e[eeprom::kOptB5], 12);
  EXPECT_EQ(e[eeprom::kDebounce], 9);
}

// ---- end to end on both families

class KeyPageFamilies : public KeyPageTest, public ::testing::WithParamInterface<const char*> {
 protected:
  void StartFamily() {
    Start({GetParam()});
    const bool plus = std::string(GetParam()).rfind("pro+", 0) == 0;
    Choose(plus ? 0x20 : 0x10, 1);
    MakePage();
  }
  // Assigns through the page and checks that only the button's matrix entry
  // (and the record area `extra`, when given) changed, and that a fresh read
  // gives the assignment back.
  void AssignAndCheck(int key, uint32_t value, int extraFrom = -1, int extraTo = -1) {
    const auto before = Eeprom(0);
    Pick(key, value);
    const KeyInfo stored = KeyOf(key);
    const int j = int(stored.nMatrix) - 1;
    const auto after = Eeprom(0);
    const auto matrix = Changed(before, after, eeprom::kMatrix, kMatrixEnd);
    EXPECT_FALSE(matrix.empty() && value != kFunMacro) << std::hex << value;
    for (int a : matrix) EXPECT_EQ((a - eeprom::kMatrix) / 4, j) << std::hex << value;
    EXPECT_TRUE(Changed(before, after, 0, eeprom::kMatrix).empty());
    EXPECT_TRUE(Changed(before, after, kMatrixEnd, eeprom::kSettingsBytes).empty());
    if (extraFrom >= 0) {
      EXPECT_FALSE(Changed(before, after, extraFrom, extraTo).empty()) << std::hex << value;
    }
    const ProfileFile back = ReadBack();
    const KeyInfo& k = back.Key[back.nKeyTable][key];
    EXPECT_TRUE(SameFunction(k, stored)) << std::hex << k.dwFunID << " " << stored.dwFunID;
    EXPECT_EQ(std::memcmp(&k.stCombo, &stored.stCombo, sizeof k.stCombo), 0);
    EXPECT_EQ(k.dwMacroID & 0xFFFFFF, stored.dwMacroID & 0xFFFFFF);
  }
};

TEST_P(KeyPageFamilies, EachAssignmentChangesExactlyThatButton) {
  StartFamily();
  AssignAndCheck(1, kFunDisabled);
  AssignAndCheck(2, kFunPlayPause);

  KeyCombo combo;
  combo.bModifiers = 0x01;
  combo.bKeys[0] = 'C';
  script_.combo = combo;
  const int jCombo = int(Record().Key[Record().nKeyTable][3].nMatrix) - 1;
  AssignAndCheck(3, kFunComboKey, eeprom::kCombo + eeprom::kComboStride * jCombo,
                 eeprom::kCombo + eeprom::kComboStride * (jCombo + 1));
  EXPECT_EQ(FunGroup(KeyOf(3).dwFunID), kGroupKeyboard);

  const auto added = program_->Library().Add_Macro(tolvane::test::MakeMacro("Burst", 0x123456));
  ASSERT_TRUE(added);
  script_.macro = added->dwID & 0xFFFFFF;
  const int jMacro = int(Record().Key[Record().nKeyTable][4].nMatrix) - 1;
  AssignAndCheck(4, kFunMacro, eeprom::kMacro + eeprom::kMacroStride * jMacro,
                 eeprom::kMacro + eeprom::kMacroStride * (jMacro + 1));
  EXPECT_EQ(script_.picks, 1);
  EXPECT_EQ(KeyOf(4).dwFunID, kFunMacro);
  EXPECT_TRUE(page_->HotSpot(4)->Caption().contains("Burst"));
}

TEST_P(KeyPageFamilies, MacroChosenInThePickerLandsOnTheMouse) {
  Start({GetParam()});
  const bool plus = std::string(GetParam()).rfind("pro+", 0) == 0;
  Choose(plus ? 0x20 : 0x10, 1);
  PagePrompts prompts = script_.Prompts();
  prompts.pickMacro = PagePrompts::Kit().pickMacro;  // the real picker
  page_ = std::make_unique<CKeyDlg>(nullptr, *program_, chooser_, prompts);
  page_->Refresh();
  ASSERT_TRUE(program_->Library().Add_Macro(tolvane::test::MakeMacro("Other", 0x111111)));
  const auto burst = program_->Library().Add_Macro(
      tolvane::test::MakeMacro("Burst", 0x123456, {{0x42, 1, 25}, {0x42, 0, 40}, {0xF0, 1, 0}}));
  ASSERT_TRUE(burst);
  QStringList shown;
  QTimer::singleShot(0, [&] {
    auto* dlg = qobject_cast<CPickMacroDlg*>(QApplication::activeModalWidget());
    if (!dlg) return;
    for (const TreeRow& r : dlg->Tree()->Rows()) {
      shown << r.text;
      if (r.text == "Burst") dlg->Select(r.item);
    }
    Click(dlg->OkButton(), QPoint(5, 5));
  });
  const int j = int(KeyOf(4).nMatrix) - 1;
  AssignAndCheck(4, kFunMacro, eeprom::kMacro + eeprom::kMacroStride * j,
                 eeprom::kMacro + eeprom::kMacroStride * (j + 1));
  EXPECT_EQ(shown, QStringList({"Other", "Burst"}));
  const KeyInfo k = KeyOf(4);
  EXPECT_EQ(k.dwFunID, kFunMacro);
  EXPECT_EQ(k.dwMacroID & 0xFFFFFF, burst->dwID & 0xFFFFFF);
  EXPECT_TRUE(page_->HotSpot(4)->Caption().contains("Burst"));
  const auto e = Eeprom(0);
  EXPECT_EQ(e[size_t(eeprom::kMatrix + 4 * j)], kHwMacro);
  // The macro record holds the chosen macro's events in the device form.
  HdMacro want{};
  const size_t n = BuildHdMacroRecord(*burst, want, 4, j);
  ASSERT_GT(n, kHdEventsOffset);
  const uint8_t* got = e.data() + eeprom::kMacro + eeprom::kMacroStride * j;
  EXPECT_EQ(got[kHdEventsOffset - 1], MacroEventCount(*burst));
  EXPECT_EQ(0, std::memcmp(got + kHdEventsOffset, want.Bytes() + kHdEventsOffset,
                           n - kHdEventsOffset));
}

TEST_P(KeyPageFamilies, RestoreBringsBackTheSameDefaultsAfterChanges) {
  StartFamily();
  ASSERT_EQ(RestoreToTheEnd(), 100);
  const auto restored = Eeprom(0);
  ScriptCombo(0x02, 'Q');
  Pick(1, kFunComboKey);
  Pick(2, kFunVolumeDown);
  ASSERT_FALSE(Changed(restored, Eeprom(0), 0, eeprom::kSettingsBytes).empty());
  EXPECT_EQ(RestoreToTheEnd(), 100);
  EXPECT_TRUE(Changed(restored, Eeprom(0), 0, eeprom::kSettingsBytes).empty());
  const ProfileFile back = ReadBack();
  const DevCfg* model = program_->CurrentModel();
  for (int i = 0; i < model->KeyCount(); ++i)
    EXPECT_EQ(back.Key[back.nKeyTable][i].dwFunID, model->keys[0][i].dwFunID) << i;
}

INSTANTIATE_TEST_SUITE_P(Mice, KeyPageFamilies,
                         ::testing::Values("pro:cid=10,mid=1", "pro+:cid=20,mid=1"));

TEST_F(KeyPageTest, ExportedAssignmentsImportIntoAnotherModel) {
  Start({"pro:cid=10,mid=1", "pro+:cid=20,mid=1"});
  Choose(0x10, 1);
  MakePage();
  ScriptCombo(0x05, 'Z');
  Pick(1, kFunDisabled);
  Pick(2, kFunVolumeUp);
  Pick(3, kFunComboKey);
  const ProfileFile kestrel = Record();

  const std::string file = tmp_.Root() + "/buttons";
  chooser_.savePath = file;
  page_->Export();
  ASSERT_TRUE(PumpUntil([&] { return QFile::exists(QString::fromStdString(file + ".qxa")); }));
  // A second export to the same name asks first; refused, the file stays.
  const auto size = QFile(QString::fromStdString(file + ".qxa")).size();
  page_->Export();
  ASSERT_EQ(script_.confirmsAsked.size(), 1);
  EXPECT_EQ(script_.confirmsAsked[0].toStdString(), Tx("tc_file_replace"));
  EXPECT_FALSE(Tx("tc_file_replace").empty());
  EXPECT_EQ(QFile(QString::fromStdString(file + ".qxa")).size(), size);

  Choose(0x20, 1);
  ASSERT_EQ(page_->ShownKeys(), 7);
  const auto heronBefore = Eeprom(1);
  chooser_.openPath = file + ".qxa";
  page_->Import();
  ASSERT_TRUE(PumpUntil([&] {
    const ProfileFile f = Record();
    return f.Key[f.nKeyTable][2].dwFunID == kFunVolumeUp;
  }));
  ASSERT_TRUE(ApplyIdle());
  PumpFor(20);
  const ProfileFile imported = Record();
  for (int key : {1, 2, 3}) {
    EXPECT_EQ(imported.Key[imported.nKeyTable][key].dwFunID,
              kestrel.Key[kestrel.nKeyTable][key].dwFunID)
        << key;
  }
  const ProfileFile heron = ReadBack();
  for (int key : {1, 2, 3})
    EXPECT_TRUE(SameFunction(heron.Key[heron.nKeyTable][key], kestrel.Key[kestrel.nKeyTable][key]))
        << key;
  EXPECT_EQ(heron.Key[heron.nKeyTable][3].stCombo.bKeys[0], 'Z');
  EXPECT_EQ(heron.Key[heron.nKeyTable][3].stCombo.bModifiers, 0x05);
  EXPECT_NE(Eeprom(1), heronBefore);
  EXPECT_EQ(page_->HotSpot(2)->Caption(), UiText("tc_vol_up"));
}

}  // namespace
}  // namespace tolvane::ui::test
