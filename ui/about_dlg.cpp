// Layout of the About box.
#include "ui/about_dlg.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "session/monitor_texts.h"
#include "ui/dialog_units.h"
#include "ui/lamp_icons.h"

namespace tavrel {

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    setFont(dialogTemplateFont());
    setWindowTitle(QStringLiteral("About %1").arg(QString::fromUtf8(kApplicationName.data())));
    setWindowIcon(applicationIcon());

    auto* picture = new QLabel(this);
    picture->setPixmap(applicationIcon().pixmap(kIconSizePx, kIconSizePx));
    auto* name = new QLabel(QStringLiteral("%1, Version %2")
                                .arg(QString::fromUtf8(kApplicationName.data(), kApplicationName.size()),
                                     QString::fromUtf8(kVersionText.data(), kVersionText.size())),
                            this);
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setDefault(true); // Enter closes the box; Escape does through the standard dialog handling
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* row = new QHBoxLayout;
    row->addWidget(picture);
    row->addWidget(name, 1);
    row->addWidget(ok);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

} // namespace tavrel
