// The IPv4 address entry: field editing rules and reading and writing the four octets.
#include "ui/ipv4_edit.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>

namespace tavrel {
namespace {

// Up to three digits as typed; text with dots only arrives by pasting and is spread over the fields.
constexpr char kFieldPattern[] = R"([0-9]{0,3}|[0-9.]*\.[0-9.]*)";

// The digits of one octet as the field shows them, at most 3 and at most 255.
QString octetText(const QString& digits) {
    QString text = digits.left(Ipv4Edit::kFieldDigits);
    if (text.toInt() > Ipv4Edit::kHighestOctet)
        text = QString::number(Ipv4Edit::kHighestOctet);
    return text;
}

bool isDotKey(const QKeyEvent& key) {
    return key.key() == Qt::Key_Period || key.text() == QStringLiteral(".");
}

} // namespace

Ipv4Edit::Ipv4Edit(QWidget* parent) : QFrame(parent) {
    // Looks like one edit box: a sunken frame on the edit background, frameless fields inside.
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    setBackgroundRole(QPalette::Base);
    setAutoFillBackground(true);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(frameWidth(), frameWidth(), frameWidth(), frameWidth());
    layout->setSpacing(0);
    auto* validator =
        new QRegularExpressionValidator(QRegularExpression(QString::fromLatin1(kFieldPattern)), this);
    for (int index = 0; index < kFieldCount; ++index) {
        if (index > 0)
            layout->addWidget(new QLabel(QStringLiteral("."), this));
        auto* field = new QLineEdit(this);
        field->setFrame(false);
        field->setAlignment(Qt::AlignCenter);
        field->setValidator(validator);
        // The entry is one tab stop, as a whole; the fields after the first are reached by typing or
        // clicking.
        if (index > 0)
            field->setFocusPolicy(Qt::ClickFocus);
        field->installEventFilter(this);
        connect(field, &QLineEdit::textEdited, this, [this, index] { onFieldEdited(index); });
        layout->addWidget(field, 1);
        m_fields[static_cast<std::size_t>(index)] = field;
    }
    setFocusProxy(m_fields[0]);
}

Ipv4Octets Ipv4Edit::octets() const {
    Ipv4Octets octets{};
    for (std::size_t index = 0; index < octets.size(); ++index)
        octets[index] = static_cast<std::uint8_t>(m_fields[index]->text().toInt());
    return octets;
}

void Ipv4Edit::setOctets(const Ipv4Octets& octets) {
    for (std::size_t index = 0; index < octets.size(); ++index)
        m_fields[index]->setText(QString::number(octets[index]));
}

void Ipv4Edit::setAddress(std::uint32_t address) {
    setOctets({static_cast<std::uint8_t>(address >> 24), static_cast<std::uint8_t>(address >> 16),
               static_cast<std::uint8_t>(address >> 8), static_cast<std::uint8_t>(address)});
}

bool Ipv4Edit::setAddress(const QString& dotted) {
    const auto octets = parseIpv4(dotted.toStdString());
    if (!octets) {
        clear();
        return false;
    }
    setOctets(*octets);
    return true;
}

void Ipv4Edit::clear() {
    for (QLineEdit* field : m_fields)
        field->clear();
}

bool Ipv4Edit::isBlank() const {
    for (const QLineEdit* field : m_fields)
        if (!field->text().isEmpty())
            return false;
    return true;
}

int Ipv4Edit::indexOf(const QObject* field) const {
    for (int index = 0; index < kFieldCount; ++index)
        if (m_fields[static_cast<std::size_t>(index)] == field)
            return index;
    return -1;
}

bool Ipv4Edit::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const int index = indexOf(watched);
        if (index >= 0 && handleKey(index, *static_cast<QKeyEvent*>(event)))
            return true;
    }
    return QFrame::eventFilter(watched, event);
}

// The keys that move between fields; true when the key was used up here.
bool Ipv4Edit::handleKey(int index, const QKeyEvent& key) {
    const QLineEdit* field = m_fields[static_cast<std::size_t>(index)];
    const bool atStart = field->cursorPosition() == 0 && !field->hasSelectedText();
    const bool atEnd = field->cursorPosition() == field->text().size() && !field->hasSelectedText();
    const bool hasPrevious = index > 0;
    const bool hasNext = index + 1 < kFieldCount;

    if (isDotKey(key)) {
        // A dot ends a field that has digits; in an empty field (just reached by a third digit) it is
        // ignored.
        if (hasNext && !field->text().isEmpty())
            moveTo(index + 1, Landing::SelectAll);
        return true;
    }
    switch (key.key()) {
    case Qt::Key_Backspace:
        if (atStart && hasPrevious) {
            moveTo(index - 1, Landing::AtEnd);
            return true;
        }
        return false;
    case Qt::Key_Left:
        if (atStart && hasPrevious && key.modifiers() == Qt::NoModifier) {
            moveTo(index - 1, Landing::AtEnd);
            return true;
        }
        return false;
    case Qt::Key_Right:
        if (atEnd && hasNext && key.modifiers() == Qt::NoModifier) {
            moveTo(index + 1, Landing::AtStart);
            return true;
        }
        return false;
    default:
        return false;
    }
}

void Ipv4Edit::onFieldEdited(int index) {
    QLineEdit* field = m_fields[static_cast<std::size_t>(index)];
    const QString text = field->text();
    if (text.contains(QLatin1Char('.'))) {
        fillFrom(index, text);
        return;
    }
    const QString shown = octetText(text);
    if (shown != text)
        field->setText(shown);
    if (shown.size() == kFieldDigits && field->cursorPosition() == kFieldDigits && index + 1 < kFieldCount)
        moveTo(index + 1, Landing::SelectAll);
}

// Spreads a pasted dotted text over this field and the ones after it.
void Ipv4Edit::fillFrom(int index, const QString& dotted) {
    const QStringList parts = dotted.split(QLatin1Char('.'));
    int last = index;
    for (int part = 0; part < parts.size() && index + part < kFieldCount; ++part) {
        last = index + part;
        m_fields[static_cast<std::size_t>(last)]->setText(octetText(parts[part]));
    }
    moveTo(last, Landing::AtEnd);
}

void Ipv4Edit::moveTo(int index, Landing landing) {
    QLineEdit* field = m_fields[static_cast<std::size_t>(index)];
    field->setFocus(Qt::OtherFocusReason);
    switch (landing) {
    case Landing::SelectAll:
        field->selectAll();
        break;
    case Landing::AtStart:
        field->setCursorPosition(0);
        break;
    case Landing::AtEnd:
        field->setCursorPosition(static_cast<int>(field->text().size()));
        break;
    }
}

} // namespace tavrel
