// The find bar: matches looked up in the view's plain text, shown as highlights, stepped through.
#include "ui/find_bar.h"

#include <algorithm>

#include <QCheckBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTimer>
#include <QToolButton>

namespace tavrel {
namespace {

const QColor kMatchColour(255, 236, 130);
const QColor kCurrentColour(255, 150, 50);

// Each UTF-16 unit folded on its own, so positions in the folded text are those of the document.
std::u16string foldedText(const QString& text, bool matchCase) {
    std::u16string folded(reinterpret_cast<const char16_t*>(text.utf16()),
                          static_cast<std::size_t>(text.size()));
    if (!matchCase)
        for (char16_t& unit : folded)
            unit = static_cast<char16_t>(QChar::toCaseFolded(static_cast<char32_t>(unit)));
    return folded;
}

QToolButton* button(const QString& text, QWidget* parent) {
    auto* b = new QToolButton(parent);
    b->setText(text);
    b->setAutoRaise(true);
    b->setFocusPolicy(Qt::NoFocus); // the field keeps the focus for the next Enter
    return b;
}

} // namespace

FindBar::FindBar(QPlainTextEdit& view, QWidget* parent)
    : QWidget(parent), m_view(view), m_field(new QLineEdit(this)),
      m_previous(button(QStringLiteral("Previous"), this)), m_next(button(QStringLiteral("Next"), this)),
      m_matchCase(new QCheckBox(QStringLiteral("Match case"), this)), m_count(new QLabel(this)),
      m_refresh(new QTimer(this)) {
    setObjectName(QStringLiteral("findBar"));
    m_field->setPlaceholderText(QStringLiteral("Find in the event log"));
    m_field->setClearButtonEnabled(true);
    m_field->installEventFilter(this);
    auto* closeButton = button(QStringLiteral("Close"), this);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 2, 4, 2);
    layout->addWidget(new QLabel(QStringLiteral("Find:"), this));
    layout->addWidget(m_field, 1);
    layout->addWidget(m_previous);
    layout->addWidget(m_next);
    layout->addWidget(m_matchCase);
    layout->addWidget(m_count);
    layout->addWidget(closeButton);

    m_refresh->setSingleShot(true);
    m_refresh->setInterval(kRefreshPeriod);
    connect(m_refresh, &QTimer::timeout, this, &FindBar::refresh);
    connect(m_field, &QLineEdit::textChanged, this, &FindBar::refresh);
    connect(m_matchCase, &QCheckBox::toggled, this, &FindBar::refresh);
    connect(m_next, &QToolButton::clicked, this, [this] { step(FindDirection::Forward); });
    connect(m_previous, &QToolButton::clicked, this, [this] { step(FindDirection::Backward); });
    connect(closeButton, &QToolButton::clicked, this, &FindBar::close);
    // New lines, or the view emptied: the matches move. Looked up again a little later, not per line.
    connect(m_view.document(), &QTextDocument::contentsChanged, this, [this] {
        if (isVisible() && !m_field->text().isEmpty() && !m_refresh->isActive())
            m_refresh->start();
    });
    hide();
}

void FindBar::open() {
    const bool wasOpen = isVisible();
    show();
    m_field->setFocus(Qt::ShortcutFocusReason);
    m_field->selectAll();
    refresh();
    if (!wasOpen)
        emit openChanged(true);
}

void FindBar::close() {
    if (!isVisible())
        return;
    m_refresh->stop();
    hide();
    m_starts.clear();
    m_current.reset();
    m_view.setExtraSelections({});
    m_view.setFocus(Qt::OtherFocusReason);
    emit openChanged(false);
}

void FindBar::refresh() {
    m_refresh->stop();
    const bool matchCase = m_matchCase->isChecked();
    const std::u16string needle = foldedText(m_field->text(), matchCase);
    m_starts = findAll(foldedText(m_view.document()->toPlainText(), matchCase), needle);
    m_length = static_cast<int>(needle.size());

    // The view's selection counts as the current match when it is one.
    const QTextCursor selection = m_view.textCursor();
    m_current.reset();
    if (selection.hasSelection() && selection.selectionEnd() - selection.selectionStart() == m_length) {
        const auto at = std::lower_bound(m_starts.begin(), m_starts.end(),
                                         static_cast<std::size_t>(selection.selectionStart()));
        if (at != m_starts.end() && *at == static_cast<std::size_t>(selection.selectionStart()))
            m_current = static_cast<std::size_t>(at - m_starts.begin());
    }
    highlight();
}

void FindBar::step(FindDirection direction) {
    const QTextCursor selection = m_view.textCursor();
    const int from =
        direction == FindDirection::Forward ? selection.selectionEnd() : selection.selectionStart();
    m_current = stepMatch(m_starts, static_cast<std::size_t>(from), direction);
    if (m_current) {
        QTextCursor match(m_view.document());
        match.setPosition(static_cast<int>(m_starts[*m_current]));
        match.setPosition(static_cast<int>(m_starts[*m_current]) + m_length, QTextCursor::KeepAnchor);
        m_view.setTextCursor(match);
        m_view.centerCursor();
    }
    highlight();
}

void FindBar::highlight() {
    QList<QTextEdit::ExtraSelection> selections;
    selections.reserve(static_cast<qsizetype>(m_starts.size()));
    for (std::size_t i = 0; i < m_starts.size(); ++i) {
        QTextEdit::ExtraSelection selection;
        selection.cursor = QTextCursor(m_view.document());
        selection.cursor.setPosition(static_cast<int>(m_starts[i]));
        selection.cursor.setPosition(static_cast<int>(m_starts[i]) + m_length, QTextCursor::KeepAnchor);
        selection.format.setBackground(m_current == i ? kCurrentColour : kMatchColour);
        selections.append(selection);
    }
    m_view.setExtraSelections(selections);
    showCount();
}

void FindBar::showCount() {
    if (m_field->text().isEmpty())
        m_count->clear();
    else if (m_starts.empty())
        m_count->setText(QStringLiteral("No match"));
    else if (m_current)
        m_count->setText(QStringLiteral("%1 of %2").arg(*m_current + 1).arg(m_starts.size()));
    else
        m_count->setText(
            QStringLiteral("%1 match%2").arg(m_starts.size()).arg(m_starts.size() == 1 ? "" : "es"));
}

bool FindBar::eventFilter(QObject* watched, QEvent* event) {
    if (watched != m_field || event->type() != QEvent::KeyPress)
        return QWidget::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    switch (key->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        step(key->modifiers() & Qt::ShiftModifier ? FindDirection::Backward : FindDirection::Forward);
        return true;
    case Qt::Key_Escape:
        close();
        return true;
    default:
        break;
    }
    if (key->matches(QKeySequence::Copy) && !m_field->hasSelectedText()) {
        m_view.copy();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace tavrel
