// The PLL setting dialog: operation and, for a normal setting, the frequency of the Rx or Tx PLL.
#pragma once

#include "app/dialog_key_filter.h"
#include "omlink/om_commands.h"

class QComboBox;
class QLineEdit;

namespace tavrel {

class CPLLParamDlg : public KeyFilteredDialog {
    Q_OBJECT
public:
    explicit CPLLParamDlg(om::PllTarget target, QWidget* parent = nullptr);

    // Valid after the dialog ended with Accepted.
    int operation() const { return m_operation; }
    int frequency() const { return m_frequency; }

    QComboBox* operationList() const { return m_operations; }
    QLineEdit* frequencyField() const { return m_frequencyField; }

    // "Set": reads the operation and, for a normal setting, the frequency; refuses a frequency of 0.
    void onSet();

private:
    QComboBox* m_operations = nullptr;
    QLineEdit* m_frequencyField = nullptr;
    int m_operation = 0;
    int m_frequency = 0;
};

} // namespace tavrel
