#include <QApplication>
#include <QtQml/qqmlextensionplugin.h>
#include <gtest/gtest.h>
Q_IMPORT_QML_PLUGIN(KestrumPlugin)
Q_IMPORT_QML_PLUGIN(Kestrum_PresentationPlugin)

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_QUICK_BACKEND", "software");
    qputenv("LANGUAGE", "tr_TR");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
