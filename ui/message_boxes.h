// The modal message boxes of the application shell, behind an interface so tests can answer them.
#pragma once

#include <QString>

class QWidget;

namespace tavrel {

class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    // A message with the OK button only.
    virtual void inform(QWidget* parent, const QString& text) = 0;
    // A message with OK and Cancel; true when the operator answered OK.
    virtual bool confirm(QWidget* parent, const QString& text) = 0;
};

// The real ones: QMessageBox, titled with the application's name.
class QtMessageBoxes final : public MessageBoxes {
public:
    void inform(QWidget* parent, const QString& text) override;
    bool confirm(QWidget* parent, const QString& text) override;
};

// The process-wide real message boxes, for callers that were given none.
MessageBoxes& systemMessageBoxes();

} // namespace tavrel
