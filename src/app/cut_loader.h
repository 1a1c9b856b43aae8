// SPDX-License-Identifier: MIT
// The cut module (core/output/cut_module.h): the cut-ready writers, which
// bring Clipper and the shared C++ runtime, opened with dlopen only for a
// conversion that makes a cut-ready SVG or DXF document.
#pragma once

namespace glyphor {

// Installs writers (core/output/cut_writers.h) that hand each cut-ready
// document to the module, opening it the first time. Costs nothing until then.
void InstallCutModule();

// Opens the module now, so that a conversion needing it fails before its
// file is begun. Throws Exception "カット用のモジュール %s を読み込めません: ..."
// when it cannot be opened (on every call: the first try is kept).
void RequireCutModule();

}  // namespace glyphor
