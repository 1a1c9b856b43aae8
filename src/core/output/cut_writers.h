// SPDX-License-Identifier: MIT
// Cut-ready documents (welded regions for cutters, as SVG or DXF) are made
// by code that not every program carries: it welds with Clipper, a C++
// shared library that brings the shared C++ runtime along. A program able to
// make them installs its writers here at start; the SVG writer and the
// conversions reach them through these functions.
#pragma once

#include <cstdint>
#include <string>

#include "core/outline/path_record.h"
#include "core/platform/byte_sink.h"
#include "core/platform/errors.h"
#include "core/settings/settings_model.h"

namespace glyphor {

// Each writes a document of a captured path (`width`, `height` in path
// units, as SvgDocument takes them) to `out`. Failure: the program's own
// exceptions, std::bad_alloc; exceptions from `out` pass through.
struct CutWriters {
  // The cut-ready SVG document: the regions welded first, the text then
  // handed on in pieces of about 64 KiB.
  void (*svg)(const TPath& path, int32_t width, int32_t height, const ConversionSettings& s, ByteSink& out) = nullptr;
  // The DXF document of the cut-ready layers, whatever s.CutReady says (a
  // cutter follows no strokes): the layers welded first, the text then
  // handed on in pieces of about 64 KiB as it is made.
  void (*dxf)(const TPath& path, int32_t width, int32_t height, const ConversionSettings& s, ByteSink& out) = nullptr;
  // Where given: waits until the writers can work, or throws why they
  // cannot. Called before a file is begun, so that such a failure touches none.
  void (*ready)() = nullptr;
};

// Replaces the installed writers; a program does it once, before it makes
// documents.
void InstallCutWriters(const CutWriters& writers);

// Thrown for a cut-ready document when no writers are installed.
class ENoCutWriters : public Exception {
 public:
  ENoCutWriters() : Exception("このプログラムではカット用の輪郭を作れません") {}
};

// Returns once the installed writers can make a document; throws
// ENoCutWriters when none are installed, or what their `ready` throws.
void PrepareCutWriters();

// The documents, made by the installed writers.
void WriteCutReadySvg(const TPath& path, int32_t width, int32_t height, const ConversionSettings& s, ByteSink& out);
void WriteCutReadyDxf(const TPath& path, int32_t width, int32_t height, const ConversionSettings& s, ByteSink& out);
// The same, whole.
std::string CutReadySvgDocument(const TPath& path, int32_t width, int32_t height, const ConversionSettings& s);
std::string CutReadyDxfDocument(const TPath& path, int32_t width, int32_t height, const ConversionSettings& s);

// Captures the text of `s` afresh and returns its DXF document.
std::string DxfDocumentFor(const ConversionSettings& s, int screenPpi);

}  // namespace glyphor
