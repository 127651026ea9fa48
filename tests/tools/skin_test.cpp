#include <QDir>
#include <QImage>
#include <QImageReader>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <memory>

#include "app/notifier.h"
#include "config/catalogue.h"
#include "skin.h"

namespace tolvane::skin {
namespace {

// One generation from the bundled cfg.ini, shared by the tests below.
class SkinTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = std::make_unique<QTemporaryDir>();
    cat_ = std::make_unique<Catalogue>();
    RecordingNotifier n;
    ASSERT_TRUE(LoadCatalogue(std::string(TOLVANE_SOURCE_DATA_DIR) + "cfg.ini", *cat_, n));
    ASSERT_FALSE(cat_->ModelsInUse().empty());
    std::string error;
    ok_ = GenerateSkin(*cat_, dir_->path().toStdString(), &error, &count_);
    EXPECT_TRUE(ok_) << error;
  }
  static void TearDownTestSuite() {
    dir_.reset();
    cat_.reset();
  }
  static QString Path(const QString& rel) { return dir_->path() + QLatin1Char('/') + rel; }
  static QImage Skin(const QString& name) { return QImage(Path(QStringLiteral("skins/") + name)); }

  static inline std::unique_ptr<QTemporaryDir> dir_;
  static inline std::unique_ptr<Catalogue> cat_;
  static inline bool ok_ = false;
  static inline int count_ = 0;
};

TEST_F(SkinTest, EveryNamedPictureExistsAtItsPlacedSize) {
  ASSERT_TRUE(ok_);
  // Sizes where the pages and dialogs fix them (by a stated size, or by the
  // rectangle a picture-sized button is placed in); 0 x 0: any size.
  const std::map<QString, QSize> kPictures = {
      {"main_nr.png", {1070, 750}}, {"adv_nr.png", {1070, 750}}, {"led_nr.png", {1070, 750}},
      {"macro_nr.png", {1070, 750}}, {"Setting_BG.png", {1070, 750}},
      {"help_nr.png", {48, 30}}, {"help_ov.png", {48, 30}}, {"min_nr.png", {48, 30}},
      {"min_ov.png", {48, 30}}, {"exit_nr.png", {48, 30}}, {"exit_ov.png", {48, 30}},
      {"button2_nr.png", {80, 27}}, {"toggle_off.png", {33, 17}}, {"toggle_on.png", {33, 17}},
      {"radio_nr.png", {13, 13}}, {"radio_dn.png", {13, 13}},
      {"check_nr.png", {21, 21}}, {"check_dn.png", {21, 21}},
      {"Check_nr.png", {0, 0}}, {"Check_dn.png", {0, 0}},
      {"combo_nr.png", {147, 30}}, {"combo2_nr.png", {97, 32}}, {"combo4_nr.png", {300, 58}},
      {"Profile_nr.png", {252, 58}}, {"Profile_ov.png", {252, 58}},
      {"import_nr.png", {123, 58}}, {"import_ov.png", {123, 58}},
      {"export_nr.png", {123, 58}}, {"export_ov.png", {123, 58}},
      {"restore_nr.png", {252, 58}}, {"restore_ov.png", {252, 58}},
      {"SupportBtn_nr.png", {119, 37}}, {"RECORD_nr.png", {335, 91}}, {"RECORD_dn.png", {335, 91}},
      {"add_btn_nr.png", {24, 24}}, {"add_btn_ov.png", {24, 24}},
      {"slider.png", {14, 14}}, {"slider1.png", {0, 0}}, {"slider2.png", {0, 0}},
      {"dpibar_nr.png", {0, 0}}, {"dpibar_ov.png", {0, 0}}, {"dpi_input.png", {0, 0}},
      {"menu_nr.png", {0, 0}}, {"menu_ov.png", {0, 0}}, {"menusub_nr.png", {0, 0}},
      {"menusub_ov.png", {0, 0}}, {"msg_nr.png", {0, 0}}, {"msg2_nr.png", {0, 0}},
      {"progress_nr.png", {0, 0}}, {"progress_ov.png", {0, 0}}, {"Debounce.png", {566, 42}},
      {"deviceBG_nr.png", {0, 0}}, {"deviceBG_ov.png", {0, 0}}, {"power_charging.png", {0, 0}},
      {"color.png", {173, 173}}, {"mac_u.png", {0, 0}}, {"mac_d.png", {0, 0}},
      {"mac_t.png", {0, 0}}, {"mac_m.png", {0, 0}}, {"mac_del.png", {0, 0}},
      {"mac_modify.png", {0, 0}}, {"macro/open.png", {0, 0}}, {"macro/close.png", {0, 0}},
  };
  for (const auto& [name, size] : kPictures) {
    const QImage img = Skin(name);
    EXPECT_FALSE(img.isNull()) << name.toStdString();
    if (!size.isEmpty()) {
      EXPECT_EQ(img.size(), size) << name.toStdString();
    }
  }
  for (const char* icon : {"keycombination", "multimedia", "macro", "DPI", "leftclick", "wheelclick",
                           "rightclick", "forward", "back", "disable", "rgb", "pollingrate"})
    EXPECT_FALSE(Skin(QStringLiteral("Icon/ICO_%1_nr.png").arg(QLatin1String(icon))).isNull()) << icon;
  for (int n = 1; n <= 16; ++n) EXPECT_FALSE(Skin(QStringLiteral("number%1.png").arg(n)).isNull()) << n;
  for (int l = 10; l <= 100; l += 10) {
    const QImage p = Skin(QStringLiteral("power%1.png").arg(l));
    EXPECT_EQ(p.size(), QSize(210, 36)) << l;
  }
}

TEST_F(SkinTest, DialogsFitTheirFixedControls) {
  // The close button (picture-sized) sits at x 399 on the message dialog;
  // the progress bar runs to x 486 and y 123.
  const QImage msg = Skin(QStringLiteral("msg_nr.png"));
  const QImage exit = Skin(QStringLiteral("exit_nr.png"));
  EXPECT_GE(msg.width(), 399 + exit.width());
  EXPECT_GE(msg.height(), 120 + 27);  // the buttons of the combination mode
  const QImage nr = Skin(QStringLiteral("progress_nr.png"));
  const QImage ov = Skin(QStringLiteral("progress_ov.png"));
  EXPECT_EQ(nr.size(), ov.size());
  EXPECT_GT(nr.width(), 486);
  EXPECT_GT(nr.height(), 123);
  // The fill picture differs from the ground inside the bar only.
  EXPECT_NE(nr.pixel(250, 112), ov.pixel(250, 112));
  EXPECT_EQ(nr.pixel(250, 60), ov.pixel(250, 60));
  // Menu items are 20 high: the drop lists place 20 pixels per item.
  EXPECT_EQ(Skin(QStringLiteral("menu_nr.png")).height(), 20);
  // Dialog corners are outside the shape: transparent, so that the shape
  // cut over the key colour removes them, and the edge has no half tones.
  EXPECT_EQ(qAlpha(msg.pixel(0, 0)), 0);
  EXPECT_EQ(qAlpha(Skin(QStringLiteral("main_nr.png")).pixel(0, 0)), 0);
  int partial = 0;
  for (int y = 0; y < msg.height(); ++y)
    for (int x = 0; x < 14; ++x) partial += qAlpha(msg.pixel(x, y)) % 255 != 0;
  EXPECT_EQ(partial, 0);
}

TEST_F(SkinTest, ModelFoldersHaveTheirButtonsWhereTheCatalogueSaysSo) {
  ASSERT_TRUE(ok_);
  for (int i : cat_->ModelsInUse()) {
    const DevCfg& dev = cat_->dev[size_t(i)];
    const QString folder = QString::asprintf("%02x%02x/", dev.nCid, dev.nMid);
    SCOPED_TRACE(folder.toStdString());
    const QImage key = Skin(folder + QStringLiteral("key_nr.png"));
    ASSERT_EQ(key.size(), QSize(1070, 750));
    EXPECT_FALSE(Skin(folder + QStringLiteral("mouse.png")).isNull());
    EXPECT_FALSE(Skin(folder + QStringLiteral("mouse_led.png")).isNull());
    // Page coordinates: the page is cut at (1, 111) of the picture.
    auto at = [&](int x, int y) { return key.pixel(x + 1, y + 111); };
    auto differs = [](QRgb a, QRgb b) {
      return std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) +
                 std::abs(qBlue(a) - qBlue(b)) > 24;
    };
    // The body shows on the palm, below every button between the two main
    // buttons; the page ground far right of the mouse.
    int lowest = 0, mainL = 0, mainR = 0, areaA = 0, areaB = 0;
    for (int k = 0; k < dev.KeyCount(); ++k) {
      const Rect& r = dev.rcKey[k];
      lowest = std::max(lowest, r.bottom);
      const int area = (r.right - r.left) * (r.bottom - r.top);
      if (area > areaA) {
        areaB = areaA, mainR = mainL;
        areaA = area, mainL = (r.left + r.right) / 2;
      } else if (area > areaB) {
        areaB = area, mainR = (r.left + r.right) / 2;
      }
    }
    const QRgb body = at((mainL + mainR) / 2, lowest + 8);
    const QRgb ground = at(650, 300);
    EXPECT_TRUE(differs(body, ground));
    for (int k = 0; k < dev.KeyCount(); ++k) {
      const Rect& r = dev.rcKey[k];
      const QRgb c = at((r.left + r.right) / 2, (r.top + r.bottom) / 2);
      EXPECT_TRUE(differs(c, body)) << "key " << k + 1;
      EXPECT_TRUE(differs(c, ground)) << "key " << k + 1;
    }
  }
}

TEST_F(SkinTest, AnimationAndIconLoad) {
  QImageReader gif(Path(QStringLiteral("wait.gif")));
  EXPECT_GT(gif.imageCount(), 1);
  EXPECT_EQ(gif.loopCount(), -1);  // loops forever
  EXPECT_GT(gif.nextImageDelay(), 0);
  const QImage first = gif.read();
  ASSERT_FALSE(first.isNull());
  EXPECT_EQ(first.width(), first.height());  // the wait box is square
  EXPECT_EQ(qAlpha(first.pixel(0, 0)), 0);   // the page shows around the ring
  const QImage ico(Path(QStringLiteral("appico.ico")));
  ASSERT_FALSE(ico.isNull());
  EXPECT_GE(ico.width(), 32);
}

TEST_F(SkinTest, GenerationIsDeterministicAndReportsUnwritableFolders) {
  QTemporaryDir again;
  int count = 0;
  ASSERT_TRUE(GenerateSkin(*cat_, again.path().toStdString(), nullptr, &count));
  EXPECT_EQ(count, count_);
  for (const char* rel : {"skins/main_nr.png", "skins/1001/key_nr.png", "wait.gif"}) {
    QFile a(Path(QString::fromLatin1(rel))), b(again.path() + QLatin1Char('/') + rel);
    ASSERT_TRUE(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly)) << rel;
    EXPECT_EQ(a.readAll(), b.readAll()) << rel;
  }
  // A file where the output folder should be.
  QFile blocker(again.path() + QStringLiteral("/blocked"));
  ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
  blocker.close();
  std::string error;
  EXPECT_FALSE(GenerateSkin(*cat_, blocker.fileName().toStdString(), &error));
  EXPECT_FALSE(error.empty());
}

}  // namespace
}  // namespace tolvane::skin
