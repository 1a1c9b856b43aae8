// SPDX-License-Identifier: MIT
#include "core/outline/capture.h"

#include <algorithm>
#include <cmath>
#include <iomanip>

#include <gtest/gtest.h>
#include <hb.h>

#include "core/outline/glyph_outline.h"
#include "core/outline/layout.h"
#include "core/platform/errors.h"
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
  // Each figure's signed area (its points as a polygon; the sign is the way
  // it winds) and the middle of its x range.
  struct Figure {
    double area = 0, midX = 0;
    int32_t minX = 0, maxX = 0;
  };
  std::vector<Figure> FigureList() const {
    std::vector<Figure> out;
    for (int i = 0; i < path.Count();) {
      int j = i + 1;
      while (j < path.Count() && path.GetPoint(j).Kind != pkMoveTo) ++j;
      Figure f;
      int32_t lo = INT32_MAX, hi = INT32_MIN;
      for (int k = i; k < j; ++k) {
        const PathPoint a = path.GetPoint(k), b = path.GetPoint(k + 1 < j ? k + 1 : i);
        f.area += (double(a.X) * b.Y - double(b.X) * a.Y) / 2;
        lo = std::min(lo, a.X);
        hi = std::max(hi, a.X);
      }
      f.midX = (lo + hi) / 2.0;
      f.minX = lo;
      f.maxX = hi;
      out.push_back(f);
      i = j;
    }
    return out;
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

// The rounding every point passes: halves away from zero, as lround, also
// next to the halves and at the ends of the 32-bit range.
TEST(CaptureSize, WholePixelsRoundAsLround) {
  for (int k = -4000; k <= 4000; ++k) {
    for (double base : {k / 4.0, k / 4.0 + 1e6, k / 4.0 - 2147480000.0}) {
      for (double v : {base, std::nextafter(base, -1e12), std::nextafter(base, 1e12)}) {
        ASSERT_EQ(WholePixel(v), std::lround(v)) << std::setprecision(20) << v;
      }
    }
  }
  EXPECT_EQ(WholePixel(0.49999999999999994), 0);
  EXPECT_EQ(WholePixel(-0.49999999999999994), 0);
  EXPECT_EQ(WholePixel(2147483646.4), 2147483646);
  EXPECT_THROW(WholePixel(2147483646.5), EOutOfResources);
  EXPECT_EQ(WholePixel(-2147483647.4), -2147483647);
  EXPECT_THROW(WholePixel(-2147483647.5), EOutOfResources);
  EXPECT_THROW(WholePixel(std::nan("")), EOutOfResources);
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

// Under the non-zero rule a bar wound against the letters it crosses cuts
// them open. Each piece of the bar must wind as the largest figure of the
// letters above it, whether the face is TrueType (DejaVu Sans, IPAPGothic)
// or PostScript-outline (Nimbus Sans), and where the faces mix.
TEST(Capture, UnderlineAndStrikeOutWindAsTheLettersTheyCross) {
  for (const auto& [face, text] : {std::pair{"DejaVu Sans", "HH"}, std::pair{"Nimbus Sans", "HH"},
                                   std::pair{"Nimbus Sans", "H漢H"}, std::pair{"DejaVu Sans", "漢H"}}) {
    SCOPED_TRACE(std::string(face) + " " + text);
    const auto letters = Capture(text, Font(face)).FigureList();
    const auto all = Capture(text, Font(face, fsStrikeOut | fsUnderline)).FigureList();
    ASSERT_GE(all.size(), letters.size() + 2);
    for (size_t k = letters.size(); k < all.size(); ++k) {
      const auto& bar = all[k];
      double biggest = 0;
      for (const auto& f : letters)
        if (f.midX >= bar.minX && f.midX <= bar.maxX && std::abs(f.area) > std::abs(biggest)) biggest = f.area;
      ASSERT_NE(biggest, 0) << "bar piece " << k << " crosses no letter";
      EXPECT_EQ(bar.area > 0, biggest > 0) << "bar piece " << k;
    }
  }
}

namespace {

// The faces a capture reports using.
CaptureFaces CapturedFaces(const std::string& text, const TFontSpec& font) {
  CaptureFaces got;
  SetCaptureFacesObserver([&](const CaptureFaces& f) { got = f; });
  const Capture c(text, font);
  SetCaptureFacesObserver({});
  return got;
}

// The advance of `text` in an OpenType file, shaped by HarfBuzz alone
// without kerning, in whole pixels at an em of `em`.
int32_t OpenTypeAdvance(const char* file, const std::string& text, int em) {
  hb_blob_t* blob = hb_blob_create_from_file(file);
  hb_face_t* face = hb_face_create(blob, 0);
  hb_font_t* font = hb_font_create(face);
  hb_buffer_t* buf = hb_buffer_create();
  hb_buffer_add_utf8(buf, text.c_str(), -1, 0, -1);
  hb_buffer_guess_segment_properties(buf);
  hb_feature_t noKern{HB_TAG('k', 'e', 'r', 'n'), 0, 0, ~0u};
  hb_shape(font, buf, &noKern, 1);
  unsigned n = 0;
  const hb_glyph_position_t* pos = hb_buffer_get_glyph_positions(buf, &n);
  double sum = 0;
  for (unsigned i = 0; i < n; ++i) sum += pos[i].x_advance;
  const double upem = hb_face_get_upem(face);
  hb_buffer_destroy(buf);
  hb_font_destroy(font);
  hb_face_destroy(face);
  hb_blob_destroy(blob);
  return static_cast<int32_t>(std::lround(sum * em / upem));
}

}  // namespace

// fontconfig serves Nimbus Sans Narrow from Type 1 files, which HarfBuzz
// cannot read: the text must still be shaped, with the glyphs and advances
// of the same face's OpenType edition.
TEST(Capture, Type1FacesGiveTheirOutlines) {
  const CaptureFaces faces = CapturedFaces("Narrow", Font("Nimbus Sans Narrow"));
  ASSERT_EQ(faces.runs.size(), 1u);
  const std::string& file = faces.runs[0].file;
  ASSERT_TRUE(file.ends_with(".pfb") || file.ends_with(".t1")) << file;
  const Capture narrow("Narrow", Font("Nimbus Sans Narrow"));
  ExpectWellFormed(narrow.path);
  EXPECT_EQ(narrow.Figures(), 8);  // N a(2) r r o(2) w
  int32_t w = 0, h = 0;
  FontRun(Font("Nimbus Sans Narrow"), 400).TextExtent("Narrow", w, h);
  EXPECT_NEAR(w, OpenTypeAdvance("/usr/share/fonts/opentype/urw-base35/NimbusSansNarrow-Regular.otf", "Narrow", 400),
              1);
}

// A few characters no face has draw as boxes; a text of nothing else is an
// error, not an empty page.
TEST(Capture, TextNoFaceHasIsAnError) {
  EXPECT_GT(Capture("A\u0378", Font("DejaVu Sans")).Figures(), Capture("A", Font("DejaVu Sans")).Figures());
  try {
    Capture("\u0378\u0379", Font("DejaVu Sans"));
    FAIL() << "no error";
  } catch (const EFontError& e) {
    EXPECT_STREQ(e.what(), "フォント DejaVu Sans にはテキストの文字がありません");
  }
}

// Right-to-left text with Latin in it: the Latin keeps its order, at the
// left end of a line that starts with Arabic, and the Arabic reads from the
// right (the same glyphs as alone, moved right past the Latin).
TEST(Capture, MixedDirectionsComeInVisualOrder) {
  const TFontSpec dejavu = Font("DejaVu Sans");
  const std::string abc = PathToString(Capture("abc", dejavu).path);
  const std::string mixed = PathToString(Capture("مرحبا abc", dejavu).path);
  EXPECT_EQ(mixed.substr(0, abc.size()), abc);
  // Left to right first: the Arabic follows the Latin, as a whole word.
  const Capture ltr("abc مرحبا", dejavu);
  EXPECT_EQ(PathToString(ltr.path).substr(0, abc.size()), abc);
  EXPECT_EQ(ltr.width, Capture("مرحبا abc", dejavu).width);
  // No right-to-left letter, but an override: the algorithm still runs.
  EXPECT_EQ(PathToString(Capture("ab\u202Ecd", dejavu).path), PathToString(Capture("abdc", dejavu).path));
  EXPECT_NE(PathToString(Capture("ab\u202Ecd", dejavu).path), PathToString(Capture("abcd", dejavu).path));
}

// Control characters draw nothing, so they must not decide the overhangs:
// an italic capital after a tab still starts at x = 0.
TEST(Capture, OverhangsComeFromTheGlyphsDrawn) {
  const TFontSpec italic = Font("Liberation Serif", fsItalic);
  const Capture plain("AV", italic);
  const Capture framed("\tAV\r\n", italic);
  EXPECT_EQ(PathToString(framed.path), PathToString(plain.path));
  EXPECT_EQ(framed.width, plain.width);
  EXPECT_EQ(framed.MinX(), 0);
}

// What a verbose run reports: the face of each run, the fallbacks, and
// whether the name asked for was replaced by another face.
TEST(Capture, ReportsTheFacesUsed) {
  const CaptureFaces mixed = CapturedFaces("Ab漢\tc", Font("DejaVu Sans"));
  EXPECT_EQ(mixed.requested, "DejaVu Sans");
  EXPECT_EQ(mixed.family, "DejaVu Sans");
  EXPECT_FALSE(mixed.substituted);
  ASSERT_EQ(mixed.runs.size(), 3u);
  EXPECT_EQ(mixed.runs[0].text, "Ab");
  EXPECT_EQ(mixed.runs[0].file, mixed.file);
  EXPECT_FALSE(mixed.runs[0].fallback);
  EXPECT_EQ(mixed.runs[1].text, "漢");
  EXPECT_TRUE(mixed.runs[1].fallback);
  EXPECT_NE(mixed.runs[1].file, mixed.file);
  EXPECT_EQ(mixed.runs[2].text, "c");
  // The program's own alias is no substitution; a face that is not installed is.
  EXPECT_FALSE(CapturedFaces("A", Font("ＭＳ Ｐゴシック", 0, 128)).substituted);
  const CaptureFaces missing = CapturedFaces("A", Font("No Such Face 42"));
  EXPECT_TRUE(missing.substituted);
  EXPECT_FALSE(missing.family.empty());
  // No observer, no report.
  int calls = 0;
  SetCaptureFacesObserver([&](const CaptureFaces&) { ++calls; });
  Capture("A", Font("DejaVu Sans"));
  SetCaptureFacesObserver({});
  Capture("A", Font("DejaVu Sans"));
  EXPECT_EQ(calls, 1);
}
