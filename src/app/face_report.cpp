#include "app/face_report.h"

#include "core/outline/layout.h"
#include "core/platform/errors.h"
#include "core/text/ascii_case.h"

namespace glyphor {

namespace {

// Face names as people write them: "IPA PGothic" is "IPAPGothic".
std::string Squeezed(const std::string& name) {
  std::string out;
  for (char c : name)
    if (c != ' ') out += LowerAscii(c);
  return out;
}

}  // namespace

// The primary face only, as the font run names it: the characters that other
// faces stand in for are not told apart yet.
std::vector<FaceNote> DescribeFaces(const ConversionSettings& s) {
  // The size does not change which face serves.
  const FontRun run(s.Font, 100);
  const std::string family = run.FamilyName();
  std::vector<FaceNote> notes{{FormatMessage("フォント %s: %s", {s.Font.Name, family}), false}};
  if (Squeezed(family) != Squeezed(s.Font.Name))
    notes.push_back({FormatMessage("フォント %s がないため %s で代用しました", {s.Font.Name, family}), true});
  return notes;
}

}  // namespace glyphor
