// The dialogs' template font and the conversion of dialog units to pixels with that font's metrics.
#pragma once

#include <QFont>
#include <QRect>
#include <QSize>

namespace tavrel {

// A rectangle in dialog units, as a template gives it.
struct DluRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

// "Times New Roman" 10 pt; its metric twin Liberation Serif stands in where the original is not installed.
QFont dialogTemplateFont();

// One horizontal dialog unit is a quarter of the font's average character width, one vertical unit an
// eighth of its height.
class DialogUnits {
public:
    explicit DialogUnits(const QFont& font);

    int toPixelsX(int units) const;
    int toPixelsY(int units) const;
    QSize toPixels(QSize units) const;
    QRect toPixels(const DluRect& units) const;

private:
    int m_averageCharWidth = 0;
    int m_charHeight = 0;
};

} // namespace tavrel
