// SPDX-License-Identifier: MIT
#include "gui/preview/preview_image.h"

#include <climits>

#include <gtest/gtest.h>
#include <QPainter>

#include "core/output/metafile_picture.h"
#include "core/platform/errors.h"
#include "gui/preview/preview_emf_builder.h"
#include "gui/preview/preview_player.h"

namespace glyphor {
namespace {

using test::EmfBuilder;

const QRgb kWhitePx = qRgb(255, 255, 255), kRedPx = qRgb(255, 0, 0);

// Antialiased pixels classed by what covers most of them.
bool IsStroke(QRgb p) { return qRed(p) < 128 && qGreen(p) < 128 && qBlue(p) > 127; }
bool IsFill(QRgb p) { return qRed(p) > 127 && qGreen(p) < 128 && qBlue(p) < 128; }
bool IsWhite(QRgb p) { return qRed(p) > 127 && qGreen(p) > 127 && qBlue(p) > 127; }

int StrokePixelsInRow(const QImage& image, int y, int x0, int x1) {
  int n = 0;
  for (int x = x0; x < x1; ++x) n += IsStroke(image.pixel(x, y));
  return n;
}

MetafilePicture Picture(const EmfBuilder& b, int32_t width, int32_t height) {
  return MetafilePicture{b.Bytes(), width, height};
}

TEST(PreviewImage, SizeIsTheFrameAtTheScreensResolutionTruncated) {
  EmfBuilder b(3325, 2690);
  b.HiMetric();
  QImage at96 = RenderPreview(Picture(b, 3325, 2690), 96);
  EXPECT_EQ(at96.size(), QSize(125, 101));
  EXPECT_EQ(at96.format(), QImage::Format_RGB32);
  EXPECT_EQ(at96.pixel(0, 0), kWhitePx);
  EXPECT_EQ(at96.pixel(124, 100), kWhitePx);
  EXPECT_EQ(RenderPreview(Picture(b, 3325, 2690), 120).size(), QSize(157, 127));

  EXPECT_TRUE(RenderPreview(Picture(EmfBuilder(26, 2690), 26, 2690), 96).isNull());
  EXPECT_EQ(RenderPreview(Picture(EmfBuilder(27, 2690), 27, 2690), 96).size(), QSize(1, 101));
  EXPECT_TRUE(RenderPreview(MetafilePicture{}, 96).isNull());
  EXPECT_TRUE(RenderPreview(Picture(EmfBuilder(-3325, 2690), -3325, 2690), 96).isNull());
  // The product overflows 32 bits: 2^31 - 1 by 96.
  PreviewExtent huge = PreviewSize(MetafilePicture{{}, INT_MAX, 2540}, 96);
  EXPECT_EQ(huge.Width, int64_t(INT_MAX) * 96 / 2540);
  EXPECT_EQ(huge.Height, 96);
}

TEST(PreviewImage, TooLargeAPreviewRunsOutOfResources) {
  EmfBuilder b(INT_MAX, INT_MAX);
  try {
    RenderPreview(Picture(b, INT_MAX, INT_MAX), 96);
    FAIL() << "no exception";
  } catch (const EOutOfResources& e) {
    EXPECT_STREQ(e.what(), "システム リソースが足りません");
  }
  // 2^15 squared is above the bound although each side is small.
  EXPECT_THROW(RenderPreview(Picture(b, 32768 * 2540 / 96 + 27, 32768 * 2540 / 96 + 27), 96), EOutOfResources);
}

TEST(PreviewImage, TheFrameFillsTheWholeImage) {
  EmfBuilder b(3325, 2690);
  b.HiMetric().Select(test::kNullPen).Brush(1, 0, test::kRed).Select(1);
  b.Begin().Rect(0, 0, 3325, -2690).End().Fill();
  QImage image = RenderPreview(Picture(b, 3325, 2690), 96);
  ASSERT_EQ(image.size(), QSize(125, 101));
  for (QPoint p : {QPoint(0, 0), QPoint(124, 0), QPoint(0, 100), QPoint(124, 100), QPoint(60, 50)})
    EXPECT_EQ(image.pixel(p), kRedPx) << p.x() << "," << p.y();
}

TEST(PreviewImage, AMalformedPictureLeavesTheImageWhite) {
  EmfBuilder b(3325, 2690);
  b.HiMetric().Brush(1, 0, test::kRed).Select(1).Begin().Rect(0, 0, 3325, -2690).End().Fill();
  b.Select(3);  // never created
  QImage image = RenderPreview(Picture(b, 3325, 2690), 96);
  ASSERT_EQ(image.size(), QSize(125, 101));
  EXPECT_EQ(image.pixel(60, 50), kWhitePx);
}

// A 400 x 400 square in path units: 25.4 mm at 72 points and 400 dpi.
ConversionSettings SquareSettings() {
  ConversionSettings s;
  s.Font.Size = 72;
  s.Font.Color = 0x0000FF;
  s.StrokeColor = 0xFF0000;
  s.StrokeWidth = 300;  // 3 mm
  s.Resolution = 400;
  return s;
}

QImage RecordedSquare(const ConversionSettings& s) {
  TPath path;
  path.Append({0, 0}, PT_MOVETO);
  path.Append({400, 0}, PT_LINETO);
  path.Append({400, 400}, PT_LINETO);
  path.Append({0, 400}, PT_LINETO | PT_CLOSEFIGURE);
  MetafilePicture picture;
  RecordPicture(picture, path, 400, 400, s);
  return RenderPreview(picture, 96);
}

TEST(PreviewImage, RecordedPicturesPlayBack) {
  ConversionSettings s = SquareSettings();
  QImage filled = RecordedSquare(s);
  // Frame 2540 + 3 x 300 = 3440: 130 pixels; the square's edges at pixel 17.
  ASSERT_EQ(filled.size(), QSize(130, 130));
  EXPECT_EQ(filled.pixel(65, 65), kRedPx);
  EXPECT_TRUE(IsWhite(filled.pixel(3, 65)));
  // 3 mm at 96 pixels an inch: 11.3 pixels.
  EXPECT_NEAR(StrokePixelsInRow(filled, 65, 0, 65), 11, 1);
  EXPECT_NEAR(StrokePixelsInRow(filled, 65, 65, 130), 11, 1);

  s.TransparentFill = true;
  QImage hollow = RecordedSquare(s);
  EXPECT_EQ(hollow.pixel(65, 65), kWhitePx);
  EXPECT_NEAR(StrokePixelsInRow(hollow, 65, 0, 65), 11, 1);
}

TEST(PreviewImage, TheTwoLayerFillCoversTheInnerHalfOfTheStroke) {
  ConversionSettings s = SquareSettings();
  s.Fukuromoji = true;
  QImage image = RecordedSquare(s);
  // Frame 2540 + 3 x 600 = 4340: 164 pixels; the edge at pixel 34.
  ASSERT_EQ(image.size(), QSize(164, 164));
  EXPECT_NEAR(StrokePixelsInRow(image, 82, 0, 82), 11, 1);
  EXPECT_TRUE(IsStroke(image.pixel(32, 82)));
  EXPECT_TRUE(IsFill(image.pixel(35, 82)));
}

TEST(PreviewImage, RecordedJoinsDifferAtTheCorner) {
  ConversionSettings s = SquareSettings();
  s.LineJoin = 0;
  QImage miter = RecordedSquare(s);
  s.LineJoin = 1;
  QImage round = RecordedSquare(s);
  s.LineJoin = 2;
  QImage bevel = RecordedSquare(s);
  // The top-left corner at (17, 17), the stroke 5.7 pixels each side.
  EXPECT_TRUE(IsStroke(miter.pixel(12, 12)));
  EXPECT_TRUE(IsWhite(round.pixel(12, 12)));
  EXPECT_TRUE(IsStroke(round.pixel(13, 13)));
  EXPECT_TRUE(IsWhite(bevel.pixel(13, 13)));
  s.LineJoin = 0;
  s.MiterLimit = 1;  // below the square corner's 1.41: bevelled
  EXPECT_EQ(RecordedSquare(s), bevel);
}

TEST(PreviewImage, EdgeCaseFrameSizesFromTheRecorder) {
  ConversionSettings s;
  s.Font.Size = 72;
  s.StrokeWidth = 50;
  TPath path;
  MetafilePicture picture;
  RecordPicture(picture, path, 500, 400, s);
  ASSERT_EQ(picture.FrameWidth, 3325);
  ASSERT_EQ(picture.FrameHeight, 2690);
  EXPECT_EQ(RenderPreview(picture, 96).size(), QSize(125, 101));
  EXPECT_EQ(RenderPreview(picture, 120).size(), QSize(157, 127));
}

ConversionSettings LetterSettings(const std::string& text) {
  ConversionSettings s;
  s.Text = text;
  s.Font.Name = "DejaVu Sans";
  s.Font.Size = 100;
  s.Font.Color = 0x0000FF;
  s.StrokeColor = 0xFF0000;
  return s;
}

TEST(PreviewImage, BuiltLettersShowTheirFillOrTheWhiteBehindThem) {
  ConversionSettings s = LetterSettings("I");
  MetafilePicture picture;
  BuildMetafile(picture, s, 96);
  QImage image = RenderPreview(picture, 96);
  ASSERT_FALSE(image.isNull());
  // The stem of the I runs through the middle of its cell.
  QPoint middle(image.width() / 2, image.height() / 2);
  EXPECT_EQ(image.pixel(middle), kRedPx);
  EXPECT_TRUE(IsWhite(image.pixel(1, 1)));
  EXPECT_GT(StrokePixelsInRow(image, middle.y(), 0, middle.x()), 0);

  s.TransparentFill = true;
  MetafilePicture hollow;
  BuildMetafile(hollow, s, 96);
  EXPECT_EQ(RenderPreview(hollow, 96).pixel(middle), kWhitePx);
}

TEST(PreviewImage, BuiltTextPreviewHasTheFramesSize) {
  MetafilePicture picture;
  BuildMetafile(picture, LetterSettings("GLYPHOR"), 96);
  QImage image = RenderPreview(picture, 96);
  EXPECT_EQ(image.width(), int64_t(picture.FrameWidth) * 96 / 2540);
  EXPECT_EQ(image.height(), int64_t(picture.FrameHeight) * 96 / 2540);
  int fill = 0, stroke = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) {
      fill += image.pixel(x, y) == kRedPx;
      stroke += IsStroke(image.pixel(x, y));
    }
  EXPECT_GT(fill, 1000);
  EXPECT_GT(stroke, 500);
}

TEST(PreviewImage, ALongLineDrawnInPartsHasThePixelsOfOneDrawing) {
  // Two layers with a thick mitred stroke: the columns end in the gaps
  // between letters, and two threads may share the line; the pixels must be
  // those of the whole line drawn at once (a translated painter draws so).
  ConversionSettings s = LetterSettings("WAVE 袋文字 Glyphor, AVA! ");
  for (int i = 0; i < 2; ++i) s.Text += s.Text;
  s.Font.Name = "IPAPGothic";
  s.Font.Size = 72;
  s.StrokeWidth = 150;
  s.Fukuromoji = true;
  MetafilePicture picture;
  BuildMetafile(picture, s, 96);
  const QImage image = RenderPreview(picture, 96);
  ASSERT_GT(image.width(), 4000);

  QImage once(image.size(), QImage::Format_RGB32);
  once.fill(Qt::white);
  QPainter painter(&once);
  painter.translate(1, 0);
  ASSERT_TRUE(PlayMetafile(picture.Bytes, painter, once.rect().translated(-1, 0)).Ok);
  painter.end();
  EXPECT_EQ(image, once);
  QImage shared(image.size(), QImage::Format_RGB32);
  shared.fill(Qt::white);
  ASSERT_TRUE(PlayMetafileOnImage(picture.Bytes, shared, 2).Ok);
  EXPECT_EQ(shared, once);

  // Parts drawn as a window shows them: any rectangle, at an edge, across
  // letters, a row or a column alone, has the whole image's pixels there.
  PreviewPicture parts(picture, 96);
  ASSERT_EQ(parts.Size(), image.size());
  const int w = image.width(), h = image.height();
  for (const QRect area :
       {QRect(0, 0, w, h), QRect(0, 0, 300, h), QRect(w - 257, 0, 257, h), QRect(1733, 17, 641, h - 30),
        QRect(w / 2, h / 2, 1, h / 2), QRect(999, 0, 2500, 1), QRect(4097, 40, 33, 20)}) {
    SCOPED_TRACE(std::to_string(area.x()) + "," + std::to_string(area.y()));
    EXPECT_EQ(parts.Render(area), image.copy(area));
  }
  // Nothing to show, and too large to show, as for the whole image.
  EXPECT_TRUE(PreviewPicture(Picture(EmfBuilder(26, 2690), 26, 2690), 96).IsNull());
  EXPECT_THROW(PreviewPicture(MetafilePicture{picture.Bytes, INT32_MAX, INT32_MAX}, 96), EOutOfResources);
}

}  // namespace
}  // namespace glyphor
