// The main window's template: controls at their dialog-unit positions, the menu bar from the menu table.
#include "ui/tavrel_dlg.h"

#include <QAction>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QToolButton>
#include <QVBoxLayout>

#include "ui/dialog_units.h"

namespace tavrel {
namespace {

constexpr int kTemplateWidthDu = 405;
constexpr int kTemplateHeightDu = 206;

struct LampPlace {
    DluRect button;
    DluRect label;
};

// Top to bottom, in the order of kLamps.
constexpr std::array<LampPlace, kLampCount> kLampPlaces{{
    {{373, 9, 23, 20}, {372, 33, 24, 8}},
    {{373, 45, 23, 20}, {372, 69, 24, 8}},
    {{373, 81, 23, 20}, {373, 104, 22, 8}},
    {{373, 117, 23, 20}, {373, 141, 22, 8}},
    {{373, 153, 23, 20}, {372, 177, 25, 8}},
}};

constexpr DluRect kEventLogRect{3, 4, 363, 200};
constexpr DluRect kLogFrameRect{2, 0, 364, 205};
constexpr DluRect kLampFrameRect{366, 0, 36, 205};
constexpr DluRect kAutoCheckRect{371, 190, 27, 10};

QString text(std::string_view value) {
    return QString::fromUtf8(value.data(), static_cast<qsizetype>(value.size()));
}

} // namespace

void CTavrelDlg::createControls() {
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setFont(dialogTemplateFont());
    const DialogUnits units(font());
    const auto place = [&](QWidget* widget, const DluRect& rect) {
        widget->setGeometry(units.toPixels(rect));
    };

    auto* client = new QWidget(this);
    client->setFixedSize(units.toPixels(QSize(kTemplateWidthDu, kTemplateHeightDu)));

    // Frames first, so that the controls inside lie above them and get the mouse.
    place(new QGroupBox(client), kLogFrameRect);
    place(new QGroupBox(client), kLampFrameRect);

    m_view->setParent(client);
    m_view->setObjectName(QStringLiteral("eventLog%1").arg(control::kEventLogView));
    m_view->setReadOnly(true);
    m_view->setUndoRedoEnabled(false);
    m_view->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    place(m_view, kEventLogRect);

    for (std::size_t i = 0; i < kLamps.size(); ++i) {
        auto* button = new QToolButton(client);
        button->setObjectName(QStringLiteral("lamp%1").arg(control::kLamps[i]));
        button->setFocusPolicy(Qt::NoFocus);
        button->setIconSize(QSize(kIconSizePx, kIconSizePx));
        button->setStyleSheet(
            QStringLiteral("QToolButton { border: 2px inset palette(mid); }")); // sunken edge
        place(button, kLampPlaces[i].button);
        m_lampButtons[i] = button;

        auto* label = new QLabel(text(kLamps[i].label), client);
        label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
        place(label, kLampPlaces[i].label);
    }

    m_autoCheck = new QCheckBox(QStringLiteral("Auto"), client);
    m_autoCheck->setObjectName(QStringLiteral("auto%1").arg(control::kAutoCheck));
    place(m_autoCheck, kAutoCheckRect);

    m_menuBar = new QMenuBar(this);
    m_menuBar->setNativeMenuBar(false); // part of the window, whatever the desktop does with menus

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->setMenuBar(m_menuBar);
    layout->addWidget(client);
    layout->setSizeConstraint(QLayout::SetFixedSize); // the window keeps the template's size
}

void CTavrelDlg::createMenuBar() {
    QMenu* menu = nullptr;
    QMenu* submenu = nullptr;
    for (const MenuItem& item : kMenuTable) {
        if (!menu || menu->title() != text(item.menu)) {
            menu = m_menuBar->addMenu(text(item.menu));
            submenu = nullptr;
        }
        QMenu* parent = menu;
        if (!item.submenu.empty()) {
            if (!submenu || submenu->title() != text(item.submenu))
                submenu = menu->addMenu(text(item.submenu));
            parent = submenu;
        } else {
            submenu = nullptr;
        }
        QAction* action = parent->addAction(text(item.text));
        action->setData(item.id);
        if (item.action == MenuAction::Notifications) {
            action->setCheckable(true);
            action->setChecked(m_notices.enabled());
            m_notificationsAction = action;
        }
        const int id = item.id;
        connect(action, &QAction::triggered, this, [this, id] { onMenuCommand(id); });
    }

    // No system menu to extend on Linux desktops: the About item gets a Help menu of its own, at the end.
    QMenu* help = m_menuBar->addMenu(text(kHelpMenuTitle));
    QAction* about = help->addAction(text(kAboutItemText));
    about->setData(command::kAbout);
    connect(about, &QAction::triggered, this, [this] { onMenuCommand(command::kAbout); });
}

} // namespace tavrel
