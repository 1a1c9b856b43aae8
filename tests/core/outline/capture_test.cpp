#include "core/outline/capture.h"

#include <algorithm>
#include <cmath>

#include <gtest/gtest.h>

#include "core/outline/layout.h"
#include "support/test_paths.h"
#include "support/test_support.h"

using namespace glyphor;
using glyphor::test::PathToString;

namespace {

TFontSpec Font(const std::string& name, uint8_t style = 0, uint8_t charset = 0) {
  TFontSpec f;
  f.Name = name;
  f.Style = style;
  f.Charset = charset;
  return f;
}

struct Capture {
  TPath path;
  int32_t width = 0, height = 0;
  Capture(const std::string& text, const TFontSpec& font, int resolution = 400, int ppi = 96) {
    CaptureTextPath(text, font, resolution, ppi, path, width, height);
  }
  int32_t MinX() const {
    int32_t m = INT32_MAX;
    for (int i = 0; i < path.Count(); ++i) m = std::min(m, path.GetPoint(i).X);
    return m;
  }
  int Figures() const {
    int n = 0;
    for (int i = 0; i < path.Count(); ++i) n += path.GetPoint(i).Kind == pkMoveTo;
    return n;
  }
};

// Every figure starts with a move, holds Bezier points in runs of three and
// ends with the close flag on its last point.
void ExpectWellFormed(const TPath& p) {
  ASSERT_GT(p.Count(), 0);
  int run = 0;
  for (int i = 0; i < p.Count(); ++i) {
    const PathPoint pt = p.GetPoint(i);
    if (i == 0) {
      EXPECT_EQ(pt.Kind, pkMoveTo);
    }
    if (pt.Kind == pkBezierTo) {
      ++run;
    } else {
      EXPECT_EQ(run % 3, 0) << "at point " << i;
      run = 0;
    }
    const bool last = i + 1 == p.Count() || p.GetPoint(i + 1).Kind == pkMoveTo;
    EXPECT_EQ(pt.CloseFigure, last) << "at point " << i;
    if (pt.CloseFigure) {
      EXPECT_EQ(run % 3, 0);
    }
  }
}

}  // namespace

TEST(CaptureSize, ResolutionAndScreenGiveTheCaptureFont) {
  EXPECT_EQ(CaptureFontSize(450, 96), 337);  // not 337.5
  EXPECT_EQ(CaptureFontSize(400, 96), 300);
  EXPECT_EQ(CaptureFontSize(1200, 120), 720);
  EXPECT_EQ(PointsToPixels(337, 96), 449);
  EXPECT_EQ(PointsToPixels(100, 96), 133);
  EXPECT_EQ(PixelsToPoints(133, 96), 100);
  // The capture at 450 dpi is the one at an em of 449 pixels.
  const Capture at450("H", Font("DejaVu Sans"), 450);
  const FontRun run(Font("DejaVu Sans"), 449);
  EXPECT_EQ(at450.height, run.Ascent() + run.Descent());
  int32_t w = 0, h = 0;
  run.TextExtent("H", w, h);
  EXPECT_EQ(at450.width, w);
}

TEST(Capture, LatinGlyphOutlineInWholePixels) {
  const Capture a("A", Font("DejaVu Sans"));
  // Unhinted DejaVu Sans "A" at an em of 400 pixels, baseline at the ascent.
  EXPECT_EQ(PathToString(a.path),
            "M137,118 L83,263 L190,263 z M114,79 L159,79 L270,371 L229,371 L203,296 L71,296 L45,371 L3,371 z");
  EXPECT_EQ(a.width, 274);
  EXPECT_EQ(a.height, 465);  // usWinAscent + usWinDescent
}

TEST(Capture, CurvesComeAsClosedCubicRuns) {
  for (const char* face : {"DejaVu Sans", "IPAPGothic", "Liberation Serif"}) {
    SCOPED_TRACE(face);
    const Capture c("GLYPHOR Qo@8", Font(face));
    ExpectWellFormed(c.path);
    EXPECT_GE(c.MinX(), 0);
    EXPECT_EQ(c.Figures(), 19);  // G L Y P(2) H O(2) R(2) Q(2) o(2) @(2) 8(3)
  }
}

TEST(Capture, ItalicOverhangWidensTheTextAndKeepsInkRight) {
  const TFontSpec italic = Font("Liberation Serif", fsItalic);
  const FontRun run(italic, 400);
  const double a = run.CharWidths('A').A;
  ASSERT_LT(a, -20);  // this capital leans left of its origin
  int32_t plain = 0, h = 0;
  run.TextExtent("AV", plain, h);
  const Capture c("AV", italic);
  const int left = -static_cast<int>(std::nearbyint(a));
  const int right = std::max(0, -static_cast<int>(std::nearbyint(run.CharWidths('V').C)));
  EXPECT_EQ(c.width, plain + left + right);
  EXPECT_EQ(c.MinX(), 0);
}

TEST(Capture, SyntheticStylesWhereTheFaceHasNone) {
  // IPAPGothic has neither bold nor italic faces: both are made up.
  const Capture regular("工", Font("IPAPGothic"));
  const Capture bold("工", Font("IPAPGothic", fsBold));
  const Capture oblique("工", Font("IPAPGothic", fsItalic));
  EXPECT_GT(bold.width, regular.width);
  EXPECT_NE(PathToString(oblique.path), PathToString(regular.path));
  // Sheared to the right at the top: the top stroke's left end moves right.
  EXPECT_GT(oblique.path.GetPoint(0).X, regular.path.GetPoint(0).X);
}

TEST(Capture, JapaneseTextAndTheDefaultFace) {
  const Capture ipa("袋文字", Font("IPAPGothic", 0, 128));
  ExpectWellFormed(ipa.path);
  EXPECT_EQ(ipa.width, 1200);  // full-width: one em each
  // The program's default face resolves to IPAPGothic through its aliases.
  TFontSpec def;  // "ＭＳ Ｐゴシック", Shift-JIS character set
  const Capture fromDefault("袋文字", def);
  EXPECT_EQ(PathToString(fromDefault.path), PathToString(ipa.path));
  EXPECT_EQ(FontRun(Font("MS PGothic"), 100).FamilyName(), "IPAPGothic");
}

TEST(Capture, MissingGlyphsComeFromAFallbackFace) {
  const Capture dejavu("袋", Font("DejaVu Sans"));
  const Capture ipa("袋", Font("IPAPGothic"));
  ASSERT_EQ(dejavu.path.Count(), ipa.path.Count());
  EXPECT_EQ(dejavu.width, ipa.width);  // the same em size
  // Same glyph, set on DejaVu's baseline instead of IPAPGothic's.
  const int dy = FontRun(Font("DejaVu Sans"), 400).Ascent() - FontRun(Font("IPAPGothic"), 400).Ascent();
  for (int i = 0; i < ipa.path.Count(); ++i) {
    EXPECT_EQ(dejavu.path.GetPoint(i).X, ipa.path.GetPoint(i).X);
    EXPECT_EQ(dejavu.path.GetPoint(i).Y, ipa.path.GetPoint(i).Y + dy);
  }
}

TEST(Capture, UnderlineAndStrikeOutAddRectanglesAcrossTheAdvance) {
  const Capture plain("Ab", Font("DejaVu Sans"));
  const Capture under("Ab", Font("DejaVu Sans", fsUnderline));
  const Capture both("Ab", Font("DejaVu Sans", fsUnderline | fsStrikeOut));
  EXPECT_EQ(under.Figures(), plain.Figures() + 1);
  EXPECT_EQ(both.Figures(), plain.Figures() + 2);
  // The last figure of the underlined text: four points across the width,
  // below the baseline.
  const int n = under.path.Count();
  const PathPoint p0 = under.path.GetPoint(n - 4), p1 = under.path.GetPoint(n - 3), p2 = under.path.GetPoint(n - 2),
                  p3 = under.path.GetPoint(n - 1);
  EXPECT_EQ(p0.Kind, pkMoveTo);
  EXPECT_TRUE(p3.CloseFigure);
  EXPECT_EQ(p0.X, 0);
  EXPECT_EQ(p1.X, under.width);
  EXPECT_EQ(p2.X, under.width);
  EXPECT_EQ(p3.X, 0);
  EXPECT_GT(p0.Y, FontRun(Font("DejaVu Sans"), 400).Ascent());
  EXPECT_GT(p2.Y, p1.Y);
}

TEST(Capture, EmptyControlAndBrokenTexts) {
  const Capture empty("", Font("DejaVu Sans"));
  EXPECT_EQ(empty.width, 0);
  EXPECT_EQ(empty.path.Count(), 0);
  EXPECT_EQ(empty.height, 465);

  // Line breaks and other control characters give no glyph and no advance.
  const Capture ab("AB", Font("DejaVu Sans"));
  const Capture withBreaks("A\r\nB\t\x7f", Font("DejaVu Sans"));
  EXPECT_EQ(PathToString(withBreaks.path), PathToString(ab.path));
  EXPECT_EQ(withBreaks.width, ab.width);

  // Invalid UTF-8 decodes to U+FFFD, which DejaVu Sans draws.
  const Capture broken(
      "\xff\xfe\xc0\x80"
      "A\xed\xa0\x80",
      Font("DejaVu Sans"));
  ExpectWellFormed(broken.path);
}

TEST(Capture, KerningAndLigaturesOfTheFontApply) {
  const FontRun run(Font("DejaVu Sans"), 400);
  int32_t av = 0, a = 0, v = 0, h = 0;
  run.TextExtent("AV", av, h);
  run.TextExtent("A", a, h);
  run.TextExtent("V", v, h);
  EXPECT_LT(av, a + v);  // the AV kerning pair pulls them together
}
