// The air log window: decoded air-interface records in a downlink list above and an uplink list below.
#include "ui/air_log_dlg.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QListWidget>
#include <QTimer>

#include <utility>

#include "ui/dialog_units.h"

namespace tavrel {
namespace {

constexpr auto kCaption = "Air Log of the Repeater";
constexpr QSize kTemplateSizeDu{405, 196};
constexpr DluRect kDownlinkFrameRect{4, 0, 397, 97};
constexpr DluRect kDownlinkListRect{6, 8, 392, 87};
constexpr DluRect kUplinkFrameRect{4, 97, 397, 97};
constexpr DluRect kUplinkListRect{6, 105, 392, 87};

// One framed list of the template.
QListWidget* addFramedList(QDialog* dialog, const DialogUnits& units, const char* title,
                           const DluRect& frameRect, const DluRect& listRect, int controlId) {
    auto* frame = new QGroupBox(QString::fromLatin1(title), dialog);
    frame->setGeometry(units.toPixels(frameRect));

    auto* list = new QListWidget(dialog);
    list->setGeometry(units.toPixels(listRect));
    list->setProperty("controlId", controlId);
    list->setFrameShape(QFrame::StyledPanel);
    list->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list->setSortingEnabled(false);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    // Every line has the same height, so adding one does not make the view measure all the others.
    list->setUniformItemSizes(true);
    list->raise();
    return list;
}

} // namespace

CAirLogDlg::CAirLogDlg(QWidget* parent) : KeyFilteredDialog(parent) {
    setWindowTitle(QString::fromLatin1(kCaption));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setModal(false);
    setFont(dialogTemplateFont());

    const DialogUnits units(font());
    m_downlink.view =
        addFramedList(this, units, "Downlink", kDownlinkFrameRect, kDownlinkListRect, kDownlinkListId);
    m_uplink.view = addFramedList(this, units, "Uplink", kUplinkFrameRect, kUplinkListRect, kUplinkListId);
    setFixedSize(units.toPixels(kTemplateSizeDu));

    m_tick = new QTimer(this);
    m_tick->setSingleShot(true);
    m_tick->setInterval(kShowNewEntriesPeriod);
    connect(m_tick, &QTimer::timeout, this, &CAirLogDlg::showNewEntries);

    clearLists();
}

void CAirLogDlg::addRecordLine(int direction, const QString& text) {
    RecordList& list = direction == 0 ? m_downlink : m_uplink;
    const qsizetype entries = (list.emptyFirst ? 0 : list.view->count()) + list.pending.size();
    if (entries > kMaxListEntries - 1) {
        list.emptyFirst = true;
        list.pending.clear();
    }
    list.pending.append(text);
    if (!isVisible()) {
        putPendingLines(list); // a hidden list is neither laid out nor painted, so this is cheap
    } else if (!m_tick->isActive()) {
        m_tick->start();
    }
}

void CAirLogDlg::clearLists() {
    for (RecordList* list : {&m_downlink, &m_uplink}) {
        list->view->clear();
        list->pending.clear();
        list->emptyFirst = false;
    }
}

void CAirLogDlg::showNewEntries() {
    m_tick->stop();
    putPendingLines(m_downlink);
    putPendingLines(m_uplink);
}

void CAirLogDlg::putPendingLines(RecordList& list) {
    if (std::exchange(list.emptyFirst, false))
        list.view->clear();
    if (list.pending.isEmpty())
        return;
    list.view->addItems(list.pending);
    list.pending.clear();
    // Selecting scrolls a shown list to the entry; a hidden one is not laid out for it.
    list.view->setCurrentRow(list.view->count() - 1);
}

void CAirLogDlg::closeEvent(QCloseEvent* event) {
    event->ignore();
    showMinimized();
}

} // namespace tavrel
