// SPDX-License-Identifier: MIT
// Every whole-file writer facing a disk that fails part-way, an fsync that
// fails and a rename that fails: the earlier file stays byte for byte, no
// temporary file is left, and the failure carries the writer's own message.
#include <cerrno>
#include <functional>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/output/metafile_picture.h"
#include "core/output/metafile_save.h"
#include "core/output/svg_writer.h"
#include "core/platform/atomic_file.h"
#include "core/platform/errors.h"
#include "core/settings/ini_file.h"
#include "core/settings/settings_io.h"
#include "support/scoped_seam.h"
#include "support/test_support.h"

namespace glyphor {
namespace {

using test::ListDir;
using test::ReadFile;
using test::TempDir;

enum class Failure { DiskFullPartWay, FsyncFails, RenameFails };

std::string Name(Failure f) {
  switch (f) {
    case Failure::DiskFullPartWay: return "DiskFullPartWay";
    case Failure::FsyncFails: return "FsyncFails";
    case Failure::RenameFails: return "RenameFails";
  }
  return "";
}

// Replaces one system call of the atomic writer while it lives.
class InjectedFailure {
 public:
  explicit InjectedFailure(Failure f) : seam_(FileSystemSeam()) {
    writes_ = 0;
    FileSystemCalls& seam = *seam_;
    switch (f) {
      case Failure::DiskFullPartWay:
        // The first write stores a few bytes, then the disk is full.
        seam.write = [](int fd, const void* buf, size_t n) -> ssize_t {
          if (writes_++ == 0) return ::write(fd, buf, n < 5 ? n : 5);
          errno = ENOSPC;
          return -1;
        };
        break;
      case Failure::FsyncFails: seam.fsync = [](int) { return errno = EIO, -1; }; break;
      case Failure::RenameFails: seam.rename = [](const char*, const char*) { return errno = EXDEV, -1; }; break;
    }
  }

 private:
  static inline int writes_ = 0;
  test::ScopedSeam<FileSystemCalls> seam_;
};

class NoMessages : public TUserMessages {
 public:
  void ShowMessage(const std::string& text) override { ADD_FAILURE() << "message: " << text; }
};

ConversionSettings SmallText() {
  ConversionSettings s;
  s.Text = "Ag";
  s.Font.Name = "DejaVu Sans";
  s.Font.Size = 12;
  s.Font.Charset = 0;
  s.ViewAfterSave = false;
  return s;
}

// One writer: its file name, how to run it on a path, the message expected.
struct Writer {
  std::string file;
  std::function<void(const std::string&)> write;
  std::function<std::string(const std::string&)> message;
};

std::vector<Writer> Writers() {
  static const MetafilePicture picture = [] {
    MetafilePicture p;
    BuildMetafile(p, SmallText(), DefaultScreenPpi);
    return p;
  }();
  const auto cannotCreate = [](const std::string& path) { return "ファイル " + path + " を作成できません"; };
  const auto streamError = [](const std::string&) { return std::string("ストリームへの書き込みエラー"); };
  const auto cannotWrite = [](const std::string& path) { return path + " に書き込めません"; };
  return {
      {"a.svg",
       [](const std::string& p) {
         NoMessages m;
         WriteSvg(p, SmallText(), DefaultScreenPpi, m);
       },
       cannotCreate},
      {"a.emf", [](const std::string& p) { SaveMetafileFile(p, picture); }, streamError},
      {"a.wmf", [](const std::string& p) { SaveMetafileFile(p, picture); }, streamError},
      {"glyphor.ini", [](const std::string& p) { SaveSettings(SettingsModel(), p); }, cannotWrite},
      {"batch.gly",
       [](const std::string& p) {
         TIniFile ini(p);
         ini.WriteString("Font", "FontText", "new");
         ini.WriteInteger("Font", "FontSize", 12);
         ini.UpdateFile();
       },
       cannotWrite},
  };
}

class WriterFailures : public ::testing::TestWithParam<Failure> {};

TEST_P(WriterFailures, KeepTheEarlierFileAndLeaveNoTemporaryFile) {
  const std::string earlier = "[Font]\r\nFontText=earlier \xff bytes\r\n[Other]\r\nKey=1\r\n";
  for (const Writer& w : Writers()) {
    SCOPED_TRACE(w.file);
    TempDir dir;
    const std::string path = dir / w.file;
    test::WriteFile(path, earlier);
    {
      InjectedFailure failure(GetParam());
      try {
        w.write(path);
        ADD_FAILURE() << "the failed write was reported as success";
      } catch (const Exception& e) {
        EXPECT_EQ(std::string(e.what()), w.message(path));
      }
    }
    EXPECT_EQ(ReadFile(path), earlier);
    EXPECT_EQ(ListDir(dir.path()), std::vector<std::string>{w.file});

    // Without an earlier file, a failed write leaves the folder empty.
    ASSERT_EQ(::unlink(path.c_str()), 0);
    {
      InjectedFailure failure(GetParam());
      EXPECT_THROW(w.write(path), Exception);
    }
    EXPECT_TRUE(ListDir(dir.path()).empty());

    // The same writer succeeds once the disk works again.
    w.write(path);
    EXPECT_EQ(ListDir(dir.path()), std::vector<std::string>{w.file});
    EXPECT_FALSE(ReadFile(path).empty());
  }
}

INSTANTIATE_TEST_SUITE_P(Seam, WriterFailures,
                         ::testing::Values(Failure::DiskFullPartWay, Failure::FsyncFails, Failure::RenameFails),
                         [](const auto& info) { return Name(info.param); });

// The batch program is a process of its own: the seam cannot reach it, so its
// output is made unwritable in ways that hold for root too.
class BatchFailures : public ::testing::Test {
 protected:
  TempDir home, cache;
  std::vector<std::string> Env() const { return test::UserEnvironment(home, cache); }
  std::string Gly() const {
    const std::string gly = home / "X.gly";
    test::WriteFile(gly, "[Font]\r\nFontName=DejaVu Sans\r\nFontSize=12\r\nFontText=A\r\n[SVG]\r\nView=0\r\n");
    return gly;
  }
};

TEST_F(BatchFailures, OutputPathIsAFolder) {
  ASSERT_EQ(::mkdir((home / "X.svg").c_str(), 0755), 0);
  test::WriteFile(home / "X.svg/inside", "kept");
  const test::RunResult r = test::RunGlyphor({Gly()}, Env());
  EXPECT_EQ(r.signal, 0);
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err, "ファイル " + home / "X.svg" + " を作成できません\n");
  EXPECT_EQ(ReadFile(home / "X.svg/inside"), "kept");
  EXPECT_EQ(ListDir(home / "X.svg"), std::vector<std::string>{"inside"});
  EXPECT_EQ(ListDir(home.path()), (std::vector<std::string>{"X.gly", "X.svg"}));
}

TEST_F(BatchFailures, ReadOnlyEarlierSvgIsKept) {
  const std::string svg = home / "X.svg";
  test::WriteFile(svg, "earlier picture");
  ASSERT_EQ(::chmod(svg.c_str(), 0444), 0);
  const test::RunResult r = test::RunGlyphor({Gly()}, Env());
  EXPECT_EQ(r.signal, 0);
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err, "ファイル " + svg + " を作成できません\n");
  EXPECT_EQ(ReadFile(svg), "earlier picture");
  EXPECT_EQ(ListDir(home.path()), (std::vector<std::string>{"X.gly", "X.svg"}));
}

}  // namespace
}  // namespace glyphor
