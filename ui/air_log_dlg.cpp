// The air log window: decoded air-interface records in a downlink list above and an uplink list below.
#include "ui/air_log_dlg.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QGroupBox>
#include <QKeyEvent>
#include <QListWidget>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <utility>

#include "ui/dialog_units.h"
#include "ui/owned_placement.h"

namespace tavrel {

// Every entry as wide as the widest line so far. The lists keep uniform entry sizes, so that adding one does
// not make the view measure all the others; without this the first line would set the width of all.
class WholeLineDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    // Called for each line before it goes in; the insertion then lays the list out with the new width.
    // Counted in characters of the fixed-width font: measuring the text itself would cost a shaping of
    // every ever longer line, and a datagram's line can run to 200,000 characters.
    void measure(const QListWidget& list, const QString& line) {
        if (line.size() <= m_widestChars)
            return;
        m_widestChars = line.size();
        // Advances can be fractions of a pixel; a run of characters measures them.
        const qreal perChar =
            QFontMetricsF(list.font()).horizontalAdvance(QStringLiteral("0F 0F 0F 0F")) / 11;
        const qreal width = std::ceil(static_cast<qreal>(m_widestChars) * perChar) + kPaddingPx;
        m_width = static_cast<int>(std::min<qreal>(width, kWidestPx));
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        const QSize natural = QStyledItemDelegate::sizeHint(option, index);
        return {std::max(natural.width(), m_width), natural.height()};
    }

private:
    static constexpr int kPaddingPx = 12;     // the item's text margins and focus frame
    static constexpr int kWidestPx = 1 << 24; // far within the scroll bar's range
    qsizetype m_widestChars = 0;
    int m_width = 0;
};

namespace {

constexpr auto kCaption = "Air Log of the Repeater";
constexpr QSize kTemplateSizeDu{405, 196};
constexpr QSize kMinimumSizeDu{120, 80};
constexpr int kMarginDu = 4;

// A list whose Ctrl+C copies every selected line, in list order, not only the current one.
class RecordListWidget : public QListWidget {
public:
    using QListWidget::QListWidget;

protected:
    void keyPressEvent(QKeyEvent* event) override {
        if (!event->matches(QKeySequence::Copy)) {
            QListWidget::keyPressEvent(event);
            return;
        }
        QModelIndexList rows = selectionModel()->selectedRows();
        std::sort(rows.begin(), rows.end(), [](const auto& a, const auto& b) { return a.row() < b.row(); });
        QStringList lines;
        for (const QModelIndex& row : rows)
            lines << row.data().toString();
        if (!lines.isEmpty())
            QApplication::clipboard()->setText(lines.join(QLatin1Char('\n')) + QLatin1Char('\n'));
        event->accept();
    }
};

// One framed list taking its share of the window's height and all of its width.
QListWidget* addFramedList(QVBoxLayout& layout, const char* title, int controlId, WholeLineDelegate*& lines) {
    auto* frame = new QGroupBox(QString::fromLatin1(title));
    auto* inside = new QVBoxLayout(frame);
    auto* list = new RecordListWidget(frame);
    inside->addWidget(list);
    layout.addWidget(frame, 1);

    list->setProperty("controlId", controlId);
    list->setFrameShape(QFrame::StyledPanel);
    list->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont)); // columns of hex bytes line up
    list->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded); // whole lines, scrolled rather than cut
    list->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    list->setTextElideMode(Qt::ElideNone);
    list->setSortingEnabled(false);
    list->setSelectionMode(QAbstractItemView::ExtendedSelection); // several lines for Ctrl+C
    // Every line has the same height, so adding one does not make the view measure all the others.
    list->setUniformItemSizes(true);
    lines = new WholeLineDelegate(list);
    list->setItemDelegate(lines);
    return list;
}

} // namespace

CAirLogDlg::CAirLogDlg(QWidget* parent) : KeyFilteredDialog(parent) {
    setWindowTitle(QString::fromLatin1(kCaption));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
    setModal(false);
    setFont(dialogTemplateFont());

    const DialogUnits units(font());
    auto* layout = new QVBoxLayout(this);
    const int margin = units.toPixelsX(kMarginDu);
    layout->setContentsMargins(margin, 0, margin, margin);
    m_downlink.view = addFramedList(*layout, "Downlink", kDownlinkListId, m_downlink.lines);
    m_uplink.view = addFramedList(*layout, "Uplink", kUplinkListId, m_uplink.lines);
    resize(units.toPixels(kTemplateSizeDu)); // the template's size to start with
    setMinimumSize(units.toPixels(kMinimumSizeDu));

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
    for (const QString& line : std::as_const(list.pending))
        list.lines->measure(*list.view, line);
    list.view->addItems(list.pending);
    list.pending.clear();
    // Selecting scrolls a shown list to the entry; a hidden one is not laid out for it.
    list.view->setCurrentRow(list.view->count() - 1, QItemSelectionModel::ClearAndSelect);
}

void CAirLogDlg::showBeside(const QWidget& owner) {
    if (!m_placed) {
        placeBesideOwner(*this, owner);
        m_placed = true;
    }
    // Shown again even when the operator minimised it with its close box.
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
}

void CAirLogDlg::closeEvent(QCloseEvent* event) {
    event->ignore();
    showMinimized();
}

} // namespace tavrel
