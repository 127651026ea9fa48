// GNOME: GSettings with the memory backend and the real installed schema.
#include <gio/gio.h>
#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/desktop/gnome_pointer.h"

namespace tolvane::test {
namespace {

using platform::GnomePointerSettings;
using platform::kGnomeMouseSchema;

class GnomePointer : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { setenv("GSETTINGS_BACKEND", "memory", 1); }
  void SetUp() override {
    GSettingsSchemaSource* src = g_settings_schema_source_get_default();
    GSettingsSchema* s = src ? g_settings_schema_source_lookup(src, kGnomeMouseSchema, TRUE) : nullptr;
    if (!s) GTEST_SKIP() << "schema " << kGnomeMouseSchema << " not installed (gsettings-desktop-schemas)";
    g_settings_schema_unref(s);
    mouse_ = g_settings_new(kGnomeMouseSchema);
    g_settings_reset(mouse_, "speed");
    g_settings_reset(mouse_, "accel-profile");
    g_settings_reset(mouse_, "double-click");
  }
  void TearDown() override {
    if (mouse_) g_object_unref(mouse_);
  }
  GSettings* mouse_ = nullptr;
};

TEST_F(GnomePointer, WritesTheMouseKeysAndReadsThemBack) {
  GnomePointerSettings p;
  const unsigned bits = kPointerSpeed | kPointerPrecision | kPointerDoubleClick;
  EXPECT_EQ(p.Capabilities(), (PointerCapabilities{bits, bits}));
  // GNOME's defaults: speed 0, accel-profile 'default' (adaptive), 400 ms.
  PointerValues v = p.Current();
  EXPECT_EQ(v.nPointerSpeed, 10);
  EXPECT_TRUE(v.bEnhancePrecision);
  EXPECT_EQ(v.nDoubleClickTime, 400);

  p.SetPointerSpeed(20);
  p.SetAcceleration(false);
  p.SetDoubleClickTime(830);
  EXPECT_DOUBLE_EQ(g_settings_get_double(mouse_, "speed"), 1.0);
  gchar* profile = g_settings_get_string(mouse_, "accel-profile");
  EXPECT_STREQ(profile, "flat");
  g_free(profile);
  EXPECT_EQ(g_settings_get_int(mouse_, "double-click"), 830);
  v = p.Current();
  EXPECT_EQ(v.nPointerSpeed, 20);
  EXPECT_FALSE(v.bEnhancePrecision);
  EXPECT_EQ(v.nDoubleClickTime, 830);

  p.SetPointerSpeed(4);
  EXPECT_NEAR(g_settings_get_double(mouse_, "speed"), -6.0 / 9.0, 1e-9);
  EXPECT_EQ(p.Current().nPointerSpeed, 4);
  // No scroll lines in GNOME: a set leaves everything as it was.
  p.SetScrollLines(7);
  EXPECT_FALSE(p.Capabilities().CanSet(kPointerScrollLines));
}

TEST_F(GnomePointer, MissingSchemaAllowsNothingAndDoesNotAbort) {
  GnomePointerSettings p("org.example.no.such.schema");
  EXPECT_TRUE(p.Capabilities().Empty());
  EXPECT_EQ(p.Capabilities().read, 0u);
  p.SetPointerSpeed(3);
  p.SetDoubleClickTime(300);
  EXPECT_EQ(p.Current(), PointerValues{});
  EXPECT_DOUBLE_EQ(g_settings_get_double(mouse_, "speed"), 0.0);
}

}  // namespace
}  // namespace tolvane::test
