// The SVG document of the current text, in millimetres.
#pragma once

#include <cstdint>
#include <string>

#include "core/outline/path_record.h"
#include "core/platform/errors.h"
#include "core/platform/user_messages.h"
#include "core/settings/settings_model.h"

namespace glyphor {

// N(v): four decimals, halves away from zero after a cut to 18 significant
// digits, always "." as the separator.
std::string FormatNumber(double v);
// The same rule without FormatNumber's fast path for values clear of a half.
std::string FormatNumberExactly(double v);
// "#RRGGBB" from a colour value whose low byte is red; the top byte is ignored.
std::string ColorToHtml(uint32_t color);

// The document for an already captured path (`width`, `height` in path units).
std::string SvgDocument(const TPath& path, int32_t width, int32_t height, const ConversionSettings& s);

// Captures the text of `s` afresh and returns its document.
std::string SvgDocumentFor(const ConversionSettings& s, int screenPpi);

// The error of a document that could not be written to `fileName`, whatever
// failed: EFileError "ファイル %s を作成できません".
EFileError SvgWriteError(const std::string& fileName);

// Captures the text of `s`, writes the document to `fileName` (whole or not at
// all) and, when s.ViewAfterSave is on, opens it in the SVG viewer. Throws
// EFileError "ファイル %s を作成できません" when the file cannot be written.
void WriteSvg(const std::string& fileName, const ConversionSettings& s, int screenPpi, TUserMessages& messages);

}  // namespace glyphor
