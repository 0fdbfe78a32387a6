// The PLL setting dialog: operation and, for a normal setting, the frequency of the Rx or Tx PLL.
#pragma once

#include "protocol/om_commands.h"
#include "ui/dialog_key_filter.h"

class QComboBox;
class QLineEdit;

namespace tavrel {

class MessageBoxes;

class CPLLParamDlg : public KeyFilteredDialog {
    Q_OBJECT
public:
    static constexpr int kOperationListId = 1006;
    static constexpr int kFrequencyFieldId = 1007;
    static constexpr int kSetButtonId = 1008;
    static constexpr int kCancelButtonId = 1009;
    // A normal setting reads at most this many characters of the frequency field.
    static constexpr int kFrequencyChars = 9;

    explicit CPLLParamDlg(om::PllTarget target, QWidget* parent = nullptr);

    // Valid after the dialog ended with Accepted.
    int operation() const { return m_operation; }
    int frequency() const { return m_frequency; }

    QComboBox* operationList() const { return m_operations; }
    QLineEdit* frequencyField() const { return m_frequencyField; }

    // Where "Invalid frequency" is shown; the real message boxes unless a test puts its own in.
    void setMessageBoxes(MessageBoxes& boxes) { m_messageBoxes = &boxes; }

    // "Set": reads the operation and, for a normal setting, the frequency; a frequency of 0 shows the
    // message box "Invalid frequency" and keeps the dialog open, anything else accepts.
    void onSet();

private:
    QComboBox* m_operations = nullptr;
    QLineEdit* m_frequencyField = nullptr;
    MessageBoxes* m_messageBoxes = nullptr;
    int m_operation = 0;
    int m_frequency = 0;
};

} // namespace tavrel
