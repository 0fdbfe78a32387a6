// Dialog-unit arithmetic over the template font.
#include "ui/dialog_units.h"

#include <QFontMetrics>

namespace tavrel {
namespace {

constexpr char kTemplateFamily[] = "Times New Roman";
constexpr char kSubstituteFamily[] = "Liberation Serif";
constexpr int kTemplatePointSize = 10;
constexpr int kXUnitsPerChar = 4;
constexpr int kYUnitsPerChar = 8;

// units * base / divisor, rounded to the nearest pixel.
int scale(int units, int base, int divisor) {
    return (units * base + divisor / 2) / divisor;
}

} // namespace

QFont dialogTemplateFont() {
    QFont::insertSubstitution(QString::fromLatin1(kTemplateFamily), QString::fromLatin1(kSubstituteFamily));
    return QFont(QString::fromLatin1(kTemplateFamily), kTemplatePointSize);
}

DialogUnits::DialogUnits(const QFont& font) {
    const QFontMetrics metrics(font);
    m_averageCharWidth = metrics.averageCharWidth();
    m_charHeight = metrics.height();
}

int DialogUnits::toPixelsX(int units) const {
    return scale(units, m_averageCharWidth, kXUnitsPerChar);
}

int DialogUnits::toPixelsY(int units) const {
    return scale(units, m_charHeight, kYUnitsPerChar);
}

QSize DialogUnits::toPixels(QSize units) const {
    return {toPixelsX(units.width()), toPixelsY(units.height())};
}

QRect DialogUnits::toPixels(const DluRect& units) const {
    return {toPixelsX(units.x), toPixelsY(units.y), toPixelsX(units.width), toPixelsY(units.height)};
}

} // namespace tavrel
