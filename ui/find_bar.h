// The event log's find bar: a text field, previous and next, match case; every match highlighted.
#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <vector>

#include <QWidget>

#include "ui/find_matches.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QTimer;
class QToolButton;

namespace tavrel {

class FindBar : public QWidget {
    Q_OBJECT
public:
    // New lines arriving meanwhile are looked through again at most this often.
    static constexpr std::chrono::milliseconds kRefreshPeriod{200};

    explicit FindBar(QPlainTextEdit& view, QWidget* parent = nullptr);

    // Shows the bar with the field focused and its text selected, and highlights the matches.
    void open();
    // Hides the bar, takes the highlights away and gives the focus back to the view.
    void close();
    // Selects the next or previous match in the view (wrapping around) and scrolls it into view.
    void step(FindDirection direction);
    // Looks for the text again (the refresh timer's handler; the field and the check call it at once).
    void refresh();

    std::size_t matchCount() const { return m_starts.size(); }
    // The index of the match selected in the view, if the selection is one.
    std::optional<std::size_t> currentMatch() const { return m_current; }

    QLineEdit* field() const { return m_field; }
    QCheckBox* matchCaseCheck() const { return m_matchCase; }
    QToolButton* nextButton() const { return m_next; }
    QToolButton* previousButton() const { return m_previous; }
    QLabel* countLabel() const { return m_count; }

signals:
    // The bar opened or closed: while open, the view keeps its place as lines arrive.
    void openChanged(bool open);

protected:
    // Enter, Shift+Enter and Escape in the field; Ctrl+C there copies the view's selection when the field
    // has none of its own.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void highlight();
    void showCount();

    QPlainTextEdit& m_view;
    QLineEdit* m_field = nullptr;
    QToolButton* m_previous = nullptr;
    QToolButton* m_next = nullptr;
    QCheckBox* m_matchCase = nullptr;
    QLabel* m_count = nullptr;
    QTimer* m_refresh = nullptr;

    std::vector<std::size_t> m_starts; // document positions of the matches
    int m_length = 0;                  // of each match
    std::optional<std::size_t> m_current;
};

} // namespace tavrel
