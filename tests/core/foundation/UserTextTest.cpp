#include "foundation/UserText.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace kestrum;

TEST(UserText, ControlCharactersGoWhiteSpaceIsTrimmedAndLengthIsBounded) {
    const QString emoji = QString::fromUtf8("🙂"); // two UTF-16 units, one character
    struct Case {
        const char* name;
        QString text;
        qsizetype maximum;
        QString expected;
    } cases[] = {
        {"plain", QStringLiteral("fan loud"), 500, QStringLiteral("fan loud")},
        {"tab and line feed stay inside", QStringLiteral("a\tb\nc"), 500, QStringLiteral("a\tb\nc")},
        {"other controls go", QStringLiteral("a\x01\x1b[31mb\rc\x7f") + QChar(0x85) + u'd', 500,
         QStringLiteral("a[31mbcd")},
        {"trimmed at both ends", QStringLiteral("\n\t  note \r\n"), 500, QStringLiteral("note")},
        {"only controls and space", QStringLiteral("\x01 \n\x02\t"), 500, QString()},
        {"cut to the maximum", QString(600, u'x'), 500, QString(500, u'x')},
        {"controls do not count", QString(10, QChar(0x07)) + QString(5, u'y'), 5, QString(5, u'y')},
        {"a character is never halved", QStringLiteral("ab") + emoji + emoji, 3,
         QStringLiteral("ab") + emoji},
        {"Turkish letters are one each", QStringLiteral("ığüşöçİ"), 4, QStringLiteral("ığüş")},
    };
    for (const Case& c : cases)
        EXPECT_EQ(boundedUserText(c.text, c.maximum), c.expected) << c.name;
}
