// SPDX-License-Identifier: MIT
#include "app/face_report.h"

#include "core/platform/errors.h"

namespace glyphor {

std::vector<FaceNote> DescribeFaces(const CaptureFaces& faces) {
  std::vector<FaceNote> notes{
      {FormatMessage("フォント %s: %s (%s)", {faces.requested, faces.family, faces.file}), false}};
  if (faces.substituted)
    notes.push_back({FormatMessage("フォント %s がないため %s で代用しました", {faces.requested, faces.family}), true});
  for (const CaptureFaceRun& run : faces.runs) {
    const char* pattern = run.fallback ? "「%s」: %s (%s) 代替" : "「%s」: %s (%s)";
    notes.push_back({FormatMessage(pattern, {run.text, run.family, run.file}), false});
  }
  return notes;
}

FaceRecorder::FaceRecorder() {
  SetCaptureFacesObserver([this](const CaptureFaces& faces) { last_ = faces; });
}

FaceRecorder::~FaceRecorder() { SetCaptureFacesObserver({}); }

}  // namespace glyphor
