// kestrum: the desktop application.

#include "FirmwareMachineVendorReader.h"
#include "KestrumApplication.h"
#include "LinuxServices.h"
#include "MonitorBusService.h"
#include "ScreenshotSupport.h"
#include "foundation/KestrumPaths.h"
#include "foundation/ProcessLock.h"
#include "foundation/Translatable.h"
#include "localisation/L10n.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QIcon>
#include <QQuickStyle>
#include <QQuickWindow>
#include <QTemporaryDir>
#include <QtQml/qqmlextensionplugin.h>
#include <cstdio>
Q_IMPORT_QML_PLUGIN(KestrumPlugin)
Q_IMPORT_QML_PLUGIN(Kestrum_PresentationPlugin)

using namespace kestrum;

int main(int argc, char** argv) {
    QElapsedTimer sinceLaunch;
    sinceLaunch.start();
    // Texts that call the machine "Mac" stay so only on a Mac.
    L10n::setMachineIsMac(FirmwareMachineVendorReader().isMac());
    // Without a display there is no window to show: say how to monitor headless instead.
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
        qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        const QByteArray message =
            L10n::string(trText("Ekran bulunamadı. Ekransız izleme için: kestrum-cli monitor")).toUtf8();
        std::fprintf(stderr, "kestrum: %s\n", message.constData());
        return 1;
    }
    QApplication::setApplicationName(QStringLiteral("kestrum"));
    QApplication::setApplicationDisplayName(QStringLiteral("Kestrum"));
    QApplication::setOrganizationDomain(QStringLiteral("kestrum.app"));
    QApplication::setDesktopFileName(QStringLiteral("app.kestrum.Kestrum"));
    QApplication app(argc, argv);
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/kestrum/icons/app.kestrum.Kestrum.svg")));
    QQuickStyle::setStyle(QStringLiteral("Basic"));

    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption hidden(QStringLiteral("hidden"),
                                    QStringLiteral("Start in the tray, without the window."));
    const QCommandLineOption measure(
        QStringLiteral("measure-startup"),
        QStringLiteral("Print the time from launch to the first frame, then quit."));
    const QCommandLineOption screenshots(
        QStringLiteral("screenshots"), QStringLiteral("Render every section to PNG files in DIR, then quit."),
        QStringLiteral("DIR"));
    const QCommandLineOption fixture(QStringLiteral("fixture"),
                                     QStringLiteral("Recorded machine tree for --screenshots."),
                                     QStringLiteral("DIR"));
    const QCommandLineOption scheme(
        QStringLiteral("color-scheme"),
        QStringLiteral("Draw in the light or dark scheme instead of the desktop's."),
        QStringLiteral("light|dark"));
    parser.addOptions({hidden, measure, screenshots, fixture, scheme});
    parser.process(app);

    KestrumApplication::Options options;
    options.startHidden = parser.isSet(hidden);
    options.measureStartup = parser.isSet(measure);
    options.sinceLaunch = sinceLaunch;
    options.screenshotDirectory = parser.value(screenshots);
    options.fixtureRoot = parser.value(fixture);
    if (parser.isSet(scheme)) {
        const QString name = parser.value(scheme);
        if (name != u"light" && name != u"dark") {
            std::fprintf(stderr, "kestrum: --color-scheme takes light or dark\n");
            return 2;
        }
        options.colorScheme = name == u"dark" ? ColorScheme::dark : ColorScheme::light;
    }

    std::unique_ptr<QTemporaryDir> screenshotData;
    LinuxServices::MonitorServices services;
    if (!options.screenshotDirectory.isEmpty()) {
        if (options.fixtureRoot.isEmpty()) {
            std::fprintf(stderr, "kestrum: --screenshots needs --fixture DIR\n");
            return 2;
        }
        screenshotData = std::make_unique<QTemporaryDir>();
        options.desktopBus = QDBusConnection(QStringLiteral("kestrum-screenshots-no-bus"));
        qputenv("KESTRUM_DATA_DIR", QFile::encodeName(screenshotData->path() + QStringLiteral("/data")));
        qputenv("KESTRUM_CONFIG_DIR", QFile::encodeName(screenshotData->path() + QStringLiteral("/config")));
        ScreenshotSupport::prepareData(KestrumPaths::dataDirectory());
        services = ScreenshotSupport::makeServices(options.fixtureRoot);
    } else {
        // A second start shows the first one's window instead of monitoring twice.
        ProcessLock probe(KestrumPaths::dataDirectory() + QStringLiteral("/monitor.lock"));
        if (!probe.tryLock()) {
            const auto shown = callRunningMonitor(QStringLiteral("ShowWindow"), {});
            if (shown.status == MonitorCallResult::Status::succeeded && shown.arguments.value(0).toBool())
                return 0;
        }
        services = LinuxServices::makeMonitorServices();
    }

    KestrumApplication application(options, std::move(services));
    if (!application.start()) {
        std::fprintf(stderr, "kestrum: the window could not be loaded\n");
        return 1;
    }
    return QApplication::exec();
}
