// The dialogs' key filter, installed on the application so that it runs before any control's own handling.
#include "ui/dialog_key_filter.h"

#include <QApplication>
#include <QKeyEvent>

namespace tavrel {

KeyFilteredDialog::KeyFilteredDialog(QWidget* parent) : QDialog(parent) {
    // Installed on the application so that the filter runs before any control of this dialog.
    qApp->installEventFilter(this);
}

bool KeyFilteredDialog::isFilteredKey(int key) {
    return key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape || key == Qt::Key_F1;
}

bool KeyFilteredDialog::eventFilter(QObject* watched, QEvent* event) {
    const auto type = event->type();
    if (type == QEvent::KeyPress || type == QEvent::ShortcutOverride) {
        auto* widget = qobject_cast<QWidget*>(watched);
        const int key = static_cast<QKeyEvent*>(event)->key();
        const bool taken = widget && widget == m_keyTaker && key != Qt::Key_F1;
        if (widget && widget->window() == this && isFilteredKey(key) && !taken)
            return true;
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace tavrel
