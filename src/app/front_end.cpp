#include "app/front_end.h"

#include <cstdio>
#include <cstring>

#include "app/batch.h"
#include "app/usage.h"
#include "app/window_loader.h"
#include "core/platform/file_names.h"

namespace glyphor {

namespace {

void PrintHelp() {
  std::printf(
      "%s\n\n"
      "FILE.gly の設定でテキストを SVG に変換し、FILE.svg に書き出します。\n"
      "引数がなければウィンドウを開きます。\n"
      "  --help     この説明を表示する\n"
      "  --version  版数を表示する\n",
      kUsageLine);
}

}  // namespace

int RunProgram(int argc, char** argv) {
  // The first argument that is not empty decides; further ones are ignored.
  const char* arg = nullptr;
  for (int i = 1; i < argc && !arg; ++i)
    if (argv[i][0] != '\0') arg = argv[i];
  if (!arg) return RunWindowModule(argc, argv);

  if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0) {
    PrintHelp();
    return ExitOk;
  }
  if (std::strcmp(arg, "--version") == 0) {
    std::printf("GLYPHOR %s\n", GLYPHOR_VERSION);
    return ExitOk;
  }
  if (LowerExtension(arg) != ".gly") {
    std::fprintf(stderr, "%s\n", kUsageLine);
    return ExitUsage;
  }
  return RunBatch(arg);
}

}  // namespace glyphor
