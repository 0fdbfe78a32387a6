// The real message boxes: the text as given, OK only or OK and Cancel, and the answer passed back.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include "ui/message_boxes.h"

namespace tavrel {
namespace {

// Answers the next modal message box with the given button, noting what it showed.
struct Answer {
    QString text;
    QMessageBox::StandardButtons buttons;
};

void answerNextBox(QMessageBox::StandardButton button, Answer& seen) {
    QTimer::singleShot(0, [button, &seen] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) {
            answerNextBox(button, seen); // not up yet: look again on the next turn
            return;
        }
        seen = {box->text(), box->standardButtons()};
        box->button(button)->click();
    });
}

TEST(MessageBoxes, ShowTheTextWithTheirButtonsAndReturnTheAnswer) {
    QtMessageBoxes boxes;
    Answer seen;

    answerNextBox(QMessageBox::Cancel, seen);
    EXPECT_FALSE(boxes.confirm(nullptr, QStringLiteral("first line\nsecond line")));
    EXPECT_EQ(seen.text, "first line\nsecond line");
    EXPECT_EQ(seen.buttons, QMessageBox::Ok | QMessageBox::Cancel);

    answerNextBox(QMessageBox::Ok, seen);
    EXPECT_TRUE(boxes.confirm(nullptr, QStringLiteral("go on?")));

    answerNextBox(QMessageBox::Ok, seen);
    boxes.inform(nullptr, QStringLiteral("<b>Invalid</b> monitor rx port"));
    EXPECT_EQ(seen.buttons, QMessageBox::Ok);
    EXPECT_EQ(seen.text, "<b>Invalid</b> monitor rx port");
}

} // namespace
} // namespace tavrel
