#include "ui/steady_scroll_bar.h"

#include <utility>

#include <QCoreApplication>
#include <QEvent>
#include <QStyleOptionSlider>

namespace tavrel {

SteadyScrollBar::SteadyScrollBar(Qt::Orientation orientation, QWidget* parent)
    : QScrollBar(orientation, parent) {}

void SteadyScrollBar::setSteady(bool steady) {
    m_steady = steady;
    update();
}

SteadyScrollBar::Picture SteadyScrollBar::picture() const {
    QStyleOptionSlider option;
    initStyleOption(&option);
    Picture picture;
    picture.handle = style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider, this);
    picture.atMinimum = option.sliderValue == option.minimum;
    picture.atMaximum = option.sliderValue == option.maximum;
    picture.state = option.state;
    picture.active = option.activeSubControls;
    return picture;
}

namespace {
const QEvent::Type kLookAtPicture = static_cast<QEvent::Type>(QEvent::registerEventType());
}

void SteadyScrollBar::sliderChange(SliderChange change) {
    if (!m_steady || !m_painted || !isVisible()) {
        QScrollBar::sliderChange(change);
        return;
    }
    m_change = change;
    if (!std::exchange(m_lookPosted, true))
        QCoreApplication::postEvent(this, new QEvent(kLookAtPicture), Qt::LowEventPriority);
}

bool SteadyScrollBar::event(QEvent* event) {
    if (event->type() != kLookAtPicture)
        return QScrollBar::event(event);
    m_lookPosted = false;
    if (picture() != m_paintedPicture)
        QScrollBar::sliderChange(m_change);
    return true;
}

void SteadyScrollBar::paintEvent(QPaintEvent* event) {
    m_paintedPicture = picture();
    m_painted = true;
    QScrollBar::paintEvent(event);
}

} // namespace tavrel
