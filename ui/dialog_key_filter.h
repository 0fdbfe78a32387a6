// The key filter shared by the tool's dialogs: Enter, Escape and F1 never end a dialog or ask for help.
#pragma once

#include <QDialog>

namespace tavrel {

// A dialog that swallows every key press of Enter, Return, Escape and F1 aimed at itself or any of its
// controls, before the controls or the standard dialog handling see it. The close box stays the way out.
class KeyFilteredDialog : public QDialog {
    Q_OBJECT
public:
    explicit KeyFilteredDialog(QWidget* parent = nullptr);

    static bool isFilteredKey(int key);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

} // namespace tavrel
