#include "core/batch.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <dlfcn.h>

#include "core/errors.h"
#include "core/exe_path.h"
#include "core/file_names.h"
#include "core/settings_io.h"
#include "core/settings_model.h"
#include "core/special_folders.h"
#include "core/svg_writer.h"
#include "core/window_module.h"

namespace glyphor {

namespace {

constexpr const char* kUsage = "使い方: glyphor [FILE.gly]";

bool HasDisplay() {
  const char* x = std::getenv("DISPLAY");
  const char* wl = std::getenv("WAYLAND_DISPLAY");
  return (x && *x) || (wl && *wl);
}

// Opens the window module beside the executable (build tree) or in the
// installed module folder. Null when it is not there.
void* OpenWindowModule() {
  const std::string dir = ExecutableDir();
  for (const std::string& path : {dir + "/" GLYPHOR_WINDOW_MODULE,
                                  dir + "/../" GLYPHOR_MODULE_SUBDIR "/" GLYPHOR_WINDOW_MODULE}) {
    if (void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) return handle;
  }
  return nullptr;
}

// Batch messages go to standard error, and to a message box as well when a
// display exists; the window module is loaded only then.
class BatchMessages : public TUserMessages {
 public:
  void ShowMessage(const std::string& text) override { Show(text, false); }
  void ShowError(const std::string& text) { Show(text, true); }

 private:
  void Show(const std::string& text, bool error) {
    std::fprintf(stderr, "%s\n", text.c_str());
    if (!HasDisplay()) return;
    if (!module_) module_ = OpenWindowModule();
    if (!module_) return;
    if (auto show = reinterpret_cast<glyphor_show_message_fn>(::dlsym(module_, GLYPHOR_SHOW_MESSAGE)))
      show(text.c_str(), error ? 1 : 0);
  }
  void* module_ = nullptr;  // stays loaded: Qt does not like being unloaded
};

int RunWindow(int argc, char** argv) {
  if (!HasDisplay() && !std::getenv("QT_QPA_PLATFORM")) {
    std::fprintf(stderr, "ウィンドウを表示できません: ディスプレイがありません\n%s\n", kUsage);
    return ExitFailed;
  }
  void* module = OpenWindowModule();
  auto run = module ? reinterpret_cast<glyphor_window_main_fn>(::dlsym(module, GLYPHOR_WINDOW_MAIN)) : nullptr;
  if (!run) {
    std::fprintf(stderr, "ウィンドウのモジュール %s を読み込めません: %s\n", GLYPHOR_WINDOW_MODULE,
                 module ? "entry point missing" : ::dlerror());
    return ExitFailed;
  }
  return run(argc, argv);
}

}  // namespace

std::string BatchOutputPath(const std::string& glyPath) {
  return ReplaceExtension(glyPath, ".svg");
}

int RunBatch(const std::string& glyPath) {
  BatchMessages messages;
  try {
    // No screen is asked for in a batch run: 96 pixels per inch.
    SettingsModel model(DefaultScreenPpi);
    LoadSettings(model, glyPath, GetSpecialFolder(5));
    WriteSvg(BatchOutputPath(glyPath), model.Values(), DefaultScreenPpi, messages);
    return ExitOk;
  } catch (const std::bad_alloc&) {
    messages.ShowError(EOutOfResources().what());
  } catch (const std::exception& e) {
    messages.ShowError(e.what());
  }
  return ExitFailed;
}

int RunProgram(int argc, char** argv) {
  // The first argument that is not empty decides; further ones are ignored.
  const char* arg = nullptr;
  for (int i = 1; i < argc && !arg; ++i)
    if (argv[i][0] != '\0') arg = argv[i];
  if (!arg) return RunWindow(argc, argv);

  if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0) {
    std::printf("%s\n\n"
                "FILE.gly の設定でテキストを SVG に変換し、FILE.svg に書き出します。\n"
                "引数がなければウィンドウを開きます。\n"
                "  --help     この説明を表示する\n"
                "  --version  版数を表示する\n",
                kUsage);
    return ExitOk;
  }
  if (std::strcmp(arg, "--version") == 0) {
    std::printf("GLYPHOR %s\n", GLYPHOR_VERSION);
    return ExitOk;
  }
  if (LowerExtension(arg) != ".gly") {
    std::fprintf(stderr, "%s\n", kUsage);
    return ExitUsage;
  }
  return RunBatch(arg);
}

}  // namespace glyphor
