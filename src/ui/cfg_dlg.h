// The settings page CCfgDlg: language, start at log-on, start hidden,
// support link and version. Each toggle is saved as soon as it changes.
#pragma once

#include <QImage>
#include <QString>

#include <functional>
#include <string>

#include "ui/skin_widget.h"
#include "ui/window_backend.h"

namespace tolvane::ui {

class CComboBtn;
class CPngBtn;

// Where the start-at-log-on entry goes and what it starts.
struct AutostartTarget {
  std::string dir;      // the autostart folder
  std::string program;  // the installed program
  std::string name;     // the window title
};
// Writes (on) or removes (off) the entry; empty on success, else what failed.
std::string ApplyAutostart(const AutostartTarget& t, bool on);
bool AutostartPresent(const AutostartTarget& t);

class CCfgDlg : public SkinWidget {
  Q_OBJECT
 public:
  using MessageFn = std::function<void(const QString&)>;
  using OpenUrlFn = std::function<bool(const QString&)>;
  // `pageRect`: the page's place in the window; a settings picture of the
  // window's size is cut there.
  CCfgDlg(QWidget* parent, WindowBackend& backend, const QImage& pageBackground,
          const QRect& pageRect, AutostartTarget autostart, MessageFn message);
  void SetOpenUrl(OpenUrlFn fn) { openUrl_ = std::move(fn); }

  // Sets both toggles from the settings and brings the log-on entry in line
  // with them (a failed write turns the setting off).
  void Refresh();
  // Texts of the current language (the language list too).
  void Relabel();

  // What the toggle buttons do when clicked.
  void ToggleRunAtLogon();
  void ToggleStartHidden();
  void ToggleLowBatteryNotice();
  void OpenSupport();

  CComboBtn* LanguageButton() const { return lang_; }
  CPngBtn* RunAtLogonButton() const { return logon_; }
  CPngBtn* StartHiddenButton() const { return hidden_; }
  CPngBtn* LowBatteryNoticeButton() const { return notice_; }
  CPngBtn* CloseButton() const { return close_; }

 signals:
  void languageChosen(int index);
  void closeRequested();

 protected:
  void PaintBuffer(QPainter& p) override;
  void mousePressEvent(QMouseEvent* e) override;

 private:
  void Save(const WindowSettings& s);
  // Turns one switch over, saves it and shows what was saved.
  void Flip(bool WindowSettings::*setting, CPngBtn* button);
  WindowBackend& backend_;
  QImage bg_;
  AutostartTarget autostart_;
  MessageFn message_;
  OpenUrlFn openUrl_;
  uint32_t drvVer_, textColor_;
  CComboBtn* lang_ = nullptr;
  CPngBtn* logon_ = nullptr;
  CPngBtn* hidden_ = nullptr;
  CPngBtn* notice_ = nullptr;
  CPngBtn* support_ = nullptr;
  CPngBtn* close_ = nullptr;
};

}  // namespace tolvane::ui
