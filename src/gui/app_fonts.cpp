#include "gui/app_fonts.h"

#include <QFont>
#include <QStringList>

namespace glyphor {

void InstallFontSubstitutes() {
  // The same pairs as the capture's fontconfig aliases, so that the memo
  // shows the face the outlines are taken from.
  static const char* const pairs[][2] = {
      {"ＭＳ Ｐゴシック", "IPAPGothic"}, {"MS PGothic", "IPAPGothic"}, {"ＭＳ ゴシック", "IPAGothic"},
      {"MS Gothic", "IPAGothic"},      {"ＭＳ Ｐ明朝", "IPAPMincho"},   {"MS PMincho", "IPAPMincho"},
      {"ＭＳ 明朝", "IPAMincho"},       {"MS Mincho", "IPAMincho"},     {"Times New Roman", "Liberation Serif"},
      {"Arial", "Liberation Sans"},    {"Courier New", "Liberation Mono"},
  };
  for (const auto& p : pairs) {
    const QString face = QString::fromUtf8(p[0]);
    if (!QFont::substitutes(face).contains(QString::fromUtf8(p[1])))
      QFont::insertSubstitution(face, QString::fromUtf8(p[1]));
  }
}

}  // namespace glyphor
