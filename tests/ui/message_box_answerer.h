// Answers every message box that opens while it lives, recording its text, so no test waits on a modal box.
#pragma once

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QStringList>
#include <QTimer>

namespace tavrel::test {

class MessageBoxAnswerer {
public:
    MessageBoxAnswerer() {
        // The timer only runs inside the message box's own event loop, so it costs nothing otherwise.
        QObject::connect(&m_timer, &QTimer::timeout, [this] { answer(); });
        m_timer.start(5);
    }

    const QStringList& texts() const { return m_texts; }
    const QList<QMessageBox::StandardButtons>& buttons() const { return m_buttons; }

private:
    void answer() {
        for (QWidget* window : QApplication::topLevelWidgets()) {
            auto* box = qobject_cast<QMessageBox*>(window);
            if (!box || !box->isVisible())
                continue;
            m_texts << box->text();
            m_buttons << box->standardButtons();
            if (QAbstractButton* ok = box->button(QMessageBox::Ok))
                ok->click();
            else
                box->done(0);
        }
    }

    QTimer m_timer;
    QStringList m_texts;
    QList<QMessageBox::StandardButtons> m_buttons;
};

} // namespace tavrel::test
