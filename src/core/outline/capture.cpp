// SPDX-License-Identifier: MIT
#include "core/outline/capture.h"

#include <cmath>
#include <vector>

#include "core/outline/glyph_outline.h"
#include "core/outline/layout.h"
#include "core/outline/path_record.h"
#include "core/text/utf8.h"

namespace glyphor {

namespace {

// The measuring surface: keeps the path that text drawing leaves in its
// bracket, one logical unit a pixel, y downwards. It strokes and fills
// nothing: pens and brushes are not kept.
class MeasuringSurface : public TCanvas {
 public:
  void Reserve(size_t points) {
    points_.reserve(points);
    types_.reserve(points);
  }
  void BeginPath() override {
    building_ = true;
    points_.clear();
    types_.clear();
    closed_ = false;
  }
  void EndPath() override {
    if (!building_) return;
    building_ = false;
    closed_ = true;
  }
  int GetPath(TPoint* points, uint8_t* types, int count) override {
    if (!closed_) return -1;
    const int n = static_cast<int>(points_.size());
    if (count == 0) return n;
    if (count < n) return -1;
    std::copy(points_.begin(), points_.end(), points);
    std::copy(types_.begin(), types_.end(), types);
    return n;
  }
  void MoveTo(TPoint p) override { Add(p, PT_MOVETO); }
  void LineTo(TPoint p) override { Add(p, PT_LINETO); }
  void PolyBezierTo(const TPoint* pts, int count) override {
    if (!building_ || count <= 0) return;
    points_.insert(points_.end(), pts, pts + count);
    types_.insert(types_.end(), static_cast<size_t>(count), PT_BEZIERTO);
  }
  void AddClosedFigure(const TPoint* pts, const uint8_t* types, int count) override {
    if (!building_ || count <= 0) return;
    points_.insert(points_.end(), pts, pts + count);
    types_.insert(types_.end(), types, types + count);
    if (count > 1) types_.back() |= PT_CLOSEFIGURE;
  }
  void CloseFigure() override {
    if (building_ && !types_.empty() && types_.back() != PT_MOVETO) types_.back() |= PT_CLOSEFIGURE;
  }
  void FillPath() override { closed_ = false; }
  void StrokeAndFillPath() override { closed_ = false; }
  // Hands the closed path over without a copy (a long text's path is
  // megabytes); the surface is left empty.
  void MovePathInto(TPath& path) {
    if (!closed_) return;
    path.TakePoints(std::move(points_), std::move(types_));
    points_.clear();
    types_.clear();
    closed_ = false;
  }
  TObjectHandle CreatePen(const TPenSpec&) override { return 0; }
  TObjectHandle CreateBrush(const TBrushSpec&) override { return 0; }
  TObjectHandle SelectObject(TObjectHandle) override { return 0; }
  void DeleteObject(TObjectHandle) override {}
  void SetMiterLimit(float) override {}

 private:
  void Add(TPoint p, uint8_t type) {
    if (!building_) return;
    points_.push_back(p);
    types_.push_back(type);
  }
  bool building_ = false, closed_ = false;
  std::vector<TPoint> points_;
  std::vector<uint8_t> types_;
};

std::function<void(const CaptureFaces&)>& Observer() {
  static std::function<void(const CaptureFaces&)> observer;
  return observer;
}

void Report(const FontRun& run, const std::string& text, FontEngine& engine, const TFontSpec& font) {
  FontMatch& match = engine.Find(font);
  CaptureFaces faces{font.Name,           match.face->Family(),      match.face->File(),
                     match.face->Index(), engine.Substituted(match), {}};
  for (const FaceRun& r : run.FaceRuns(text))
    faces.runs.push_back({EncodeUtf8(r.text), r.face->Family(), r.face->File(), r.face->Index(), r.fallback});
  Observer()(faces);
}

}  // namespace

void SetCaptureFacesObserver(std::function<void(const CaptureFaces&)> observer) { Observer() = std::move(observer); }

int CaptureFontSize(int resolution, int screenPpi) {
  return PointsPerInch * resolution / (screenPpi > 0 ? screenPpi : DefaultScreenPpi);
}

void CaptureTextPath(const std::string& text, const TFontSpec& font, int resolution, int screenPpi, TPath& path,
                     int32_t& width, int32_t& height, FontEngine& engine) {
  if (screenPpi <= 0) screenPpi = DefaultScreenPpi;
  // The text is rendered as if the font were 72 points high on a device of
  // `resolution` dpi; the size in whole points truncates, so the em can come
  // out a little under `resolution` pixels. The writers scale by resolution.
  const FontRun run(font, PointsToPixels(CaptureFontSize(resolution, screenPpi), screenPpi), engine);

  const int left = LeftOverhang(run, text);
  const int right = RightOverhang(run, text);
  int32_t extent = 0;
  run.TextExtent(text, extent, height);
  width = WholePixel(static_cast<double>(right) + left + extent);

  MeasuringSurface surface;
  surface.Reserve(run.PathPointsBound(text));  // a long text's path grows in one step
  surface.BeginPath();
  run.DrawText(surface, left, 0, text);
  surface.EndPath();
  surface.MovePathInto(path);
  if (Observer()) Report(run, text, engine, font);
}

// Rounds to the nearest whole number, halves to the even neighbour.
static int RoundEven(double v) { return WholePixel(std::nearbyint(v)); }

// Measured on the glyphs drawn, not the text's first and last characters:
// control characters draw nothing, and the visually first glyph of a
// right-to-left text is its last character's.
int LeftOverhang(const FontRun& font, std::string_view text) {
  const double a = font.FirstGlyphWidths(text).A;
  return a >= 0 ? 0 : -RoundEven(a);
}

int RightOverhang(const FontRun& font, std::string_view text) {
  const double c = font.LastGlyphWidths(text).C;
  return c >= 0 ? 0 : -RoundEven(c);
}

}  // namespace glyphor
