// SPDX-License-Identifier: MIT
// A fixture that gives each test its own home folder and XDG folders, and
// puts the environment back afterwards. The home folder's name holds a blank.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "support/test_support.h"

namespace glyphor::test {

class XdgHomeTest : public ::testing::Test {
 protected:
  XdgHomeTest() {
    for (const char* name : kVariables) {
      const char* value = std::getenv(name);
      saved_.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
    }
    SetVar("HOME", home());
    SetVar("XDG_CONFIG_HOME", root_ / "config");
    SetVar("XDG_DATA_HOME", root_ / "data");
    SetVar("XDG_CONFIG_DIRS", root_ / "etc-xdg");
    SetVar("XDG_DATA_DIRS", (root_ / "usr-share") + ":" + (root_ / "local-share"));
    ::unsetenv("XDG_CURRENT_DESKTOP");
    MakeDir(home());
  }
  ~XdgHomeTest() override {
    for (const auto& [name, value] : saved_) {
      if (value)
        ::setenv(name.c_str(), value->c_str(), 1);
      else
        ::unsetenv(name.c_str());
    }
  }

  static void SetVar(const char* name, const std::string& value) { ::setenv(name, value.c_str(), 1); }
  static void MakeDir(const std::string& path) { std::filesystem::create_directories(path); }
  // Writes a file, making its folders first.
  static void Put(const std::string& path, const std::string& bytes) {
    MakeDir(std::filesystem::path(path).parent_path());
    WriteFile(path, bytes);
  }

  std::string home() const { return root_ / "home dir"; }
  std::string configHome() const { return root_ / "config"; }
  std::string dataHome() const { return root_ / "data"; }
  std::string systemData() const { return root_ / "usr-share"; }
  std::string localData() const { return root_ / "local-share"; }
  std::string configDir() const { return root_ / "etc-xdg"; }
  const TempDir& root() const { return root_; }

 private:
  static constexpr const char* kVariables[] = {
      "HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CONFIG_DIRS", "XDG_DATA_DIRS", "XDG_CURRENT_DESKTOP"};
  TempDir root_;
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

}  // namespace glyphor::test
