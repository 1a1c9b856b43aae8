// SPDX-License-Identifier: MIT
#include "core/output/dxf_writer.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <string_view>

#include "core/platform/byte_sink.h"

namespace glyphor {

namespace {

struct Rgb {
  int r, g, b;
};

// The standard palette: nine named colours, 24 hues in five shades, full
// and pale, and six greys.
std::array<Rgb, 256> AciPalette() {
  std::array<Rgb, 256> p{};
  const Rgb named[10] = {{0, 0, 0},   {255, 0, 0},   {255, 255, 0}, {0, 255, 0},     {0, 255, 255},
                         {0, 0, 255}, {255, 0, 255}, {0, 0, 0},     {128, 128, 128}, {192, 192, 192}};
  for (int i = 0; i < 10; ++i) p[i] = named[i];
  const double shade[5] = {1.0, 0.8, 0.6, 0.5, 0.3};
  for (int i = 10; i < 250; ++i) {
    const double hue = (i - 10) / 10 * 15 / 60.0;  // in sixths of the circle
    auto channel = [&](double offset) {
      const double x = std::fmod(hue + offset, 6.0);
      const double full = x < 1 ? 1 : x < 2 ? 2 - x : x < 4 ? 0 : x < 5 ? x - 4 : 1;
      const double pale = (i % 2) ? 0.5 + full / 2 : full;
      return static_cast<int>(255 * pale * shade[(i % 10) / 2]);
    };
    p[i] = {channel(0), channel(4), channel(2)};
  }
  const int greys[6] = {51, 80, 105, 130, 190, 255};
  for (int i = 0; i < 6; ++i) p[250 + i] = {greys[i], greys[i], greys[i]};
  return p;
}

void Group(std::string& out, int code, const std::string& value) {
  char head[8];
  std::snprintf(head, sizeof head, "%3d", code);
  out += head;
  out += "\r\n";
  out += value;
  out += "\r\n";
}

std::string Mm(int64_t units) {
  std::string s;
  AppendMillimetres(s, units);
  return s;
}

void Point(std::string& out, int64_t x, int64_t y) {
  Group(out, 10, Mm(x));
  Group(out, 20, Mm(y));
  Group(out, 30, "0.0");
}

void Header(std::string& out, const CutPage& page) {
  Group(out, 0, "SECTION");
  Group(out, 2, "HEADER");
  Group(out, 9, "$ACADVER");
  Group(out, 1, "AC1009");
  Group(out, 9, "$INSUNITS");
  Group(out, 70, "4");
  Group(out, 9, "$EXTMIN");
  Point(out, 0, 0);
  Group(out, 9, "$EXTMAX");
  Point(out, std::llround(page.Width * CutUnitsPerMm), std::llround(page.Height * CutUnitsPerMm));
  Group(out, 0, "ENDSEC");
}

void Tables(std::string& out, const std::vector<CutLayer>& layers) {
  Group(out, 0, "SECTION");
  Group(out, 2, "TABLES");
  Group(out, 0, "TABLE");
  Group(out, 2, "LTYPE");
  Group(out, 70, "1");
  Group(out, 0, "LTYPE");
  Group(out, 2, "CONTINUOUS");
  Group(out, 70, "0");
  Group(out, 3, "Solid line");
  Group(out, 72, "65");
  Group(out, 73, "0");
  Group(out, 40, "0.0");
  Group(out, 0, "ENDTAB");
  Group(out, 0, "TABLE");
  Group(out, 2, "LAYER");
  Group(out, 70, std::to_string(layers.size()));
  for (const CutLayer& layer : layers) {
    Group(out, 0, "LAYER");
    Group(out, 2, layer.Role);
    Group(out, 70, "0");
    Group(out, 62, std::to_string(NearestAci(layer.Color)));
    Group(out, 6, "CONTINUOUS");
  }
  Group(out, 0, "ENDTAB");
  Group(out, 0, "ENDSEC");
}

// The document's text as it grows; with a sink, handed on in pieces of about
// kPiece bytes, so that a long text's drawing is never held whole.
class DxfText {
 public:
  static constexpr size_t kPiece = 64 * 1024;

  DxfText(ByteSink* sink, size_t points) : sink_(sink) { text.reserve(sink ? kPiece + 4096 : 1024 + points * 72); }
  void MaybeFlush() {
    if (sink_ && text.size() >= kPiece) Flush();
  }
  void Flush() {
    if (sink_ && !text.empty()) sink_->Write(text);
    text.clear();
  }

  std::string text;

 private:
  ByteSink* sink_;
};

// A closed polyline, y flipped about the page's height. The vertices, tens
// of thousands a drawing, are written straight into a buffer.
void Polyline(DxfText& text, const std::string& layer, const CutContour& c, int64_t top) {
  std::string& out = text.text;
  Group(out, 0, "POLYLINE");
  Group(out, 8, layer);
  Group(out, 66, "1");
  Point(out, 0, 0);
  Group(out, 70, "1");
  const std::string head = "  0\r\nVERTEX\r\n  8\r\n" + layer + "\r\n 10\r\n";
  constexpr std::string_view middle = "\r\n 20\r\n", tail = "\r\n 30\r\n0.0\r\n";
  std::vector<char> buf(head.size() + middle.size() + tail.size() + 2 * MaxMillimetresChars);
  for (const CutPoint& p : c) {
    char* at = std::copy(head.begin(), head.end(), buf.data());
    at = WriteMillimetres(at, p.X);
    at = std::copy(middle.begin(), middle.end(), at);
    at = WriteMillimetres(at, top - p.Y);
    at = std::copy(tail.begin(), tail.end(), at);
    out.append(buf.data(), at);
    text.MaybeFlush();
  }
  Group(out, 0, "SEQEND");
  Group(out, 8, layer);
}

}  // namespace

int NearestAci(uint32_t color) {
  static const std::array<Rgb, 256> palette = AciPalette();
  const Rgb c{static_cast<int>(color & 0xFF), static_cast<int>((color >> 8) & 0xFF),
              static_cast<int>((color >> 16) & 0xFF)};
  int best = 7, bestDistance = 1 << 30;
  for (int i = 1; i < 256; ++i) {
    const int dr = palette[i].r - c.r, dg = palette[i].g - c.g, db = palette[i].b - c.b;
    const int distance = dr * dr + dg * dg + db * db;
    if (distance < bestDistance) best = i, bestDistance = distance;
  }
  return best;
}

namespace {

size_t PointCount(const std::vector<CutLayer>& layers) {
  size_t points = 0;
  for (const CutLayer& layer : layers)
    for (const CutContour& c : layer.Contours) points += c.size();
  return points;
}

void GenerateDxf(const std::vector<CutLayer>& layers, const CutPage& page, DxfText& text) {
  std::string& out = text.text;
  Header(out, page);
  Tables(out, layers);
  Group(out, 0, "SECTION");
  Group(out, 2, "ENTITIES");
  const int64_t top = std::llround(page.Height * CutUnitsPerMm);
  for (const CutLayer& layer : layers)
    for (const CutContour& c : layer.Contours) Polyline(text, layer.Role, c, top);
  Group(out, 0, "ENDSEC");
  Group(out, 0, "EOF");
}

}  // namespace

std::string DxfDocument(const std::vector<CutLayer>& layers, const CutPage& page) {
  DxfText text(nullptr, PointCount(layers));
  GenerateDxf(layers, page, text);
  return std::move(text.text);
}

void WriteDxfDocument(const std::vector<CutLayer>& layers, const CutPage& page, ByteSink& out) {
  DxfText text(&out, 0);
  GenerateDxf(layers, page, text);
  text.Flush();
}

}  // namespace glyphor
