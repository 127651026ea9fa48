// The conversions between the program's pointer values and the desktops',
// the choice of desktop, the sway framing and the JSON reader.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "platform/desktop/desktop_pointer.h"
#include "platform/desktop/pointer_mapping.h"
#include "platform/desktop/sway_ipc.h"

namespace tolvane::test {
namespace {

using namespace platform;

TEST(PointerMapping, SpeedRoundTripsAndEndsMeetTheDesktopRange) {
  for (int s = kMinSpeed; s <= kMaxSpeed; ++s) {
    const double a = SpeedToAccel(s);
    EXPECT_GE(a, -1.0);
    EXPECT_LE(a, 1.0);
    EXPECT_EQ(AccelToSpeed(a), s);
    // Through the text a command or file carries, too.
    EXPECT_EQ(AccelToSpeed(*ParseNumber(FormatNumber(a))), s) << s;
    if (s > kMinSpeed) {
      EXPECT_GT(a, SpeedToAccel(s - 1));
    }
  }
  EXPECT_EQ(SpeedToAccel(1), -1.0);
  EXPECT_EQ(SpeedToAccel(10), 0.0);
  EXPECT_EQ(SpeedToAccel(20), 1.0);
  EXPECT_EQ(SpeedToAccel(0), -1.0);
  EXPECT_EQ(SpeedToAccel(99), 1.0);
  EXPECT_EQ(AccelToSpeed(-3.0), 1);
  EXPECT_EQ(AccelToSpeed(7.0), 20);
  EXPECT_EQ(AccelToSpeed(std::numeric_limits<double>::quiet_NaN()), 10);
}

TEST(PointerMapping, PrecisionScrollAndDoubleClick) {
  EXPECT_EQ(PrecisionToProfile(true), "adaptive");
  EXPECT_EQ(PrecisionToProfile(false), "flat");
  EXPECT_EQ(ProfileToPrecision("default"), true);
  EXPECT_EQ(ProfileToPrecision("flat"), false);
  EXPECT_EQ(ProfileToPrecision("custom"), std::nullopt);
  EXPECT_EQ(PrecisionToLibinputBits(false, 3), (std::vector<uint8_t>{0, 1, 0}));
  EXPECT_EQ(PrecisionToLibinputBits(true, 2), (std::vector<uint8_t>{1, 0}));
  EXPECT_EQ(PrecisionToLibinputBits(true, 1), std::nullopt);
  EXPECT_EQ(LibinputBitsToPrecision({0, 1, 0}), false);
  EXPECT_EQ(LibinputBitsToPrecision({0, 0, 1}), std::nullopt);  // custom
  EXPECT_EQ(LibinputBitsToPrecision({1}), std::nullopt);

  for (int l = kMinScrollLines; l <= kMaxScrollLines; ++l) {
    EXPECT_EQ(FactorToScrollLines(*ScrollLinesToFactor(l)), l);
    EXPECT_EQ(CountToScrollLines(*ScrollLinesToCount(l)), l);
  }
  EXPECT_EQ(ScrollLinesToFactor(3), 1.0);
  EXPECT_EQ(ScrollLinesToFactor(-1), std::nullopt);
  EXPECT_EQ(ScrollLinesToCount(-1), std::nullopt);
  EXPECT_EQ(ScrollLinesToCount(40), 10);
  EXPECT_EQ(FactorToScrollLines(0.01), 1);
  EXPECT_EQ(FactorToScrollLines(50), 10);
  EXPECT_EQ(ClampDoubleClick(100), 200);
  EXPECT_EQ(ClampDoubleClick(550), 550);
  EXPECT_EQ(ClampDoubleClick(5000), 900);
}

TEST(PointerMapping, NumbersIgnoreTheLocale) {
  EXPECT_EQ(FormatNumber(0.5), "0.5");
  EXPECT_EQ(FormatNumber(-1.0 / 9), "-0.111");
  EXPECT_EQ(FormatNumber(-0.0001), "0");
  EXPECT_EQ(FormatNumber(2), "2");
  EXPECT_EQ(ParseNumber(" -0.25 "), -0.25);
  EXPECT_EQ(ParseNumber("1,5"), std::nullopt);
  EXPECT_EQ(ParseNumber(""), std::nullopt);
  EXPECT_EQ(ParseInt("620"), 620);
  EXPECT_EQ(ParseInt("62x"), std::nullopt);
}

TEST(DesktopChoice, FromTheEnvironment) {
  struct Case {
    const char* desktop;
    bool wayland, x11, sway;
    DesktopKind want;
  } cases[] = {
      {"GNOME", true, true, false, DesktopKind::kGnome},
      {"ubuntu:GNOME", false, true, false, DesktopKind::kGnome},
      {"KDE", true, true, false, DesktopKind::kKdeWayland},
      {"kde", false, true, false, DesktopKind::kKdeX11},
      {"KDE", false, false, false, DesktopKind::kNone},
      {"sway", true, false, true, DesktopKind::kSway},
      {"", true, true, true, DesktopKind::kSway},
      {"sway", true, false, false, DesktopKind::kNone},  // no socket to talk to
      {"XFCE", false, true, false, DesktopKind::kX11},
      {"", true, true, false, DesktopKind::kNone},  // another Wayland compositor
      {"GNOMEISH", false, false, false, DesktopKind::kNone},
      {"", false, false, false, DesktopKind::kNone},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ChooseDesktop({c.desktop, c.wayland, c.x11, c.sway}), c.want)
        << c.desktop << " wayland=" << c.wayland << " x11=" << c.x11 << " sway=" << c.sway;
  }
  DesktopEnv leave{"GNOME", true, true, true};
  leave.leaveAlone = true;
  EXPECT_EQ(ChooseDesktop(leave), DesktopKind::kNone);
  EXPECT_TRUE(MakePointerSettingsFor(DesktopKind::kNone)->Capabilities().Empty());
}

TEST(SwayIpc, FramingAndJson) {
  const std::string m = EncodeSwayMessage(kSwayRunCommand, "abc");
  ASSERT_EQ(m.size(), kSwayHeaderSize + 3);
  auto h = DecodeSwayHeader(std::string_view(m).substr(0, kSwayHeaderSize));
  ASSERT_TRUE(h);
  EXPECT_EQ(h->length, 3u);
  EXPECT_EQ(h->type, kSwayRunCommand);
  EXPECT_FALSE(DecodeSwayHeader("i3-ipX00000000"));

  auto j = ParseJson(R"([{"a":[1,-2.5e1,true,null],"s":"x\"\u00e9\ud83d\ude00"}, {}])");
  ASSERT_TRUE(j);
  ASSERT_EQ(j->items.size(), 2u);
  const Json* a = j->items[0].Member("a");
  ASSERT_TRUE(a);
  EXPECT_EQ(a->items[1].n, -25);
  EXPECT_TRUE(a->items[2].b);
  EXPECT_EQ(j->items[0].Member("s")->s, "x\"\xC3\xA9\xF0\x9F\x98\x80");
  for (const char* bad : {"", "[1,]", "{\"a\" 1}", "[1] x", "\"open", "[\"\\ud83d\\u0041\"]"})
    EXPECT_FALSE(ParseJson(bad)) << bad;
  EXPECT_FALSE(ParseJson(std::string(100, '[') + std::string(100, ']')));  // too deep
}

}  // namespace
}  // namespace tolvane::test
