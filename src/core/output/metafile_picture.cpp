// SPDX-License-Identifier: MIT
#include "core/output/metafile_picture.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <new>
#include <stdexcept>

#include "core/outline/capture.h"
#include "core/output/emf_reader.h"
#include "core/output/emf_recorder.h"
#include "core/platform/errors.h"
#include "core/platform/system_colors.h"

namespace glyphor {

namespace {

// The picture's geometry: path units to 0.01 mm by the scale rule, with the
// stroke margin.
struct PictureScale {
  double Q;   // font size / 72
  int64_t W;  // effective stroke width, 0.01 mm
  int Resolution;

  // v x 2540 formed exactly, then x q, then / Resolution, in extended precision.
  long double S(int64_t v) const {
    return static_cast<long double>(v * 2540) * static_cast<long double>(Q) / Resolution;
  }
};

// Truncation toward zero, as the picture's coordinates have always been made:
// 138.5 gives 138 and -190.5 gives -190. A value beyond 32 bits (or no number
// at all) cannot be recorded.
int32_t Trunc32(long double a) {
  if (!(a > static_cast<long double>(std::numeric_limits<int32_t>::min()) - 1 &&
        a < static_cast<long double>(std::numeric_limits<int32_t>::max()) + 1))
    throw EOutOfResources();
  return static_cast<int32_t>(std::trunc(a));
}

int32_t Checked32(int64_t v) {
  if (v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max()) throw EOutOfResources();
  return static_cast<int32_t>(v);
}

uint32_t PenStyleForJoin(int lineJoin) {
  constexpr uint32_t base = PS_GEOMETRIC | PS_ENDCAP_FLAT | PS_SOLID;
  switch (lineJoin) {
    case 0: return base | PS_JOIN_MITER;   // 0x12200
    case 2: return base | PS_JOIN_BEVEL;   // 0x11200
    default: return base | PS_JOIN_ROUND;  // 0x10200, also for joins out of range
  }
}

// Rewrites the path's points in place to picture coordinates: y up, the
// origin at the frame's top-left corner. The half margin is added before the
// truncation and y is negated after it.
void ScalePath(TPath& path, const PictureScale& sc) {
  const long double half = 1.5L * sc.W;
  for (int32_t i = 0; i < path.Count(); ++i) {
    PathPoint p = path.GetPoint(i);
    p.X = Trunc32(sc.S(p.X) + half);
    p.Y = Checked32(-static_cast<int64_t>(Trunc32(sc.S(p.Y) + half)));
    path.SetPoint(i, p);
  }
}

void Record(EmfRecorder& rec, const TPath& path, const PictureScale& sc, const ConversionSettings& s) {
  rec.SetMapMode(MM_HIMETRIC);
  rec.SetWindowOrg({0, 0});
  const TObjectHandle pen =
      rec.CreatePen(TPenSpec{PenStyleForJoin(s.LineJoin), static_cast<uint32_t>(sc.W), ColorToRGB(s.StrokeColor)});
  const TObjectHandle oldPen = rec.SelectObject(pen);
  if (s.LineJoin == 0) rec.SetMiterLimit(static_cast<float>(s.MiterLimit));
  const TBrushSpec brush =
      s.TransparentFill ? TBrushSpec{BS_NULL, 0x00FFFFFF, 0} : TBrushSpec{BS_SOLID, ColorToRGB(s.Font.Color), 0};
  rec.SelectObject(rec.CreateBrush(brush));
  path.StrokeAndFillOn(rec);
  // The fill-only layer covers the inner half of the doubled stroke.
  if (s.Fukuromoji) path.FillOn(rec);
  rec.SelectObject(oldPen);
  rec.DeleteObject(pen);
}

void RecordPictureUnguarded(MetafilePicture& picture, TPath& path, int32_t width, int32_t height,
                            const ConversionSettings& s) {
  const PictureScale sc{SizeScale(s.Font.Size), static_cast<int64_t>(s.StrokeWidth) * (s.Fukuromoji ? 2 : 1),
                        s.Resolution};
  // The margin is added after the truncation, as a whole number.
  picture.FrameWidth = Checked32(Trunc32(sc.S(width)) + 3 * sc.W);
  picture.FrameHeight = Checked32(Trunc32(sc.S(height)) + 3 * sc.W);
  ScalePath(path, sc);

  EmfRecorder rec(picture.FrameWidth, picture.FrameHeight);
  // About 16 bytes a point and 8 a figure, once for each layer.
  rec.Reserve(1024 + static_cast<size_t>(std::max(path.Count(), 0)) * 20 * (s.Fukuromoji ? 2 : 1));
  try {
    Record(rec, path, sc, s);
  } catch (...) {
    // The picture keeps the records made so far.
    try {
      picture.Bytes = rec.Close();
    } catch (...) {}
    throw;
  }
  picture.Bytes = rec.Close();
  // The frame as the header holds it: right - left, bottom - top.
  const EmfReader reader(picture.Bytes);
  const EmfRecord& header = reader.Header();
  picture.FrameWidth = header.I32(EmfHeaderAt::Frame + 8) - header.I32(EmfHeaderAt::Frame);
  picture.FrameHeight = header.I32(EmfHeaderAt::Frame + 12) - header.I32(EmfHeaderAt::Frame + 4);
}

}  // namespace

void RecordPicture(MetafilePicture& picture, TPath& path, int32_t width, int32_t height, const ConversionSettings& s) {
  try {
    RecordPictureUnguarded(picture, path, width, height, s);
  } catch (const std::bad_alloc&) {
    throw EOutOfResources();
  } catch (const std::length_error&) {
    throw EOutOfResources();
  }
}

void BuildMetafile(MetafilePicture& picture, const ConversionSettings& s, int screenPpi) {
  TPath path;
  int32_t width = 0, height = 0;
  CaptureTextPath(s.Text, s.Font, s.Resolution, screenPpi, path, width, height);
  RecordPicture(picture, path, width, height, s);
}

}  // namespace glyphor
