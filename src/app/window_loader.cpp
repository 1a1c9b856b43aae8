#include "app/window_loader.h"

#include <cstdio>
#include <cstdlib>

#include <dlfcn.h>

#include "app/display_probe.h"
#include "app/usage.h"
#include "app/window_module.h"
#include "core/platform/exe_path.h"

namespace glyphor {

namespace {

// Opens the window module beside the executable (build tree) or in the
// installed module folder. Null when it is not there.
void* OpenWindowModule() {
  const std::string dir = ExecutableDir();
  for (const std::string& path :
       {dir + "/" GLYPHOR_WINDOW_MODULE, dir + "/../" GLYPHOR_MODULE_SUBDIR "/" GLYPHOR_WINDOW_MODULE}) {
    if (void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) return handle;
  }
  return nullptr;
}

// Opened once and kept: Qt does not like being unloaded.
void* WindowModule() {
  static void* module = OpenWindowModule();
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
                 module ? "entry point missing" : ::dlerror());
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
