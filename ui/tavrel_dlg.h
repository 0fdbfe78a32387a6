// The main monitor window: a view of one monitoring session. It renders the session's event-log lines,
// lamps and air-log records and forwards the operator's menu commands and "Auto" check to it.
#pragma once

#include <array>
#include <string_view>

#include "session/repeater_session.h"
#include "ui/dialog_key_filter.h"
#include "ui/event_log.h"
#include "ui/lamp_icons.h"
#include "ui/menu_table.h"

class QCheckBox;
class QMenuBar;
class QPlainTextEdit;
class QToolButton;

namespace tavrel {

class CAirLogDlg;
class MessageBoxes;

class CTavrelDlg : public KeyFilteredDialog, public SessionListener, private MenuActions {
    Q_OBJECT
public:
    // Initialises at once: controls, caption, the session's start (run files, banner, O&M link; a link that
    // cannot start is also told in a message box), lamps, hidden air log window. Null boxes: real ones.
    explicit CTavrelDlg(RepeaterSession& session, MessageBoxes* messageBoxes = nullptr,
                        QWidget* parent = nullptr);
    ~CTavrelDlg() override;

    // SessionListener
    void onEventLine(std::string_view stampedLine) override;
    void onLampsChanged() override;
    void onAirLogRecord(bool downlink, std::string_view displayLine) override;

    // Menu commands of the menu table, and the About command 16.
    void onMenuCommand(int id);

    RepeaterSession& session() const { return m_session; }
    // The picture a lamp button shows.
    LampIcon lampIcon(int lamp) const { return m_shownLamps.at(static_cast<std::size_t>(lamp)); }

    QPlainTextEdit* eventLogView() const { return m_view; }
    QCheckBox* autoCheck() const { return m_autoCheck; }
    QToolButton* lampButton(int lamp) const { return m_lampButtons.at(static_cast<std::size_t>(lamp)); }
    QMenuBar* menuBar() const { return m_menuBar; }
    CAirLogDlg* airLogDlg() const { return m_airLogDlg; }
    EventLog& eventLog() { return m_eventLog; }

public slots:
    // The close box: the session stops (timers, tasks, hand-off), then the window ends as Cancel.
    void reject() override;

private:
    void createControls();
    void createMenuBar();
    void showLamps();

    // MenuActions
    void sendCommand(std::string_view text) override;
    void switchChannel(int channel) override;
    void setPll(om::PllTarget target) override;
    void airLogOn() override;
    void airLogOff() override;
    void clearLog() override;

    RepeaterSession& m_session;
    MessageBoxes* m_messageBoxes;

    QPlainTextEdit* m_view = nullptr;
    std::array<QToolButton*, kLampCount> m_lampButtons{};
    QCheckBox* m_autoCheck = nullptr;
    QMenuBar* m_menuBar = nullptr;
    CAirLogDlg* m_airLogDlg = nullptr;

    EventLog m_eventLog;
    LampIconSet m_lampIcons;
    std::array<LampIcon, kLampCount> m_shownLamps{};
    bool m_lampsShown = false; // every lamp has had its icon set once
};

} // namespace tavrel
