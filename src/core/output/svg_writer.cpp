#include "core/output/svg_writer.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "core/outline/capture.h"
#include "core/output/cut_geometry.h"
#include "core/platform/atomic_file.h"
#include "core/platform/errors.h"
#include "core/platform/viewer.h"

namespace glyphor {

namespace {

const char* const LineJoinNames[3] = {"miter", "round", "bevel"};

// The join name for a join index. The window may select no join at all
// (index -1); that is drawn with round joins, as the metafile picture does.
const char* JoinName(int join) { return join >= 0 && join <= 2 ? LineJoinNames[join] : "round"; }

// Adds one to a string of decimal digits.
void Increment(std::string& digits) {
  for (size_t i = digits.size(); i-- > 0;) {
    if (digits[i] != '9') {
      ++digits[i];
      return;
    }
    digits[i] = '0';
  }
  digits.insert(digits.begin(), '1');
}

}  // namespace

namespace {

// The text of a value already scaled by 10^4 and rounded: "-"? digits "." 4 digits.
std::string FixedFromScaled(std::string scaled, bool negative) {
  const size_t nonzero = scaled.find_first_not_of('0');
  if (nonzero == std::string::npos) return "0.0000";
  scaled.erase(0, nonzero);
  if (scaled.size() < 5) scaled.insert(0, 5 - scaled.size(), '0');
  std::string out = negative ? "-" : "";
  out.append(scaled, 0, scaled.size() - 4);
  out += '.';
  out.append(scaled, scaled.size() - 4, 4);
  return out;
}

}  // namespace

// The exact rule: 18 significant digits (rounded to nearest, ties to even),
// then that decimal string rounded at the fourth decimal, halves away from zero.
std::string FormatNumberExactly(double v) {
  if (!std::isfinite(v)) return "0.0000";
  char buf[64];
  const auto res = std::to_chars(buf, buf + sizeof buf - 1, std::fabs(v), std::chars_format::scientific, 17);
  *res.ptr = '\0';
  std::string digits;
  const char* p = buf;
  for (; *p && *p != 'e'; ++p)
    if (*p >= '0' && *p <= '9') digits += *p;
  const int exponent = *p == 'e' ? std::atoi(p + 1) : 0;

  // Digits whose weight is at least 10^-4.
  const long kept = static_cast<long>(exponent) + 5;
  std::string scaled;  // the value times 10^4, as whole digits
  if (kept <= 0) {
    scaled = (kept == 0 && digits[0] >= '5') ? "1" : "0";
  } else if (kept >= static_cast<long>(digits.size())) {
    scaled = digits + std::string(static_cast<size_t>(kept) - digits.size(), '0');
  } else {
    scaled = digits.substr(0, static_cast<size_t>(kept));
    if (digits[static_cast<size_t>(kept)] >= '5') Increment(scaled);
  }
  return FixedFromScaled(std::move(scaled), v < 0);
}

namespace {

// Appends N(v) to `out` without building temporaries: the writer formats two
// numbers a path point, tens of thousands a document.
void AppendNumber(std::string& out, double v) {
  if (std::isfinite(v)) {
    // Fast path for the values a drawing has: scaled by 10^4 in extended
    // precision, the fraction is known to within 1e-6, so unless it lies next
    // to a half the 18-digit string rounds the same way as the value itself.
    const long double a = std::fabs(static_cast<long double>(v));
    if (a < 1e9L) {
      const long double t = a * 10000.0L;
      const long double whole = std::floor(t);
      const long double frac = t - whole;
      if (std::fabs(frac - 0.5L) > 1e-5L) {
        unsigned long long n = static_cast<unsigned long long>(whole) + (frac > 0.5L ? 1 : 0);
        char digits[32];
        char* p = digits + sizeof digits;
        for (int i = 0; i < 4; ++i, n /= 10) *--p = static_cast<char>('0' + n % 10);
        *--p = '.';
        do {
          *--p = static_cast<char>('0' + n % 10);
          n /= 10;
        } while (n);
        const bool zero = std::all_of(p, digits + sizeof digits, [](char c) { return c == '0' || c == '.'; });
        if (v < 0 && !zero) *--p = '-';
        out.append(p, digits + sizeof digits);
        return;
      }
    }
  }
  out += FormatNumberExactly(v);
}

}  // namespace

std::string FormatNumber(double v) {
  std::string out;
  AppendNumber(out, v);
  return out;
}

std::string ColorToHtml(uint32_t color) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "#%02X%02X%02X", color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF);
  return buf;
}

namespace {

struct Scale {
  double q, r;
  int resolution;
  double X(double v) const { return v * 25.4 * q / resolution + r * 1.5; }
};

// One path element: its text up to the opening quote of d, then the points.
std::string PathElement(const std::string& head, const TPath& path, const Scale& sc) {
  std::string e = head;
  e.reserve(head.size() + 20 * static_cast<size_t>(std::max(path.Count(), 0)));
  int bezier = 0;
  for (int32_t i = 0; i < path.Count(); ++i) {
    const PathPoint p = path.GetPoint(i);
    switch (p.Kind) {
      case pkMoveTo: e += 'M'; break;
      case pkLineTo: e += 'L'; break;
      case pkBezierTo:
        if (bezier == 3) bezier = 0;
        ++bezier;
        if (bezier == 1) e += 'C';
        break;
    }
    AppendNumber(e, sc.X(p.X));
    e += ' ';
    AppendNumber(e, sc.X(p.Y));
    e += ' ';
    if (p.CloseFigure) {
      e += "z\r\n";
      bezier = 0;
    }
  }
  while (!e.empty() && static_cast<unsigned char>(e.back()) <= 32) e.pop_back();
  return e + "\"/>";
}

std::string Style(const std::string& fill, const std::string& stroke, double width, const ConversionSettings& s) {
  return "<path style=\"fill:" + fill + "; stroke:" + stroke + "; stroke-width:" + FormatNumber(width) +
         "; stroke-linejoin:" + JoinName(s.LineJoin) + "; stroke-miterlimit:" + std::to_string(s.MiterLimit) +
         "\" d=\"";
}

}  // namespace

std::string SvgDocument(const TPath& path, int32_t width, int32_t height, const ConversionSettings& s) {
  if (s.CutReady) return CutSvgDocument(path, width, height, s);
  Scale sc;
  sc.q = SizeScale(s.Font.Size);
  sc.r = s.StrokeWidth / 100.0 * (s.Fukuromoji ? 2 : 1);
  sc.resolution = s.Resolution > 0 ? s.Resolution : MinResolution;
  const double w = width * 25.4 * sc.q / sc.resolution + sc.r * 3;
  const double h = height * 25.4 * sc.q / sc.resolution + sc.r * 3;
  const std::string fill = s.TransparentFill ? "none" : ColorToHtml(s.Font.Color);

  std::string doc = "<?xml version=\"1.0\" standalone=\"yes\"?>\r\n";
  // The namespace is needed by browsers, which otherwise show an XML tree.
  doc += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + FormatNumber(w) + "mm\" height=\"" + FormatNumber(h) +
         "mm\" viewBox=\"0 0 " + FormatNumber(w) + " " + FormatNumber(h) + "\">\r\n";
  doc += PathElement(Style(fill, ColorToHtml(s.StrokeColor), sc.r, s), path, sc) + "\r\n";
  if (s.Fukuromoji) doc += PathElement(Style(fill, "none", 0, s), path, sc) + "\r\n";
  doc += "</svg>\r\n";
  return doc;
}

std::string SvgDocumentFor(const ConversionSettings& s, int screenPpi) {
  TPath path;
  int32_t width = 0, height = 0;
  CaptureTextPath(s.Text, s.Font, s.Resolution, screenPpi, path, width, height);
  return SvgDocument(path, width, height, s);
}

EFileError SvgWriteError(const std::string& fileName) {
  return EFileError(FormatMessage("ファイル %s を作成できません", {fileName}));
}

void WriteSvg(const std::string& fileName, const ConversionSettings& s, int screenPpi, TUserMessages& messages) {
  if (WriteFileAtomically(fileName, SvgDocumentFor(s, screenPpi)) != WriteResult::Ok) throw SvgWriteError(fileName);
  if (!s.ViewAfterSave) return;
  char full[PATH_MAX];
  LaunchViewer(::realpath(fileName.c_str(), full) ? std::string(full) : fileName, messages);
}

}  // namespace glyphor
