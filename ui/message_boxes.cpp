// Message boxes shown with QMessageBox.
#include "ui/message_boxes.h"

#include <QMessageBox>

namespace tavrel {
namespace {

inline constexpr char kTitle[] = "Tavrel";

QMessageBox::StandardButton show(QWidget* parent, const QString& text, QMessageBox::StandardButtons buttons) {
    QMessageBox box(QMessageBox::Warning, QString::fromLatin1(kTitle), text, buttons, parent);
    box.setDefaultButton(QMessageBox::Ok);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

} // namespace

void QtMessageBoxes::inform(QWidget* parent, const QString& text) {
    show(parent, text, QMessageBox::Ok);
}

bool QtMessageBoxes::confirm(QWidget* parent, const QString& text) {
    return show(parent, text, QMessageBox::Ok | QMessageBox::Cancel) == QMessageBox::Ok;
}

MessageBoxes& systemMessageBoxes() {
    static QtMessageBoxes boxes;
    return boxes;
}

} // namespace tavrel
