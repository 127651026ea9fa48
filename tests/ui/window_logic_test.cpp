#include <gtest/gtest.h>

#include "platform/autostart.h"
#include "ui/dev_dlg.h"
#include "ui/window_logic.h"

namespace tolvane::ui {
namespace {

TEST(TitleStrip, TextsAndPlacementFollowPageAndVersions) {
  EXPECT_EQ(TitleText("Tolvane", 0x123), "Tolvane V1.2.3");
  EXPECT_EQ(TitleText("T", 0xFABC), "T Va.b.c");  // only the low three digits
  EXPECT_EQ(VersionText(0x10F), "V1.0.f");

  struct Case {
    int page;
    uint16_t wired, wireless;
    bool centred;
    int shift;
    const char* firmware;
  } cases[] = {
      {0, 0x105, 0x110, true, 0, ""},  // the device list shows only the title
      {1, 0x105, 0, false, 0, "Mouse V0105   "},
      {3, 0, 0x110, false, 0, "Receiver V0110"},
      {4, 0x105, 0x110, false, 50, "Mouse V0105   Receiver V0110"},
      {5, 0, 0, false, 0, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.page);
    const TitleStrip s = MakeTitleStrip("Tolvane", 0x100, c.page, c.wired, c.wireless);
    EXPECT_EQ(s.title, "Tolvane V1.0.0");
    EXPECT_EQ(s.centred, c.centred);
    EXPECT_EQ(s.titleShift, c.shift);
    EXPECT_EQ(s.firmware, QString::fromLatin1(c.firmware));
  }
}

TEST(Tabs, VisibilityCheckAndPageMapping) {
  // Tab 3 opens the DPI page (3), tab 4 the macros (2); the help button the settings.
  const int pageOf[] = {0, 1, 3, 2, 4};
  for (int tab = 0; tab < kTabs; ++tab) {
    EXPECT_EQ(PageOfTab(tab), pageOf[tab]);
    EXPECT_EQ(TabOfPage(pageOf[tab]), tab);
  }
  EXPECT_EQ(TabOfPage(kPageSettings), -1);

  struct Case {
    int page;
    bool any, main, logo;
    bool visible[5];
    int checked;
  } cases[] = {
      {0, true, true, true, {true, false, false, false, false}, 0},
      {5, true, true, true, {true, false, false, false, false}, -1},
      {1, true, true, false, {true, true, true, true, true}, 1},
      {3, true, false, true, {true, true, true, true, true}, 2},
      {4, true, false, false, {true, true, true, true, false}, 4},  // no light: no tab 5
      {1, false, true, true, {true, false, false, false, false}, 1},  // no device object
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "page " << c.page << " any " << c.any);
    const TabState t = TabsFor({c.page, c.any, c.main, c.logo});
    for (int i = 0; i < kTabs; ++i) EXPECT_EQ(t.visible[i], c.visible[i]) << "tab " << i;
    EXPECT_EQ(t.checked, c.checked);
  }
}

TEST(StatusValues, FrameDelayProgressAndBatteryBands) {
  EXPECT_EQ(FrameDelayMs(0), kMinFrameDelayMs);
  EXPECT_EQ(FrameDelayMs(-5), kMinFrameDelayMs);
  EXPECT_EQ(FrameDelayMs(10), kMinFrameDelayMs);
  EXPECT_EQ(FrameDelayMs(80), 80);

  // Values above the range are the maximum (not the minimum), below it the minimum.
  EXPECT_EQ(ClampProgress(150, 0, 100), 100);
  EXPECT_EQ(ClampProgress(-3, 0, 100), 0);
  EXPECT_EQ(ClampProgress(42, 0, 100), 42);
  EXPECT_EQ(ProgressFillRight(50, 0, 100, 45, 486), 45 + 441 / 2);
  EXPECT_EQ(ProgressFillRight(250, 0, 100, 45, 486), 486);
  EXPECT_EQ(ProgressFillRight(10, 5, 5, 45, 486), 45);  // empty range: no division by zero

  const int levels[][2] = {{-4, 10}, {0, 10}, {5, 10}, {19, 10}, {20, 20}, {29, 20},
                           {55, 50}, {99, 90}, {100, 100}, {140, 100}};
  for (const auto& l : levels) EXPECT_EQ(BatteryPictureLevel(l[0]), l[1]) << l[0];
}

TEST(ChargeAnimation, RunsWrapsAndStopsWhenFullOrUnplugged) {
  ChargeAnimation a;
  a.Set(55, true);
  EXPECT_TRUE(a.Running());
  EXPECT_FALSE(a.ShowsPercent());
  std::vector<int> frames{a.Frame()};
  for (int i = 0; i < 6; ++i) {
    a.Tick();
    frames.push_back(a.Frame());
  }
  EXPECT_EQ(frames, (std::vector<int>{10, 30, 50, 70, 90, 10, 30}));
  a.Set(60, true);  // a new report while charging does not restart the animation
  EXPECT_EQ(a.Frame(), 30);
  a.Set(100, true);  // full
  EXPECT_FALSE(a.Running());
  EXPECT_EQ(a.Frame(), 100);
  EXPECT_TRUE(a.ShowsPercent());
  a.Set(40, false);
  EXPECT_FALSE(a.Running());
  EXPECT_TRUE(a.ShowsPercent());
  a.Set(40, true);  // charging again starts over
  EXPECT_TRUE(a.Running());
  EXPECT_EQ(a.Frame(), 10);
}

TEST(TrayPolicy, HiddenStartNeverHidesIntoNothing) {
  EXPECT_EQ(DecideStartView(false, true), StartView::Shown);
  EXPECT_EQ(DecideStartView(false, false), StartView::Shown);
  EXPECT_EQ(DecideStartView(true, true), StartView::TrayOnly);
  EXPECT_EQ(DecideStartView(true, false), StartView::Minimized);
  EXPECT_EQ(DecideMinimize(true), MinimizeAction::HideToTray);
  EXPECT_EQ(DecideMinimize(false), MinimizeAction::Iconify);
}

TEST(SupportLink, OnlyHttpAndHttpsOpen) {
  for (const char* ok : {"http://example.org", "https://example.org/help?x=1", " HTTPS://a.b/ "})
    EXPECT_TRUE(IsOpenableUrl(QString::fromLatin1(ok))) << ok;
  for (const char* bad : {"", "file:///etc/passwd", "javascript:alert(1)", "example.org",
                          "ftp://example.org", "https://", "/usr/bin/xterm", "smb://host/share"})
    EXPECT_FALSE(IsOpenableUrl(QString::fromLatin1(bad))) << bad;
}

TEST(Autostart, EntryTextPathAndQuoting) {
  const std::string t = platform::AutostartEntryText("/usr/bin/tolvane", "Tolvane");
  EXPECT_NE(t.find("[Desktop Entry]\n"), std::string::npos);
  EXPECT_NE(t.find("\nType=Application\n"), std::string::npos);
  EXPECT_NE(t.find("\nExec=/usr/bin/tolvane -s\n"), std::string::npos);
  EXPECT_NE(t.find("\nTryExec=/usr/bin/tolvane\n"), std::string::npos);
  EXPECT_NE(t.find("\nIcon=io.github.tolvane.Tolvane\n"), std::string::npos);
  EXPECT_EQ(platform::AutostartEntryPath("/h/.config/autostart"),
            "/h/.config/autostart/io.github.tolvane.Tolvane.desktop");
  // Reserved characters quote the program; '%' is doubled; '$' and '"' escaped;
  // the string-value escape then doubles the backslashes.
  EXPECT_EQ(platform::QuoteExecArgument("/opt/my apps/tolvane"), "\"/opt/my apps/tolvane\"");
  EXPECT_EQ(platform::QuoteExecArgument("/a/100%"), "/a/100%%");
  EXPECT_EQ(platform::QuoteExecArgument("/a/$x\"y"), "\"/a/\\$x\\\"y\"");
  const std::string spaced = platform::AutostartEntryText("/opt/my $dir/tolvane", "T");
  EXPECT_NE(spaced.find("\nExec=\"/opt/my \\\\$dir/tolvane\" -s\n"), std::string::npos) << spaced;
}

TEST(DeviceTiles, RowIsCentred) {
  EXPECT_EQ(FirstTileX(1069, 1, 200), (1069 - 200) / 2);
  EXPECT_EQ(FirstTileX(1069, 2, 200), (1069 - 30 - 400) / 2);
  EXPECT_EQ(FirstTileX(1069, 4, 200), (1069 - 90 - 800) / 2);
  EXPECT_EQ(FirstTileX(1069, 0, 200), 0);
}

struct ArgCase {
  std::vector<std::string> args;
  int exitCode;  // -1: runs
  bool hidden;
  size_t simulate;
};

TEST(WindowArgs, OptionsAndUsageErrors) {
  const ArgCase cases[] = {
      {{"tolvane"}, -1, false, 0},
      {{"tolvane", "-s"}, -1, true, 0},
      {{"tolvane", "--simulate", "pro", "--simulate", "proplus:wireless", "--data-dir", "/d",
        "--user-dir", "/u"},
       -1, false, 2},
      {{"tolvane", "--help"}, 0, false, 0},
      {{"tolvane", "--version"}, 0, false, 0},
      // Anything else is a usage error, never a hidden start.
      {{"tolvane", "-x"}, 2, false, 0},
      {{"tolvane", "stray"}, 2, false, 0},
      {{"tolvane", "--simulate"}, 2, false, 0},
      {{"tolvane", "--data-dir", ""}, 2, false, 0},
      {{"tolvane", "--page", "7"}, 2, false, 0},
      {{"tolvane", "--page", "2x"}, 2, false, 0},
      {{"tolvane", "--gallery", "--preview"}, 2, false, 0},
  };
  for (const ArgCase& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.args));
    const ParsedArgs p = ParseWindowArgs(c.args, "1.2.3");
    if (c.exitCode < 0) {
      ASSERT_TRUE(p.options.has_value()) << p.err;
      EXPECT_EQ(p.options->startHidden, c.hidden);
      EXPECT_EQ(p.options->simulate.size(), c.simulate);
    } else {
      EXPECT_FALSE(p.options.has_value());
      EXPECT_EQ(p.exitCode, c.exitCode);
      EXPECT_EQ(c.exitCode == 2, !p.err.empty());
    }
  }
  const ParsedArgs v = ParseWindowArgs({"tolvane", "--version"}, "1.2.3");
  EXPECT_EQ(v.out, "tolvane 1.2.3\n");
  const ParsedArgs full = ParseWindowArgs(
      {"tolvane", "--simulate", "a", "--simulate", "b", "--screenshot", "x.png", "--page", "5"},
      "1");
  ASSERT_TRUE(full.options);
  EXPECT_EQ(full.options->simulate, (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(full.options->screenshot, "x.png");
  EXPECT_EQ(full.options->page, 5);
}

}  // namespace
}  // namespace tolvane::ui
