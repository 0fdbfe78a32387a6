// The setup dialog: controls built from its template table, initialisation in order, and the "Continue"
// checks.
#include "ui/setup_dlg.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <array>

#include "platform/local_addresses.h"
#include "platform/narrow_text.h"
#include "ui/dialog_units.h"
#include "ui/ipv4_edit.h"
#include "ui/message_boxes.h"

namespace tavrel {
namespace {

enum class ControlKind { Label, AddressEntry, PortEdit, DropDown, GroupFrame, Button };

constexpr int kNoId = -1;

struct TemplateItem {
    int id;
    ControlKind kind;
    const char* text;
    DluRect units;
};

// Template 129, in tab order; Qt's focus chain follows the order of creation.
constexpr std::array<TemplateItem, 11> kTemplate{{
    {kNoId, ControlKind::Label, "Monitor Rx Address:", {14, 14, 68, 8}},
    {kNoId, ControlKind::Label, "Monitor Rx Port:", {14, 28, 68, 8}},
    {kNoId, ControlKind::Label, "Repeater Address:", {14, 56, 68, 8}},
    {CSetupDlg::kIdRepeaterAddress, ControlKind::AddressEntry, "", {84, 54, 84, 12}},
    {CSetupDlg::kIdMonitorRxPort, ControlKind::PortEdit, "", {84, 26, 84, 12}},
    {CSetupDlg::kIdLocalAddress, ControlKind::DropDown, "", {84, 12, 84, 12}},
    {kNoId, ControlKind::GroupFrame, "", {7, 3, 168, 66}},
    {CSetupDlg::kIdContinue, ControlKind::Button, "Continue", {34, 72, 50, 14}},
    {CSetupDlg::kIdQuit, ControlKind::Button, "Quit", {98, 72, 50, 14}},
    {kNoId, ControlKind::Label, "Air Log Rx Port:", {14, 42, 68, 8}},
    {CSetupDlg::kIdAirLogRxPort, ControlKind::PortEdit, "", {84, 40, 84, 12}},
}};

QString fromAscii(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QWidget* createControl(const TemplateItem& item, QWidget* parent) {
    const QString text = QString::fromLatin1(item.text);
    switch (item.kind) {
    case ControlKind::Label:
        return new QLabel(text, parent);
    case ControlKind::AddressEntry:
        return new Ipv4Edit(parent);
    case ControlKind::PortEdit: {
        auto* edit = new QLineEdit(parent);
        edit->setAlignment(Qt::AlignCenter);
        edit->setValidator(
            new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit));
        return edit;
    }
    case ControlKind::DropDown:
        return new QComboBox(parent);
    case ControlKind::GroupFrame: {
        // A sibling drawn behind the controls it frames, as in the template; it takes no clicks.
        auto* frame = new QGroupBox(parent);
        frame->setAttribute(Qt::WA_TransparentForMouseEvents);
        frame->lower();
        return frame;
    }
    case ControlKind::Button: {
        auto* button = new QPushButton(text, parent);
        button->setAutoDefault(false);
        return button;
    }
    }
    return nullptr;
}

} // namespace

SetupDlgServices SetupDlgServices::system() {
    SetupDlgServices services;
    services.localAddresses = localIPv4Addresses;
    return services;
}

CSetupDlg::CSetupDlg(int instanceSlot, SetupDlgServices services, QWidget* parent)
    : KeyFilteredDialog(parent), m_instanceSlot(instanceSlot), m_services(std::move(services)),
      m_messageBoxes(m_services.messageBoxes ? m_services.messageBoxes : &systemMessageBoxes()) {
    setWindowTitle(QString::fromLatin1(kCaption));
    setFont(dialogTemplateFont());
    createControls();
    routeCommands();

    m_networkReady = startNetwork();
    if (!m_networkReady)
        return;
    fillLocalAddresses();
    copyLocalAddressToRepeater();
    proposeDefaultPorts();
    connect(m_localAddress, &QComboBox::currentIndexChanged, this, &CSetupDlg::onLocalAddressSelected);
}

QWidget* CSetupDlg::control(int id) const {
    for (const auto& [controlId, widget] : m_controls)
        if (controlId == id)
            return widget;
    return nullptr;
}

void CSetupDlg::createControls() {
    const DialogUnits units(font());
    setFixedSize(units.toPixels(QSize(kWidthUnits, kHeightUnits)));
    for (const TemplateItem& item : kTemplate) {
        QWidget* widget = createControl(item, this);
        widget->setGeometry(units.toPixels(item.units));
        if (item.id != kNoId)
            m_controls.emplace_back(item.id, widget);
    }
    m_repeaterAddress = qobject_cast<Ipv4Edit*>(control(kIdRepeaterAddress));
    m_monitorRxPort = qobject_cast<QLineEdit*>(control(kIdMonitorRxPort));
    m_localAddress = qobject_cast<QComboBox*>(control(kIdLocalAddress));
    m_continue = qobject_cast<QPushButton*>(control(kIdContinue));
    m_airLogRxPort = qobject_cast<QLineEdit*>(control(kIdAirLogRxPort));
    // The first control of the tab order starts with the focus.
    m_repeaterAddress->setFocus();
}

// Button clicks by control id, the dialog's command table.
void CSetupDlg::routeCommands() {
    struct Route {
        int id;
        void (CSetupDlg::*handler)();
    };
    static constexpr std::array<Route, 2> kRoutes{{
        {kIdContinue, &CSetupDlg::onContinue},
        {kIdQuit, &CSetupDlg::onQuit},
    }};
    for (const Route& route : kRoutes)
        connect(qobject_cast<QPushButton*>(control(route.id)), &QPushButton::clicked, this, route.handler);
}

bool CSetupDlg::startNetwork() {
    if (m_services.startNetwork && m_services.startNetwork())
        return true;
    m_messageBoxes->inform(this, QString::fromLatin1(kNetworkFailedMessage));
    m_continue->setEnabled(false);
    return false;
}

void CSetupDlg::fillLocalAddresses() {
    m_localAddress->clear();
    if (!m_services.localAddresses)
        return;
    for (const std::string& address : m_services.localAddresses())
        m_localAddress->addItem(fromAscii(cutAddress(address)));
    if (m_localAddress->count() > 0)
        m_localAddress->setCurrentIndex(0);
}

// The repeater usually sits on the same network: it starts out as the local address, to be edited.
void CSetupDlg::copyLocalAddressToRepeater() {
    if (m_localAddress->currentIndex() < 0) {
        m_repeaterAddress->clear();
        return;
    }
    m_repeaterAddress->setAddress(m_localAddress->currentText());
}

void CSetupDlg::proposeDefaultPorts() {
    m_monitorRxPort->setText(QString::number(defaultMonitorRxPort(m_instanceSlot)));
    m_airLogRxPort->setText(QString::number(defaultAirLogRxPort(m_instanceSlot)));
}

void CSetupDlg::showEvent(QShowEvent* event) {
    KeyFilteredDialog::showEvent(event);
    // The warning comes once, over the dialog, as soon as it is on screen.
    if (m_networkReady && !m_warningScheduled) {
        m_warningScheduled = true;
        QMetaObject::invokeMethod(this, &CSetupDlg::warnAboutCorvelle, Qt::QueuedConnection);
    }
}

void CSetupDlg::warnAboutCorvelle() {
    if (!isVisible())
        return; // closed before the warning's turn came
    if (!m_messageBoxes->confirm(this, QString::fromLatin1(kCorvelleWarning)))
        m_continue->setEnabled(false);
    if (!m_prefillProblems.empty()) {
        QString text = QString::fromLatin1(kNotTakenMessage);
        for (const std::string& problem : m_prefillProblems)
            text += QLatin1Char('\n') + QString::fromStdString(problem);
        m_messageBoxes->inform(this, text);
    }
}

std::vector<std::string> CSetupDlg::prefill(const SetupPrefill& values) {
    std::vector<std::string> found;
    if (values.localAddress) {
        const int index = m_localAddress->findText(QString::fromStdString(*values.localAddress));
        if (index >= 0)
            m_localAddress->setCurrentIndex(index); // copied into the repeater address as by the operator
        else
            found.push_back("--local " + *values.localAddress + ": not an IPv4 address of this machine");
    }
    if (values.repeaterAddress)
        m_repeaterAddress->setAddress(QString::fromStdString(*values.repeaterAddress));
    if (values.monitorRxPort)
        m_monitorRxPort->setText(QString::number(*values.monitorRxPort));
    if (values.airLogRxPort)
        m_airLogRxPort->setText(QString::number(*values.airLogRxPort));
    m_prefillProblems = values.problems;
    m_prefillProblems.insert(m_prefillProblems.end(), found.begin(), found.end());
    return found;
}

void CSetupDlg::onLocalAddressSelected() {
    copyLocalAddressToRepeater();
}

void CSetupDlg::onContinue() {
    SetupFields fields;
    if (m_localAddress->currentIndex() >= 0)
        fields.localAddress = m_localAddress->currentText().toStdString();
    fields.monitorRxPortText = m_monitorRxPort->text().toStdString();
    fields.airLogRxPortText = m_airLogRxPort->text().toStdString();
    fields.repeaterOctets = m_repeaterAddress->octets();

    if (const auto failure = applySetupFields(fields, m_settings)) {
        m_messageBoxes->inform(this, fromAscii(*failure));
        return;
    }
    accept();
}

void CSetupDlg::onQuit() {
    reject();
}

} // namespace tavrel
