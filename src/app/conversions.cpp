// SPDX-License-Identifier: MIT
#include "app/conversions.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <new>
#include <optional>
#include <set>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "app/cut_loader.h"
#include "app/display_probe.h"
#include "app/face_report.h"
#include "core/outline/capture.h"
#include "core/output/cut_writers.h"
#include "core/output/metafile_picture.h"
#include "core/output/metafile_save.h"
#include "core/output/svg_writer.h"
#include "core/platform/atomic_file.h"
#include "core/platform/byte_sink.h"
#include "core/platform/errors.h"
#include "core/platform/file_names.h"
#include "core/platform/special_folders.h"
#include "core/platform/viewer.h"
#include "core/settings/settings_io.h"
#include "core/settings/settings_model.h"
#include "core/text/utf8.h"

namespace glyphor {

namespace {

// The name messages give standard input.
constexpr const char* kStandardInput = "標準入力";
// The output name when there is no settings file to name it after.
constexpr const char* kDefaultName = "glyphor";
// Settings files and texts are small; anything larger is a mistake (or /dev/zero).
constexpr size_t kMaxInputBytes = 64 << 20;

[[noreturn]] void Fail(const std::string& message) { throw EUsageError(message); }

bool ReadAll(int fd, std::string& bytes) {
  char buf[65536];
  for (;;) {
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) return true;
    bytes.append(buf, static_cast<size_t>(n));
    if (bytes.size() > kMaxInputBytes) return false;
  }
}

// A file the user named for its text: a pipe (as `<(command)` gives) is
// fine, a folder or anything huge is not.
bool ReadNamedFile(const std::string& path, std::string& bytes) {
  if (path == "-") return ReadAll(STDIN_FILENO, bytes);
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool ok = ReadAll(fd, bytes);
  ::close(fd);
  return ok;
}

std::string Label(const std::string& input) { return input == "-" ? kStandardInput : input; }

// A value the way a settings-file line can hold it: UTF-8, one line. One
// line break at the end (what `echo` and editors add) is dropped.
std::string OneLine(const std::string& where, std::string value) {
  if (!IsValidUtf8(value)) Fail(where + ": UTF-8 のテキストではありません");
  if (value.ends_with("\r\n")) {
    value.resize(value.size() - 2);
  } else if (value.ends_with('\n')) {
    value.pop_back();
  }
  if (value.find_first_of("\r\n") != std::string::npos) Fail(where + ": 改行は使えません (テキストは一行です)");
  return value;
}

// The text of --text-file: its bytes less a byte-order mark, as one line.
std::string TextFromFile(const Override& o) {
  const std::string where = o.option + " " + Label(o.value);
  std::string bytes;
  if (!ReadNamedFile(o.value, bytes)) Fail(o.option + ": " + FormatMessage("%s を読み込めません", {Label(o.value)}));
  if (bytes.starts_with("\xEF\xBB\xBF")) bytes.erase(0, 3);
  return OneLine(where, bytes);
}

// Every override applied once to a scratch model, so that a bad one stops
// the run before anything is written.
void CheckOverrides(const std::vector<Override>& overrides) {
  SettingsModel scratch(DefaultScreenPpi);
  for (const Override& o : overrides) {
    try {
      if (!ApplySetting(scratch, o.section, o.key, o.value, ""))
        Fail(o.option + ": " + FormatMessage("キー %s は設定ファイルにありません", {o.section + "." + o.key}));
    } catch (const ESettingValueError& e) {
      Fail(o.option + ": " + e.what());
    }
  }
}

bool IsFolder(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The file name of a settings file without its extension; "glyphor" when
// there is none to name the output after.
std::string BaseName(const std::string& input) {
  if (input.empty() || input == "-") return kDefaultName;
  const size_t slash = input.rfind('/');
  const std::string name = slash == std::string::npos ? input : input.substr(slash + 1);
  return name.substr(0, name.rfind('.'));
}

std::string JoinPath(const std::string& folder, const std::string& name) {
  return folder.ends_with('/') ? folder + name : folder + "/" + name;
}

// The same file, whether or not it exists yet.
std::string Canonical(const std::string& path) {
  std::error_code ec;
  const auto p = std::filesystem::weakly_canonical(path, ec);
  return ec ? path : p.string();
}

void ChooseOutputs(const CommandLine& cl, ConversionPlan& plan) {
  std::vector<std::string> inputs = cl.inputs;
  if (inputs.empty()) inputs.push_back("");
  const bool several = inputs.size() > 1;
  if (cl.output && *cl.output == "-" && several) Fail("標準出力 (-o -) には一つの変換しか書き出せません");
  if (cl.output && *cl.output != "-" && several && !IsFolder(*cl.output))
    Fail(FormatMessage("フォルダ %s がありません (入力が複数のとき -o はフォルダです)", {*cl.output}));

  for (const std::string& input : inputs) {
    Conversion c;
    c.input = input;
    c.format = cl.format.value_or(OutputFormat::Svg);
    const std::string name = BaseName(input) + "." + FormatExtension(c.format);
    if (!cl.output) {
      c.output =
          input.empty() || input == "-" ? name : ReplaceExtension(input, std::string(".") + FormatExtension(c.format));
    } else if (*cl.output == "-" || !IsFolder(*cl.output)) {
      c.output = *cl.output;
      if (!cl.format && *cl.output != "-") c.format = FormatForName(*cl.output);
    } else {
      c.output = JoinPath(*cl.output, name);
    }
    plan.conversions.push_back(c);
  }

  // No output may overwrite a settings file (a mistyped command line could
  // otherwise replace one), nor two different settings files write the same
  // output.
  std::set<std::string> settingsFiles;
  for (const Conversion& c : plan.conversions)
    if (!c.input.empty() && c.input != "-") settingsFiles.insert(Canonical(c.input));
  std::map<std::string, std::string> writers;  // output -> the input that writes it
  for (const Conversion& c : plan.conversions) {
    if (c.output == "-") continue;
    const std::string out = Canonical(c.output);
    if (settingsFiles.contains(out) || LowerExtension(c.output) == ".gly")
      Fail(FormatMessage("%s は設定ファイルなので書き出せません", {c.output}));
    const std::string in = c.input.empty() || c.input == "-" ? c.input : Canonical(c.input);
    const auto [it, added] = writers.emplace(out, in);
    if (!added && it->second != in) Fail(FormatMessage("%s に二つの変換が書き出されます", {c.output}));
  }
}

// The messages of one conversion on standard error: "glyphor: PATH: text".
class ConversionMessages : public TUserMessages {
 public:
  ConversionMessages(Verbosity verbosity, std::string label) : verbosity_(verbosity), label_(std::move(label)) {}
  // Notes of the viewer launch; --quiet leaves them out.
  void ShowMessage(const std::string& text) override {
    if (verbosity_ != Verbosity::Quiet) Line(text);
  }
  void Error(const std::string& text) const { Line(text); }
  void Verbose(const std::string& text) const {
    if (verbosity_ == Verbosity::Verbose) Line(text);
  }

 private:
  void Line(const std::string& text) const {
    std::fprintf(stderr, "glyphor: %s%s\n", label_.empty() ? "" : (label_ + ": ").c_str(), text.c_str());
  }
  Verbosity verbosity_;
  std::string label_;
};

// Loads settings that came on standard input through a file the settings
// reader can open: an anonymous memory file, or a private temporary file
// where memory files cannot be opened by name (no /proc).
void LoadSettingsFromBytes(SettingsModel& model, const std::string& bytes, const std::string& documentsDir) {
  std::string path, temporary;
  int fd = ::memfd_create("glyphor-settings", MFD_CLOEXEC);
  if (fd >= 0) {
    path = "/proc/self/fd/" + std::to_string(fd);
    if (::access(path.c_str(), R_OK) != 0) {
      ::close(fd);
      fd = -1;
    }
  }
  if (fd < 0) {
    const char* tmp = std::getenv("TMPDIR");
    temporary = std::string(tmp && *tmp ? tmp : "/tmp") + "/glyphor-settings-XXXXXX";
    fd = ::mkstemp(temporary.data());
    if (fd < 0) throw EIniFileException(FormatMessage("%s を読み込めません", {kStandardInput}));
    path = temporary;
  }
  struct Cleanup {
    int fd;
    const std::string& temporary;
    ~Cleanup() {
      ::close(fd);
      if (!temporary.empty()) ::unlink(temporary.c_str());
    }
  } cleanup{fd, temporary};
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) throw EIniFileException(FormatMessage("%s を読み込めません", {kStandardInput}));
    done += static_cast<size_t>(n);
  }
  LoadSettings(model, path, documentsDir);
}

// Standard output, written piece by piece as the document is made. Pieces
// it has taken cannot be taken back: a failure part-way leaves the reader a
// document cut short, and the conversion fails with its message.
class StandardOutput : public ByteSink {
 public:
  void Write(std::string_view piece) override {
    size_t done = 0;
    while (done < piece.size()) {
      const ssize_t n = ::write(STDOUT_FILENO, piece.data() + done, piece.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) throw EFileError("ストリームへの書き込みエラー");
      done += static_cast<size_t>(n);
    }
  }
};

// The settings of one conversion: the file's, then the overrides in order.
// The option form opens a viewer only when asked with --view (or a View key
// given on the command line), never because a settings file says so.
ConversionSettings SettingsFor(const Conversion& c, const ConversionPlan& plan, const std::string& documentsDir) {
  SettingsModel model(DefaultScreenPpi);
  if (c.input == "-") {
    LoadSettingsFromBytes(model, plan.standardInputSettings, documentsDir);
  } else if (!c.input.empty()) {
    struct stat st {};
    if (::stat(c.input.c_str(), &st) != 0 && (errno == ENOENT || errno == ENOTDIR))
      throw EIniFileException("ファイルがありません");
    LoadSettings(model, c.input, documentsDir);
  }
  model.SetViewAfterSave(plan.view);
  for (const Override& o : plan.overrides) ApplySetting(model, o.section, o.key, o.value, documentsDir);
  return model.Values();
}

// A conversion's document made ready to be written: the text captured, the
// cut module opened, the metafile recorded. What can fail there fails before
// a file is begun or a byte reaches standard output; the document's text is
// then made as it is written, never held whole. Cut-ready regions are welded
// as the document is written, before its first byte.
class Document {
 public:
  Document(const ConversionSettings& s, OutputFormat format) : s_(s), format_(format) {
    if (format == OutputFormat::Emf || format == OutputFormat::Wmf) {
      BuildMetafile(picture_, s, DefaultScreenPpi);
      return;
    }
    const bool cut = format == OutputFormat::Dxf || s.CutReady;
    if (cut) BeginLoadingCutModule();  // loaded while the text is captured
    CaptureTextPath(s.Text, s.Font, s.Resolution, DefaultScreenPpi, path_, width_, height_);
    if (cut) RequireCutModule();
  }

  void WriteTo(ByteSink& out) const {
    switch (format_) {
      case OutputFormat::Svg: WriteSvgDocument(path_, width_, height_, s_, out); break;
      case OutputFormat::Dxf: WriteCutReadyDxf(path_, width_, height_, s_, out); break;
      case OutputFormat::Emf:
      case OutputFormat::Wmf: WriteMetafileFile(picture_, format_ == OutputFormat::Wmf, out); break;
    }
  }

 private:
  const ConversionSettings& s_;
  OutputFormat format_;
  TPath path_;
  int32_t width_ = 0, height_ = 0;
  MetafilePicture picture_;
};

// A failed write reported as the window reports it for each kind of document.
[[noreturn]] void ThrowWriteError(const Conversion& c, WriteResult result) {
  // A drawing exchange file fails with the same words as an SVG document.
  if (c.format == OutputFormat::Svg || c.format == OutputFormat::Dxf) throw SvgWriteError(c.output);
  throw MetafileWriteError(c.output, result);
}

// Conversions whose files wait in an AtomicFileGroup for one sync together.
class Runner {
 public:
  explicit Runner(const ConversionPlan& plan) : plan_(plan), documentsDir_(GetSpecialFolder(kFolderDocuments)) {}

  void Convert(const Conversion& c) {
    ConversionMessages messages(plan_.verbosity, Label(c.input));
    try {
      const ConversionSettings s = SettingsFor(c, plan_, documentsDir_);
      std::optional<FaceRecorder> faces;
      if (plan_.verbosity == Verbosity::Verbose) faces.emplace();
      const Document document(s, c.format);
      if (faces && faces->Last()) {
        for (const FaceNote& note : DescribeFaces(*faces->Last()))
          messages.Verbose(note.warning ? "警告: " + note.text : note.text);
      }
      if (c.output == "-") {
        StandardOutput out;
        document.WriteTo(out);
        messages.Verbose("標準出力に書き出しました");
        return;
      }
      const WriteResult staged = group_.Add(c.output, [&](ByteSink& out) { document.WriteTo(out); });
      if (staged != WriteResult::Ok) ThrowWriteError(c, staged);
      waiting_.push_back({c, s.ViewAfterSave});
      if (waiting_.size() >= kGroupSize) Commit();
    } catch (const ESettingValueError& e) {
      Failed(messages, "[" + e.Section() + "] " + e.Key() + ": " + e.what());
    } catch (const std::bad_alloc&) {
      Failed(messages, EOutOfResources().what());
    } catch (const std::exception& e) {
      Failed(messages, e.what());
    }
  }

  // Writes the files that wait, then reports each and opens the viewer.
  void Commit() {
    const std::vector<WriteResult> results = group_.Commit();
    for (size_t i = 0; i < waiting_.size(); ++i) {
      const Conversion& c = waiting_[i].conversion;
      ConversionMessages messages(plan_.verbosity, Label(c.input));
      try {
        if (results[i] != WriteResult::Ok) ThrowWriteError(c, results[i]);
        messages.Verbose(FormatMessage("%s に書き出しました", {c.output}));
        // A viewer needs a display; it opens SVG documents only.
        if (waiting_[i].view && c.format == OutputFormat::Svg && DisplayConfigured()) {
          char full[PATH_MAX];
          LaunchViewer(::realpath(c.output.c_str(), full) ? std::string(full) : c.output, messages);
        }
      } catch (const std::exception& e) {
        Failed(messages, e.what());
      }
    }
    waiting_.clear();
  }

  bool AllWritten() const { return allWritten_; }

 private:
  // Enough files to share a sync, few enough to keep their descriptors open.
  static constexpr size_t kGroupSize = 64;
  struct Waiting {
    Conversion conversion;
    bool view;
  };

  void Failed(const ConversionMessages& messages, const std::string& text) {
    messages.Error(text);
    allWritten_ = false;
  }

  const ConversionPlan& plan_;
  const std::string documentsDir_;  // only the window uses the two remembered folders
  AtomicFileGroup group_;
  std::vector<Waiting> waiting_;
  bool allWritten_ = true;
};

}  // namespace

ConversionPlan PlanConversions(const CommandLine& cl) {
  ConversionPlan plan;
  plan.view = cl.view;
  plan.verbosity = cl.verbosity;
  for (Override o : cl.overrides) {
    o.value = o.valueIsTextFile ? TextFromFile(o) : OneLine(o.option, o.value);
    o.valueIsTextFile = false;
    plan.overrides.push_back(std::move(o));
  }
  CheckOverrides(plan.overrides);
  for (const std::string& input : cl.inputs) {
    if (input == "-" && !ReadAll(STDIN_FILENO, plan.standardInputSettings))
      Fail(FormatMessage("%s を読み込めません", {kStandardInput}));
  }
  ChooseOutputs(cl, plan);
  return plan;
}

int RunConversions(const ConversionPlan& plan) {
  Runner runner(plan);
  for (const Conversion& c : plan.conversions) runner.Convert(c);
  runner.Commit();
  return runner.AllWritten() ? 0 : 1;
}

}  // namespace glyphor
