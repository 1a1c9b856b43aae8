// SPDX-License-Identifier: MIT
#include "app/window_loader.h"

#include <cstdio>
#include <cstdlib>

#include <dlfcn.h>

#include "app/display_probe.h"
#include "app/program_modules.h"
#include "app/usage.h"
#include "app/window_module.h"

namespace glyphor {

namespace {

// Why the window module could not be opened.
std::string& WhyNoModule() {
  static std::string why;
  return why;
}

// Opened once and kept: Qt does not like being unloaded.
void* WindowModule() {
  static void* module = OpenProgramModule(GLYPHOR_WINDOW_MODULE, RTLD_NOW, WhyNoModule());
  return module;
}

}  // namespace

int RunWindowModule(int argc, char** argv) {
  if (!DisplayConfigured() && !std::getenv("QT_QPA_PLATFORM")) {
    std::fprintf(stderr, "ウィンドウを表示できません: ディスプレイがありません\n%s\n", kUsageLine);
    return 1;
  }
  void* module = WindowModule();
  auto run = module ? reinterpret_cast<glyphor_window_main_fn>(::dlsym(module, GLYPHOR_WINDOW_MAIN)) : nullptr;
  if (!run) {
    std::fprintf(stderr, "ウィンドウのモジュール %s を読み込めません: %s\n", GLYPHOR_WINDOW_MODULE,
                 module ? "entry point missing" : WhyNoModule().c_str());
    return 1;
  }
  return run(argc, argv);
}

bool ShowMessageBox(const std::string& text, bool error) {
  if (!DisplayConfigured()) return false;
  void* module = WindowModule();
  auto show = module ? reinterpret_cast<glyphor_show_message_fn>(::dlsym(module, GLYPHOR_SHOW_MESSAGE)) : nullptr;
  return show && show(text.c_str(), error ? 1 : 0) != 0;
}

}  // namespace glyphor
