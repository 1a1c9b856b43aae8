// SPDX-License-Identifier: MIT
// The C entry point of the cut module (cut_module.h).
#include "core/output/cut_module.h"

#include <cstring>
#include <exception>
#include <new>
#include <string_view>
#include <vector>

#include "core/output/cut_geometry.h"
#include "core/output/dxf_writer.h"

namespace {

using namespace glyphor;

// Thrown when the program's sink stops the document; never leaves the module.
struct Stopped {};

class CallbackSink : public ByteSink {
 public:
  explicit CallbackSink(const glyphor_cut_sink& sink) : sink_(sink) {}
  void Write(std::string_view piece) override {
    if (!sink_.write(sink_.context, piece.data(), piece.size())) throw Stopped{};
  }

 private:
  const glyphor_cut_sink& sink_;
};

TPath PathOf(const glyphor_cut_request& r) {
  const size_t count = r.count > 0 ? static_cast<size_t>(r.count) : 0;
  std::vector<TPoint> points(count);
  for (size_t i = 0; i < count; ++i) points[i] = {r.points[i].x, r.points[i].y};
  TPath path;
  path.TakePoints(std::move(points), std::vector<uint8_t>(r.types, r.types + count));
  return path;
}

ConversionSettings SettingsOf(const glyphor_cut_request& r) {
  ConversionSettings s;
  s.Font.Size = r.font_size;
  s.Font.Color = r.fill_color;
  s.StrokeColor = r.stroke_color;
  s.TransparentFill = r.transparent_fill != 0;
  s.Fukuromoji = r.two_layer != 0;
  s.StrokeWidth = r.stroke_width;
  s.LineJoin = r.line_join;
  s.MiterLimit = r.miter_limit;
  s.Resolution = r.resolution;
  s.CutReady = true;
  return s;
}

void Write(const glyphor_cut_request& r, ByteSink& out) {
  const ConversionSettings s = SettingsOf(r);
  TPath path = PathOf(r);
  if (r.format == GLYPHOR_CUT_SVG) return WriteCutSvgDocument(path, r.width, r.height, s, out);
  const std::vector<CutLayer> layers = BuildCutLayers(path, s);
  path = TPath();  // the layers are all the drawing needs
  WriteDxfDocument(layers, PageSize(r.width, r.height, s), out);
}

void Say(char* message, size_t size, const char* text) {
  if (size == 0) return;
  std::strncpy(message, text, size - 1);
  message[size - 1] = '\0';
}

}  // namespace

extern "C" __attribute__((visibility("default"))) int glyphor_cut_write_1(const glyphor_cut_request* request,
                                                                          const glyphor_cut_sink* sink, char* message,
                                                                          size_t message_size) {
  try {
    CallbackSink out(*sink);
    Write(*request, out);
    return GLYPHOR_CUT_OK;
  } catch (const Stopped&) {
    return GLYPHOR_CUT_STOPPED;
  } catch (const std::bad_alloc&) {
    return GLYPHOR_CUT_NO_MEMORY;
  } catch (const std::exception& e) {
    Say(message, message_size, e.what());
  } catch (...) {
    Say(message, message_size, "?");
  }
  return GLYPHOR_CUT_FAILED;
}
