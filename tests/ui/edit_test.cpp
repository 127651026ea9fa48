#include <gtest/gtest.h>

#include <QKeyEvent>

#include "ui/key_translate.h"
#include "ui/my_edit.h"
#include "ui_test_util.h"

namespace tolvane::ui {
namespace {

using test::Pump;
using test::Recorder;

// A key event as X11 and Wayland deliver it: native scan code = evdev + 8.
QKeyEvent Key(QEvent::Type type, int qtKey, int evdev, Qt::KeyboardModifiers mods = {},
              const QString& text = {}) {
  return QKeyEvent(type, qtKey, mods, quint32(evdev > 0 ? evdev + 8 : 0), 0, 0, text);
}

void Press(QWidget* w, int qtKey, int evdev, const QString& text = {},
           Qt::KeyboardModifiers mods = {}) {
  QKeyEvent down = Key(QEvent::KeyPress, qtKey, evdev, mods, text);
  QCoreApplication::sendEvent(w, &down);
  QKeyEvent up = Key(QEvent::KeyRelease, qtKey, evdev, mods, text);
  QCoreApplication::sendEvent(w, &up);
}

TEST(KeyTranslation, TellsLeftFromRightModifiers) {
  struct Case {
    int qtKey, evdev;
    uint8_t sided;
    bool extended;
  } cases[] = {
      {Qt::Key_Control, 29, VK_CONTROL, false}, {Qt::Key_Control, 97, VK_RCONTROL, true},
      {Qt::Key_Shift, 42, VK_SHIFT, false},     {Qt::Key_Shift, 54, VK_RSHIFT, false},
      {Qt::Key_Alt, 56, VK_MENU, false},        {Qt::Key_AltGr, 100, VK_RMENU, true},
      {Qt::Key_Meta, 125, VK_LWIN, true},       {Qt::Key_Meta, 126, VK_RWIN, true},
      {Qt::Key_Up, 103, 0x26, true},            {Qt::Key_Enter, 96, 0x0D, true},
      {Qt::Key_Return, 28, 0x0D, false},        {Qt::Key_F5, 63, 0x74, false},
  };
  for (const Case& c : cases) {
    const QKeyEvent e = Key(QEvent::KeyPress, c.qtKey, c.evdev);
    const VirtualKey k = TranslateKey(e);
    EXPECT_EQ(SidedVk(k), c.sided) << "evdev " << c.evdev;
    EXPECT_EQ(k.extended, c.extended) << "evdev " << c.evdev;
  }
  // Letters follow the layout (an AZERTY 'A' sits where QWERTY has 'Q').
  EXPECT_EQ(TranslateKey(Key(QEvent::KeyPress, Qt::Key_A, 16)).vk, 'A');
  // Without a scan code the key symbol still tells the right-hand keys.
  QKeyEvent rctrl(QEvent::KeyPress, Qt::Key_Control, Qt::ControlModifier, 0, 0xffe4, 0);
  EXPECT_EQ(SidedVk(TranslateKey(rctrl)), VK_RCONTROL);
  QKeyEvent kp(QEvent::KeyPress, Qt::Key_7, Qt::KeypadModifier, 0, 0, 0);
  EXPECT_EQ(TranslateKey(kp).vk, 0x67);
}

TEST(KeyNames, ShownInTheCaptureAndCombination) {
  EXPECT_EQ(KeyDisplayName(VK_RCONTROL), "R_Ctrl");
  EXPECT_EQ(KeyDisplayName(0x74), "F5");
  EXPECT_EQ(KeyDisplayName(0x63), "Num 3");
  EXPECT_EQ(KeyDisplayName(0xBC), ",");
}

TEST(EditKeyCapture, RightHandModifiersAndRefusals) {
  Recorder parent;
  auto* e = new CMyEdit(&parent);
  e->SetCtrlId(42);
  e->SetKeyCaptureMode(false);
  Press(e, Qt::Key_Control, 97);
  EXPECT_EQ(e->CapturedKey(), VK_RCONTROL);
  EXPECT_EQ(e->text(), "R_Ctrl");
  Press(e, Qt::Key_Shift, 54);
  EXPECT_EQ(e->text(), "R_Shift");
  Press(e, Qt::Key_AltGr, 100);
  EXPECT_EQ(e->text(), "R_Alt");
  Press(e, Qt::Key_Shift, 42);
  EXPECT_EQ(e->text(), "Shift");
  Press(e, Qt::Key_Tab, 15);  // not taken by focus handling
  EXPECT_EQ(e->text(), "Tab");
  Pump();
  const auto cmds = parent.Of(WM_COMMAND);
  ASSERT_EQ(cmds.size(), 5u);
  EXPECT_EQ(cmds[0].wParam, (uintptr_t(EN_CHANGE) << 16) | 42);
  EXPECT_EQ(cmds[0].lParam, intptr_t(HandleOf(e)));

  e->SetKeyCaptureMode(true);  // no modifier keys, no Windows keys
  Press(e, Qt::Key_Control, 97);
  Press(e, Qt::Key_Meta, 125);
  EXPECT_EQ(e->text(), "Tab");
  Press(e, Qt::Key_B, 48);
  EXPECT_EQ(e->CapturedKey(), 'B');
}

TEST(EditNumeric, DigitsOnlyAndClampedOnKeyUp) {
  CMyEdit e;
  e.SetNumericMode(0, 100, false);
  Press(&e, Qt::Key_1, 2, "1");
  Press(&e, Qt::Key_A, 30, "a");
  Press(&e, Qt::Key_Minus, 12, "-");
  Press(&e, Qt::Key_2, 3, "2");
  Press(&e, Qt::Key_Exclam, 2, "!", Qt::ShiftModifier);  // Shift held: swallowed
  EXPECT_EQ(e.text(), "12");
  Press(&e, Qt::Key_9, 10, "9");
  EXPECT_EQ(e.text(), "100");  // 129 is above the maximum
  Press(&e, Qt::Key_Backspace, 14);
  EXPECT_EQ(e.text(), "10");
  int v = 0;
  EXPECT_EQ(e.ReadNumber(&v), 1);
  EXPECT_EQ(v, 10);

  CMyEdit m;
  m.SetNumericMode(0, 0, true);
  Press(&m, Qt::Key_Minus, 12, "-");
  Press(&m, Qt::Key_7, 8, "7");
  EXPECT_EQ(m.text(), "-7");
  m.setText("");
  EXPECT_EQ(m.ReadNumber(&v), -1);
  m.setText("12a");
  EXPECT_EQ(m.ReadNumber(&v), -2);
}

TEST(EditMasked, ShowsStarsAndKeepsTheText) {
  CMyEdit e;
  e.SetMaskedMode();
  Press(&e, Qt::Key_P, 25, "p");
  Press(&e, Qt::Key_Exclam, 2, "!");
  Press(&e, Qt::Key_Space, 57, " ");  // refused
  Press(&e, Qt::Key_4, 5, "4");
  EXPECT_EQ(e.text(), "***");
  EXPECT_EQ(e.MaskedText(), "p!4");
  Press(&e, Qt::Key_Backspace, 14);
  EXPECT_EQ(e.MaskedText(), "p!");
  e.selectAll();
  Press(&e, Qt::Key_Z, 44, "z");
  EXPECT_EQ(e.MaskedText(), "z");
  for (int i = 0; i < 100; ++i) Press(&e, Qt::Key_X, 45, "x");
  EXPECT_EQ(e.MaskedText().size(), CMyEdit::kMaskedCapacity - 1);  // 71 characters at most
  EXPECT_EQ(e.text().size(), CMyEdit::kMaskedCapacity - 1);
}

TEST(EditReadOnly, SwallowsKeysAndClicks) {
  CMyEdit e;
  e.setText("v1.0");
  e.SetReadOnlyMode();
  Press(&e, Qt::Key_Backspace, 14);
  Press(&e, Qt::Key_X, 45, "x");
  EXPECT_EQ(e.text(), "v1.0");
}

}  // namespace
}  // namespace tolvane::ui
