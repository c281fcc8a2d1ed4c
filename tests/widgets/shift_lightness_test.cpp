#include <gtest/gtest.h>

#include "widgets/shift_lightness.h"

namespace mevra::widgets {
namespace {

TEST(Hls, PrimariesHaveTheClassicPickerValues) {
  const struct {
    QColor rgb;
    int hue, lightness, saturation;
  } cases[] = {
      {QColor(255, 0, 0), 0, 120, 240},   {QColor(0, 255, 0), 80, 120, 240},
      {QColor(0, 0, 255), 160, 120, 240}, {QColor(255, 255, 255), 160, 240, 0},
      {QColor(0, 0, 0), 160, 0, 0},       {QColor(128, 128, 128), 160, 120, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.rgb.name().toStdString());
    const Hls hls = RgbToHls(c.rgb);
    EXPECT_EQ(hls.hue, c.hue);
    EXPECT_EQ(hls.lightness, c.lightness);
    EXPECT_EQ(hls.saturation, c.saturation);
  }
}

TEST(Hls, RoundTripKeepsColoursWithinARoundingStep) {
  for (const QColor& colour : {QColor(212, 208, 200), QColor(10, 36, 106), QColor(240, 155, 20),
                               QColor(0, 128, 64), QColor(255, 255, 0)}) {
    SCOPED_TRACE(colour.name().toStdString());
    const QColor back = HlsToRgb(RgbToHls(colour));
    EXPECT_NEAR(back.red(), colour.red(), 2);
    EXPECT_NEAR(back.green(), colour.green(), 2);
    EXPECT_NEAR(back.blue(), colour.blue(), 2);
  }
}

TEST(ShiftLightness, ShiftsGreyAndSaturatesAtTheEnds) {
  EXPECT_EQ(ShiftLightness(QColor(128, 128, 128), 30), QColor(159, 159, 159));
  EXPECT_EQ(ShiftLightness(QColor(128, 128, 128), 0), QColor(128, 128, 128));
  EXPECT_LT(ShiftLightness(QColor(128, 128, 128), -30).red(), 128);
  EXPECT_EQ(ShiftLightness(QColor(250, 250, 250), 30), QColor(255, 255, 255));
  EXPECT_EQ(ShiftLightness(QColor(5, 5, 5), -30), QColor(0, 0, 0));
  const QColor lighter_red = ShiftLightness(QColor(200, 0, 0), 40);
  EXPECT_GT(lighter_red.green(), 0);
  EXPECT_EQ(lighter_red.red(), 255);
}

}  // namespace
}  // namespace mevra::widgets
