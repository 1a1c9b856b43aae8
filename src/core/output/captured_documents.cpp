// SPDX-License-Identifier: MIT
// The documents of a text captured afresh, and the SVG file. Kept apart
// from the writers, whose number texts the cut module shares without
// carrying the capture and the file handling.
#include <climits>
#include <cstdlib>

#include "core/outline/capture.h"
#include "core/output/cut_writers.h"
#include "core/output/svg_writer.h"
#include "core/platform/atomic_file.h"
#include "core/platform/errors.h"
#include "core/platform/viewer.h"

namespace glyphor {

std::string SvgDocumentFor(const ConversionSettings& s, int screenPpi) {
  TPath path;
  int32_t width = 0, height = 0;
  CaptureTextPath(s.Text, s.Font, s.Resolution, screenPpi, path, width, height);
  return SvgDocument(path, width, height, s);
}

std::string DxfDocumentFor(const ConversionSettings& s, int screenPpi) {
  TPath path;
  int32_t width = 0, height = 0;
  CaptureTextPath(s.Text, s.Font, s.Resolution, screenPpi, path, width, height);
  return CutReadyDxfDocument(path, width, height, s);
}

EFileError SvgWriteError(const std::string& fileName) {
  return EFileError(FormatMessage("ファイル %s を作成できません", {fileName}));
}

void WriteSvg(const std::string& fileName, const ConversionSettings& s, int screenPpi, TUserMessages& messages) {
  // Captured before the file is begun: a text that cannot be captured touches no file.
  TPath path;
  int32_t width = 0, height = 0;
  CaptureTextPath(s.Text, s.Font, s.Resolution, screenPpi, path, width, height);
  if (s.CutReady) PrepareCutWriters();
  const auto document = [&](ByteSink& out) { WriteSvgDocument(path, width, height, s, out); };
  if (WriteFileAtomically(fileName, document) != WriteResult::Ok) throw SvgWriteError(fileName);
  if (!s.ViewAfterSave) return;
  char full[PATH_MAX];
  LaunchViewer(::realpath(fileName.c_str(), full) ? std::string(full) : fileName, messages);
}

}  // namespace glyphor
