#include <gtest/gtest.h>

#include "ui/factories.h"
#include "ui/png_slider.h"
#include "ui/slider_model.h"
#include "ui_test_util.h"

namespace tolvane::ui {
namespace {

using test::Pump;
using test::Recorder;

TEST(SliderModel, NearestIndexWithoutScaleRoundsAndTiesGoLow) {
  SliderModel m;
  m.SetRange(0, 10);
  m.SetLength(200);
  EXPECT_EQ(m.NearestIndex(35), 2);   // step 20: 5 from 40, 15 from 20
  EXPECT_EQ(m.NearestIndex(30), 1);   // a tie stays on the lower index
  EXPECT_EQ(m.NearestIndex(-50), 0);  // clamped
  EXPECT_EQ(m.NearestIndex(500), 10);
  m.SetRange(3, 3);  // an empty span must not divide by zero
  EXPECT_EQ(m.NearestIndex(100), 3);
}

TEST(SliderModel, ScaleTableTieGoesToTheLaterIndex) {
  SliderModel m;
  m.SetRange(5, 7);
  EXPECT_TRUE(m.SetScale({10, 20, 30}));
  EXPECT_EQ(m.NearestIndex(15), 6);  // halfway between 10 and 20
  EXPECT_EQ(m.NearestIndex(11), 5);
  EXPECT_EQ(m.NearestIndex(29), 7);
  EXPECT_EQ(m.CentreOf(6), 20);
  EXPECT_FALSE(m.SetScale({1, 2}));   // count does not match the range
  EXPECT_EQ(m.Scale().size(), 2u);    // kept all the same
  EXPECT_EQ(m.NearestIndex(100), 6);  // minimum + position of the nearest entry
}

TEST(SliderModel, EvenScaleSpreadsTheThumbCentres) {
  // 650-pixel DPI bar with a 14-pixel thumb and 4 positions: step 212.
  EXPECT_EQ(SliderModel::EvenScale(650, 14, 4), (std::vector<int>{7, 219, 431, 643}));
  EXPECT_TRUE(SliderModel::EvenScale(10, 14, 4).empty());  // step not positive
  EXPECT_EQ(SliderModel::EvenScale(220, 0, 31).size(), 31u);
}

class SliderWidgets : public ::testing::Test {
 protected:
  void SetUp() override {
    skin.Add("dpibar_nr.png", 300, 8, QColor(60, 60, 60));
    skin.Add("dpibar_ov.png", 300, 8, QColor(0, 128, 255));
    skin.Add("slider.png", 14, 14, QColor(255, 255, 255));
    parent.resize(800, 200);
  }
  CPngSliderBar* Bar(int w, const QString& thumb, int minimum, int maximum) {
    auto* bar = new CPngSliderBar(&parent);
    const QRect r(10, 10, w, 14);
    EXPECT_EQ(NewSmallPngSliderBar(bar, &parent, QImage(), thumb, minimum, maximum, 129,
                                   QPoint(0, 3), r, r), 1);
    return bar;
  }
  test::TempSkin skin;
  Recorder parent;
};

TEST_F(SliderWidgets, ValueTableSetPosReportsTheTableValue) {
  CPngSliderBar* bar = Bar(300, "slider.png", 0, 2);
  bar->SetValueTable({400, 800, 1600});
  bar->SetScalePos({7, 150, 293});
  bar->SetNotifyOnSet(true);
  Pump();
  parent.msgs.clear();
  ASSERT_TRUE(bar->SetPos(800));
  EXPECT_EQ(bar->Thumb()->Centre(), 150);
  EXPECT_EQ(bar->GetPos(), 800);
  EXPECT_EQ(bar->FillLength(), 151);
  Pump();
  ASSERT_EQ(parent.Of(WM_SLIDER_SET).size(), 1u);
  EXPECT_EQ(parent.Of(WM_SLIDER_SET)[0].wParam, 800u);
  EXPECT_EQ(parent.Of(WM_SLIDER_SET)[0].lParam, 129);
  parent.msgs.clear();
  EXPECT_FALSE(bar->SetPos(1000));  // not in the table: nothing changes
  EXPECT_EQ(bar->GetPos(), 800);
  EXPECT_EQ(bar->Thumb()->Centre(), 150);
  Pump();
  EXPECT_TRUE(parent.msgs.empty());
}

TEST_F(SliderWidgets, TrackClicksAskAndReportTheNearestIndex) {
  CPngSliderBar* bar = Bar(200, "slider.png", 0, 10);
  test::Mouse(bar, QEvent::MouseButtonRelease, QPoint(35, 7));
  Pump();
  EXPECT_EQ(bar->GetPos(), 2);
  ASSERT_EQ(parent.Of(WM_SLIDER_ASK).size(), 1u);
  EXPECT_EQ(parent.Of(WM_SLIDER_ASK)[0].wParam, 2u);
  ASSERT_EQ(parent.Of(WM_SLIDER_SET).size(), 1u);
  EXPECT_EQ(parent.Of(WM_SLIDER_SET)[0].wParam, 2u);

  parent.msgs.clear();
  test::Mouse(bar, QEvent::MouseButtonRelease, QPoint(30, 7));
  Pump();
  EXPECT_EQ(bar->GetPos(), 1);

  parent.msgs.clear();
  parent.askReply = 0;  // the parent refuses: nothing moves, nothing is reported
  test::Mouse(bar, QEvent::MouseButtonRelease, QPoint(180, 7));
  Pump();
  EXPECT_EQ(bar->GetPos(), 1);
  EXPECT_TRUE(parent.Of(WM_SLIDER_SET).empty());

  parent.askReply = 1;
  bar->SetDisabled(true, false);
  test::Mouse(bar, QEvent::MouseButtonRelease, QPoint(180, 7));
  EXPECT_EQ(bar->GetPos(), 1);
}

TEST_F(SliderWidgets, BarWithoutThumbFillsTheWholeTrackAtTheLastValue) {
  CPngSliderBar* bar = Bar(200, QString(), 0, 2);
  EXPECT_FALSE(bar->Thumb()->isVisibleTo(&parent));
  bar->SetValueTable({400, 800, 1600});
  ASSERT_TRUE(bar->SetPos(1600));
  EXPECT_EQ(bar->FillLength(), 200);
  ASSERT_TRUE(bar->SetPos(800));
  EXPECT_LT(bar->FillLength(), 200);
  // The painted fill reaches the right edge at the last value.
  bar->SetPos(1600);
  const QImage img = bar->Render();
  EXPECT_EQ(img.pixelColor(199, 5), QColor(0, 128, 255));
  bar->SetPos(400);
  EXPECT_EQ(bar->Render().pixelColor(199, 5), QColor(60, 60, 60));
}

TEST_F(SliderWidgets, ScaleCountMismatchWarnsOnceAndIsUsed) {
  test::Warnings warnings;
  CPngSliderBar* bar = Bar(200, "slider.png", 0, 10);
  bar->SetScalePos({10, 50, 90});
  EXPECT_EQ(warnings.Count("CPngSlider::SetScalePos  dwScale and Range unmatch!"), 1);
  ASSERT_TRUE(bar->SetPos(1));
  EXPECT_EQ(bar->Thumb()->Centre(), 50);
}

TEST_F(SliderWidgets, DraggingReportsLiveValuesAndSetsOnRelease) {
  CPngSliderBar* bar = Bar(200, "slider.png", 0, 10);
  bar->SetLiveNotify(true);
  bar->SetPos(0);
  CPngSlider* thumb = bar->Thumb();
  Pump();
  parent.msgs.clear();
  test::Mouse(thumb, QEvent::MouseButtonPress, QPoint(7, 7));
  ASSERT_TRUE(thumb->IsDragging());
  EXPECT_EQ(parent.asks, 1);
  test::Mouse(thumb, QEvent::MouseMove, QPoint(47, 7));  // centre 0 -> 40
  // The thumb has moved under the mouse: one pixel further is local x 8.
  test::Mouse(thumb, QEvent::MouseMove, QPoint(8, 7));  // same index: no second report
  test::Mouse(thumb, QEvent::MouseButtonRelease, QPoint(8, 7));
  Pump();
  ASSERT_EQ(parent.Of(WM_SLIDER_DRAG).size(), 1u);
  EXPECT_EQ(parent.Of(WM_SLIDER_DRAG)[0].wParam, 2u);
  ASSERT_EQ(parent.Of(WM_SLIDER_SET).size(), 1u);
  EXPECT_EQ(parent.Of(WM_SLIDER_SET)[0].wParam, 2u);
  EXPECT_EQ(parent.Of(WM_SLIDER_SET)[0].lParam, 129);
  EXPECT_EQ(thumb->Centre(), 40);  // snapped to its position

  // A refused press does not start a drag.
  parent.askReply = 0;
  test::Mouse(thumb, QEvent::MouseButtonPress, QPoint(7, 7));
  EXPECT_FALSE(thumb->IsDragging());
}

class XYSlider : public SliderWidgets {
 protected:
  void SetUp() override {
    SliderWidgets::SetUp();
    skin.Add("slider1.png", 14, 7, QColor(200, 0, 0));
    skin.Add("slider2.png", 14, 7, QColor(0, 200, 0));
    bar = new CPngHSliderBarEx(&parent);
    ASSERT_EQ(NewSmallPngHSliderBarEx(QImage(), "slider2.png", &parent, "slider1.png", bar, 144,
                                      QPoint(0, 3), QRect(0, 0, 300, 14)),
              1);
    bar->SetRange(0, 3);
    bar->SetValueTable({400, 800, 1600, 3200});
    bar->SetScalePos({7, 100, 200, 293});
    Pump();
    parent.msgs.clear();
  }
  CPngHSliderBarEx* bar = nullptr;
};

TEST_F(XYSlider, JoinedThumbsFollowEachOther) {
  bar->SetSeparate(false);
  test::Mouse(bar, QEvent::MouseButtonRelease, QPoint(198, 10));
  Pump();
  EXPECT_EQ(bar->GetPos(1), 1600);
  EXPECT_EQ(bar->GetPos(2), 1600);
  ASSERT_EQ(parent.Of(WM_XYSLIDER_SET).size(), 1u);
  EXPECT_EQ(parent.Of(WM_XYSLIDER_SET)[0].wParam, 1600u);
  EXPECT_EQ(parent.Of(WM_XYSLIDER_SET)[0].lParam, (1 << 16) | 144);
  EXPECT_EQ(bar->FillLength(), 201);

  // Releasing thumb 1 at a new place moves thumb 2 along and reports both.
  parent.msgs.clear();
  CPngHSliderEx* t1 = bar->Thumb(1);
  test::Mouse(t1, QEvent::MouseButtonPress, QPoint(7, 3));
  test::Mouse(t1, QEvent::MouseMove, QPoint(7 + 93, 3));
  test::Mouse(t1, QEvent::MouseButtonRelease, QPoint(7, 3));  // the thumb moved along
  Pump();
  EXPECT_EQ(bar->GetPos(1), 3200);
  EXPECT_EQ(bar->GetPos(2), 3200);
  const auto sets = parent.Of(WM_XYSLIDER_SET);
  ASSERT_EQ(sets.size(), 2u);
  EXPECT_EQ(sets[0].lParam, (1 << 16) | 144);
  EXPECT_EQ(sets[1].lParam, (2 << 16) | 144);
}

TEST_F(XYSlider, SeparateThumbsAnswerToTheirHalfOfTheTrack) {
  bar->SetSeparate(true);
  bar->ShowSecond(true);
  bar->SetPos(1, 400);
  bar->SetPos(2, 400);
  Pump();
  parent.msgs.clear();
  EXPECT_EQ(bar->Thumb(2)->y(), 14 - 7);
  test::Mouse(bar, QEvent::MouseButtonRelease, QPoint(100, 12));  // lower half: thumb 2
  Pump();
  EXPECT_EQ(bar->GetPos(2), 800);
  EXPECT_EQ(bar->GetPos(1), 400);
  ASSERT_EQ(parent.Of(WM_XYSLIDER_ASK).size(), 1u);
  EXPECT_EQ(parent.Of(WM_XYSLIDER_ASK)[0].lParam, (2 << 16) | 144);
  test::Mouse(bar, QEvent::MouseButtonRelease, QPoint(293, 2));  // upper half: thumb 1
  EXPECT_EQ(bar->GetPos(1), 3200);
  EXPECT_EQ(bar->GetPos(2), 800);
}

}  // namespace
}  // namespace tolvane::ui
