// Every document of the public JSON parsing test suite (tests/fixtures/jsontestsuite, MIT licensed):
// y_ must be accepted, n_ refused, i_ may go either way but must neither crash nor hang.

#include "TestSupport.h"
#include "foundation/JsonCodec.h"
#include "foundation/KestrumError.h"

#include <QDir>
#include <gtest/gtest.h>

using namespace kestrum;
using namespace kestrum::json;

namespace {

struct Verdict {
    bool syntaxAccepted = false; // the pull reader skipped the whole document
    bool treeAccepted = false;   // parseDocument built a tree from it
    QString error;
};

Verdict judge(const QByteArray& bytes) {
    Verdict verdict;
    try {
        JsonReader reader(bytes);
        reader.skipValue();
        reader.finish();
        verdict.syntaxAccepted = true;
    } catch (const KestrumError& error) {
        EXPECT_EQ(error.code(), QStringLiteral("decoding"));
        verdict.error = error.description();
    }
    try {
        parseDocument(bytes);
        verdict.treeAccepted = true;
    } catch (const KestrumError& error) {
        EXPECT_EQ(error.code(), QStringLiteral("decoding"));
        verdict.error = error.description();
    }
    return verdict;
}

} // namespace

TEST(JsonTestSuite, EveryDocumentGetsTheVerdictTheSuiteExpects) {
    const QDir folder(test::fixture(QStringLiteral("jsontestsuite/test_parsing")));
    const QStringList files = folder.entryList({QStringLiteral("*.json")}, QDir::Files, QDir::Name);
    int counts[3] = {0, 0, 0};
    for (const QString& name : files) {
        const QByteArray bytes = test::readFile(folder.filePath(name));
        const Verdict verdict = judge(bytes);
        const std::string label = name.toStdString();
        if (name.startsWith(u"y_")) {
            ++counts[0];
            EXPECT_TRUE(verdict.syntaxAccepted) << label << ": " << verdict.error.toStdString();
            // Valid JSON, but which of two equal keys was meant cannot be known: a tree refuses it.
            if (name.startsWith(u"y_object_duplicated_key")) {
                EXPECT_FALSE(verdict.treeAccepted) << label;
                continue;
            }
            ASSERT_TRUE(verdict.treeAccepted) << label << ": " << verdict.error.toStdString();
            // What we write from it reads back as the same tree.
            const QJsonValue tree = parseDocument(bytes);
            EXPECT_EQ(parseDocument(toDocumentBytes(tree)), tree) << label;
        } else if (name.startsWith(u"n_")) {
            ++counts[1];
            EXPECT_FALSE(verdict.syntaxAccepted) << label;
            EXPECT_FALSE(verdict.treeAccepted) << label;
        } else if (name.startsWith(u"i_")) {
            ++counts[2]; // reaching the next file is the test
        }
    }
    // The whole suite was there: 95 valid, 188 invalid, 35 either way.
    EXPECT_EQ(counts[0], 95);
    EXPECT_EQ(counts[1], 188);
    EXPECT_EQ(counts[2], 35);
}
