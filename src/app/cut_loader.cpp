// SPDX-License-Identifier: MIT
#include "app/cut_loader.h"

#include <algorithm>
#include <exception>
#include <new>
#include <string>
#include <string_view>
#include <system_error>
#include <thread>
#include <vector>

#include <dlfcn.h>

#include "app/program_modules.h"
#include "core/outline/canvas.h"
#include "core/output/cut_module.h"
#include "core/output/cut_writers.h"
#include "core/platform/errors.h"

namespace glyphor {

namespace {

struct CutModule {
  glyphor_cut_write_fn write = nullptr;
  std::string why;  // when `write` is missing
};

// Opened once and kept for the rest of the run. Its functions are bound as
// they are first called: binding all of the shared C++ runtime's at once
// would cost a small conversion a fifth more (1.7 M instructions). What
// lazy binding could leave to fail later is checked at opening all the
// same: every library needed is there, in the versions its symbols name.
const CutModule& Module() {
  static const CutModule module = [] {
    CutModule m;
    void* handle = OpenProgramModule(GLYPHOR_CUT_MODULE, RTLD_LAZY, m.why);
    if (!handle) return m;
    m.write = reinterpret_cast<glyphor_cut_write_fn>(::dlsym(handle, GLYPHOR_CUT_WRITE));
    if (!m.write) {
      const char* error = ::dlerror();
      m.why = error ? error : GLYPHOR_CUT_WRITE;
    }
    return m;
  }();
  return module;
}

glyphor_cut_write_fn Writer() {
  const CutModule& m = Module();
  if (!m.write)
    throw Exception(FormatMessage("カット用のモジュール %s を読み込めません: %s", {GLYPHOR_CUT_MODULE, m.why}));
  return m.write;
}

// The program's side of the module's sink: a piece the sink refuses stops
// the document, and the sink's exception is thrown again here once the
// module has returned (none may pass through the module's frames).
struct SinkContext {
  ByteSink& out;
  std::exception_ptr failure;
};

int TakePiece(void* context, const char* bytes, size_t size) {
  auto& c = *static_cast<SinkContext*>(context);
  try {
    c.out.Write(std::string_view(bytes, size));
    return 1;
  } catch (...) {
    c.failure = std::current_exception();
    return 0;
  }
}

uint8_t PointType(const PathPoint& p) {
  const uint8_t kind = p.Kind == pkLineTo ? PT_LINETO : p.Kind == pkBezierTo ? PT_BEZIERTO : PT_MOVETO;
  return p.CloseFigure ? kind | PT_CLOSEFIGURE : kind;
}

void WriteThroughModule(int32_t format, const TPath& path, int32_t width, int32_t height, const ConversionSettings& s,
                        ByteSink& out) {
  const glyphor_cut_write_fn write = Writer();
  const size_t count = static_cast<size_t>(std::max(path.Count(), 0));
  std::vector<glyphor_cut_point> points(count);
  std::vector<uint8_t> types(count);
  for (size_t i = 0; i < count; ++i) {
    const PathPoint p = path.GetPoint(static_cast<int32_t>(i));
    points[i] = {p.X, p.Y};
    types[i] = PointType(p);
  }
  glyphor_cut_request request{};
  request.format = format;
  request.points = points.data();
  request.types = types.data();
  request.count = static_cast<int32_t>(count);
  request.width = width;
  request.height = height;
  request.font_size = s.Font.Size;
  request.fill_color = s.Font.Color;
  request.stroke_color = s.StrokeColor;
  request.transparent_fill = s.TransparentFill ? 1 : 0;
  request.two_layer = s.Fukuromoji ? 1 : 0;
  request.stroke_width = s.StrokeWidth;
  request.line_join = s.LineJoin;
  request.miter_limit = s.MiterLimit;
  request.resolution = s.Resolution;

  SinkContext context{out, nullptr};
  const glyphor_cut_sink sink{TakePiece, &context};
  char message[512] = "";
  const int status = write(&request, &sink, message, sizeof message);
  if (context.failure) std::rethrow_exception(context.failure);
  switch (status) {
    case GLYPHOR_CUT_OK: return;
    case GLYPHOR_CUT_NO_MEMORY: throw std::bad_alloc();
    default: throw Exception(*message ? message : "カット用の輪郭を作れません");
  }
}

void Svg(const TPath& path, int32_t width, int32_t height, const ConversionSettings& s, ByteSink& out) {
  WriteThroughModule(GLYPHOR_CUT_SVG, path, width, height, s, out);
}

void Dxf(const TPath& path, int32_t width, int32_t height, const ConversionSettings& s, ByteSink& out) {
  WriteThroughModule(GLYPHOR_CUT_DXF, path, width, height, s, out);
}

// The thread that opens the module ahead, started once a run. Joined when
// the module is first needed, or at exit when the run failed before that.
struct Loader {
  std::thread thread;
  bool started = false;
  ~Loader() {
    if (thread.joinable()) thread.join();
  }
};

Loader& ModuleLoader() {
  static Loader loader;
  return loader;
}

}  // namespace

void InstallCutModule() { InstallCutWriters({Svg, Dxf, RequireCutModule}); }

void BeginLoadingCutModule() {
  Loader& loader = ModuleLoader();
  if (loader.started) return;
  loader.started = true;
  try {
    loader.thread = std::thread([] { Module(); });
  } catch (const std::system_error&) {
    // No thread to spare: the module is opened when it is needed.
  }
}

void RequireCutModule() {
  Loader& loader = ModuleLoader();
  if (loader.thread.joinable()) loader.thread.join();
  Writer();
}

}  // namespace glyphor
