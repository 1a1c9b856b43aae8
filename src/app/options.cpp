// SPDX-License-Identifier: MIT
#include "app/options.h"

#include <climits>
#include <string_view>

#include "core/platform/errors.h"
#include "core/platform/file_names.h"
#include "core/text/ascii_case.h"
#include "core/text/int_text.h"

namespace glyphor {

namespace {

struct OptionSpec {
  const char* name;  // long name, without "--"
  char shortName;    // 0 when none
  bool takesValue;
};

const OptionSpec kOptions[] = {
    {"output", 'o', true},   {"format", 'f', true},     {"text", 't', true},       {"text-file", 0, true},
    {"font", 0, true},       {"size", 0, true},         {"style", 0, true},        {"fill", 0, true},
    {"stroke", 0, true},     {"stroke-width", 0, true}, {"join", 0, true},         {"miter-limit", 0, true},
    {"resolution", 0, true}, {"two-layer", 0, false},   {"transparent", 0, false}, {"cut-ready", 0, false},
    {"set", 0, true},        {"view", 0, false},        {"quiet", 'q', false},     {"verbose", 'v', false},
    {"help", 'h', false},    {"version", 0, false},
};

[[noreturn]] void Fail(const std::string& message) { throw EUsageError(message); }

[[noreturn]] void BadValue(const std::string& option, const std::string& message) { Fail(option + ": " + message); }

const OptionSpec* FindLong(std::string_view name) {
  for (const OptionSpec& o : kOptions)
    if (name == o.name) return &o;
  return nullptr;
}

const OptionSpec* FindShort(char c) {
  for (const OptionSpec& o : kOptions)
    if (o.shortName == c) return &o;
  return nullptr;
}

// Style names, in the bit order of the font's style byte.
constexpr const char* kStyleNames[] = {"bold", "italic", "underline", "strikeout"};

std::string StyleBits(const std::string& option, const std::string& list) {
  int bits = 0;
  size_t start = 0;
  while (start <= list.size() && !list.empty()) {
    const size_t end = std::min(list.find(',', start), list.size());
    const std::string word = LowerAscii(std::string_view(list).substr(start, end - start));
    int bit = -1;
    for (int i = 0; i < 4; ++i)
      if (word == kStyleNames[i]) bit = i;
    if (bit < 0)
      BadValue(option, FormatMessage("'%s' は文字飾り (bold, italic, underline, strikeout) ではありません", {list}));
    bits |= 1 << bit;
    start = end + 1;
  }
  return IntToText(bits);
}

std::string JoinIndex(const std::string& option, const std::string& name) {
  constexpr const char* kJoins[] = {"miter", "round", "bevel"};
  for (int i = 0; i < 3; ++i)
    if (EqualsIgnoringAsciiCase(name, kJoins[i])) return IntToText(i);
  BadValue(option, FormatMessage("'%s' は接合形式 (miter, round, bevel) ではありません", {name}));
}

OutputFormat ParseFormat(const std::string& option, const std::string& name) {
  for (OutputFormat f : {OutputFormat::Svg, OutputFormat::Emf, OutputFormat::Wmf, OutputFormat::Dxf})
    if (EqualsIgnoringAsciiCase(name, FormatExtension(f))) return f;
  BadValue(option, FormatMessage("'%s' は出力形式 (svg, emf, wmf, dxf) ではありません", {name}));
}

// "Section.Key=VALUE": the section ends at the first ".", the key at the first "=".
Override ParseSet(const std::string& option, const std::string& text) {
  const size_t dot = text.find('.'), eq = text.find('=');
  if (dot == std::string::npos || eq == std::string::npos || dot == 0 || eq < dot + 2)
    BadValue(option, FormatMessage("'%s' は Section.Key=VALUE の形ではありません", {text}));
  return {option + " " + text.substr(0, eq), text.substr(0, dot), text.substr(dot + 1, eq - dot - 1),
          text.substr(eq + 1)};
}

class Parser {
 public:
  explicit Parser(CommandLine& cl) : cl_(cl) {}

  void Option(const OptionSpec& spec, const std::string& written, const std::string& value) {
    const std::string name = spec.name;
    auto set = [&](const char* section, const char* key, const std::string& v) {
      cl_.overrides.push_back({written, section, key, v});
    };
    if (name == "output") {
      if (value.empty()) BadValue(written, "空のファイル名は使えません");
      cl_.output = value;
    } else if (name == "format") {
      cl_.format = ParseFormat(written, value);
    } else if (name == "text") {
      set("Font", "FontText", value);
    } else if (name == "text-file") {
      if (value.empty()) BadValue(written, "空のファイル名は使えません");
      set("Font", "FontText", value);
      cl_.overrides.back().valueIsTextFile = true;
      if (value == "-") UseStandardInput();
    } else if (name == "font") {
      set("Font", "FontName", value);
    } else if (name == "size") {
      set("Font", "FontSize", value);
    } else if (name == "style") {
      set("Font", "FontStyle", StyleBits(written, value));
    } else if (name == "fill") {
      set("Font", "FontColor", value);
    } else if (name == "stroke") {
      set("Font", "FontStrokeColor", value);
    } else if (name == "stroke-width") {
      const auto hundredths = MillimetresToHundredths(value);
      if (!hundredths) BadValue(written, FormatMessage("'%s' は数値ではありません", {value}));
      set("Font", "FontStrokeWidth", IntToText(*hundredths));
    } else if (name == "join") {
      set("Font", "FontLineJoin", JoinIndex(written, value));
    } else if (name == "miter-limit") {
      set("Font", "FontMiterLimit", value);
    } else if (name == "resolution") {
      set("SVG", "Resolution", value);
    } else if (name == "two-layer") {
      set("Font", "FontFukuromoji", "1");
    } else if (name == "transparent") {
      set("Font", "FontTransparent", "1");
    } else if (name == "cut-ready") {
      set("SVG", "CutReady", "1");
    } else if (name == "set") {
      cl_.overrides.push_back(ParseSet(written, value));
    } else if (name == "view") {
      cl_.view = true;
    } else if (name == "quiet") {
      cl_.verbosity = Verbosity::Quiet;
    } else if (name == "verbose") {
      cl_.verbosity = Verbosity::Verbose;
    } else if (name == "help") {
      cl_.help = true;
    } else if (name == "version") {
      cl_.version = true;
    }
  }

  void Operand(const std::string& arg) {
    if (arg.empty()) Fail("空のファイル名は使えません");
    if (arg == "-") {
      UseStandardInput();
    } else if (LowerExtension(arg) != ".gly") {
      Fail(FormatMessage("%s は .gly ファイルではありません", {arg}));
    }
    cl_.inputs.push_back(arg);
  }

 private:
  void UseStandardInput() {
    if (stdinTaken_) Fail("標準入力 (-) は一度しか読めません");
    stdinTaken_ = true;
  }

  CommandLine& cl_;
  bool stdinTaken_ = false;
};

}  // namespace

bool IsOptionForm(const std::vector<std::string>& args) {
  for (const std::string& a : args)
    if (a.starts_with('-')) return true;
  return false;
}

CommandLine ParseCommandLine(const std::vector<std::string>& args) {
  CommandLine cl;
  Parser parser(cl);
  bool optionsEnded = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (optionsEnded || arg == "-" || !arg.starts_with('-')) {
      parser.Operand(arg);
    } else if (arg == "--") {
      optionsEnded = true;
    } else if (arg.starts_with("--")) {
      const size_t eq = arg.find('=');
      const std::string written = arg.substr(0, eq);
      const OptionSpec* spec = FindLong(std::string_view(written).substr(2));
      if (!spec) Fail(FormatMessage("%s は不明なオプションです", {written}));
      std::string value;
      if (!spec->takesValue) {
        if (eq != std::string::npos) Fail(FormatMessage("オプション %s は値をとりません", {written}));
      } else if (eq != std::string::npos) {
        value = arg.substr(eq + 1);
      } else if (i + 1 < args.size()) {
        value = args[++i];
      } else {
        Fail(FormatMessage("オプション %s には値が必要です", {written}));
      }
      parser.Option(*spec, written, value);
    } else {
      // Grouped short options ("-qv"); one that takes a value takes the rest
      // of the group ("-oout.svg") or the next argument.
      for (size_t j = 1; j < arg.size(); ++j) {
        const std::string written = std::string("-") + arg[j];
        const OptionSpec* spec = FindShort(arg[j]);
        if (!spec) Fail(FormatMessage("%s は不明なオプションです", {written}));
        if (!spec->takesValue) {
          parser.Option(*spec, written, "");
          continue;
        }
        std::string value;
        if (j + 1 < arg.size()) {
          value = arg.substr(j + 1);
        } else if (i + 1 < args.size()) {
          value = args[++i];
        } else {
          Fail(FormatMessage("オプション %s には値が必要です", {written}));
        }
        parser.Option(*spec, written, value);
        break;
      }
    }
  }
  return cl;
}

std::vector<std::string> OptionNames() {
  std::vector<std::string> names;
  for (const OptionSpec& o : kOptions) names.push_back(o.name);
  return names;
}

OutputFormat FormatForName(const std::string& path) {
  const std::string ext = LowerExtension(path);
  if (ext == ".emf") return OutputFormat::Emf;
  if (ext == ".wmf") return OutputFormat::Wmf;
  if (ext == ".dxf") return OutputFormat::Dxf;
  return OutputFormat::Svg;
}

const char* FormatExtension(OutputFormat format) {
  switch (format) {
    case OutputFormat::Emf: return "emf";
    case OutputFormat::Wmf: return "wmf";
    case OutputFormat::Dxf: return "dxf";
    case OutputFormat::Svg: break;
  }
  return "svg";
}

std::optional<int> MillimetresToHundredths(const std::string& text) {
  size_t i = 0;
  const bool negative = !text.empty() && text[0] == '-';
  if (!text.empty() && (text[0] == '-' || text[0] == '+')) ++i;
  long long hundredths = 0;
  int digits = 0, decimals = -1;  // decimals: digits after the point, -1 before it
  bool roundUp = false;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '.' && decimals < 0) {
      decimals = 0;
      continue;
    }
    if (c < '0' || c > '9') return std::nullopt;
    ++digits;
    if (decimals >= 0 && ++decimals > 2) {
      // The first digit past the hundredths decides; the rest cannot change a half-up.
      if (decimals == 3) roundUp = c >= '5';
      continue;
    }
    if (hundredths < INT_MAX) hundredths = hundredths * 10 + (c - '0');
  }
  if (digits == 0) return std::nullopt;
  for (int d = std::max(decimals, 0); d < 2; ++d)
    if (hundredths < INT_MAX) hundredths *= 10;
  if (roundUp) ++hundredths;
  if (hundredths > INT_MAX) hundredths = INT_MAX;
  return static_cast<int>(negative ? -hundredths : hundredths);
}

}  // namespace glyphor
