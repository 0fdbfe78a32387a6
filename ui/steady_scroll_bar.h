// A scroll bar that repaints only when what it shows changes.
#pragma once

#include <QRect>
#include <QScrollBar>
#include <QStyle>

namespace tavrel {

// A view that follows a growing log moves its scroll bar with every new line, but once the log is long the
// handle stays on the same pixels for many lines (and at its shortest length for good). Each repaint of a
// scroll bar costs a tall gradient fill, which Qt's raster engine spreads over its thread pool, so this
// scroll bar skips the repaint of a change that leaves its picture as it was. It looks once the events that
// came with the change have run: a view that follows its end first grows the range and then moves to the
// new end, and only the two together say whether the handle moved.
class SteadyScrollBar : public QScrollBar {
public:
    explicit SteadyScrollBar(Qt::Orientation orientation, QWidget* parent = nullptr);

    // Off: every change repaints, as a plain scroll bar does (for measuring the gain).
    void setSteady(bool steady);

protected:
    void sliderChange(SliderChange change) override;
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    // What the style draws from: the handle's place and the states of the parts.
    struct Picture {
        QRect handle;
        bool atMinimum = false;
        bool atMaximum = false;
        QStyle::State state;
        QStyle::SubControls active;
        bool operator==(const Picture&) const = default;
    };
    Picture picture() const;

    bool m_steady = true;
    bool m_painted = false;
    Picture m_paintedPicture;
    bool m_lookPosted = false; // a look at the picture waits behind the other events
    SliderChange m_change = SliderValueChange;
};

} // namespace tavrel
