#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTest>
#include <QTimer>

#include <thread>

#include "ui/combo_capture.h"
#include "ui/factories.h"
#include "ui/frameless_dialog.h"
#include "ui/key_translate.h"
#include "ui/msg_dlg.h"
#include "ui/my_edit.h"
#include "ui/png_btn.h"
#include "ui_test_util.h"

namespace tolvane::ui {
namespace {

struct Ev {
  uint8_t vk;
  bool release;
  int64_t t;
};

KeyCombo Capture(bool boxes, std::initializer_list<Ev> events) {
  ComboCapture c(boxes);
  for (const Ev& e : events) c.OnKey(e.vk, e.release, e.t);
  return c.Combo();
}

bool Same(const KeyCombo& c, uint8_t mods, uint8_t k1, uint8_t k2 = 0, uint8_t k3 = 0) {
  return c.bModifiers == mods && c.bKeys[0] == k1 && c.bKeys[1] == k2 && c.bKeys[2] == k3;
}

TEST(ComboCapture, FourthMemberAndTheOneSecondRuleStartOver) {
  // Ctrl, Shift, A, then B: B alone.
  EXPECT_TRUE(Same(Capture(false, {{VK_CONTROL, false, 0}, {VK_SHIFT, false, 100},
                               {'A', false, 200}, {'B', false, 300}}),
                   0, 'B'));
  // The same with the releases a hand makes in between.
  EXPECT_TRUE(Same(Capture(false, {{VK_CONTROL, false, 0}, {VK_SHIFT, false, 100},
                               {'A', false, 200}, {'A', true, 250}, {'B', false, 300}}),
                   0, 'B'));
  EXPECT_TRUE(Same(Capture(false, {{VK_CONTROL, false, 0}, {VK_SHIFT, false, 100}, {'A', false, 200}}),
                   0x03, 'A'));
  // A, more than a second, B: B alone; within a second both.
  EXPECT_TRUE(Same(Capture(false, {{'A', false, 0}, {'A', true, 50}, {'B', false, 1100}}), 0, 'B'));
  EXPECT_TRUE(Same(Capture(false, {{'A', false, 0}, {'A', true, 50}, {'B', false, 900}}), 0, 'A', 'B'));
  // Key repeat (equal events) changes nothing and a key is not added twice.
  EXPECT_TRUE(Same(Capture(false, {{'A', false, 0}, {'A', false, 400}, {'A', true, 500},
                               {'A', false, 600}}),
                   0, 'A'));
  // A second modifier of the same kind starts over; right-hand bits are kept apart.
  EXPECT_TRUE(Same(Capture(false, {{VK_LCONTROL, false, 0}, {VK_RCONTROL, false, 100}}), 0x10, 0));
  EXPECT_TRUE(Same(Capture(false, {{VK_RSHIFT, false, 0}, {VK_RMENU, false, 10}}), 0x60, 0));
  EXPECT_TRUE(Same(Capture(false, {{VK_LWIN, false, 0}, {VK_RWIN, false, 10}}), 0x80, 0));
}

TEST(ComboCapture, CheckBoxesIgnoreModifierKeys) {
  EXPECT_TRUE(Same(Capture(true, {{VK_CONTROL, false, 0}, {'A', false, 100}}), 0, 'A'));
  EXPECT_TRUE(Same(Capture(true, {{'A', false, 0}, {'B', false, 1}, {'C', false, 2},
                              {VK_RCONTROL, false, 3}}),
                   0, 'A', 'B', 'C'));
}

TEST(ComboCapture, LabelListsModifiersInDisplayOrder) {
  KeyCombo c;
  c.bModifiers = 0x01 | 0x02 | 0x40 | 0x80;
  c.bKeys[0] = 0x74;
  c.bKeys[1] = 'Q';
  EXPECT_EQ(ComboCapture::Label(c), "L-Ctrl + L-Shift + R-Alt + R-Win + F5 + Q");
  EXPECT_EQ(ComboCapture::Members(c), 6);
}

class Dialogs : public ::testing::Test {
 protected:
  void SetUp() override {
    // The dialog picture with key-coloured corners.
    QImage bg(425, 160, QImage::Format_ARGB32);
    bg.fill(QColor(40, 40, 48));
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 3; ++x) bg.setPixelColor(x, y, QColor(0, 255, 0));
    skin.AddImage("msg_nr.png", bg);
    skin.Add("button2_nr.png", 80, 27);
    skin.Add("exit_nr.png", 25, 25);
    skin.Add("exit_ov.png", 25, 25);
    skin.Add("Check_nr.png", 14, 14);
    skin.Add("Check_dn.png", 14, 14, QColor(0, 128, 255));
    main.setGeometry(100, 100, 1070, 750);
  }
  // Runs `body` once the dialog's modal loop runs.
  template <typename F>
  static void WhenOpen(F body) {
    QTimer::singleShot(0, body);
  }
  static QKeyEvent Key(QEvent::Type t, int qtKey, int evdev) {
    return QKeyEvent(t, qtKey, Qt::NoModifier, quint32(evdev + 8), 0, 0);
  }
  test::TempSkin skin;
  QWidget main;
};

TEST_F(Dialogs, CombinationDialogCapturesRightHandKeysBeforeTheEdit) {
  CMsgDlg dlg(&main, CMsgDlg::kCombo, "press");
  int64_t now = 0;
  dlg.SetClock([&] { return now; });
  QRect placed;
  bool hasMask = false, cornerOut = false;
  WhenOpen([&] {
    placed = dlg.frameGeometry();
    hasMask = !dlg.mask().isEmpty();
    cornerOut = !dlg.mask().contains(QPoint(1, 1)) && dlg.mask().contains(QPoint(10, 10));
    auto send = [&](QEvent::Type t, int key, int evdev) {
      QKeyEvent e = Key(t, key, evdev);
      QCoreApplication::sendEvent(dlg.Edit(), &e);
      now += 100;
    };
    send(QEvent::KeyPress, Qt::Key_Control, 97);
    send(QEvent::KeyPress, Qt::Key_Return, 28);  // Enter is a key here, not OK
    send(QEvent::KeyRelease, Qt::Key_Return, 28);
    send(QEvent::KeyRelease, Qt::Key_Control, 97);
    EXPECT_EQ(dlg.ComboText(), "R-Ctrl + Enter");
    dlg.TryOk();
  });
  EXPECT_EQ(dlg.exec(), 1);
  EXPECT_TRUE(Same(dlg.Combo(), 0x10, 0x0D));
  EXPECT_LE((placed.center() - main.frameGeometry().center()).manhattanLength(), 1);
  EXPECT_EQ(dlg.objectName(), "TolvaneMsgTopWindow");
  EXPECT_TRUE(hasMask);
  EXPECT_TRUE(cornerOut);
}

TEST_F(Dialogs, CombinationWithCheckBoxesTakesModifiersFromTheBoxes) {
  CMsgDlg dlg(&main, CMsgDlg::kCombo, "press");
  dlg.SetShowCheckBoxes(true);
  bool firstOk = true;
  QString refusal;
  WhenOpen([&] {
    for (int key : {Qt::Key_Control, Qt::Key_A}) {
      QKeyEvent down = Key(QEvent::KeyPress, key, key == Qt::Key_A ? 30 : 29);
      QCoreApplication::sendEvent(dlg.Edit(), &down);
    }
    EXPECT_EQ(dlg.ComboText(), "A");
    // Shift, Ctrl and Alt boxes plus A: four members are refused.
    for (int i = 0; i < 3; ++i) test::Click(dlg.CheckBox(i), QPoint(2, 2));
    QTimer::singleShot(0, [&] {
      auto* nested = qobject_cast<CMsgDlg*>(QApplication::activeModalWidget());
      if (nested && nested != &dlg) {
        refusal = nested->findChild<CPngBtn*>() ? "shown" : "";
        nested->reject();
      }
    });
    firstOk = dlg.TryOk();
    test::Click(dlg.CheckBox(2), QPoint(2, 2));  // Alt off again
    dlg.TryOk();
  });
  EXPECT_EQ(dlg.exec(), 1);
  EXPECT_FALSE(firstOk);
  EXPECT_EQ(refusal, "shown");
  EXPECT_TRUE(Same(dlg.Combo(), 0x03, 'A'));
}

TEST_F(Dialogs, TextAndNumberAnswers) {
  CMsgDlg empty(&main, CMsgDlg::kText, "name?");
  WhenOpen([&] { empty.TryOk(); });
  EXPECT_EQ(empty.exec(), 0);  // an empty text is a Cancel

  CMsgDlg named(&main, CMsgDlg::kText, "name?");
  named.SetTextLimit(5);
  WhenOpen([&] {
    QTest::keyClicks(named.Edit(), "Profile");
    named.TryOk();
  });
  EXPECT_EQ(named.exec(), 1);
  EXPECT_EQ(named.Text(), "Profi");

  CMsgDlg number(&main, CMsgDlg::kNumber, "dpi?");
  number.SetRange(100, 26000);
  bool lowAccepted = true;
  WhenOpen([&] {
    QTest::keyClicks(number.Edit(), "50");
    lowAccepted = number.TryOk();  // below the minimum: stays open
    number.Edit()->clear();
    QTest::keyClicks(number.Edit(), "99999");
    EXPECT_EQ(number.Edit()->text(), "26000");  // above the maximum while typing
    number.Edit()->clear();
    QTest::keyClicks(number.Edit(), "1600");
    number.TryOk();
  });
  EXPECT_EQ(number.exec(), 1);
  EXPECT_FALSE(lowAccepted);
  EXPECT_EQ(number.Number(), 1600);

  CMsgDlg confirm(&main, CMsgDlg::kConfirm, "sure?");
  WhenOpen([&] {
    ASSERT_NE(confirm.CancelButton(), nullptr);
    EXPECT_EQ(confirm.OkButton()->geometry(), QRect((425 - 170) / 2, 100, 80, 27));
    EXPECT_EQ(confirm.CancelButton()->x(), confirm.OkButton()->x() + 90);
    test::Click(confirm.CancelButton(), QPoint(5, 5));
  });
  EXPECT_EQ(confirm.exec(), 0);
}

TEST_F(Dialogs, MissingPictureClosesAtOnce) {
  test::TempSkin bare;
  CMsgDlg dlg(&main, CMsgDlg::kConfirm, "sure?");
  EXPECT_EQ(dlg.exec(), 0);
}

TEST_F(Dialogs, SignalClosesTheButtonlessDialog) {
  CloseSignal signal;
  bool buttons = true;
  std::thread setter;
  WhenOpen([&] {
    buttons = false;
    for (auto* b : QApplication::activeModalWidget()->findChildren<CPngBtn*>())
      buttons |= b->isVisible();
    setter = std::thread([&] {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      signal.Set();
    });
  });
  EXPECT_EQ(ShowMessage(&main, "reading", &signal), 1);
  setter.join();
  EXPECT_FALSE(buttons);

  // A dialog whose signal never comes ends its waiting thread when it goes.
  CloseSignal never;
  CMsgDlg dlg(&main, CMsgDlg::kMessage, "x");
  dlg.SetCloseSignal(&never);
  WhenOpen([&] { dlg.reject(); });
  EXPECT_EQ(dlg.exec(), 0);
}

TEST_F(Dialogs, FramelessDialogFollowsOnlyALeftButtonDrag) {
  CFramelessDialog dlg(&main);
  dlg.setGeometry(100, 100, 200, 120);
  const QPoint origin = dlg.frameGeometry().topLeft();
  auto send = [&](QEvent::Type type, QPoint global, Qt::MouseButtons held) {
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent e(type, QPointF(global - dlg.frameGeometry().topLeft()), QPointF(global), button,
                  held, Qt::NoModifier);
    QApplication::sendEvent(&dlg, &e);
  };
  const QPoint grab = origin + QPoint(15, 10);
  send(QEvent::MouseButtonPress, grab, Qt::LeftButton);
  send(QEvent::MouseMove, grab + QPoint(40, -25), Qt::LeftButton);
  EXPECT_EQ(dlg.frameGeometry().topLeft(), origin + QPoint(40, -25));
  // The grabbed point stays under the pointer however far it goes.
  send(QEvent::MouseMove, grab + QPoint(-60, 30), Qt::LeftButton);
  EXPECT_EQ(dlg.frameGeometry().topLeft(), origin + QPoint(-60, 30));
  // Without the left button held the dialog stays where it is.
  send(QEvent::MouseMove, grab + QPoint(90, 90), Qt::RightButton);
  EXPECT_EQ(dlg.frameGeometry().topLeft(), origin + QPoint(-60, 30));
}

TEST_F(Dialogs, MoveDialogKeepsNumbersWithinTheByte) {
  EXPECT_EQ(CMoveDlg::CleanMoveText("200"), "127");
  EXPECT_EQ(CMoveDlg::CleanMoveText("-300"), "-127");
  EXPECT_EQ(CMoveDlg::CleanMoveText("12a"), "12");
  EXPECT_EQ(CMoveDlg::CleanMoveText("-127"), "-127");
  EXPECT_EQ(CMoveDlg::CleanMoveText("00099"), "00099");
  EXPECT_EQ(CMoveDlg::CleanMoveText("99999999999999999999"), "127");

  CMoveDlg dlg(&main);
  WhenOpen([&] {
    QTest::keyClicks(dlg.EditX(), "200");
    QTest::keyClicks(dlg.EditY(), "-300");
    EXPECT_EQ(dlg.EditX()->text(), "127");
    EXPECT_EQ(dlg.EditY()->text(), "-127");
    dlg.EditY()->clear();
    QTest::keyClicks(dlg.EditY(), "12a");
    EXPECT_EQ(dlg.EditY()->text(), "12");
    test::Click(dlg.OkButton(), QPoint(5, 5));
  });
  EXPECT_EQ(dlg.exec(), 1);
  EXPECT_EQ(dlg.X(), 127);
  EXPECT_EQ(dlg.Y(), 12);

  CMoveDlg cancelled(&main);
  WhenOpen([&] { cancelled.reject(); });
  EXPECT_EQ(cancelled.exec(), 0);
  EXPECT_FALSE(cancelled.Accepted());
}

TEST(WindowShape, KeyColourWithinToleranceIsOutside) {
  QImage pic(6, 2, QImage::Format_ARGB32);
  pic.fill(QColor(50, 50, 50));
  pic.setPixelColor(0, 0, QColor(255, 0, 255));
  pic.setPixelColor(3, 0, QColor(250, 8, 247));  // within 10 of the key
  pic.setPixelColor(5, 1, QColor(0, 0, 0, 0));   // transparent shows the key colour
  const QRegion exact = BitmapToRegion(pic, 0xFF00FF, 0);
  EXPECT_FALSE(exact.contains(QPoint(0, 0)));
  EXPECT_TRUE(exact.contains(QPoint(3, 0)));
  EXPECT_FALSE(exact.contains(QPoint(5, 1)));
  EXPECT_TRUE(exact.contains(QPoint(4, 1)));
  const QRegion loose = BitmapToRegion(pic, 0xFF00FF, 10);
  EXPECT_FALSE(loose.contains(QPoint(3, 0)));
  EXPECT_EQ(loose.rectCount(), 3);  // row 0: [1,2] and [4,5]; row 1: [0,4]
}

TEST(WindowShape, TheTranslucentPictureHasTheMasksShapeOverAnOpaqueColour) {
  QImage pic(6, 2, QImage::Format_ARGB32);
  pic.fill(QColor(50, 50, 50));
  pic.setPixelColor(0, 0, QColor(255, 0, 255));
  pic.setPixelColor(3, 0, QColor(250, 8, 247));
  pic.setPixelColor(5, 1, QColor(0, 0, 0, 0));
  pic.setPixelColor(1, 1, QColor(200, 100, 0, 128));  // half transparent, far from the key
  pic.setPixelColor(2, 1, QColor(255, 0, 255, 128));  // the key, half transparent: still the key
  const QRgb under = 0xFF232228;
  for (int tolerance : {0, 10}) {
    const QRegion region = BitmapToRegion(pic, 0xFF00FF, tolerance);
    const QImage shaped = ShapedPicture(pic, 0xFF00FF, tolerance, under);
    ASSERT_EQ(shaped.size(), pic.size());
    for (int y = 0; y < 2; ++y)
      for (int x = 0; x < 6; ++x)
        EXPECT_EQ(qAlpha(shaped.pixel(x, y)), region.contains(QPoint(x, y)) ? 255 : 0)
            << x << "," << y << " tolerance " << tolerance;
  }
  const QImage shaped = ShapedPicture(pic, 0xFF00FF, 10, under);
  EXPECT_EQ(shaped.pixelColor(4, 0), QColor(50, 50, 50));
  // Half of (200, 100, 0) over half of (0x23, 0x22, 0x28).
  const QColor mixed = shaped.pixelColor(1, 1);
  EXPECT_NEAR(mixed.red(), (200 + 0x23) / 2, 2);
  EXPECT_NEAR(mixed.green(), (100 + 0x22) / 2, 2);
  EXPECT_NEAR(mixed.blue(), 0x28 / 2, 2);
  EXPECT_EQ(qAlpha(shaped.pixel(2, 1)), 0);
  EXPECT_TRUE(ShapedPicture(QImage(), 0xFF00FF, 10, under).isNull());
}

}  // namespace
}  // namespace tolvane::ui
