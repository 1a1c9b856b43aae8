// SPDX-License-Identifier: MIT
#include "core/settings/settings_model.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace glyphor {
namespace {

using Field = SettingsModel::Field;

struct Recorder {
  explicit Recorder(SettingsModel& m) {
    m.AddListener([this](Field f) { seen.push_back(f); });
  }
  std::vector<Field> Take() { return std::exchange(seen, {}); }
  std::vector<Field> seen;
};

TEST(SettingsModel, FontSizeIsHeldAsAPixelHeight) {
  SettingsModel m;
  EXPECT_EQ(m.ScreenPpi(), 96);
  EXPECT_EQ(m.FontPixelHeight(), 133);
  EXPECT_EQ(m.Values().Font.Size, 100);
  EXPECT_EQ(SettingsModel(0).ScreenPpi(), DefaultScreenPpi);
  // The start font is a 133-pixel character height whatever the screen.
  SettingsModel dense(120);
  EXPECT_EQ(dense.FontPixelHeight(), 133);
  EXPECT_EQ(dense.Values().Font.Size, 80);

  // On a 48 ppi screen 1 point and 2 points both give a 1-pixel font, which
  // reads back as 2 points (1.5 rounded away from zero).
  SettingsModel coarse(48);
  Recorder rec(coarse);
  coarse.SetFontSize(1);
  EXPECT_EQ(coarse.FontPixelHeight(), 1);
  EXPECT_EQ(coarse.Values().Font.Size, 2);
  EXPECT_EQ(rec.Take(), std::vector<Field>{Field::Font});
  coarse.SetFontSize(2);
  EXPECT_TRUE(rec.Take().empty());
  coarse.SetFontSize(-2);
  EXPECT_EQ(coarse.Values().Font.Size, -2);
  EXPECT_EQ(rec.Take(), std::vector<Field>{Field::Font});
}

TEST(SettingsModel, NotifiesOnlyRealChangesAfterBringingIntoRange) {
  SettingsModel m;
  Recorder rec(m);
  m.SetStrokeWidth(50);
  m.SetResolution(100);  // 400, the value held
  m.SetMiterLimit(4);
  m.SetLineJoin(0);
  m.SetViewAfterSave(true);
  m.SetText("GLYPHOR");
  m.SetFillColor(0x000000FF);
  m.SetFontName(m.Values().Font.Name);
  EXPECT_TRUE(rec.Take().empty());

  m.SetStrokeWidth(5000);
  m.SetStrokeWidth(1001);
  m.SetResolution(-1);
  m.SetResolution(9999);
  m.SetMiterLimit(0);
  m.SetMiterLimit(-50);
  m.SetLineJoin(9);
  m.SetLineJoin(-9);
  EXPECT_EQ(rec.Take(), (std::vector<Field>{Field::StrokeWidth, Field::Resolution, Field::MiterLimit, Field::LineJoin,
                                            Field::LineJoin}));
  EXPECT_EQ(m.Values().StrokeWidth, 1000);
  EXPECT_EQ(m.Values().Resolution, 1200);
  EXPECT_EQ(m.Values().MiterLimit, 1);
  EXPECT_EQ(m.Values().LineJoin, -1);

  TFontSpec f = m.Values().Font;
  f.Color = 0x00FF0000;
  m.SetFont(f);
  EXPECT_EQ(rec.Take(), std::vector<Field>{Field::FillColor});
  f.Style = fsItalic;
  f.Color = 0;
  m.SetFont(f);
  EXPECT_EQ(rec.Take(), (std::vector<Field>{Field::Font, Field::FillColor}));
  m.SetSvgDir("/a");
  m.SetEmfDir("/a");
  m.SetSvgDir("/a");
  EXPECT_EQ(rec.Take(), (std::vector<Field>{Field::SvgDir, Field::EmfDir}));
}

TEST(SettingsModel, TwoLayerModeClearsAndLocksTransparency) {
  SettingsModel m;
  Recorder rec(m);
  m.SetTransparent(true);
  m.SetFukuromoji(true);
  EXPECT_FALSE(m.Values().TransparentFill);
  EXPECT_FALSE(m.TransparentEnabled());
  EXPECT_EQ(rec.Take(),
            (std::vector<Field>{Field::Transparent, Field::Transparent, Field::TransparentEnabled, Field::Fukuromoji}));

  m.SetTransparent(true);  // the box is disabled
  m.SetFukuromoji(true);
  EXPECT_FALSE(m.Values().TransparentFill);
  EXPECT_TRUE(rec.Take().empty());

  m.SetFukuromoji(false);
  EXPECT_TRUE(m.TransparentEnabled());
  EXPECT_FALSE(m.Values().TransparentFill);
  EXPECT_EQ(rec.Take(), (std::vector<Field>{Field::TransparentEnabled, Field::Fukuromoji}));
  m.SetTransparent(true);
  EXPECT_TRUE(m.Values().TransparentFill);

  // Without transparency set, only the lock changes.
  SettingsModel n;
  Recorder rn(n);
  n.SetFukuromoji(true);
  EXPECT_EQ(rn.Take(), (std::vector<Field>{Field::TransparentEnabled, Field::Fukuromoji}));
}

}  // namespace
}  // namespace glyphor
