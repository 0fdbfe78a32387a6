// The About box: application icon, name and version. It keeps the standard keys: Enter and Escape close it.
#pragma once

#include <QDialog>

namespace tavrel {

class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent = nullptr);
};

} // namespace tavrel
