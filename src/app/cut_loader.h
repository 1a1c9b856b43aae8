// SPDX-License-Identifier: MIT
// The cut module (core/output/cut_module.h): the cut-ready writers, which
// bring Clipper and the shared C++ runtime, opened with dlopen only for a
// conversion that makes a cut-ready SVG or DXF document.
#pragma once

namespace glyphor {

// Installs writers (core/output/cut_writers.h) that hand each cut-ready
// document to the module, opening it the first time. Costs nothing until then.
void InstallCutModule();

// Begins opening the module on a thread of its own, so that it loads while
// the text is captured. Nothing fails here; RequireCutModule tells.
void BeginLoadingCutModule();

// Waits for the module, opening it now unless it is being opened, so that a
// conversion needing it fails before its file is begun. Throws Exception
// "カット用のモジュール %s を読み込めません: ..." when it cannot be opened (on
// every call: the first try is kept). Called from the main thread.
void RequireCutModule();

}  // namespace glyphor
