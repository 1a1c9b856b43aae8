// SPDX-License-Identifier: MIT
#include "core/output/cut_writers.h"

#include <string_view>

namespace glyphor {

namespace {

// Constant-initialized: installing from another file's static initializer
// (a benchmark's) finds it ready.
constinit CutWriters installed;

class StringSink : public ByteSink {
 public:
  void Write(std::string_view piece) override { text.append(piece); }
  std::string text;
};

}  // namespace

void InstallCutWriters(const CutWriters& writers) { installed = writers; }

void PrepareCutWriters() {
  if (!installed.svg || !installed.dxf) throw ENoCutWriters();
  if (installed.ready) installed.ready();
}

void WriteCutReadySvg(const TPath& path, int32_t width, int32_t height, const ConversionSettings& s, ByteSink& out) {
  if (!installed.svg) throw ENoCutWriters();
  installed.svg(path, width, height, s, out);
}

void WriteCutReadyDxf(const TPath& path, int32_t width, int32_t height, const ConversionSettings& s, ByteSink& out) {
  if (!installed.dxf) throw ENoCutWriters();
  installed.dxf(path, width, height, s, out);
}

std::string CutReadySvgDocument(const TPath& path, int32_t width, int32_t height, const ConversionSettings& s) {
  StringSink out;
  WriteCutReadySvg(path, width, height, s, out);
  return std::move(out.text);
}

std::string CutReadyDxfDocument(const TPath& path, int32_t width, int32_t height, const ConversionSettings& s) {
  StringSink out;
  WriteCutReadyDxf(path, width, height, s, out);
  return std::move(out.text);
}

}  // namespace glyphor
