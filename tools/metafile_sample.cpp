// SPDX-License-Identifier: MIT
// Writes one text as EMF, placeable WMF and SVG into a folder, for comparing
// the program's metafiles with what other readers make of them
// (check-metafile-readers.sh). Not part of the program.
//
//   metafile_sample <folder> [text] [font] [two-layer 0|1] [line join 0|1|2]
//                   [size in points] [pen in 0.01 mm]
#include <cstdio>
#include <exception>
#include <fstream>
#include <string>

#include "core/outline/capture.h"
#include "core/output/metafile_picture.h"
#include "core/output/metafile_save.h"
#include "core/output/svg_writer.h"

using namespace glyphor;

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s folder [text] [font] [two-layer] [join] [size] [pen]\n", argv[0]);
    return 2;
  }
  const std::string dir = argv[1];
  ConversionSettings s;
  s.Text = argc > 2 ? argv[2] : "Rg";
  s.Font.Name = argc > 3 ? argv[3] : "DejaVu Sans";
  s.Font.Size = argc > 6 ? std::stoi(argv[6]) : 72;
  s.Font.Color = 0x0000C000;
  s.StrokeColor = 0x000000FF;
  s.StrokeWidth = argc > 7 ? std::stoi(argv[7]) : 100;
  s.Fukuromoji = argc > 4 && std::string(argv[4]) == "1";
  s.LineJoin = argc > 5 ? std::stoi(argv[5]) : 0;
  try {
    TPath path;
    int32_t width = 0, height = 0;
    CaptureTextPath(s.Text, s.Font, s.Resolution, DefaultScreenPpi, path, width, height);
    std::ofstream(dir + "/sample.svg", std::ios::binary) << SvgDocument(path, width, height, s);
    MetafilePicture pic;
    RecordPicture(pic, path, width, height, s);
    SaveMetafileFile(dir + "/sample.emf", pic);
    SaveMetafileFile(dir + "/sample.wmf", pic);
    std::printf("%d %d\n", pic.FrameWidth, pic.FrameHeight);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  return 0;
}
