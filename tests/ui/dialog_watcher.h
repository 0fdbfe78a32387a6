// Acts on every dialog of a given class that comes up while a modal loop runs, so no test waits forever.
#pragma once

#include <QApplication>
#include <QTimer>
#include <functional>
#include <set>

namespace tavrel::test {

template <typename Dialog> class DialogWatcher {
public:
    // The action runs once for each visible dialog of the class; by default the dialog is rejected.
    explicit DialogWatcher(std::function<void(Dialog&)> action = [](Dialog& d) { d.reject(); })
        : m_action(std::move(action)) {
        QObject::connect(&m_timer, &QTimer::timeout, [this] { look(); });
        m_timer.start(10);
    }

    int seen() const { return static_cast<int>(m_seen.size()); }

private:
    void look() {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            auto* dialog = qobject_cast<Dialog*>(widget);
            if (dialog && dialog->isVisible() && m_seen.insert(dialog).second)
                m_action(*dialog);
        }
    }

    std::function<void(Dialog&)> m_action;
    std::set<Dialog*> m_seen;
    QTimer m_timer;
};

} // namespace tavrel::test
