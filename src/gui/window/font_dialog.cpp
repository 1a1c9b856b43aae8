// SPDX-License-Identifier: MIT
#include "gui/window/font_dialog.h"

#include <algorithm>

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPixmap>
#include <QPushButton>
#include <QSpinBox>

#include "gui/window/qt_colors.h"

namespace glyphor {

const CharsetEntry kCharsets[14] = {
    {0, "欧文"},          {1, "既定"},         {128, "日本語"},   {129, "ハングル"},   {134, "中国語 GB2312"},
    {136, "中国語 BIG5"}, {161, "ギリシャ語"}, {162, "トルコ語"}, {177, "ヘブライ語"}, {178, "アラビア語"},
    {186, "バルト言語"},  {204, "キリル言語"}, {222, "タイ語"},   {238, "中欧言語"},
};

namespace {

struct NamedColor {
  uint32_t Value;  // red in the low byte
  const char* Name;
};
// The sixteen standard colours of the effects section.
const NamedColor kColors[16] = {
    {0x000000, "黒"},       {0x000080, "マルーン"}, {0x008000, "緑"},       {0x008080, "オリーブ"},
    {0x800000, "ネイビー"}, {0x800080, "紫"},       {0x808000, "ティール"}, {0x808080, "灰色"},
    {0xC0C0C0, "シルバー"}, {0x0000FF, "赤"},       {0x00FF00, "ライム"},   {0x00FFFF, "黄"},
    {0xFF0000, "青"},       {0xFF00FF, "フクシア"}, {0xFFFF00, "水色"},     {0xFFFFFF, "白"},
};

// Style combo entries: index = bold * 2 + italic.
const char* const kStyles[4] = {"標準", "斜体", "太字", "太字 斜体"};

QIcon Swatch(uint32_t color) {
  QPixmap pm(24, 12);
  pm.fill(ToQColor(color));
  return QIcon(pm);
}

}  // namespace

TFontDialog::TFontDialog(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("フォント"));
  auto* grid = new QGridLayout(this);

  auto* faceLabel = new QLabel(QStringLiteral("フォント名(&F):"));
  grid->addWidget(faceLabel, 0, 0);
  faceEdit_ = new QLineEdit;
  faceLabel->setBuddy(faceEdit_);
  faces_ = new QListWidget;
  faces_->addItems(QFontDatabase::families());
  grid->addWidget(faceEdit_, 1, 0);
  grid->addWidget(faces_, 2, 0, 3, 1);

  auto* styleLabel = new QLabel(QStringLiteral("スタイル(&Y):"));
  grid->addWidget(styleLabel, 0, 1);
  style_ = new QComboBox;
  styleLabel->setBuddy(style_);
  for (const char* s : kStyles) style_->addItem(QString::fromUtf8(s));
  grid->addWidget(style_, 1, 1);

  auto* sizeLabel = new QLabel(QStringLiteral("サイズ(&S):"));
  grid->addWidget(sizeLabel, 0, 2);
  size_ = new QSpinBox;
  sizeLabel->setBuddy(size_);
  size_->setRange(1, 9999);
  grid->addWidget(size_, 1, 2);

  auto* effects = new QGroupBox(QStringLiteral("文字飾り"));
  auto* eg = new QGridLayout(effects);
  strikeOut_ = new QCheckBox(QStringLiteral("取り消し線(&K)"));
  underline_ = new QCheckBox(QStringLiteral("下線(&U)"));
  color_ = new QComboBox;
  for (const NamedColor& c : kColors) color_->addItem(Swatch(c.Value), QString::fromUtf8(c.Name), c.Value);
  eg->addWidget(strikeOut_, 0, 0, 1, 2);
  eg->addWidget(underline_, 1, 0, 1, 2);
  auto* colorLabel = new QLabel(QStringLiteral("色(&C):"));
  colorLabel->setBuddy(color_);
  eg->addWidget(colorLabel, 2, 0);
  eg->addWidget(color_, 2, 1);
  grid->addWidget(effects, 2, 1, 1, 2);

  auto* sampleBox = new QGroupBox(QStringLiteral("サンプル"));
  auto* sg = new QGridLayout(sampleBox);
  sample_ = new QLabel(QStringLiteral("Aaあぁアァ亜宇"));
  sample_->setAlignment(Qt::AlignCenter);
  sample_->setMinimumSize(200, 48);
  sg->addWidget(sample_, 0, 0);
  grid->addWidget(sampleBox, 3, 1, 1, 2);

  auto* scriptRow = new QGridLayout;
  auto* scriptLabel = new QLabel(QStringLiteral("文字セット(&R):"));
  scriptRow->addWidget(scriptLabel, 0, 0);
  script_ = new QComboBox;
  scriptLabel->setBuddy(script_);
  for (const CharsetEntry& c : kCharsets) script_->addItem(QString::fromUtf8(c.Name), c.Number);
  scriptRow->addWidget(script_, 0, 1);
  grid->addLayout(scriptRow, 4, 1, 1, 2);

  auto* buttons = new QDialogButtonBox;
  buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole)->setDefault(true);
  buttons->addButton(QStringLiteral("キャンセル"), QDialogButtonBox::RejectRole);
  grid->addWidget(buttons, 5, 0, 1, 3);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  connect(faces_, &QListWidget::currentTextChanged, faceEdit_, &QLineEdit::setText);
  connect(faceEdit_, &QLineEdit::textEdited, this, [this](const QString& text) {
    const auto found = faces_->findItems(text, Qt::MatchStartsWith);
    if (!found.isEmpty()) faces_->scrollToItem(found.first());
  });
  connect(faceEdit_, &QLineEdit::textChanged, this, &TFontDialog::UpdateSample);
  connect(style_, &QComboBox::currentIndexChanged, this, &TFontDialog::UpdateSample);
  connect(size_, &QSpinBox::valueChanged, this, &TFontDialog::UpdateSample);
  connect(underline_, &QCheckBox::toggled, this, &TFontDialog::UpdateSample);
  connect(strikeOut_, &QCheckBox::toggled, this, &TFontDialog::UpdateSample);
  connect(color_, &QComboBox::currentIndexChanged, this, &TFontDialog::UpdateSample);
}

void TFontDialog::SelectFace(const QString& name) {
  auto found = faces_->findItems(name, Qt::MatchExactly);
  if (found.isEmpty()) {
    faces_->insertItem(0, name);
    found = faces_->findItems(name, Qt::MatchExactly);
  }
  faces_->setCurrentItem(found.first());
  faceEdit_->setText(name);
}

void TFontDialog::SelectColor(uint32_t color) {
  int index = color_->findData(color);
  if (index < 0) {
    color_->addItem(Swatch(color), QStringLiteral("カスタム"), color);
    index = color_->count() - 1;
  }
  color_->setCurrentIndex(index);
}

void TFontDialog::SelectCharset(uint8_t charset) {
  int index = script_->findData(charset);
  if (index < 0) {
    script_->addItem(QStringLiteral("文字セット %1").arg(charset), charset);
    index = script_->count() - 1;
  }
  script_->setCurrentIndex(index);
}

void TFontDialog::SetFont(const TFontSpec& font) {
  SelectFace(QString::fromStdString(font.Name));
  style_->setCurrentIndex(((font.Style & fsBold) ? 2 : 0) + ((font.Style & fsItalic) ? 1 : 0));
  size_->setRange(std::min(1, font.Size), std::max(9999, font.Size));
  size_->setValue(font.Size);
  underline_->setChecked(font.Style & fsUnderline);
  strikeOut_->setChecked(font.Style & fsStrikeOut);
  SelectColor(font.Color);
  SelectCharset(font.Charset);
  hiddenStyleBits_ = font.Style & 0xF0;
  UpdateSample();
}

TFontSpec TFontDialog::Font() const {
  TFontSpec f;
  f.Name = faceEdit_->text().toStdString();
  f.Size = size_->value();
  const int s = style_->currentIndex();
  f.Style = hiddenStyleBits_ | ((s & 2) ? fsBold : 0) | ((s & 1) ? fsItalic : 0) |
            (underline_->isChecked() ? fsUnderline : 0) | (strikeOut_->isChecked() ? fsStrikeOut : 0);
  f.Color = color_->currentData().toUInt();
  f.Charset = static_cast<uint8_t>(script_->currentData().toUInt());
  return f;
}

void TFontDialog::UpdateSample() {
  const TFontSpec f = Font();
  QFont q(QString::fromStdString(f.Name));
  q.setPixelSize(20);
  q.setBold(f.Style & fsBold);
  q.setItalic(f.Style & fsItalic);
  q.setUnderline(f.Style & fsUnderline);
  q.setStrikeOut(f.Style & fsStrikeOut);
  sample_->setFont(q);
  QPalette p = sample_->palette();
  p.setColor(QPalette::WindowText, ToQColor(f.Color));
  sample_->setPalette(p);
}

bool TFontDialog::Choose(QWidget* parent, TFontSpec& font) {
  TFontDialog dialog(parent);
  dialog.SetFont(font);
  if (dialog.exec() != QDialog::Accepted) return false;
  font = dialog.Font();
  return true;
}

}  // namespace glyphor
