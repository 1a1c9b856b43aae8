// SPDX-License-Identifier: MIT
// Every input kept in the fuzz corpus folders, fed through the same code as
// the fuzz targets: the inputs that once crashed stay fixed.
#include <filesystem>

#include <gtest/gtest.h>

#include "fuzz/fuzz_inputs.h"
#include "support/test_support.h"

namespace glyphor {
namespace {

using Input = void (*)(const uint8_t*, size_t);

// Runs `input` on each file of tests/fuzz/<target>; returns how many.
int Replay(const std::string& target, Input input) {
  const std::string dir = GLYPHOR_SOURCE_DIR "/tests/fuzz/" + target;
  int count = 0;
  for (const std::string& name : test::ListDir(dir)) {
    SCOPED_TRACE(target + "/" + name);
    const std::string bytes = test::ReadFile(dir + "/" + name);
    EXPECT_NO_THROW(input(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
    ++count;
  }
  return count;
}

TEST(FuzzCorpus, SettingsFilesLoadAndSave) { EXPECT_GT(Replay("settings", fuzz::SettingsInput), 0); }

TEST(FuzzCorpus, ColourAndIntegerTexts) { EXPECT_GT(Replay("color", fuzz::ColorInput), 0); }

TEST(FuzzCorpus, CapturedTextsAsSvgAndMetafile) {
  EXPECT_GT(Replay("capture",
                   [](const uint8_t* data, size_t size) {
                     try {
                       fuzz::CaptureInput(data, size);
                     } catch (const EFontError&) {
                       // IPAPGothic missing on this machine: the capture reports it.
                     }
                   }),
            0);
}

TEST(FuzzCorpus, MetafileBytesToWmf) { EXPECT_GT(Replay("player", fuzz::WmfInput), 0); }

}  // namespace
}  // namespace glyphor
