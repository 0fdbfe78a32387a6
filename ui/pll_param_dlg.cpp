// The PLL setting dialog: operation and, for a normal setting, the frequency of the Rx or Tx PLL.
#include "ui/pll_param_dlg.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>

#include <string>
#include <string_view>

#include "ui/dialog_units.h"
#include "ui/message_boxes.h"

namespace tavrel {
namespace {

constexpr auto kInvalidFrequency = "Invalid frequency";
constexpr const char* kOperations[] = {"Set Normally", "Power Only", "VCO Only", "Power & VCO"};

constexpr QSize kTemplateSizeDu{111, 60};
constexpr DluRect kFrameRect{4, 2, 103, 37};
constexpr DluRect kOperationLabelRect{9, 11, 34, 8};
constexpr DluRect kFrequencyLabelRect{9, 25, 34, 8};
constexpr DluRect kHzLabelRect{91, 25, 12, 8};
constexpr DluRect kOperationListRect{45, 9, 56, 12};
constexpr DluRect kFrequencyFieldRect{45, 23, 44, 12};
constexpr DluRect kSetButtonRect{10, 43, 40, 13};
constexpr DluRect kCancelButtonRect{61, 43, 40, 13};

// atoi on the first maxChars characters: leading blanks and a sign, digits up to the first non-digit.
// Nine characters always fit an int.
int leadingDecimal(std::string_view text, std::size_t maxChars) {
    text = text.substr(0, maxChars);
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r')))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    int value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        value = value * 10 + (text[i] - '0');
    return negative ? -value : value;
}

} // namespace

CPLLParamDlg::CPLLParamDlg(om::PllTarget target, QWidget* parent) : KeyFilteredDialog(parent) {
    setWindowTitle(target == om::PllTarget::Rx ? QStringLiteral("Rx PLL setting")
                                               : QStringLiteral("Tx PLL setting"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    setFont(dialogTemplateFont());
    const DialogUnits units(font());
    const auto place = [&](QWidget* widget, const DluRect& rect, int controlId = 0) {
        widget->setGeometry(units.toPixels(rect));
        if (controlId != 0)
            widget->setProperty("controlId", controlId);
    };

    place(new QGroupBox(this), kFrameRect);
    place(new QLabel(QStringLiteral("Operation:"), this), kOperationLabelRect);
    place(new QLabel(QStringLiteral("Frequency:"), this), kFrequencyLabelRect);
    place(new QLabel(QStringLiteral("Hz"), this), kHzLabelRect);

    m_operations = new QComboBox(this);
    place(m_operations, kOperationListRect, kOperationListId);
    for (const char* operation : kOperations)
        m_operations->addItem(QString::fromLatin1(operation));
    m_operations->setCurrentIndex(0);

    m_frequencyField = new QLineEdit(this);
    place(m_frequencyField, kFrequencyFieldRect, kFrequencyFieldId);
    m_frequencyField->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), m_frequencyField));

    auto* setButton = new QPushButton(QStringLiteral("Set"), this);
    place(setButton, kSetButtonRect, kSetButtonId);
    auto* cancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    place(cancelButton, kCancelButtonRect, kCancelButtonId);
    connect(setButton, &QPushButton::clicked, this, &CPLLParamDlg::onSet);
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);

    setFixedSize(units.toPixels(kTemplateSizeDu));
}

void CPLLParamDlg::onSet() {
    m_operation = m_operations->currentIndex();
    m_frequency = 0;
    if (m_operation == 0) {
        const std::string text = m_frequencyField->text().toStdString();
        m_frequency = leadingDecimal(text, kFrequencyChars);
        if (m_frequency == 0) {
            MessageBoxes& boxes = m_messageBoxes ? *m_messageBoxes : systemMessageBoxes();
            boxes.inform(this, QString::fromLatin1(kInvalidFrequency));
            return;
        }
    }
    accept();
}

} // namespace tavrel
