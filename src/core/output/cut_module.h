// SPDX-License-Identifier: MIT
// The contract between the command-line program and its cut module,
// libglyphor_cut.so: the cut-ready writers (cut_writers.h) in a shared
// object that the program opens only for a cut-ready document, so that its
// other runs never load Clipper and the shared C++ runtime. The program
// links a C++ runtime of its own, so nothing of C++ crosses: plain structs
// in, the document's bytes out through a callback, a status and a message
// back; no exception leaves either side.
#pragma once

#include <cstddef>
#include <cstdint>

// File name of the module, looked for where the window module is.
#define GLYPHOR_CUT_MODULE "libglyphor_cut.so"

extern "C" {

typedef struct glyphor_cut_point {
  int32_t x, y;
} glyphor_cut_point;

enum { GLYPHOR_CUT_SVG = 0, GLYPHOR_CUT_DXF = 1 };

typedef struct glyphor_cut_request {
  int32_t format;  // GLYPHOR_CUT_SVG or GLYPHOR_CUT_DXF
  // The captured path as a drawing surface hands it out, `count` points in
  // pixels with their point types (2 line, 4 Bezier, 6 move; | 1 closes).
  const glyphor_cut_point* points;
  const uint8_t* types;
  int32_t count;
  int32_t width, height;  // the capture's extent, in pixels
  // The settings the geometry reads, as ConversionSettings holds them.
  int32_t font_size;                  // points
  uint32_t fill_color, stroke_color;  // red in the low byte
  int32_t transparent_fill;           // 0 or 1
  int32_t two_layer;                  // 0 or 1
  int32_t stroke_width;               // hundredths of a millimetre
  int32_t line_join;                  // -1 none selected, 0 miter, 1 round, 2 bevel
  int32_t miter_limit;                // 1..100
  int32_t resolution;                 // dpi
} glyphor_cut_request;

// Receives the document: joined, the pieces are the whole. The bytes are
// the module's and valid during the call only. Returns 0 to stop the
// document (the receiver could not take the piece).
typedef struct glyphor_cut_sink {
  int (*write)(void* context, const char* bytes, size_t size);
  void* context;
} glyphor_cut_sink;

enum {
  GLYPHOR_CUT_OK = 0,
  GLYPHOR_CUT_NO_MEMORY = 1,
  GLYPHOR_CUT_STOPPED = 2,  // the sink returned 0
  GLYPHOR_CUT_FAILED = 3,   // `message` says why (UTF-8, cut to its size)
};

// Makes the document and hands it to `sink`: the SVG whole, in one piece;
// the DXF's layers welded first, its text in pieces of about 64 KiB.
typedef int (*glyphor_cut_write_fn)(const glyphor_cut_request* request, const glyphor_cut_sink* sink, char* message,
                                    size_t message_size);
// The name carries the contract's version: a module built to another
// contract is not found rather than misread.
#define GLYPHOR_CUT_WRITE "glyphor_cut_write_1"
}
