// SPDX-License-Identifier: MIT
#include "core/output/svg_writer.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/output/cut_writers.h"

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

using uint128 = unsigned __int128;

// 10^0 to 10^19, all that 64 bits hold.
constexpr auto kPowersOf10 = [] {
  std::array<uint64_t, 20> powers{};
  uint64_t p = 1;
  for (uint64_t& power : powers) {
    power = p;
    p *= 10;
  }
  return powers;
}();

// Decimal digits of n, none for 0: log10(2) is about 1233 / 4096.
int DigitCount(uint64_t n) {
  const int guess = (std::bit_width(n) * 1233) >> 12;
  return guess + (n >= kPowersOf10[guess] ? 1 : 0);
}

// |v| x 10^4 rounded by the rule of N, in integers; false for the values left
// to the exact rule (not finite, or 1e9 and beyond).
//
// Below 1e9 a double is m / 2^k exactly, with m < 2^53 and k at least 23, so
// |v| x 10^4 = m x 625 / 2^(k-4), a 63-bit numerator over a power of two: it
// splits into a whole part w and a remainder without error. At or above the
// half, the 18-digit string is at or above it too (the half has 14 digits at
// most) and rounds up. Below it, the string rounds up only when the cut to 18
// digits lands on the half itself: when the distance to it is at most half a
// unit of the 18th digit, 5 x 10^(E-18) for a value of exponent E, which is
// never more than 29 of the 2^-(k-4) steps. (No double lies exactly half a
// unit below a half, so how a tie would go does not arise.)
bool ScaledMagnitude(double v, uint64_t& scaled) {
  const double a = std::fabs(v);
  if (!(a < 1e9)) return false;
  const uint64_t bits = std::bit_cast<uint64_t>(a);
  const int biased = static_cast<int>(bits >> 52);
  const int shift = 1071 - biased;  // k - 4; at least 19
  // Below 2^62.3 / 2^64 (and for the subnormal values): far from a half.
  if (biased == 0 || shift >= 64) {
    scaled = 0;
    return true;
  }
  const uint64_t t = ((bits & ((uint64_t{1} << 52) - 1)) | (uint64_t{1} << 52)) * 625;
  const uint64_t whole = t >> shift;  // below 10^13
  const uint64_t remainder = t & ((uint64_t{1} << shift) - 1);
  const uint64_t half = uint64_t{1} << (shift - 1);
  if (remainder >= half) {
    scaled = whole + 1;
    return true;
  }
  const uint64_t below = half - remainder;
  // E = digits of w - 5 (w = 0 below a half means a value near 0.00005, E = -5):
  // below / 2^shift <= 5 x 10^(E-14) <=> below x 10^(19 - digits) <= 5 x 2^shift.
  scaled = whole + (below <= 32 && static_cast<uint128>(below) * kPowersOf10[19 - DigitCount(whole)] <=
                                       static_cast<uint128>(5) << shift
                        ? 1
                        : 0);
  return true;
}

// "0000" to "9999": a number's text is copied four digits at a time.
constexpr auto kFourDigits = [] {
  std::array<char, 4 * 10000> digits{};
  for (int i = 0; i < 10000; ++i) {
    digits[4 * i] = static_cast<char>('0' + i / 1000);
    digits[4 * i + 1] = static_cast<char>('0' + i / 100 % 10);
    digits[4 * i + 2] = static_cast<char>('0' + i / 10 % 10);
    digits[4 * i + 3] = static_cast<char>('0' + i % 10);
  }
  return digits;
}();

// The longest text PutNumber writes: "-", 13 digits, ".", 4 decimals; it may
// write up to 3 characters beyond the end it returns.
constexpr size_t kMaxNumberChars = 19;
constexpr size_t kNumberRoom = kMaxNumberChars + 3;

// Writes m (below 10^4) as four digits at p; returns the end.
char* PutFourDigits(char* p, uint32_t m) {
  std::memcpy(p, kFourDigits.data() + 4 * m, 4);
  return p + 4;
}

// Writes m (below 10^4) without leading zeros at p, and up to 3 characters
// beyond the end it returns.
char* PutUpToFourDigits(char* p, uint32_t m) {
  const int digits = m < 10 ? 1 : m < 100 ? 2 : m < 1000 ? 3 : 4;
  std::memcpy(p, kFourDigits.data() + 4 * m + 4 - digits, 4);
  return p + digits;
}

// Writes a magnitude in ten-thousandths below 10^16, "-" first when asked
// and not zero, at `p`: "-"? digits "." four digits; returns the end. May
// write up to 3 characters beyond it.
char* PutTenThousandths(char* p, uint64_t scaled, bool negative) {
  if (negative && scaled != 0) *p++ = '-';
  const uint64_t whole = scaled / 10000;
  if (whole < 10000) {
    p = PutUpToFourDigits(p, static_cast<uint32_t>(whole));
  } else if (whole < 100000000) {
    p = PutFourDigits(PutUpToFourDigits(p, static_cast<uint32_t>(whole / 10000)), static_cast<uint32_t>(whole % 10000));
  } else {
    p = PutUpToFourDigits(p, static_cast<uint32_t>(whole / 100000000));
    p = PutFourDigits(PutFourDigits(p, static_cast<uint32_t>(whole / 10000 % 10000)),
                      static_cast<uint32_t>(whole % 10000));
  }
  *p = '.';
  return PutFourDigits(p + 1, static_cast<uint32_t>(scaled % 10000));
}

// Writes N(v) at `p` and returns its end, or nullptr (writing nothing) for a
// value left to FormatNumberExactly.
char* PutNumber(char* p, double v) {
  uint64_t scaled;
  if (!ScaledMagnitude(v, scaled)) return nullptr;  // whole part at most 10^9
  return PutTenThousandths(p, scaled, v < 0);
}

}  // namespace

char* WriteTenThousandths(char* at, int64_t units) {
  const uint64_t a = units < 0 ? 0 - static_cast<uint64_t>(units) : static_cast<uint64_t>(units);
  if (a < 10000000000000000) return PutTenThousandths(at, a, units < 0);
  // Beyond the table's reach (only an absurd size gets there): digit by digit.
  char digits[MaxTenThousandthsChars];
  char* p = digits + sizeof digits;
  uint64_t rest = a;
  for (int i = 0; i < 4; ++i, rest /= 10) *--p = static_cast<char>('0' + rest % 10);
  *--p = '.';
  do {
    *--p = static_cast<char>('0' + rest % 10);
    rest /= 10;
  } while (rest);
  if (units < 0) *--p = '-';
  const size_t n = static_cast<size_t>(digits + sizeof digits - p);
  std::memcpy(at, p, n);
  return at + n;
}

namespace {

void AppendNumber(std::string& out, double v) {
  char buf[kNumberRoom];
  if (const char* end = PutNumber(buf, v))
    out.append(buf, static_cast<size_t>(end - buf));
  else
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

// The document text as it grows. Room is made ahead and the text written
// through a pointer: a path point costs two numbers and a few characters, and
// appending them one by one would cost more than formatting them. With a sink,
// the text is handed on in pieces of about kPiece bytes.
class DocumentText {
 public:
  static constexpr size_t kPiece = 64 * 1024;

  explicit DocumentText(SvgSink* sink) : sink_(sink) {}

  void Reserve(size_t bytes) { text_.reserve(sink_ ? kPiece + 4096 : bytes); }

  // Room for `n` more characters at the end; Commit says how far they were
  // used. The string grows in small steps within its reservation: each step
  // clears what it adds, and small clearings are the cheap ones.
  char* Room(size_t n) {
    if (used_ + n > text_.size()) text_.resize(std::max(std::min(text_.capacity(), text_.size() + 1024), used_ + n));
    return text_.data() + used_;
  }
  void Commit(const char* end) { used_ = static_cast<size_t>(end - text_.data()); }

  void Put(std::string_view s) {
    char* p = Room(s.size());
    std::memcpy(p, s.data(), s.size());
    Commit(p + s.size());
  }
  void Number(double v) {
    char* p = Room(kNumberRoom);
    if (char* end = PutNumber(p, v))
      Commit(end);
    else
      Put(FormatNumberExactly(v));
  }

  // Appends a copy of the `n` characters from `from`.
  void Repeat(size_t from, size_t n) {
    text_.resize(used_);  // the room made ahead goes: the copy needs none cleared
    text_.append(text_, from, n);
    used_ = text_.size();
  }

  size_t Size() const { return used_; }
  char Back() const { return text_[used_ - 1]; }
  void PopBack() { --used_; }
  std::string_view Tail(size_t from) const { return {text_.data() + from, used_ - from}; }

  // Whether the text has grown to a piece that goes to the sink.
  bool Full() const { return sink_ && used_ >= kPiece; }
  void MaybeFlush() {
    if (Full()) Flush();
  }
  void Flush() {
    if (sink_ && used_ > 0) sink_->Write(Tail(0));
    handedOn_ += used_;
    used_ = 0;
  }

  // Characters so far, those handed on included.
  uint64_t Position() const { return handedOn_ + used_; }
  // Appends `n` characters from `from` that went to the sink, read back by
  // the sink; false, with nothing written, where it cannot.
  bool WriteAgain(uint64_t from, uint64_t n) {
    if (!sink_) return false;
    Flush();
    if (!sink_->WriteAgain(from, n)) return false;
    handedOn_ += n;
    return true;
  }

  std::string Take() {
    text_.resize(used_);
    return std::move(text_);
  }

 private:
  SvgSink* sink_;
  std::string text_;
  size_t used_ = 0;
  uint64_t handedOn_ = 0;
};

// Characters a point takes at most in the path data, for numbers of at most
// `numberChars` characters: "C", two numbers with their blanks, "z\r\n".
size_t PointChars(size_t numberChars) { return 1 + 2 * (numberChars + 1) + 3; }

// The data text of the first layer, kept for the second while its pieces go
// to the sink. Only so much: a long text's data is read back from the sink,
// or formatted again where it cannot be, so that a streamed document's
// memory does not grow with the text.
struct KeptData {
  static constexpr size_t kMax = 1 << 20;
  std::string text;
  bool tooLong = false;
  void Append(std::string_view piece) {
    if (tooLong) return;
    if (text.size() + piece.size() > kMax) {
      tooLong = true;
      std::string().swap(text);
      return;
    }
    text.append(piece);
  }
};

// The path data of `path`, appended to `out`, with the trailing blanks and
// line breaks cut. When `kept` is given and pieces of the data go to the sink
// on the way, the data text is also left in `kept`, to be written again.
void PathData(DocumentText& out, const TPath& path, const Scale& sc, KeptData* kept) {
  size_t start = out.Size();
  bool flushed = false;
  int bezier = 0;
  for (int32_t i = 0; i < path.Count(); ++i) {
    const PathPoint p = path.GetPoint(i);
    if (out.Full()) {
      if (kept) kept->Append(out.Tail(start));
      out.Flush();
      start = 0;
      flushed = true;
    }
    char* at = out.Room(PointChars(kNumberRoom));
    switch (p.Kind) {
      case pkMoveTo: *at++ = 'M'; break;
      case pkLineTo: *at++ = 'L'; break;
      case pkBezierTo:
        if (bezier == 3) bezier = 0;
        ++bezier;
        if (bezier == 1) *at++ = 'C';
        break;
    }
    const double x = sc.X(p.X), y = sc.X(p.Y);
    char* end = PutNumber(at, x);
    if (end) {
      *end++ = ' ';
      end = PutNumber(end, y);
    }
    if (end) {
      *end++ = ' ';
      out.Commit(end);
    } else {
      // A coordinate beyond the integer formatting: the exact rule's text.
      out.Commit(at);
      out.Number(x);
      out.Put(" ");
      out.Number(y);
      out.Put(" ");
    }
    if (p.CloseFigure) {
      out.Put("z\r\n");
      bezier = 0;
    }
  }
  // The trailing blanks all belong to the last point, which is never flushed.
  while (out.Size() > start && static_cast<unsigned char>(out.Back()) <= 32) out.PopBack();
  if (kept && flushed) kept->Append(out.Tail(start));
}

std::string Style(const std::string& fill, const std::string& stroke, double width, const ConversionSettings& s) {
  return "<path style=\"fill:" + fill + "; stroke:" + stroke + "; stroke-width:" + FormatNumber(width) +
         "; stroke-linejoin:" + JoinName(s.LineJoin) + "; stroke-miterlimit:" + std::to_string(s.MiterLimit) +
         "\" d=\"";
}

// A generous estimate of the document's length, so that it is made in one
// allocation: the numbers are no longer than the page's largest side.
size_t EstimatedChars(const TPath& path, double w, double h, bool twoLayers) {
  const double side = std::max({std::fabs(w), std::fabs(h), 1.0});
  const size_t numberChars = side < 1e9 ? static_cast<size_t>(std::log10(side)) + 7 : kMaxNumberChars;
  const size_t points = static_cast<size_t>(std::max(path.Count(), 0));
  return 1024 + (twoLayers ? 2 : 1) * points * (PointChars(numberChars) - 2);
}

void GenerateDocument(const TPath& path, int32_t width, int32_t height, const ConversionSettings& s,
                      DocumentText& out) {
  Scale sc;
  sc.q = SizeScale(s.Font.Size);
  sc.r = s.StrokeWidth / 100.0 * (s.Fukuromoji ? 2 : 1);
  sc.resolution = s.Resolution > 0 ? s.Resolution : MinResolution;
  const double w = width * 25.4 * sc.q / sc.resolution + sc.r * 3;
  const double h = height * 25.4 * sc.q / sc.resolution + sc.r * 3;
  const std::string fill = s.TransparentFill ? "none" : ColorToHtml(s.Font.Color);
  out.Reserve(EstimatedChars(path, w, h, s.Fukuromoji));

  out.Put("<?xml version=\"1.0\" standalone=\"yes\"?>\r\n");
  // The namespace is needed by browsers, which otherwise show an XML tree.
  out.Put("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + FormatNumber(w) + "mm\" height=\"" + FormatNumber(h) +
          "mm\" viewBox=\"0 0 " + FormatNumber(w) + " " + FormatNumber(h) + "\">\r\n");
  out.Put(Style(fill, ColorToHtml(s.StrokeColor), sc.r, s));
  const size_t dataStart = out.Size();
  const uint64_t dataFrom = out.Position();
  KeptData kept;  // the data text, when pieces of it have gone to the sink
  PathData(out, path, sc, s.Fukuromoji ? &kept : nullptr);
  const size_t dataChars = out.Size() - dataStart;  // when all of it is still here
  const uint64_t dataLength = out.Position() - dataFrom;
  out.Put("\"/>\r\n");
  if (s.Fukuromoji) {
    // The fill-only layer has the same data: written again, not formatted again.
    out.Put(Style(fill, "none", 0, s));
    if (kept.tooLong) {
      if (!out.WriteAgain(dataFrom, dataLength)) PathData(out, path, sc, nullptr);
    } else if (kept.text.empty()) {
      out.Repeat(dataStart, dataChars);
    } else {
      for (size_t at = 0; at < kept.text.size(); at += DocumentText::kPiece) {
        out.MaybeFlush();
        out.Put(std::string_view(kept.text).substr(at, DocumentText::kPiece));
      }
    }
    out.Put("\"/>\r\n");
  }
  out.Put("</svg>\r\n");
}

}  // namespace

void WriteSvgDocument(const TPath& path, int32_t width, int32_t height, const ConversionSettings& s, SvgSink& out) {
  if (s.CutReady) return WriteCutReadySvg(path, width, height, s, out);
  DocumentText text(&out);
  GenerateDocument(path, width, height, s, text);
  text.Flush();
}

std::string SvgDocument(const TPath& path, int32_t width, int32_t height, const ConversionSettings& s) {
  if (s.CutReady) return CutReadySvgDocument(path, width, height, s);
  DocumentText text(nullptr);
  GenerateDocument(path, width, height, s, text);
  return text.Take();
}

}  // namespace glyphor
