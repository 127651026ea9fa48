// The main window CTolvaneDlg: the frameless skinned window with its title
// strip, title buttons, five tabs, six pages, the battery display, the tray
// icon, and the reactions to the core's events. It is a view over a
// WindowBackend: it asks for copies, requests work and never waits for it.
#pragma once

#include <QHash>
#include <QImage>
#include <QPointer>
#include <QRegion>
#include <QTimer>

#include <functional>
#include <memory>
#include <thread>

#include "app/event_sink.h"
#include "ui/cfg_dlg.h"
#include "ui/status_dlgs.h"
#include "ui/skin_widget.h"
#include "ui/window_backend.h"
#include "ui/window_logic.h"

class QMenu;
class QSystemTrayIcon;

namespace tolvane::ui {

class CDevDlg;
class CNaviBtn;
class CPngBtn;

// A page that is not filled yet: its background and nothing else.
class CPageFrame : public SkinWidget {
  Q_OBJECT
 public:
  CPageFrame(QWidget* parent, const QImage& background) : SkinWidget(parent), bg_(background) {}
  // The picture is made by `load` when the page is first painted.
  CPageFrame(QWidget* parent, std::function<QImage()> load)
      : SkinWidget(parent), load_(std::move(load)) {}
  void SetBackground(const QImage& background) {
    bg_ = background;
    load_ = nullptr;
    update();
  }

 protected:
  void PaintBuffer(QPainter& p) override;
  void mousePressEvent(QMouseEvent* e) override;

 private:
  QImage bg_;
  std::function<QImage()> load_;
};

class CTolvaneDlg : public SkinWidget {
  Q_OBJECT
 public:
  static constexpr int kWidth = 1070, kHeight = 750;
  static const QRect kPageRect;
  static const QRect kWaitBox;

  struct Options {
    bool startHidden = false;  // -s, or the start-hidden setting
    AutostartTarget autostart;
    // How the platform's tray is probed (tests replace it).
    std::function<bool()> trayAvailable;
  };
  using MessageFn = std::function<void(const QString&)>;

  CTolvaneDlg(WindowBackend& backend, Options options);
  ~CTolvaneDlg() override;

  // False when "main_nr.png" is missing ("Load skins failed." was shown).
  bool Ready() const { return ready_; }
  // Shows the window as the start asks (shown, tray only or minimised).
  void Start();

  // One of the core's events, on the window's thread.
  void OnEvent(uint32_t msg, uintptr_t wParam, intptr_t lParam);

  void SwitchPage(int page);
  int CurrentPage() const { return page_; }
  void OnCurrentDeviceChanged(int entry);
  void ShowFromTray();
  void Minimize();
  void Exit();
  void SetLanguage(int index);
  // The message boxes of the window (tests record them).
  void SetMessageFn(MessageFn fn) { message_ = std::move(fn); }
  void Message(const QString& text) { message_(text); }

  // Opens the progress dialog (restore to defaults); WM_PROGRESS events go
  // to it until it is closed.
  CProgressDlg* OpenProgress(const QString& text);
  void CloseProgress();

  // The parts, for tests and screenshots.
  CDevDlg* DevicePage() const { return devDlg_; }
  // The settings page, made now if it was not yet.
  CCfgDlg* SettingsPage();
  QWidget* Page(int i) const { return pages_[i]; }
  // Puts a filled page in place of page `index`'s empty frame (1..4); the
  // window owns it from now on. A page that is a ProgramPage gets the core's
  // events, refreshes and relabels.
  void SetPage(int index, QWidget* page);
  // Page `index` (1..4) is made by `make` and put in place (as SetPage) when
  // it is first shown, or earlier, one page per turn of the event loop, once
  // the window has painted its first frame: the first frame waits for no
  // page that is not on it.
  using PageMaker = std::function<QWidget*()>;
  void SetPageMaker(int index, PageMaker make);
  // Pages still to be made (the settings page counts too).
  int PagesToMake() const;
  CPowerDlg* Power() const { return power_; }
  CNaviBtn* Tab(int i) const { return tabs_[i]; }
  CPngBtn* HelpButton() const { return help_; }
  CPngBtn* MinButton() const { return min_; }
  CPngBtn* ExitButton() const { return exit_; }
  CPlayGIFDlg* WaitAnimation() const { return wait_; }
  CProgressDlg* Progress() const { return progress_; }
  // The rescan after plug events, as the core runs it.
  int RescanCount() const { return backend_.RescanCount(); }
  bool RescanTimerActive() const { return backend_.RescanTimerActive(); }
  // The ticket of the profile read the window waits for, 0 none.
  uint64_t PendingRead() const { return pendingRead_; }
  // The icon is in a tray now.
  bool HasTray() const { return tray_ && TrayAvailable(); }
  QMenu* TrayMenu() const { return trayMenu_; }
  TitleStrip CurrentTitleStrip() const;

 signals:
  // The exit has finished; the program may end.
  void exitFinished();

 protected:
  void PaintBuffer(QPainter& p) override;
  void paintEvent(QPaintEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
  void closeEvent(QCloseEvent* e) override;
  void showEvent(QShowEvent* e) override;
  void hideEvent(QHideEvent* e) override;

 private:
  void BuildLayout();
  void MakePage(int index);
  void MakeNextPage();
  // A page picture: one of the window's size is cut at the page rectangle;
  // a missing one gives `fallback`.
  QImage PagePicture(const QString& name, const QImage& fallback) const;
  void LoadModelPictures();
  // The button page, still to be made, shows the current mouse's picture:
  // it is decoded ahead with the pages' backgrounds.
  void PreloadModelPicture();
  QImage ModelPicture(const std::string& skinFolder);
  void BuildTray();
  // The window's icon, loaded once (BuildTray and the first frame ask).
  void LoadWindowIcon();
  void AfterFirstFrame();
  void Relabel();
  void RefreshDevices();
  void UpdateTabs();
  // The shown page refuses to be left (it has told the user why).
  bool PageRefusesLeave();
  void OnNewDevice(int entry);
  void OnCurrentRemoved(int entry);
  void OnSyncOk();
  void OnOperationDone(uint64_t ticket, bool ok);
  void OnBattery(intptr_t lParam);
  void OpenWait();
  void CloseWait();
  void RequestBattery();
  void FinishExit();
  bool TrayAvailable() const;
  const QImage& Shaped();  // shaped_, once made

  WindowBackend& backend_;
  Options options_;
  WindowConfig cfg_;
  MessageFn message_;
  bool ready_ = false;
  QImage bg_, pageBg_;
  QHash<QString, QImage> modelPictures_;  // the button page's picture per model
  QImage shaped_;  // the picture of a translucent window, its outside transparent
  std::jthread shaping_;  // makes shaped_ while the window is built and shown
  bool translucent_ = false;
  CPngBtn* help_ = nullptr;
  CPngBtn* min_ = nullptr;
  CPngBtn* exit_ = nullptr;
  CNaviBtn* tabs_[kTabs] = {};
  QWidget* pages_[kPages] = {};
  PageMaker makers_[kPages];  // pages not made yet (the settings page's is set at start)
  bool painted_ = false;      // the first frame is on the screen
  bool iconLoaded_ = false;
  bool trayAfterFirstFrame_ = false;  // a shown start makes its tray once painted
  std::string preloadedModel_;  // the skin folder whose picture was preloaded
  CDevDlg* devDlg_ = nullptr;
  CCfgDlg* cfgDlg_ = nullptr;
  CPowerDlg* power_ = nullptr;
  int page_ = 0, pageBeforeSettings_ = 0;
  int current_ = -1;               // the entry the pages show
  uint64_t pendingRead_ = 0;       // ticket of the running read, 0 none
  uint64_t pendingBattery_ = 0;
  QPointer<CPlayGIFDlg> wait_;
  QPointer<CProgressDlg> progress_;
  std::shared_ptr<EventSink> progressSink_;
  QTimer waitTimer_, exitTimer_;
  QSystemTrayIcon* tray_ = nullptr;
  QMenu* trayMenu_ = nullptr;
  bool exiting_ = false, exited_ = false;
  QPoint dragOffset_;
  bool dragging_ = false;
};

}  // namespace tolvane::ui
