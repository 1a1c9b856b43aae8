// SPDX-License-Identifier: MIT
#include "app/front_end.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/batch.h"
#include "app/conversions.h"
#include "app/cut_loader.h"
#include "app/options.h"
#include "app/usage.h"
#include "app/window_loader.h"
#include "core/platform/file_names.h"

namespace glyphor {

namespace {

void PrintHelp() {
  std::printf(
      "使い方: glyphor [FILE.gly]\n"
      "        glyphor [オプション] [FILE.gly ...]\n"
      "\n"
      "引数がなければウィンドウを開きます。FILE.gly 一つなら、その設定でテキストを SVG に\n"
      "変換し、同じフォルダの FILE.svg に書き出します。\n"
      "引数のどれかが \"-\" で始まれば、すべての引数を次のように読みます。設定ファイルを\n"
      "いくつでも順に変換し、メッセージボックスもウィンドウも出しません。\n"
      "\n"
      "入力と出力:\n"
      "  FILE.gly ...             変換する設定ファイル (なければ既定の設定)。\"-\" は標準入力\n"
      "  -o, --output=PATH        出力ファイル (\"-\" は標準出力)。入力が複数なら既存のフォルダ\n"
      "                           (既定は FILE.gly の隣、設定ファイルがなければ glyphor.svg)\n"
      "  -f, --format=FORMAT      svg, emf, wmf, dxf (既定は出力の拡張子から、なければ svg)\n"
      "                           DXF はいつもカット用の輪郭\n"
      "設定 (設定ファイルを読んだ後、書いた順に):\n"
      "  -t, --text=TEXT          テキスト (一行)\n"
      "      --text-file=PATH     UTF-8 のファイルのテキスト (一行、\"-\" は標準入力)\n"
      "      --font=NAME          フォント名\n"
      "      --size=POINTS        文字の大きさ (ポイント)\n"
      "      --style=LIST         文字飾り: bold,italic,underline,strikeout\n"
      "      --fill=COLOUR        塗りの色: #RRGGBB、clRed などの色名、$00BBGGRR\n"
      "      --stroke=COLOUR      輪郭線の色\n"
      "      --stroke-width=MM    輪郭線の幅 (mm、0 から 10)\n"
      "      --join=JOIN          輪郭線の接合形式: miter, round, bevel\n"
      "      --miter-limit=N      マイター限界 (1 から 100)\n"
      "      --resolution=DPI     座標を算出する時の解像度 (400 から 1200)\n"
      "      --two-layer          袋文字\n"
      "      --transparent        塗りを透明にする (袋文字では効きません)\n"
      "      --cut-ready          カット用の輪郭にする (線なし、重なりは結合)\n"
      "      --set=SECTION.KEY=VALUE\n"
      "                           設定ファイルのキー (例: --set Font.FontCharset=0)\n"
      "その他:\n"
      "      --view               書き出した SVG をビューワーで開く\n"
      "  -q, --quiet              エラーだけを表示する\n"
      "  -v, --verbose            使ったフォントと書き出したファイルを表示する\n"
      "  -h, --help               この説明を表示する\n"
      "      --version            版数を表示する\n"
      "\n"
      "終了状態: 0 すべて書き出した、1 失敗した変換がある、2 引数の誤り (何も書き出さない)\n"
      "\n"
      "例:\n"
      "  glyphor logo.gly\n"
      "  glyphor -t 袋文字 --font IPAPGothic --two-layer -o sign.svg\n"
      "  glyphor -f emf -o out/ *.gly\n"
      "  glyphor -t SALE --stroke-width 2 -o sign.dxf\n"
      "  glyphor --text-file name.txt -o - logo.gly | rsvg-convert -o name.png\n");
}

void PrintVersion() { std::printf("GLYPHOR %s\n", GLYPHOR_VERSION); }

int RunOptionForm(const std::vector<std::string>& args) {
  try {
    const CommandLine cl = ParseCommandLine(args);
    if (cl.help) {
      PrintHelp();
      return ExitOk;
    }
    if (cl.version) {
      PrintVersion();
      return ExitOk;
    }
    return RunConversions(PlanConversions(cl));
  } catch (const EUsageError& e) {
    std::fprintf(stderr, "glyphor: %s\n%s\n", e.what(), kOptionUsageLine);
    return ExitUsage;
  }
}

// The form file managers and existing scripts use: the first argument that is
// not empty decides, further ones are ignored.
int RunClassicForm(int argc, char** argv) {
  const char* arg = nullptr;
  for (int i = 1; i < argc && !arg; ++i)
    if (argv[i][0] != '\0') arg = argv[i];
  if (!arg) return RunWindowModule(argc, argv);
  if (LowerExtension(arg) != ".gly") {
    std::fprintf(stderr, "%s\n", kUsageLine);
    return ExitUsage;
  }
  return RunBatch(arg);
}

}  // namespace

int RunProgram(int argc, char** argv) {
  InstallCutModule();
  const std::vector<std::string> args(argv + 1, argv + argc);
  return IsOptionForm(args) ? RunOptionForm(args) : RunClassicForm(argc, argv);
}

}  // namespace glyphor
