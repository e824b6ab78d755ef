#pragma once

// Inputs for the report tests: a machine seen in full, and one seeded with everything a report must not
// reveal (addresses, names, paths) in every field that could carry it.

#include "reports/DiagnosticReportBuilder.h"
#include "reports/WeeklyHealthReportBuilder.h"

#include <QStringList>

namespace kestrum::test {

// 2025-12-06T08:00:00Z
inline Date reportTime(double secondsLater = 0) {
    return Date::fromUnixSeconds(1'765'008'000 + secondsLater);
}

// What the seeded inputs carry and no report may print.
inline const QStringList& identifyingValues() {
    static const QStringList values = {
        QStringLiteral("ayse"),
        QStringLiteral("ayse-thinkpad"),
        QStringLiteral("EvAgim5G"),
        QStringLiteral("192.168.1.23"),
        QStringLiteral("10.0.0.1"),
        QStringLiteral("fe80::1c2b:3aff:fe4d:5e6f"),
        QStringLiteral("2001:db8::42"),
        QStringLiteral("a4:5e:60:d1:22:9f"),
        QStringLiteral("/home/ayse"),
        QStringLiteral("C02XK1ABJGH5"),
        QStringLiteral("ayse@example.org"),
        QStringLiteral("Gizli not"),
    };
    return values;
}

inline SystemSnapshot fullSnapshot() {
    SystemSnapshot s = SystemSnapshot::empty(
        QUuid::fromString(QStringLiteral("{00000000-0000-0000-0000-000000000001}")), reportTime(-60));
    s.cpu.availability = MetricAvailability::available();
    s.cpu.totalUsage = 0.424;
    s.memory = {12'000'000'000ULL, 16'000'000'000ULL, 0, 0, MetricAvailability::available()};
    s.battery.availability = MetricAvailability::available();
    s.battery.isPresent = true;
    s.battery.chargeFraction = 0.995;
    s.disk = {500'000'000'000ULL, 125'000'000'000ULL, MetricAvailability::available()};
    s.thermal = ThermalLevel::fair;
    s.network.isConnected = true;
    s.network.interfaceKind = NetworkInterfaceKind::wifi;
    s.network.pathAvailability = MetricAvailability::available();
    s.network.trafficAvailability = MetricAvailability::available();
    s.network.downloadBytesPerSecond = 2'456'789.4;
    s.network.uploadBytesPerSecond = 1499.6;
    s.network.wifiRSSI = -61;
    s.network.wifiConnectionDetails.networkName = QStringLiteral("EvAgim5G");
    s.network.wifiConnectionDetails.accessPointIdentifier = QStringLiteral("a4:5e:60:d1:22:9f");
    s.network.connectionDetails.localIPv4Address = QStringLiteral("192.168.1.23");
    s.network.connectionDetails.localIPv6Address = QStringLiteral("fe80::1c2b:3aff:fe4d:5e6f");
    s.network.connectionDetails.routerIPv4Address = QStringLiteral("10.0.0.1");
    s.network.connectionDetails.dnsServerAddresses = {QStringLiteral("2001:db8::42")};
    return s;
}

// The assessment and alerts repeat identifying values, as free text from a system service could.
inline HealthAssessment fullAssessment() {
    HealthAssessment a;
    a.level = HealthLevel::attention;
    a.title = QStringLiteral("Dikkat gerektiren sinyal var");
    a.reasons = {QStringLiteral("Termal durum hafif yüksek."),
                 QStringLiteral("Disk /home/ayse/Belgeler üzerinde dolmak üzere (ayse-thinkpad).")};
    a.recommendations = {QStringLiteral("Yoğun işleri azalt."),
                         QStringLiteral("EvAgim5G ağına 192.168.1.23 üzerinden yeniden bağlan.")};
    a.coverage.evaluatedSignals = {QStringLiteral("Termal durum"), QStringLiteral("Bellek kullanımı"),
                                   QStringLiteral("Depolama alanı")};
    a.coverage.unavailableSignals = {QStringLiteral("Batarya sağlığı")};
    a.confidence = HealthAssessmentConfidence::medium;
    return a;
}

inline PersonalBaseline fullBaseline() {
    PersonalBaseline b;
    b.generatedAt = reportTime(-120);
    b.sampleCount = 4321;
    b.observedDayCount = 6;
    b.confidence = BaselineConfidence::established;
    b.medianCPUUsage = 0.183;
    b.highCPUUsage = 0.655;
    b.medianMemoryUsage = 0.5;
    b.highMemoryUsage = 0.71;
    b.medianWiFiRSSI = -58.5;
    b.medianBatteryDrainPerHour = 0.0849;
    return b;
}

inline HealthEvent event(double secondsBefore, HealthInsightKind kind, const QString& evidence) {
    HealthEvent e;
    e.id = QUuid::createUuidV5(QUuid(), QString::number(secondsBefore));
    e.timestamp = reportTime(-secondsBefore);
    e.kind = kind;
    e.level = HealthLevel::attention;
    e.title = QStringLiteral("Yüksek CPU kullanımı");
    e.evidence = evidence;
    e.recommendation = QStringLiteral("Yoğun işi kontrol et.");
    e.signature = QStringLiteral("cpu-high");
    return e;
}

inline std::vector<HealthEvent> fullEvents() {
    return {event(7200, HealthInsightKind::cpu, QStringLiteral("CPU 10 dakikadır %92.")),
            event(600, HealthInsightKind::thermal,
                  QStringLiteral("Kaynak C02XK1ABJGH5 seri numaralı cihaz, kullanıcı ayse@example.org.")),
            event(3600, HealthInsightKind::cpu, QStringLiteral("CPU 5 dakikadır %88."))};
}

inline NetworkQualityResult fullQuality() {
    NetworkQualityResult q;
    q.timestamp = reportTime(-1800);
    q.quality = NetworkQualityLevel::good;
    q.dnsResolutionMilliseconds = 23.5;
    q.medianResponseMilliseconds = 1234.4;
    q.jitterMilliseconds = 4.49;
    q.attemptedProbes = 10;
    q.successfulProbes = 9;
    return q;
}

inline IncidentSession openIncident() {
    IncidentSession i;
    i.startedAt = reportTime(-900);
    i.note = QStringLiteral("Gizli not: fan /home/ayse sırasında çok sesliydi");
    return i;
}

inline DiagnosticReportBuilder seededBuilder() {
    DiagnosticReportBuilder builder;
    builder.distribution = ReportDistribution::advanced;
    builder.operatingSystemVersion =
        QStringLiteral("Debian GNU/Linux 12 (bookworm) · Linux 6.1.0-18-amd64 ayse-thinkpad");
    builder.privateWords = {QStringLiteral("ayse"), QStringLiteral("ayse-thinkpad"),
                            QStringLiteral("C02XK1ABJGH5")};
    return builder;
}

inline HealthSample sample(double secondsBefore, std::optional<double> cpu, std::optional<double> memory,
                           std::optional<double> battery, ThermalLevel thermal) {
    HealthSample s;
    s.id = QUuid::createUuidV5(QUuid(), QStringLiteral("s") + QString::number(secondsBefore));
    s.timestamp = reportTime(-secondsBefore);
    s.cpuUsage = cpu;
    s.memoryUsage = memory;
    s.batteryCharge = battery;
    s.batteryIsCharging = false;
    s.batteryUsesPowerAdapter = false;
    s.thermalLevel = thermal;
    return s;
}

inline WeeklyHealthReportInput fullWeeklyInput() {
    WeeklyHealthReportInput in;
    in.periodStart = reportTime(-7 * 86400);
    in.periodEnd = reportTime();
    in.generatedAt = reportTime(5);
    // One discharge of half an hour: 0.80 → 0.74 (12 % an hour, not the learned 8 %); one sample before
    // the period is ignored.
    in.samples = {sample(8 * 86400, 0.99, 0.99, 0.01, ThermalLevel::critical),
                  sample(1800, 0.20, 0.40, 0.80, ThermalLevel::nominal),
                  sample(1200, 0.35, 0.50, 0.78, ThermalLevel::fair),
                  sample(600, 0.90, std::nullopt, 0.76, ThermalLevel::serious),
                  sample(0, std::nullopt, 0.61, 0.74, ThermalLevel::unavailable)};
    in.events = fullEvents();
    in.events.push_back(event(8 * 86400, HealthInsightKind::memory, QStringLiteral("eski")));
    IncidentSession closed = openIncident();
    closed.endedAt = reportTime(-600);
    in.incidents = {openIncident(), closed};
    PerformanceSession session;
    session.name = QStringLiteral("ayse'nin derleme işi /home/ayse/src");
    session.startedAt = reportTime(-5000);
    session.endedAt = reportTime(-4000);
    PerformanceSession running = session;
    running.endedAt.reset();
    in.performanceSessions = {session, running};
    HealthTestResult quick;
    quick.endedAt = reportTime(-86400);
    in.quickTestResults = {quick, quick};
    DeepHealthTestResult deep;
    deep.endedAt = reportTime(-9 * 86400);
    in.deepTestResults = {deep};
    in.baseline = fullBaseline();
    ProcessorComparisonRecord lower{QUuid(),
                                    reportTime(-300),
                                    ProcessorComparisonAction::pausedKnownTask,
                                    ProcessorComparisonResult::lower,
                                    std::nullopt,
                                    0.62,
                                    0.31};
    ProcessorComparisonRecord invalid{QUuid(),
                                      reportTime(-200),
                                      ProcessorComparisonAction::unspecified,
                                      std::nullopt,
                                      ProcessorComparisonInvalidReason::interrupted,
                                      std::nullopt,
                                      std::nullopt};
    ProcessorComparisonRecord similar{QUuid(),
                                      reportTime(-100),
                                      ProcessorComparisonAction::observedOnly,
                                      ProcessorComparisonResult::similar,
                                      std::nullopt,
                                      0.4,
                                      0.42};
    in.comparisons = {similar, lower, invalid};
    return in;
}

} // namespace kestrum::test
