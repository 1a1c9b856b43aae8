// SPDX-License-Identifier: MIT
// The SVG document of the current text, in millimetres.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/outline/path_record.h"
#include "core/platform/byte_sink.h"
#include "core/platform/errors.h"
#include "core/platform/user_messages.h"
#include "core/settings/settings_model.h"

namespace glyphor {

// N(v): four decimals, halves away from zero after a cut to 18 significant
// digits, always "." as the separator.
std::string FormatNumber(double v);
// The same rule by way of the 18-digit decimal string: what FormatNumber's
// integer arithmetic is checked against, and its way for values of 1e9 and more.
std::string FormatNumberExactly(double v);
// Writes a whole number of ten-thousandths as N writes the value: "-"?
// digits "." four digits ("-" only when not zero). `at` must have room for
// MaxTenThousandthsChars characters, of which 3 past the end returned may be
// overwritten. Returns the end.
inline constexpr size_t MaxTenThousandthsChars = 24;
char* WriteTenThousandths(char* at, int64_t units);
// "#RRGGBB" from a colour value whose low byte is red; the top byte is ignored.
std::string ColorToHtml(uint32_t color);

// Receives a document in pieces, in order: joined, they are the document.
using SvgSink = ByteSink;

// The document for an already captured path (`width`, `height` in path units).
std::string SvgDocument(const TPath& path, int32_t width, int32_t height, const ConversionSettings& s);
// The same document handed to `out` in pieces of about 64 KiB as it is made,
// so that a long text's document need not be held whole. In two-layer mode
// the second layer's path data is the first's: kept up to 1 MiB, beyond
// that read back through out.WriteAgain, or formatted again where `out`
// cannot. Exceptions from `out` pass through.
void WriteSvgDocument(const TPath& path, int32_t width, int32_t height, const ConversionSettings& s, SvgSink& out);

// Captures the text of `s` afresh and returns its document.
std::string SvgDocumentFor(const ConversionSettings& s, int screenPpi);

// The error of a document that could not be written to `fileName`, whatever
// failed: EFileError "ファイル %s を作成できません".
EFileError SvgWriteError(const std::string& fileName);

// Captures the text of `s`, writes the document to `fileName` (whole or not at
// all, made piece by piece into the temporary file that replaces it) and,
// when s.ViewAfterSave is on, opens it in the SVG viewer. Throws EFileError
// "ファイル %s を作成できません" when the file cannot be written.
void WriteSvg(const std::string& fileName, const ConversionSettings& s, int screenPpi, TUserMessages& messages);

}  // namespace glyphor
