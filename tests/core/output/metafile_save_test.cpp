// SPDX-License-Identifier: MIT
#include "core/output/metafile_save.h"

#include <gtest/gtest.h>

#include <cerrno>

#include "core/output/clipboard_formats.h"
#include "core/output/wmf_writer.h"
#include "core/platform/atomic_file.h"
#include "core/platform/errors.h"
#include "support/scoped_seam.h"
#include "support/test_paths.h"
#include "support/test_support.h"

namespace glyphor {
namespace {

using test::ListDir;
using test::ReadFile;
using test::TempDir;

MetafilePicture Picture() {
  ConversionSettings s;
  s.Font.Size = 72;
  TPath path = test::TrianglePath();
  MetafilePicture pic;
  RecordPicture(pic, path, 500, 400, s);
  return pic;
}

std::string AsString(const std::vector<uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); }

TEST(SaveMetafileFile, EmfOrPlaceableWmfByExtension) {
  TempDir dir;
  const MetafilePicture pic = Picture();
  SaveMetafileFile(dir / "a.emf", pic);
  EXPECT_EQ(ReadFile(dir / "a.emf"), AsString(pic.Bytes));
  SaveMetafileFile(dir / "picture.WMF", pic);
  const std::string wmf = ReadFile(dir / "picture.WMF");
  EXPECT_EQ(wmf.substr(0, 4), "\xD7\xCD\xC6\x9A");
  EXPECT_EQ(wmf, AsString(ConvertToPlaceableWmf(pic)));
  // Only the last extension counts; a dot in a folder name is no extension.
  SaveMetafileFile(dir / "b.wmf.emf", pic);
  EXPECT_EQ(ReadFile(dir / "b.wmf.emf"), AsString(pic.Bytes));
  EXPECT_FALSE(IsWmfFileName("/x.wmf/picture"));
  EXPECT_TRUE(IsWmfFileName("/x/picture.Wmf"));
  // Replacing an existing file; an empty picture leaves an empty file.
  SaveMetafileFile(dir / "a.emf", MetafilePicture{});
  EXPECT_EQ(ReadFile(dir / "a.emf"), "");
  EXPECT_EQ(ListDir(dir.path()), (std::vector<std::string>{"a.emf", "b.wmf.emf", "picture.WMF"}));
}

TEST(SaveMetafileFile, FileThatCannotBeCreated) {
  TempDir dir;
  const std::string path = dir / "missing/a.emf";
  try {
    SaveMetafileFile(path, Picture());
    FAIL() << "no exception";
  } catch (const EFileError& e) {
    EXPECT_EQ(std::string(e.what()), "ファイル " + path + " を作成できません");
  }
  EXPECT_TRUE(ListDir(dir.path()).empty());
}

struct ShortWrites {
  test::ScopedSeam<FileSystemCalls> seam{FileSystemSeam()};
  ShortWrites() {
    // A full disk: the first write stores a few bytes, the next none.
    seam->write = [](int fd, const void* buf, size_t count) -> ssize_t {
      static int calls = 0;
      if (calls++ % 2 == 0) return ::write(fd, buf, count < 7 ? count : 7);
      errno = ENOSPC;
      return -1;
    };
  }
};

TEST(SaveMetafileFile, ShortWriteKeepsTheEarlierFile) {
  TempDir dir;
  test::WriteFile(dir / "keep.emf", "earlier picture");
  test::WriteFile(dir / "keep.wmf", "earlier wmf");
  {
    ShortWrites fail;
    for (const char* name : {"keep.emf", "keep.wmf"}) {
      try {
        SaveMetafileFile(dir / name, Picture());
        FAIL() << "no exception for " << name;
      } catch (const EFileError& e) {
        EXPECT_STREQ(e.what(), "ストリームへの書き込みエラー");
      }
    }
  }
  EXPECT_EQ(ReadFile(dir / "keep.emf"), "earlier picture");
  EXPECT_EQ(ReadFile(dir / "keep.wmf"), "earlier wmf");
  EXPECT_EQ(ListDir(dir.path()), (std::vector<std::string>{"keep.emf", "keep.wmf"}));
}

TEST(ClipboardFormats, EmfUnderThreeNamesInOrder) {
  ASSERT_EQ(EmfClipboardMimeTypes.size(), 3u);
  EXPECT_EQ(EmfClipboardMimeTypes[0], "application/x-openoffice-emf;windows_formatname=\"Image EMF\"");
  EXPECT_EQ(EmfClipboardMimeTypes[1], "image/x-emf");
  EXPECT_EQ(EmfClipboardMimeTypes[2], "image/emf");
}

}  // namespace
}  // namespace glyphor
