#include <QCoreApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    // Tests never touch the user's files or depend on the user's language.
    qputenv("KESTRUM_DATA_DIR", QByteArray("/nonexistent/kestrum-tests-must-set-their-own"));
    qputenv("LANGUAGE", QByteArray("tr_TR"));
    qputenv("LC_ALL", QByteArray("C.UTF-8"));
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
