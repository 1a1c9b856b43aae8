// SPDX-License-Identifier: MIT
// What each fuzz target does with one input, shared by the libFuzzer targets
// and by the replay of their corpus folders in the ordinary tests: an input
// may make these functions throw the program's own exceptions (the program
// reports those), but must never crash, hang or read outside its buffers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <string>
#include <string_view>

#include <unistd.h>

#include "core/outline/capture.h"
#include "core/output/cut_geometry.h"
#include "core/output/cut_library.h"
#include "core/output/dxf_writer.h"
#include "core/output/metafile_picture.h"
#include "core/output/svg_writer.h"
#include "core/output/wmf_writer.h"
#include "core/platform/errors.h"
#include "core/settings/colors.h"
#include "core/settings/ini_file.h"
#include "core/settings/settings_io.h"
#include "core/settings/settings_model.h"
#include "core/text/int_text.h"

namespace glyphor::fuzz {

// Captures run on inputs cut to this many bytes, so one run stays fast.
inline constexpr size_t MaxCaptureBytes = 2000;

// A fixed file name per process, so parallel fuzzers do not meet.
inline std::string ScratchPath(const char* suffix) {
  return "/tmp/glyphor-fuzz-" + std::to_string(::getpid()) + suffix;
}

inline void WriteScratch(const std::string& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// The bytes as a settings file: accessor reads, the whole load into a model,
// and a save of that model into a second file, which must load again.
inline void SettingsInput(const uint8_t* data, size_t size) {
  const std::string path = ScratchPath(".gly"), copy = ScratchPath("-copy.ini");
  WriteScratch(path, std::string_view(reinterpret_cast<const char*>(data), size));
  ::unlink(copy.c_str());
  {
    TIniFile ini(path);
    ini.ReadString("Font", "FontName", "x");
    ini.ReadInteger("Font", "FontSize", 0);
    ini.ReadBool("SVG", "View", true);
  }
  SettingsModel m;
  try {
    LoadSettings(m, path, "/tmp");
  } catch (const EConvertError&) {
    // A colour key that is no colour: loading stops there, as designed.
  } catch (const EIniFileException&) {
    // Bytes that are no text (a NUL, half a UTF-16 unit): refused, as designed.
    if (!TIniFile(path).Unreadable()) __builtin_trap();
  }
  SaveSettings(m, copy);
  SettingsModel again;
  LoadSettings(again, copy, "/tmp");
  ::unlink(copy.c_str());
  ::unlink(path.c_str());
}

// The bytes as a colour text and as an integer text.
inline void ColorInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  if (const auto n = TextToInt(text)) {
    if (TextToInt(IntToText(*n)) != n) __builtin_trap();
  }
  try {
    const uint32_t color = TextToColor(text);
    if (TextToColor(ColorToText(color)) != color) __builtin_trap();
  } catch (const EConvertError&) {}
}

// The first byte picks the face (bit 7), the two-layer mode (bit 6), the
// join (bits 4-5) and the style bits (bits 0-3); the rest is the text. The
// capture is written as an SVG document, a metafile and a placeable WMF.
inline void CaptureInput(const uint8_t* data, size_t size) {
  if (size == 0) return;
  const uint8_t choice = data[0];
  ConversionSettings s;
  s.Text.assign(reinterpret_cast<const char*>(data + 1), std::min(size - 1, MaxCaptureBytes));
  s.Font.Name = choice & 0x80 ? "IPAPGothic" : "DejaVu Sans";
  s.Font.Size = 72;
  s.Font.Style = choice & 0x0F;
  s.Font.Charset = 0;
  s.Fukuromoji = choice & 0x40;
  s.LineJoin = (choice >> 4) & 3;
  if (s.LineJoin == 3) s.LineJoin = 2;
  s.ViewAfterSave = false;
  TPath path;
  int32_t width = 0, height = 0;
  CaptureTextPath(s.Text, s.Font, s.Resolution, DefaultScreenPpi, path, width, height);
  const std::string svg = SvgDocument(path, width, height, s);
  if (svg.rfind("<?xml", 0) != 0) __builtin_trap();
  // The same outlines welded for cutters, as SVG and as DXF.
  InstallLinkedCutWriters();
  ConversionSettings cut = s;
  cut.CutReady = true;
  if (SvgDocument(path, width, height, cut).find("</svg>") == std::string::npos) __builtin_trap();
  if (!DxfDocument(BuildCutLayers(path, s), PageSize(width, height, s)).ends_with("EOF\r\n")) __builtin_trap();
  MetafilePicture picture;
  RecordPicture(picture, path, width, height, s);
  try {
    ConvertToPlaceableWmf(picture);
  } catch (const EOutOfResources&) {
    // Too wide for the 16-bit coordinates of a WMF.
  }
}

// The bytes as an enhanced metafile for the WMF conversion, framed 100 mm
// square.
inline void WmfInput(const uint8_t* data, size_t size) {
  MetafilePicture picture;
  picture.Bytes.assign(data, data + size);
  picture.FrameWidth = picture.FrameHeight = 10000;
  try {
    ConvertToPlaceableWmf(picture);
  } catch (const EOutOfResources&) {}
}

}  // namespace glyphor::fuzz
