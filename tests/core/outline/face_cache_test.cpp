// SPDX-License-Identifier: MIT
#include "core/outline/face_cache.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "core/outline/layout.h"
#include "support/test_support.h"
#include "support/xdg_home.h"

using namespace glyphor;
using glyphor::test::FileExists;
using glyphor::test::ReadFile;
using glyphor::test::TempDir;
using glyphor::test::WriteFile;

namespace {

TFontSpec Font(const std::string& name) {
  TFontSpec f;
  f.Name = name;
  f.Charset = 0;
  return f;
}

// Lays the text out with a fresh engine over the cache file, as one run of
// the program does; true when fontconfig's configuration had to be loaded.
bool RunLoadsConfiguration(const std::string& cache, const std::string& text, int32_t* width = nullptr) {
  FontEngine engine(cache);
  {
    const FontRun run(Font("DejaVu Sans"), 100, engine);
    int32_t w = 0, h = 0;
    run.TextExtent(text, w, h);
    if (width) *width = w;
  }
  return engine.LoadedConfiguration();
}

std::string Hex(const std::string& s) {
  std::string out;
  for (unsigned char c : s) out += "0123456789abcdef"[c >> 4], out += "0123456789abcdef"[c & 15];
  return out;
}

}  // namespace

// A text that needs a fallback face (or one no face has) costs a warm run no
// more than one that does not: the decisions are remembered too.
TEST(FaceCache, WarmRunsNeedNoFontconfigForFallbacks) {
  TempDir dir;
  const std::string cache = dir / "face-matches";
  int32_t cold = 0, warm = 0;
  EXPECT_TRUE(RunLoadsConfiguration(cache, "A漢\u0378", &cold));
  EXPECT_FALSE(RunLoadsConfiguration(cache, "A漢\u0378", &warm));
  EXPECT_EQ(warm, cold);
  // A character not decided before is looked up, then remembered.
  EXPECT_TRUE(RunLoadsConfiguration(cache, "字"));
  EXPECT_FALSE(RunLoadsConfiguration(cache, "漢字"));
  struct stat st {};
  ASSERT_EQ(::stat(cache.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
}

// Requests beyond the limit push out the least recently used ones; one in
// use on every run stays however many others come and go.
TEST(FaceCache, KeepsTheRecentlyUsedRequestsWithinItsLimit) {
  TempDir dir;
  const std::string path = dir / "face-matches";
  const std::vector<std::string> deps{dir / "fonts.conf"};  // missing, and so unchanging
  auto key = [](size_t i) { return "request " + std::to_string(i); };
  const size_t total = FaceMatchCache::kMaxRequests + 60;
  for (size_t i = 0; i < total; i += 4) {  // four new requests a run
    FaceMatchCache run(path);
    if (i > 0) {
      EXPECT_TRUE(run.Lookup(key(0))) << "run " << i / 4;
    }
    for (size_t k = i; k < i + 4; ++k) {
      run.Store(key(k), {"/fonts/" + std::to_string(k) + ".ttf", 0}, deps);
      run.StoreFallback(key(k), U'漢', FaceLocation{"/fonts/cjk.ttc", 2}, deps);
    }
    run.Save();
  }
  FaceMatchCache last(path);
  size_t kept = 0;
  for (size_t i = 0; i < total; ++i) kept += last.Lookup(key(i)).has_value();
  EXPECT_EQ(kept, FaceMatchCache::kMaxRequests);
  EXPECT_FALSE(last.Lookup(key(1)));
  ASSERT_TRUE(last.Lookup(key(total - 1)));
  EXPECT_EQ(last.Lookup(key(total - 1))->file, "/fonts/" + std::to_string(total - 1) + ".ttf");
  EXPECT_EQ(last.LookupFallback(key(total - 1), U'漢'),
            std::optional(std::optional(FaceLocation{"/fonts/cjk.ttc", 2})));
  EXPECT_EQ(last.LookupFallback(key(total - 1), U'字'), std::nullopt);
}

// Runs under other settings take turns without making each other cold: a
// desktop session and a script, or two copies of the program with their own
// alias files. A changed file of one configuration drops its decisions alone.
TEST(FaceCache, RunsUnderOtherSettingsKeepTheirOwnDecisions) {
  TempDir dir;
  const std::string path = dir / "face-matches";
  const std::vector<std::string> depsA{dir / "a.conf"}, depsB{dir / "b.conf"};  // missing until written
  auto run = [&](const std::string& scope, const std::vector<std::string>& deps, const std::string& file) {
    FaceMatchCache cache(path, scope);
    const auto known = cache.Lookup("request");
    if (!known) cache.Store("request", {file, 0}, deps);
    cache.Save();
    return known ? known->file : std::string("cold");
  };
  EXPECT_EQ(run("/opt/a/glyphor-fonts.conf", depsA, "/fonts/a.ttf"), "cold");
  EXPECT_EQ(run("/opt/b/glyphor-fonts.conf", depsB, "/fonts/b.ttf"), "cold");
  for (int turn = 0; turn < 2; ++turn) {
    EXPECT_EQ(run("/opt/a/glyphor-fonts.conf", depsA, "-"), "/fonts/a.ttf");
    EXPECT_EQ(run("/opt/b/glyphor-fonts.conf", depsB, "-"), "/fonts/b.ttf");
  }
  const char* saved = std::getenv("XDG_DATA_DIRS");
  const std::string before = saved ? saved : "";
  ::setenv("XDG_DATA_DIRS", "/elsewhere/share", 1);
  EXPECT_EQ(run("/opt/a/glyphor-fonts.conf", depsA, "/fonts/c.ttf"), "cold");
  EXPECT_EQ(run("/opt/a/glyphor-fonts.conf", depsA, "-"), "/fonts/c.ttf");
  if (saved)
    ::setenv("XDG_DATA_DIRS", before.c_str(), 1);
  else
    ::unsetenv("XDG_DATA_DIRS");
  EXPECT_EQ(run("/opt/a/glyphor-fonts.conf", depsA, "-"), "/fonts/a.ttf");

  WriteFile(dir / "b.conf", "<fontconfig/>");
  EXPECT_EQ(run("/opt/b/glyphor-fonts.conf", depsB, "/fonts/b2.ttf"), "cold");
  EXPECT_EQ(run("/opt/a/glyphor-fonts.conf", depsA, "-"), "/fonts/a.ttf");
  EXPECT_EQ(run("/opt/b/glyphor-fonts.conf", depsB, "-"), "/fonts/b2.ttf");
}

// The cache file and the font paths it names may have been replaced by
// anything: a FIFO must not block the run, a device or a damaged file must
// not be read without limit, and the run goes on as without a cache.
TEST(FaceCache, HostileCacheFilesAndCachedPathsAreRefused) {
  TempDir dir;
  const std::string cache = dir / "face-matches";
  ASSERT_EQ(::mkfifo(cache.c_str(), 0600), 0);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(FaceMatchCache(cache).Lookup("anything"));
  std::filesystem::remove(cache);

  // A range of every code point would take a million entries.
  RunLoadsConfiguration(cache, "A漢");
  std::string text = ReadFile(cache);
  const auto fallback = text.find("fallback ");
  ASSERT_NE(fallback, std::string::npos);
  const std::string huge = text.substr(0, text.rfind(' ')) + " 0-10ffff\n";
  WriteFile(cache, huge);
  EXPECT_TRUE(RunLoadsConfiguration(cache, "A漢"));

  // The face's own file replaced by a FIFO, then by a device.
  RunLoadsConfiguration(cache, "A");
  text = ReadFile(cache);
  const std::string dejavu = Hex("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf");
  ASSERT_NE(text.find(dejavu), std::string::npos);
  const std::string fifo = dir / "font.ttf";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  for (const std::string& planted : {fifo, std::string("/dev/zero")}) {
    SCOPED_TRACE(planted);
    std::string swapped = text;
    swapped.replace(swapped.find(dejavu), dejavu.size(), Hex(planted));
    WriteFile(cache, swapped);
    FontEngine engine(cache);
    EXPECT_EQ(FontRun(Font("DejaVu Sans"), 100, engine).FamilyName(), "DejaVu Sans");
  }
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
}

class FaceCacheHome : public glyphor::test::XdgHomeTest {
 protected:
  FaceCacheHome() {
    if (const char* v = std::getenv("XDG_CACHE_HOME")) saved_ = v;
    ::unsetenv("XDG_CACHE_HOME");
  }
  ~FaceCacheHome() override {
    if (saved_) ::setenv("XDG_CACHE_HOME", saved_->c_str(), 1);
  }
  std::optional<std::string> saved_;
};

// The cache lives in the user's cache folder, made when missing; a home
// that does not exist is never made up, and the run keeps no cache.
TEST_F(FaceCacheHome, MakesTheCacheFolderButNeverAHome) {
  const std::string path = DefaultFaceCachePath();
  EXPECT_EQ(path, home() + "/.cache/glyphor/face-matches");
  RunLoadsConfiguration(path, "A");
  EXPECT_TRUE(FileExists(path));

  for (const char* variable : {"HOME", "XDG_CACHE_HOME"}) {
    SCOPED_TRACE(variable);
    SetVar(variable, root() / "gone/x");
    EXPECT_EQ(DefaultFaceCachePath(), "");
    SetVar("HOME", home());
    ::unsetenv("XDG_CACHE_HOME");
  }
  // Nor is the folder above the cache folder made, whatever path is given.
  FaceMatchCache stray(root() / "gone/x/.cache/glyphor/face-matches");
  stray.Store("request", {"/fonts/a.ttf", 0}, {});
  stray.Save();
  EXPECT_FALSE(FileExists(root() / "gone"));
}
