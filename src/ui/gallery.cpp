#include "ui/gallery.h"

#include <QPainter>

#include "ui/factories.h"
#include "ui/menu_dlg.h"
#include "ui/msg_dlg.h"
#include "ui/my_edit.h"
#include "ui/paint_util.h"
#include "ui/png_btn.h"
#include "ui/png_slider.h"
#include "ui/ui_message.h"
#include "ui/ui_style.h"

namespace tolvane::ui {

GalleryWindow::GalleryWindow(QWidget* parent) : SkinWidget(parent) {
  setWindowTitle(QStringLiteral("Tolvane widget gallery"));
  setFixedSize(kWidth, kHeight);
  Build();
}

void GalleryWindow::Section(int y, const QString& title) {
  labels_.push_back({QRect(20, y, 150, 24), title});
}

void GalleryWindow::Note(const QRect& r, const QString& text) { labels_.push_back({r, text}); }

void GalleryWindow::Build() {
  // The gallery notes missing pictures instead of warning about each.
  SetWarningHandler([this](const std::string&, const std::string& text) {
    missing_ << QString::fromStdString(text);
  });
  LoadBackground();
  BuildTitleBar();
  BuildPushButtons(125);
  BuildToggles(175);
  BuildDropLists(225);
  BuildSliders(285);
  BuildDpiBars(330);
  BuildEdits(420);
  BuildMenu(470);
  BuildComboDialog(470);
  SetWarningHandler(WarningHandler());
}

void GalleryWindow::LoadBackground() {
  bg_ = LoadSkinPicture(QStringLiteral("main_nr.png"));
  if (bg_.isNull()) {
    bg_ = QImage(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
    bg_.fill(QColor(0x1E, 0x1F, 0x24));
    missing_ << SkinPath(QStringLiteral("main_nr.png"));
  } else if (bg_.size() != size()) {
    bg_ = bg_.scaled(size());
  }
}

// Title buttons and tabs, where the main window has them.
void GalleryWindow::BuildTitleBar() {
  const struct { const char* nr; const char* ov; int l; } kTitle[] = {
      {"help_nr.png", "help_ov.png", 926}, {"min_nr.png", "min_ov.png", 974},
      {"exit_nr.png", "exit_ov.png", 1022}};
  for (const auto& t : kTitle) {
    auto* b = new CPngBtn(this);
    if (!NewSmallPngButton(bg_, QString::fromLatin1(t.nr), this, QString::fromLatin1(t.nr),
                           QString::fromLatin1(t.ov), b, false, false, t.l, 0, t.l + 48, 30))
      delete b;
  }
  const struct { int l, r; const char* text; } kTabs[] = {
      {180, 280, "Devices"}, {280, 480, "Buttons"}, {480, 620, "Lighting"},
      {620, 730, "Performance"}, {730, 830, "Settings"}};
  for (size_t i = 0; i < std::size(kTabs); ++i) {
    auto* tab = NewPageTab(this, bg_, QRect(kTabs[i].l, 29, kTabs[i].r - kTabs[i].l, 80));
    tab->SetCaption(QString::fromLatin1(kTabs[i].text));
    tab->SetCheck(i == 1);
    if (i == 2) tab->SetHoverState(true);
    if (i == 4) tab->setEnabled(false);
  }
}

// Push buttons in their states.
void GalleryWindow::BuildPushButtons(int y) {
  Section(y, QStringLiteral("Buttons"));
  const char* kStates[] = {"Normal", "Hover", "Pressed", "Disabled", "Locked", "Icon"};
  for (int i = 0; i < 6; ++i) {
    const int x = 180 + i * 100;
    auto* b = NewSkinButton<CPngBtn>(this, bg_, QRect(x, y, 80, 27),
                                     QStringLiteral("button2_nr.png"),
                                     QStringLiteral("button2_ov.png"),
                                     QStringLiteral("button2_dn.png"),
                                     QString::fromLatin1(kStates[i]));
    if (!b) continue;
    b->SetOwnFont(DialogFont(16, 500));
    if (i == 1) b->SetHoverState(true);
    if (i == 2) b->SetCheck(true);
    if (i == 3) b->setEnabled(false);
    if (i == 4) b->SetLock(true);
    if (i == 5) {
      b->SetIcon(LoadSkinPicture(QStringLiteral("ICO_leftclick_nr.png")));
      b->SetTextOffset(22);
    }
  }
}

// Radios, check boxes and switches, off and on.
void GalleryWindow::BuildToggles(int y) {
  Section(y, QStringLiteral("Toggles"));
  const struct { const char* off; const char* on; } kToggles[] = {
      {"radio_nr.png", "radio_dn.png"}, {"check_nr.png", "check_dn.png"},
      {"toggle_off.png", "toggle_on.png"}};
  int x = 180;
  for (const auto& t : kToggles) {
    for (int on = 0; on < 2; ++on) {
      auto* b = new CPngBtn(this);
      if (!NewSmallPngButton(bg_, QString::fromLatin1(t.on), this, QString::fromLatin1(t.off),
                             QString::fromLatin1(t.off), b, true, false, x, y, x + 40, y + 24)) {
        delete b;
        x += 60;
        continue;
      }
      b->SetFlipOnClick(true);
      b->SetCheck(on == 1);
      x += b->width() + 30;
    }
    x += 30;
  }
}

// Drop lists.
void GalleryWindow::BuildDropLists(int y) {
  Section(y, QStringLiteral("Drop lists"));
  const struct { const char* pic; int items; int sel; } kCombos[] = {
      {"combo_nr.png", 8, 2}, {"combo2_nr.png", 4, 0}, {"combo4_nr.png", 3, -1}};
  int x = 180;
  for (const auto& c : kCombos) {
    const QString pic = QString::fromLatin1(c.pic);
    auto* b = NewSkinButton<CComboBtn>(this, bg_, QRect(x, y, 147, 30), pic, pic, pic);
    if (!b) {
      x += 170;
      continue;
    }
    b->SetOwnFont(DialogFont(16, 500));
    for (int i = 0; i < c.items; ++i)
      b->AddItem(0, uint32_t(i + 1), c.items == 4 ? QString::number(i + 1)
                                                  : QStringLiteral("Effect %1").arg(i + 1));
    b->SelectPos(c.sel);
    x += b->width() + 25;
  }
}

// One-thumb sliders: thumbed, at full without a thumb, disabled.
void GalleryWindow::BuildSliders(int y) {
  Section(y - 4, QStringLiteral("Sliders"));
  auto* s = new CPngSliderBar(this);
  const QRect r(180, y, 300, 14);
  if (NewSmallPngSliderBar(s, this, bg_, QStringLiteral("slider.png"), 1, 10, 272,
                           QPoint(0, Style().barY), r, r)) {
    s->EvenScale();
    s->SetPos(6);
    Note(QRect(490, y - 4, 120, 22), QStringLiteral("6 of 1-10"));
  } else {
    delete s;
  }
  auto* full = new CPngSliderBar(this);
  const QRect r2(620, y, 200, 14);
  if (NewSmallPngSliderBar(full, this, bg_, QString(), 0, 2, 130, QPoint(0, Style().barY), r2,
                           r2)) {
    full->SetValueTable({400, 800, 1600});
    full->SetPos(1600);
  } else {
    delete full;
  }
  auto* off = new CPngSliderBar(this);
  const QRect r3(840, y, 200, 14);
  if (NewSmallPngSliderBar(off, this, bg_, QStringLiteral("slider.png"), 0, 10, 131,
                           QPoint(0, Style().barY), r3, r3)) {
    off->SetPos(3);
    off->SetDisabled(true, true);
    off->setEnabled(false);
  } else {
    delete off;
  }
}

// Two-thumb DPI bars: joined and separate X/Y.
void GalleryWindow::BuildDpiBars(int y) {
  Section(y - 4, QStringLiteral("DPI bars"));
  const std::vector<int> dpi = {400, 800, 1200, 1600, 2400, 3200, 4800, 6400};
  for (int sep = 0; sep < 2; ++sep) {
    auto* s = new CPngHSliderBarEx(this);
    const QRect r(180, y + sep * 40, 650, sep ? 28 : 14);
    if (!NewSmallPngHSliderBarEx(bg_, QStringLiteral("slider2.png"), this,
                                 QString::fromLatin1(sep ? "slider1.png" : "slider.png"), s,
                                 144 + uint32_t(sep), QPoint(0, Style().dpiBarY), r)) {
      delete s;
      continue;
    }
    s->SetRange(0, int(dpi.size()) - 1);
    s->SetValueTable(dpi);
    s->EvenScale();
    s->SetSeparate(sep == 1);
    s->ShowSecond(sep == 1);
    s->SetPos(1, sep ? 3200 : 1600);
    if (sep) s->SetPos(2, 800);
    Note(QRect(845, y + sep * 40 - 4, 200, 22),
         sep ? QStringLiteral("X 3200  Y 800") : QStringLiteral("1600"));
  }
}

// Edits in their modes.
void GalleryWindow::BuildEdits(int y) {
  Section(y - 2, QStringLiteral("Edits"));
  const char* kEditNotes[] = {"text", "read-only", "key", "number", "masked"};
  for (int i = 0; i < 5; ++i) {
    auto* e = new CMyEdit(this);
    e->setGeometry(180 + i * 170, y, 150, 20);
    switch (i) {
      case 0: e->setText(QStringLiteral("Profile 1")); break;
      case 1: e->setText(QStringLiteral("v1.04")); e->SetReadOnlyMode(); break;
      case 2: e->SetKeyCaptureMode(false); e->setText(QStringLiteral("R_Ctrl")); break;
      case 3: e->SetNumericMode(100, 26000, false); e->setText(QStringLiteral("1600")); break;
      case 4: e->SetMaskedMode(); e->setText(QStringLiteral("******")); break;
    }
    Note(QRect(180 + i * 170, y + 22, 150, 18), QString::fromLatin1(kEditNotes[i]));
  }
}

// The popup menu with an open submenu.
void GalleryWindow::BuildMenu(int y) {
  Section(y, QStringLiteral("Menu"));
  std::vector<MenuItem> items = {
      {kMenuTopGroup, 1, QStringLiteral("Left click")},
      {kMenuTopGroup, 2, QStringLiteral("Right click")},
      {kMenuTopGroup, 3, QStringLiteral("Media")},
      {kMenuTopGroup, 4, QStringLiteral("Disable")},
      {2, 5, QStringLiteral("Play/Pause")},
      {2, 6, QStringLiteral("Volume up")}};
  CMenuDlg::Options o;
  o.width = 150;
  o.clrNr = Style().menuTxtNr;
  o.clrOv = Style().menuTxtOv;
  const QImage menu = CMenuDlg::Preview(items, o, 2);
  pictures_.push_back({QPoint(20, y + 28), menu});
  std::vector<MenuItem> sub = {{kMenuTopGroup, 5, QStringLiteral("Play/Pause")},
                               {kMenuTopGroup, 6, QStringLiteral("Volume up")}};
  const int itemH = GetMenuPictures().item.height();
  pictures_.push_back({QPoint(20 + 150, y + 28 + 1 + 2 * itemH - itemH),
                       CMenuDlg::Preview(sub, o, 1)});
}

// The combination dialog, cut to its window shape.
void GalleryWindow::BuildComboDialog(int y) {
  CMsgDlg combo(this, CMsgDlg::kCombo, UiText("tc_combo_tips"));
  combo.SetShowCheckBoxes(true);
  if (combo.Prepare()) {
    combo.Edit()->setText(QStringLiteral("L-Ctrl + R-Shift + F5"));
    combo.CheckBox(1)->SetCheck(true);
    const QImage shot = combo.grab().toImage();
    QImage shaped(shot.size(), QImage::Format_ARGB32_Premultiplied);
    shaped.fill(Qt::transparent);
    QPainter p(&shaped);
    if (!combo.mask().isEmpty()) p.setClipRegion(combo.mask());
    p.drawImage(0, 0, shot);
    p.end();
    pictures_.push_back({QPoint(std::max(340, kWidth - 20 - shaped.width()), y), shaped});
  }
}

bool GalleryWindow::event(QEvent* e) {
  // Every question of the controls is answered yes.
  if (e->type() == UiMessageEvent::Type()) {
    auto* m = static_cast<UiMessageEvent*>(e);
    if (m->msg == WM_SLIDER_ASK || m->msg == WM_XYSLIDER_ASK) {
      m->setResult(1);
      m->accept();
      return true;
    }
  }
  return SkinWidget::event(e);
}

void GalleryWindow::PaintBuffer(QPainter& p) {
  p.drawImage(0, 0, bg_);
  for (const Picture& pic : pictures_) p.drawImage(pic.at, pic.image);
  p.setPen(ColorFromRef(Style().btnTxtNr));
  p.setFont(DialogFont(16, 600));
  for (const Label& l : labels_)
    DrawFormattedText(p, l.rect, l.text, DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS);
}

}  // namespace tolvane::ui
