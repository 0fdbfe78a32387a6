// The key filter shared by the tool's dialogs: Enter, Escape and F1 never end a dialog or ask for help.
#pragma once

#include <QDialog>
#include <QPointer>

namespace tavrel {

// A dialog that swallows every key press of Enter, Return, Escape and F1 aimed at itself or any of its
// controls, before the controls or the standard dialog handling see it. The close box stays the way out.
class KeyFilteredDialog : public QDialog {
    Q_OBJECT
public:
    explicit KeyFilteredDialog(QWidget* parent = nullptr);

    static bool isFilteredKey(int key);

    // Enter, Return and Escape aimed at this one control reach it (F1 still does not). The control must take
    // each of them itself: one it passes on would reach the dialog's own handling and end the dialog.
    void letDialogKeysThrough(QWidget* control) { m_keyTaker = control; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<QWidget> m_keyTaker;
};

} // namespace tavrel
