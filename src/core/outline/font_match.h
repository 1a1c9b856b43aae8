// SPDX-License-Identifier: MIT
// Which face serves a font request: fontconfig finds faces by name, style
// and language (with the program's own aliases for the faces that Windows
// settings files name), and the face that stands in for each character the
// chosen face lacks. Matches are remembered between runs (face_cache.h) and
// faces stay open for the engine's life. Not thread-safe: the program runs
// everything on one thread.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/outline/face.h"
#include "core/outline/face_cache.h"
#include "core/outline/fc_holders.h"
#include "core/outline/font_choice.h"

namespace glyphor {

// A face found for one request (name, style, language), with the faces that
// stand in for the characters it lacks.
struct FontMatch {
  Face* face = nullptr;
  TFontSpec spec;
  std::string key;          // the request as the face cache knows it
  FcPatternHolder pattern;  // the request after substitution, made when needed
  FcFontSetHolder sorted;   // fallback order, made when first needed
  std::unordered_map<char32_t, Face*> fallback;
  bool bold = false, italic = false;
};

class FontEngine {
 public:
  // `cachePath`: the file of remembered matches; empty keeps none.
  explicit FontEngine(std::string cachePath);
  ~FontEngine();
  FontEngine(const FontEngine&) = delete;
  FontEngine& operator=(const FontEngine&) = delete;

  // The match for `spec`. Throws EFontError "フォント %s を読み込めません"
  // when no usable face can be loaded.
  FontMatch& Find(const TFontSpec& spec);
  // The face fontconfig ranks best for a character the primary face lacks;
  // nullptr when no installed face has it.
  Face* Fallback(FontMatch& match, char32_t cp);
  // Whether the face found is neither the one named nor the one the
  // program's aliases put in its place: fontconfig substituted another.
  bool Substituted(const FontMatch& match);
  // Writes the matches learnt since the last call to the cache file.
  void SaveMatches() noexcept;
  // Whether fontconfig's configuration had to be loaded: the face cache did
  // not know every match asked for.
  bool LoadedConfiguration() const { return config_ != nullptr; }

 private:
  struct Style {
    bool bold, italic;
  };
  struct Mapped;

  FcConfig* Config();
  FcPatternHolder Pattern(const TFontSpec& spec);
  const std::vector<std::string>& Dependencies();
  Face* SortedFallback(FontMatch& match, char32_t cp);
  std::vector<std::string> AliasedNames(const std::string& name);
  Face* OpenFile(const char* path, int index, bool bold, bool italic);
  bool Open(const char* path, int index, Mapped& m);
  std::optional<Style> ReadStyle(const char* path, int index, Mapped& opened);

  FtLibraryHolder ft_;
  FcConfigHolder config_;
  std::string aliases_;
  std::vector<std::string> dependencies_;  // of the loaded configuration, once asked for
  FaceMatchCache matches_;
  std::map<std::string, std::unique_ptr<Face>> faces_;
  std::map<std::string, FontMatch> matchesByRequest_;
  std::map<std::string, std::optional<Style>> styles_;
};

// The engine the program's writers and window share, with the face cache of
// the user's cache folder. Made on first use.
FontEngine& SharedFontEngine();

// Adds the program's font aliases to fontconfig's default configuration, the
// one other libraries (Qt) match fonts with, so that the window shows the
// faces the outlines come from. Call before the toolkit first matches a font.
void InstallFontAliasesForToolkit();

}  // namespace glyphor
