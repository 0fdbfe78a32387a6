// Message boxes answered by the test: each records its text and buttons, confirm() gives a set answer.
#pragma once

#include <QString>
#include <QStringList>
#include <vector>

#include "ui/message_boxes.h"

namespace tavrel::test {

class FakeMessageBoxes : public MessageBoxes {
public:
    struct Shown {
        QString text;
        bool withCancel = false;
    };

    void inform(QWidget*, const QString& text) override { m_shown.push_back({text, false}); }
    bool confirm(QWidget*, const QString& text) override {
        m_shown.push_back({text, true});
        return m_answerOk;
    }

    void answerCancel() { m_answerOk = false; }
    const std::vector<Shown>& shown() const { return m_shown; }
    QString last() const { return m_shown.empty() ? QString() : m_shown.back().text; }
    QStringList texts() const {
        QStringList all;
        for (const auto& shown : m_shown)
            all << shown.text;
        return all;
    }
    void forget() { m_shown.clear(); }

private:
    std::vector<Shown> m_shown;
    bool m_answerOk = true;
};

} // namespace tavrel::test
