// The address entry as an operator types into it: digits only, 0-255, moving between fields, pasting.
#include <gtest/gtest.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QLineEdit>
#include <QTest>

#include "ui/ipv4_edit.h"

namespace tavrel {
namespace {

class Ipv4EditTyping : public ::testing::Test {
protected:
    void SetUp() override {
        m_edit.show();
        m_edit.field(0)->setFocus();
    }

    // Keys go where the focus is, as they would for an operator.
    QWidget* focused() const { return m_edit.focusWidget(); }
    int focusedField() const {
        for (int index = 0; index < Ipv4Edit::kFieldCount; ++index)
            if (m_edit.field(index) == focused())
                return index;
        return -1;
    }
    void type(const char* text) {
        for (; *text; ++text)
            QTest::keyClick(focused(), *text);
    }
    void press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(focused(), key, modifiers);
    }
    QStringList texts() const {
        QStringList list;
        for (int index = 0; index < Ipv4Edit::kFieldCount; ++index)
            list << m_edit.field(index)->text();
        return list;
    }

    Ipv4Edit m_edit;
};

TEST_F(Ipv4EditTyping, TypingADottedAddressFillsTheFourFields) {
    type("192.168.1.20");
    EXPECT_EQ(m_edit.octets(), (Ipv4Octets{192, 168, 1, 20}));
    EXPECT_EQ(focusedField(), 3);
}

TEST_F(Ipv4EditTyping, ThirdDigitOrDotMovesOnAndADotInAnEmptyFieldIsIgnored) {
    type("10");
    EXPECT_EQ(focusedField(), 0);
    type(".");
    EXPECT_EQ(focusedField(), 1);
    type("255");
    EXPECT_EQ(focusedField(), 2);
    type("..7");
    EXPECT_EQ(texts(), (QStringList{"10", "255", "7", ""}));
    type(".3.");
    EXPECT_EQ(focusedField(), 3); // nowhere to go from the last field
    EXPECT_EQ(texts(), (QStringList{"10", "255", "7", "3"}));
}

TEST_F(Ipv4EditTyping, TakesDigitsOnlyAndNothingAbove255) {
    type("a-3 x");
    EXPECT_EQ(m_edit.field(0)->text(), "3");
    type("99");
    EXPECT_EQ(m_edit.field(0)->text(), "255");
    EXPECT_EQ(focusedField(), 1);
}

TEST_F(Ipv4EditTyping, BackspaceInAnEmptyFieldGoesBackToThePreviousOne) {
    type("12.");
    ASSERT_EQ(focusedField(), 1);
    press(Qt::Key_Backspace);
    EXPECT_EQ(focusedField(), 0);
    press(Qt::Key_Backspace);
    EXPECT_EQ(texts(), (QStringList{"1", "", "", ""}));
    press(Qt::Key_Backspace);
    press(Qt::Key_Backspace); // at the start of the first field there is nowhere to go
    EXPECT_EQ(focusedField(), 0);
    EXPECT_TRUE(m_edit.isBlank());
}

TEST_F(Ipv4EditTyping, PastingADottedAddressFillsTheFieldsFromTheCursorOn) {
    QGuiApplication::clipboard()->setText(QStringLiteral("192.168.1.20"));
    press(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(m_edit.octets(), (Ipv4Octets{192, 168, 1, 20}));

    m_edit.field(2)->setFocus();
    m_edit.field(2)->selectAll();
    QGuiApplication::clipboard()->setText(QStringLiteral("10.20.30.40"));
    press(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(texts(), (QStringList{"192", "168", "10", "20"}));

    QGuiApplication::clipboard()->setText(QStringLiteral("1.999.x"));
    m_edit.field(0)->setFocus();
    m_edit.field(0)->selectAll();
    press(Qt::Key_V, Qt::ControlModifier); // not digits and dots: refused whole
    EXPECT_EQ(texts(), (QStringList{"192", "168", "10", "20"}));
    QGuiApplication::clipboard()->setText(QStringLiteral("1.999"));
    press(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(texts(), (QStringList{"1", "255", "10", "20"}));
}

TEST(Ipv4Edit, ReadsAndWritesTheFourOctets) {
    Ipv4Edit edit;
    EXPECT_TRUE(edit.isBlank());
    EXPECT_EQ(edit.octets(), (Ipv4Octets{0, 0, 0, 0}));

    edit.setAddress(0x0A000001u);
    EXPECT_EQ(edit.octets(), (Ipv4Octets{10, 0, 0, 1}));
    EXPECT_EQ(edit.field(1)->text(), "0"); // a zero octet is shown, not left blank

    EXPECT_TRUE(edit.setAddress(QStringLiteral("127.0.1.30")));
    EXPECT_EQ(edit.octets(), (Ipv4Octets{127, 0, 1, 30}));

    EXPECT_FALSE(edit.setAddress(QStringLiteral("127.0.1")));
    EXPECT_TRUE(edit.isBlank());

    edit.setOctets({1, 2, 3, 4});
    edit.field(2)->clear(); // an empty field reads as 0
    EXPECT_EQ(edit.octets(), (Ipv4Octets{1, 2, 0, 4}));
    edit.clear();
    EXPECT_TRUE(edit.isBlank());
}

} // namespace
} // namespace tavrel
