#include "ui/main_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QPixmap>
#include <QPainter>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QWindow>

#include <thread>

#include "app/log.h"
#include "profile/profile_session.h"
#include "ui/dev_dlg.h"
#include "ui/factories.h"
#include "ui/menu_dlg.h"
#include "ui/msg_dlg.h"
#include "ui/paint_util.h"
#include "ui/png_btn.h"
#include "ui/program_page.h"
#include "ui/qt_event_sink.h"
#include "ui/status_dlgs.h"
#include "ui/ui_message.h"
#include "ui/ui_style.h"

namespace tolvane::ui {

const QRect CTolvaneDlg::kPageRect(1, 111, 1069, 639);
const QRect CTolvaneDlg::kWaitBox(485, 325, 100, 100);

namespace {

constexpr int kExitFallbackMs = 5000;
constexpr int kPreloadPollMs = 10;
constexpr int kPagePauseMs = 2;
// A shown start's icon and tray come after its first frame, or after this
// long at the latest.
constexpr int kIconLatestMs = 1000;
constexpr uint32_t kTitleAccent = 0xFF8000;
constexpr QRgb kUnderShape = 0xFF232228;  // under the picture of a shaped window
constexpr intptr_t kLeftButtonUp = 0x0202, kRightButtonUp = 0x0205;

const char* const kTabText[kTabs] = {"tc_page1", "tc_page2", "tc_page3", "tc_page4", "tc_msg23"};
const int kTabLeft[kTabs + 1] = {180, 280, 480, 620, 730, 830};

QString Q(const std::string& s) { return QString::fromStdString(s); }

}  // namespace

void CPageFrame::PaintBuffer(QPainter& p) {
  if (load_) {  // a page's picture is decoded when the page is first shown
    bg_ = load_();
    load_ = nullptr;
  }
  if (bg_.isNull()) p.fillRect(rect(), ColorFromRef(0x282223));
  else p.drawImage(rect(), bg_);
}

void CPageFrame::mousePressEvent(QMouseEvent* e) { e->ignore(); }

// ---------------------------------------------------------------- start

CTolvaneDlg::CTolvaneDlg(WindowBackend& backend, Options options)
    : SkinWidget(nullptr, Qt::Window | Qt::FramelessWindowHint),
      backend_(backend),
      options_(std::move(options)),
      cfg_(backend.Config()) {
  message_ = [this](const QString& text) {
    QtNotifier::OpenMessage(this, text);
  };
  setWindowTitle(Q(cfg_.title));
  setObjectName(QStringLiteral("CTolvaneDlg"));

  bg_ = LoadSkinPicture(QStringLiteral("main_nr.png"));
  if (bg_.isNull()) {
    ShowWarning("Error", "Load skins failed.");
    return;
  }
  ready_ = true;
  BuildLayout();

  waitTimer_.setSingleShot(true);
  waitTimer_.setInterval(kWaitOpenDelayMs);
  connect(&waitTimer_, &QTimer::timeout, this, [this] {
    if (pendingRead_ != 0 && isVisible()) OpenWait();
  });
  exitTimer_.setSingleShot(true);
  exitTimer_.setInterval(kExitFallbackMs);
  connect(&exitTimer_, &QTimer::timeout, this, [this] {
    LogPrint("OnExit: no answer from the devices, closing");
    FinishExit();
  });
}

CTolvaneDlg::~CTolvaneDlg() {
  if (wait_) delete wait_.data();
  if (progress_) delete progress_.data();
  if (tray_) tray_->hide();
  delete trayMenu_;
}

const QImage& CTolvaneDlg::Shaped() {
  if (shaping_.joinable()) shaping_.join();
  return shaped_;
}

bool CTolvaneDlg::TrayAvailable() const {
  return options_.trayAvailable ? options_.trayAvailable()
                                : QSystemTrayIcon::isSystemTrayAvailable();
}

void CTolvaneDlg::BuildLayout() {
  setFixedSize(bg_.size());
  if (QScreen* s = QGuiApplication::primaryScreen()) {
    const QRect a = s->availableGeometry();
    LogPrint("xScreen=%d, yScreen=%d", a.width(), a.height());
    int x = (a.width() - width()) / 2, y = (a.height() - height()) / 2;
    if (x < 2) x = 10;
    if (y < 2) y = 10;
    move(a.left() + x, a.top() + y);
  }
  // The window's shape is worked out from its picture on a thread of its own
  // (pure picture work) while the controls are made here. A mask is put in
  // place at the end of the layout, before the window is shown; the shaped
  // picture is waited for when it is first painted.
  const bool masked = cfg_.clrMask != 0 && QGuiApplication::platformName() == QLatin1String("xcb");
  translucent_ = cfg_.clrMask != 0 && !masked;
  QRegion mask;
  std::jthread shape;
  if (masked) {
    shape = std::jthread([&mask, bg = bg_, key = cfg_.clrMask] { mask = BitmapToRegion(bg, key, 10); });
  } else if (translucent_) {
    // The outside of the shape is made transparent once, here; painting is
    // then one copy of the picture, not a copy clipped row by row.
    shaping_ = std::jthread([this, bg = bg_, key = cfg_.clrMask] {
      // Made once per skin and colour key; later starts map it.
      const QString variant = QStringLiteral("shaped-%1-10-%2").arg(key, 0, 16).arg(kUnderShape, 0, 16);
      shaped_ = DerivedSkinPicture(QStringLiteral("main_nr.png"), bg, variant, [key](const QImage& pic) {
        return ShapedPicture(pic, key, 10, kUnderShape);
      });
    });
    setAttribute(Qt::WA_TranslucentBackground);
  }

  auto title = [this](CPngBtn*& b, const char* nr, const char* ov, int left) {
    b = new CPngBtn(this);
    if (!NewSmallPngButton(bg_, QString::fromLatin1(nr), this, QString::fromLatin1(nr),
                           QString::fromLatin1(ov), b, false, false, left, 0, left + 48, 30)) {
      delete b;
      b = nullptr;
    }
  };
  title(help_, "help_nr.png", "help_ov.png", 926);
  title(min_, "min_nr.png", "min_ov.png", 974);
  title(exit_, "exit_nr.png", "exit_ov.png", 1022);
  if (help_) connect(help_, &CPngBtn::clicked, this, [this] { SwitchPage(kPageSettings); });
  if (min_) connect(min_, &CPngBtn::clicked, this, &CTolvaneDlg::Minimize);
  if (exit_) connect(exit_, &CPngBtn::clicked, this, [this] {
      hide();
      Exit();
    });

  for (int i = 0; i < kTabs; ++i) {
    const QRect r(kTabLeft[i], 29, kTabLeft[i + 1] - kTabLeft[i], 80);
    auto* tab = NewPageTab(this, bg_, r);
    tabs_[i] = tab;
    connect(tab, &CPngBtn::clicked, this, [this, i] {
      if (PageOfTab(i) != page_ && PageRefusesLeave()) {
        UpdateTabs();  // the clicked tab does not stay checked
        return;
      }
      if (i == 0) {
        backend_.LeaveDevice();
        if (power_) power_->hide();
      }
      SwitchPage(PageOfTab(i));
    });
  }

  power_ = new CPowerDlg(this,
                         CutBackground(bg_, QRect(cfg_.powerX, cfg_.powerY, CPowerDlg::kWidth,
                                                  CPowerDlg::kHeight)),
                         cfg_.txtColor);
  power_->move(cfg_.powerX, cfg_.powerY);
  power_->setVisible(cfg_.showPowerAtStart);

  const QImage pageBg = CutBackground(bg_, kPageRect);
  pageBg_ = pageBg;
  devDlg_ = new CDevDlg(this, pageBg, cfg_.txtColor);
  pages_[kPageDevices] = devDlg_;
  pages_[kPageButtons] = new CPageFrame(this, pageBg);
  auto picture = [this, pageBg](const char* name) {
    return [this, pageBg, name] { return PagePicture(QString::fromLatin1(name), pageBg); };
  };
  pages_[kPageMacros] = new CPageFrame(this, picture("macro_nr.png"));
  pages_[kPageDpi] = new CPageFrame(this, picture("adv_nr.png"));
  pages_[kPageLighting] = new CPageFrame(this, picture("led_nr.png"));
  makers_[kPageSettings] = [this, pageBg]() -> QWidget* {
    cfgDlg_ = new CCfgDlg(this, backend_, pageBg, kPageRect, options_.autostart,
                          [this](const QString& t) { message_(t); });
    connect(cfgDlg_, &CCfgDlg::languageChosen, this, &CTolvaneDlg::SetLanguage);
    connect(cfgDlg_, &CCfgDlg::closeRequested, this,
            [this] { SwitchPage(pageBeforeSettings_); });
    return cfgDlg_;
  };
  connect(devDlg_, &CDevDlg::deviceChosen, this, &CTolvaneDlg::OnCurrentDeviceChanged);
  for (QWidget* p : pages_) {
    if (!p) continue;
    p->setGeometry(kPageRect);
    p->hide();
  }
  power_->raise();

  current_ = backend_.CurrentEntry();
  Relabel();
  RefreshDevices();
  SwitchPage(kPageDevices);
  if (shape.joinable()) shape.join();
  if (masked) setMask(mask);
}

void CTolvaneDlg::SetPage(int index, QWidget* page) {
  if (index < kPageButtons || index > kPageLighting || !page || page == pages_[index]) return;
  makers_[index] = nullptr;
  page->setParent(this);
  page->setGeometry(kPageRect);
  page->setVisible(index == page_);
  delete pages_[index];
  pages_[index] = page;
  if (auto* p = dynamic_cast<ProgramPage*>(page)) {
    p->Relabel();
    p->Refresh();
  }
  if (power_) power_->raise();
}

void CTolvaneDlg::SetPageMaker(int index, PageMaker make) {
  if (index < kPageButtons || index > kPageLighting || !make) return;
  makers_[index] = std::move(make);
  if (painted_) QTimer::singleShot(0, this, &CTolvaneDlg::MakeNextPage);
}

int CTolvaneDlg::PagesToMake() const {
  int n = 0;
  for (const PageMaker& m : makers_) n += m ? 1 : 0;
  return n;
}

void CTolvaneDlg::MakePage(int index) {
  if (!makers_[index]) return;
  const PageMaker make = std::move(makers_[index]);
  makers_[index] = nullptr;
  QWidget* page = make();
  if (!page) return;
  if (index == kPageSettings) {
    page->setParent(this);
    page->setGeometry(kPageRect);
    page->setVisible(index == page_);
    pages_[index] = page;
    if (power_) power_->raise();
  } else {
    SetPage(index, page);
  }
}

void CTolvaneDlg::MakeNextPage() {
  if (exiting_) return;
  if (PicturePreloadPending()) {
    // The pages' backgrounds are still being decoded: a page made now would
    // wait for its picture on this thread.
    QTimer::singleShot(kPreloadPollMs, this, &CTolvaneDlg::MakeNextPage);
    return;
  }
  // The button page last: by then the mice have been found and the current
  // one's picture, which it shows, has been decoded ahead.
  for (int i : {kPageMacros, kPageDpi, kPageLighting, kPageSettings, kPageButtons}) {
    if (!makers_[i]) continue;
    MakePage(i);
    // The next one in a later turn: input, painting and timers come in
    // between (a zero delay would run it in the same pass as the events
    // already queued).
    if (PagesToMake() > 0) QTimer::singleShot(kPagePauseMs, this, &CTolvaneDlg::MakeNextPage);
    return;
  }
}

CCfgDlg* CTolvaneDlg::SettingsPage() {
  MakePage(kPageSettings);
  return cfgDlg_;
}

QImage CTolvaneDlg::PagePicture(const QString& name, const QImage& fallback) const {
  const QImage pic = LoadSkinPicture(name);
  if (pic.isNull()) return fallback;
  if (pic.size() == kPageRect.size()) return pic;
  return CutBackground(pic, kPageRect);
}

QImage CTolvaneDlg::ModelPicture(const std::string& skinFolder) {
  // Decoded once per model: choosing a mouse again costs no file work.
  const QString name = QString::fromStdString(skinFolder + "/key_nr.png");
  auto it = modelPictures_.find(name);
  if (it == modelPictures_.end()) it = modelPictures_.insert(name, PagePicture(name, pageBg_));
  return *it;
}

void CTolvaneDlg::PreloadModelPicture() {
  const std::string folder = backend_.CurrentSkinFolder();
  if (!makers_[kPageButtons] || folder.empty() || folder == preloadedModel_) return;
  preloadedModel_ = folder;
  PreloadSkinPicture(QString::fromStdString(folder + "/key_nr.png"));
}

void CTolvaneDlg::LoadModelPictures() {
  const auto dev = backend_.Device(current_);
  auto* keys = dynamic_cast<CPageFrame*>(pages_[kPageButtons]);
  if (!keys || makers_[kPageButtons]) return;  // a filled button page loads its own picture
  if (!dev || dev->skinFolder.empty()) {
    keys->SetBackground(pageBg_);
    return;
  }
  keys->SetBackground(ModelPicture(dev->skinFolder));
}

void CTolvaneDlg::Start() {
  if (!ready_) return;
  const bool hidden = options_.startHidden || backend_.Settings().startHidden;
  const bool tray = TrayAvailable();
  // The platform's icon is made even while there is no tray: Qt hands it to
  // a tray host that appears later (the X tray selection's new owner, the
  // status notifier watcher on D-Bus), so nothing here looks again by timer,
  // and minimise asks for the tray when it runs. Only a probe put in the
  // platform's place (tests, screenshots) that finds no tray gets no icon.
  const StartView view = DecideStartView(hidden, tray);
  // A window shown at once paints its first frame first: the icon (an ICO
  // file to decode) and the tray (a call to the desktop's tray host) follow
  // right after it.
  if (tray || !options_.trayAvailable) {
    if (view == StartView::Shown) trayAfterFirstFrame_ = true;
    else BuildTray();
  }
  // Also when no frame comes (a window the desktop never exposes).
  if (view == StartView::Shown) QTimer::singleShot(kIconLatestMs, this, &CTolvaneDlg::AfterFirstFrame);
  switch (view) {
    case StartView::Shown: ShowFromTray(); break;
    case StartView::TrayOnly: break;
    case StartView::Minimized: showMinimized(); break;
  }
}

void CTolvaneDlg::LoadWindowIcon() {
  if (iconLoaded_) return;
  iconLoaded_ = true;
  QIcon icon(Q(cfg_.programDir + "appico.ico"));
  if (icon.isNull()) LogPrint("Load Icon err=%x", 2);
  else setWindowIcon(icon);
}

void CTolvaneDlg::AfterFirstFrame() {
  LoadWindowIcon();
  if (trayAfterFirstFrame_) {
    trayAfterFirstFrame_ = false;
    BuildTray();
  }
}

void CTolvaneDlg::BuildTray() {
  if (tray_) return;
  LoadWindowIcon();
  QIcon icon = windowIcon();
  if (icon.isNull()) {  // without appico.ico: a plain mark of the title colour
    QPixmap mark(32, 32);
    mark.fill(ColorFromRef(kTitleAccent));
    icon = QIcon(mark);
  }
  tray_ = new QSystemTrayIcon(icon, this);
  tray_->setToolTip(Q(cfg_.title));
  trayMenu_ = new QMenu();
  connect(tray_, &QSystemTrayIcon::activated, this,
          [this](QSystemTrayIcon::ActivationReason r) {
            if (r == QSystemTrayIcon::Trigger) ShowFromTray();
          });
  tray_->setContextMenu(trayMenu_);
  Relabel();
  tray_->show();
}

void CTolvaneDlg::Relabel() {
  for (int i = 0; i < kTabs; ++i)
    if (tabs_[i]) tabs_[i]->SetCaption(UiText(kTabText[i]));
  if (devDlg_) devDlg_->SetTitle(UiText("tc_new11"));
  if (cfgDlg_) cfgDlg_->Relabel();
  for (QWidget* w : pages_)
    if (auto* p = dynamic_cast<ProgramPage*>(w)) p->Relabel();
  if (trayMenu_) {
    trayMenu_->clear();
    trayMenu_->addAction(UiText("tc_config"), this, &CTolvaneDlg::ShowFromTray);
    trayMenu_->addSeparator();
    trayMenu_->addAction(UiText("tc_exit"), this, &CTolvaneDlg::Exit);
  }
  update();
}

// ---------------------------------------------------------------- pages

void CTolvaneDlg::SwitchPage(int page) {
  if (page < 0 || page >= kPages) return;
  CMenuDlg::CloseOpen();
  if (page != page_ && PageRefusesLeave()) return;
  if (page == kPageSettings && page_ != kPageSettings) pageBeforeSettings_ = page_;
  MakePage(page);
  for (QWidget* p : pages_)
    if (p) p->hide();
  page_ = page;
  UpdateTabs();
  pages_[page]->show();
  if (page == kPageDevices) devDlg_->ClearSelection();
  if (page == kPageSettings) cfgDlg_->Refresh();
  if (auto* p = dynamic_cast<ProgramPage*>(pages_[page])) p->Refresh();
  if (power_) power_->raise();
  update(QRect(0, 0, width(), 50));
}

bool CTolvaneDlg::PageRefusesLeave() {
  auto* p = dynamic_cast<ProgramPage*>(pages_[page_]);
  return p && p->RefuseLeave();
}

void CTolvaneDlg::UpdateTabs() {
  TabFacts f;
  f.page = page_;
  f.anyDevice = !backend_.Devices().empty();
  if (auto d = backend_.Device(current_)) {
    f.mainLight = d->hasMainLight;
    f.logoLight = d->hasLogoLight;
  }
  const TabState t = TabsFor(f);
  for (int i = 0; i < kTabs; ++i) {
    if (!tabs_[i]) continue;
    tabs_[i]->setVisible(t.visible[i]);
    tabs_[i]->SetCheck(i == t.checked);
  }
}

void CTolvaneDlg::RefreshDevices() {
  if (devDlg_) devDlg_->SetDevices(backend_.Devices());
}

void CTolvaneDlg::SetLanguage(int index) {
  if (!backend_.ChooseLanguage(index)) return;
  Relabel();
}

// ---------------------------------------------------------------- events

void CTolvaneDlg::OnEvent(uint32_t msg, uintptr_t wParam, intptr_t lParam) {
  if (exited_ || !ready_) return;
  if (exiting_) {  // the core is shutting down: nothing is shown any more
    if (msg == WM_EXIT_DONE) FinishExit();
    return;
  }
  switch (msg) {
    case WM_NEW_DEVICE: OnNewDevice(int(wParam)); break;
    case WM_DEVICE_LIST_CHANGED:
      RefreshDevices();
      UpdateTabs();
      break;
    case WM_CURRENT_REMOVED: OnCurrentRemoved(int(wParam)); break;
    case WM_SYNC_OK: OnSyncOk(); break;
    case WM_OPERATION_DONE: OnOperationDone(uint64_t(wParam), lParam != 0); break;
    case WM_BATTERY:
      if (int(wParam) == current_) OnBattery(lParam);
      break;
    case WM_DEVICE_BEHAVIOR:
      if (int(wParam) == current_) LogPrint("OnDeviceBehavior  lParam= %x", unsigned(lParam));
      break;  // the core decodes it (WM_BEHAVIOR_DECODED) and reads the battery itself
    case WM_PROGRAM_MESSAGE:
      for (const std::string& m : backend_.TakeMessages()) message_(Q(m));
      break;
    case WM_PROGRESS:
      if (progress_) progress_->SetPos(int(intptr_t(wParam)));
      break;
    case WM_TRAY_NOTIFY:
      if (lParam == kLeftButtonUp) ShowFromTray();
      else if (lParam == kRightButtonUp && trayMenu_) trayMenu_->popup(QCursor::pos());
      break;
    default: break;
  }
  if (exited_ || exiting_) return;
  for (QWidget* w : pages_)
    if (auto* p = dynamic_cast<ProgramPage*>(w)) p->OnCoreEvent(msg, wParam, lParam);
}

void CTolvaneDlg::OnNewDevice(int entry) {
  const auto dev = backend_.Device(entry);
  if (!dev) {
    LogPrint("OnNewDevice: invalid param, pDEV=%x", unsigned(entry));
    return;
  }
  LogPrint("OnNewDevice: %s(%s)", dev->modelName.c_str(), dev->wireless ? "Wireless" : "Wired");
  if (backend_.Devices().size() > size_t(kMaxTiles)) {
    // A fifth device is left out; the program goes on with the four shown.
    message_(UiText("tc_new12"));
  }
  RefreshDevices();
  SwitchPage(kPageDevices);
  if (power_) power_->hide();
  PreloadModelPicture();
  // The model's picture is decoded now, after the tile has painted, so that
  // choosing the mouse later does no file work.
  if (!dev->skinFolder.empty() && dynamic_cast<CPageFrame*>(pages_[kPageButtons]) &&
      !makers_[kPageButtons])
    QTimer::singleShot(0, this, [this, folder = dev->skinFolder] { ModelPicture(folder); });
}

void CTolvaneDlg::OnCurrentRemoved(int entry) {
  LogPrint("Device OUT");
  if (entry != current_) {
    RefreshDevices();
    return;
  }
  if (power_) power_->hide();
  if (pendingRead_ != 0) {  // its read ends with a failure; nothing waits for it
    pendingRead_ = 0;
    waitTimer_.stop();
    CloseWait();
  }
  CloseProgress();  // its write fails; the dialog does not wait for the close
  current_ = -1;
  RefreshDevices();
  SwitchPage(kPageDevices);
}

void CTolvaneDlg::OnCurrentDeviceChanged(int entry) {
  const auto dev = backend_.Device(entry);
  if (!dev) {
    LogPrint("OnCurrentDeviceChanged pDev=NULL");
    return;
  }
  LogPrint("OnCurrentDeviceChanged: %s", dev->modelName.c_str());
  switch (backend_.CanChangeSettings(entry)) {
    case Gate::Busy:
      message_(UiText("tc_adv_str15"));
      LogPrint("OnCurrentDeviceChanged: dev offline");
      return;
    case Gate::NotConnected:
      message_(UiText("tc_msg10"));
      LogPrint("OnCurrentDeviceChanged: dev offline");
      return;
    case Gate::Ok: break;
  }
  pendingRead_ = backend_.ChooseDevice(entry);
  current_ = entry;
  LoadModelPictures();
  RequestBattery();
  if (isVisible()) SwitchPage(kPageButtons);
  else UpdateTabs();
  update();
  if (pendingRead_ != 0) waitTimer_.start();
}

void CTolvaneDlg::OnSyncOk() {
  LogPrint("OnSyncOk");
  if (power_) power_->show();
  UpdateTabs();
  update();
}

void CTolvaneDlg::OnOperationDone(uint64_t ticket, bool ok) {
  if (ticket == 0) return;
  if (ticket == pendingBattery_) pendingBattery_ = 0;
  if (ticket != pendingRead_) return;  // an answer nobody waits for
  pendingRead_ = 0;
  waitTimer_.stop();
  CloseWait();
  if (!ok) LogPrint("OnSyncOk: read failed");
}

void CTolvaneDlg::RequestBattery() {
  const auto dev = backend_.Device(current_);
  if (!dev || !dev->readsBattery) return;
  pendingBattery_ = backend_.RequestBattery();
}

void CTolvaneDlg::OnBattery(intptr_t lParam) {
  if (lParam < 0) return;  // the device did not answer
  const int level = int(lParam & 0xFF);
  const bool charging = (lParam >> 8) & 1;
  if (level <= 100 && power_) power_->SetPower(level, charging);
}

// ---------------------------------------------------------------- wait, progress

void CTolvaneDlg::OpenWait() {
  if (wait_) return;
  wait_ = new CPlayGIFDlg(this, Q(cfg_.programDir + "wait.gif"));
  wait_->Place(kWaitBox, translucent_ ? Shaped() : bg_);  // what the window shows
  wait_->Start();
}

void CTolvaneDlg::CloseWait() {
  if (!wait_) return;
  wait_->hide();
  wait_->deleteLater();
  wait_ = nullptr;
}

CProgressDlg* CTolvaneDlg::OpenProgress(const QString& text) {
  CloseProgress();
  auto* dlg = new CProgressDlg(this, QStringLiteral("progress_nr.png"),
                               QStringLiteral("progress_ov.png"));
  if (!dlg->Ready()) {
    delete dlg;
    return nullptr;
  }
  dlg->SetText(text, QRect(QPoint(15, 5), QPoint(454, 24)));
  dlg->SetBar(45, 486);
  dlg->SetRange(0, 100);
  dlg->setAttribute(Qt::WA_DeleteOnClose);
  progress_ = dlg;
  // The apply thread reaches the dialog only through this sink; once the
  // dialog is gone the sink delivers to nobody, however long the core keeps it.
  auto sink = std::make_shared<QtEventSink>(this);
  QPointer<CProgressDlg> target = dlg;
  sink->SetHandler([target](uint32_t msg, uintptr_t w, intptr_t) {
    if (!target) return;
    if (msg == WM_PROGRESS) target->SetPos(int(intptr_t(w)));
    else if (msg == WM_CLOSE_WINDOW) target->close();
  });
  connect(dlg, &QObject::destroyed, this, [this, s = std::weak_ptr<EventSink>(sink)] {
    if (progressSink_ == s.lock()) {
      backend_.SetProgressWindow(nullptr);
      progressSink_.reset();
    }
  });
  progressSink_ = sink;
  backend_.SetProgressWindow(sink);
  dlg->Start();
  return dlg;
}

void CTolvaneDlg::CloseProgress() {
  if (progress_) progress_->close();
  progress_ = nullptr;
  if (progressSink_) {
    backend_.SetProgressWindow(nullptr);
    progressSink_.reset();
  }
}

// ---------------------------------------------------------------- show, hide, exit

void CTolvaneDlg::ShowFromTray() {
  if (exiting_) return;
  if (isVisible() && !isMinimized()) {
    raise();
    activateWindow();
    return;
  }
  if (current_ >= 0 && page_ != kPageDevices) backend_.WindowShown(true);
  if (isMinimized()) showNormal();
  else show();
  raise();
  activateWindow();
  RequestBattery();
}

void CTolvaneDlg::Minimize() {
  CMenuDlg::CloseOpen();
  backend_.WindowShown(false);
  LogPrint("Min window");
  const bool tray = TrayAvailable();
  if (tray) BuildTray();  // a tray that appeared since the start
  if (DecideMinimize(tray) == MinimizeAction::HideToTray) hide();
  else showMinimized();
}

void CTolvaneDlg::Exit() {
  if (exiting_) return;
  exiting_ = true;
  LogPrint("OnExit");
  CMenuDlg::CloseOpen();
  CMsgDlg::CloseAll();
  CloseWait();
  CloseProgress();
  waitTimer_.stop();
  hide();
  exitTimer_.start();
  backend_.Exit();
}

void CTolvaneDlg::FinishExit() {
  if (exited_) return;
  exited_ = true;
  exitTimer_.stop();
  if (tray_) tray_->hide();
  emit exitFinished();
}

// ---------------------------------------------------------------- painting, input

TitleStrip CTolvaneDlg::CurrentTitleStrip() const {
  uint16_t wired = 0, wireless = 0;
  if (auto d = backend_.Device(current_)) {
    wired = d->wiredVer;
    wireless = d->wirelessVer;
  }
  return MakeTitleStrip(Q(cfg_.title), cfg_.drvVer, page_, wired, wireless);
}

void CTolvaneDlg::PaintBuffer(QPainter& p) {
  if (translucent_) {
    p.setCompositionMode(QPainter::CompositionMode_Source);
    DrawPictureHere(p, {0, 0}, Shaped());
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
  } else {
    if (cfg_.clrMask != 0) p.fillRect(rect(), QColor::fromRgba(kUnderShape));
    DrawPictureHere(p, {0, 0}, bg_);  // the window is the picture's size
  }
  const TitleStrip s = CurrentTitleStrip();
  p.setFont(SharedFontOr(DialogFont(24, 700)));
  p.setPen(ColorFromRef(cfg_.txtColor));
  const uint32_t one = DT_VCENTER | DT_SINGLELINE;
  if (s.centred) {
    DrawFormattedText(p, QRect(0, 4, kWidth, 24), s.title, DT_CENTER | one);
    return;
  }
  const QRect titleRect(320 - s.titleShift, 4, 239, 24);
  DrawFormattedText(p, titleRect, s.title, DT_RIGHT | one);
  if (!s.showFirmware || s.firmware.isEmpty()) return;
  // The firmware line in the tab font; the label keeps at least its 65 pixels
  // and is never cut when the font is wider.
  const int x = titleRect.right() + 1 + 20;
  p.setFont(SharedFontOr(DialogFont(18, 500)));
  const QString label = QStringLiteral("Firmware:");
  const int labelW = std::max(65, p.fontMetrics().horizontalAdvance(label) + 6);
  p.setPen(ColorFromRef(kTitleAccent));
  DrawFormattedText(p, QRect(x, 4, labelW, 24), label, one);
  p.setPen(ColorFromRef(cfg_.txtColor));
  DrawFormattedText(p, QRect(x + labelW, 4, 250, 24), s.firmware, one);
}

void CTolvaneDlg::paintEvent(QPaintEvent* e) {
  if (!painted_) {  // the pages not shown are made now, one per turn
    painted_ = true;
    ResumePicturePreload();  // their backgrounds are decoded ahead of them
    PreloadModelPicture();
    QTimer::singleShot(0, this, &CTolvaneDlg::AfterFirstFrame);
    QTimer::singleShot(0, this, &CTolvaneDlg::MakeNextPage);
  }
  if (!translucent_) {
    SkinWidget::paintEvent(e);
    return;
  }
  // No window mask here: the shaped picture's outside is transparent.
  QPainter p(this);
  PaintBuffer(p);
}

void CTolvaneDlg::mousePressEvent(QMouseEvent* e) {
  if (e->button() != Qt::LeftButton) return;
  CMenuDlg::CloseOpen();
  // The desktop moves the window when it can; otherwise it follows the mouse.
  if (windowHandle() && windowHandle()->startSystemMove()) return;
  dragging_ = true;
  dragOffset_ = e->globalPosition().toPoint() - frameGeometry().topLeft();
}

void CTolvaneDlg::mouseMoveEvent(QMouseEvent* e) {
  if (dragging_) move(e->globalPosition().toPoint() - dragOffset_);
}

void CTolvaneDlg::mouseReleaseEvent(QMouseEvent*) { dragging_ = false; }

void CTolvaneDlg::keyPressEvent(QKeyEvent* e) {
  switch (e->key()) {
    case Qt::Key_Return: case Qt::Key_Enter: case Qt::Key_Escape: case Qt::Key_Space:
    case Qt::Key_F1:
      return;
    default: SkinWidget::keyPressEvent(e);
  }
}

void CTolvaneDlg::showEvent(QShowEvent* e) {
  backend_.VisibilityChanged(true);
  SkinWidget::showEvent(e);
}

void CTolvaneDlg::hideEvent(QHideEvent* e) {
  backend_.VisibilityChanged(false);
  SkinWidget::hideEvent(e);
}

void CTolvaneDlg::closeEvent(QCloseEvent* e) {
  // Closing happens only through Exit (the session's end asks here too).
  if (!exited_) {
    e->ignore();
    Exit();
    return;
  }
  e->accept();
}

}  // namespace tolvane::ui
