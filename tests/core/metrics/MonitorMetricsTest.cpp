#include "metrics/MonitorMetrics.h"

#include "TestSupport.h"
#include "foundation/Uuid.h"
#include "metrics/HealthEventTotals.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace kestrum;

namespace {

SystemSnapshot laptopSnapshot() {
    SystemSnapshot s = SystemSnapshot::empty(newUuid(), Date::fromUnixSeconds(1'765'000'000));
    s.cpu = CPUStats{0.25, {0.5, 0.0}, {1.5, 1.25, 1.0}, MetricAvailability::available()};
    s.memory = MemoryStats{4'000'000'000, 16'000'000'000, 0, 0, MetricAvailability::available()};
    s.battery = BatteryStats::notPresent(MetricAvailability::available());
    s.battery.isPresent = true;
    s.battery.chargeFraction = 0.5;
    s.battery.isConnectedToPowerAdapter = false;
    s.thermal = ThermalLevel::fair;
    s.network.isConnected = true;
    s.network.pathAvailability = MetricAvailability::available();
    s.network.trafficAvailability = MetricAvailability::available();
    s.network.downloadBytesPerSecond = 1024;
    return s;
}

// The sample lines of a page, name (with labels) → value.
std::map<QString, QString> samples(const QByteArray& page) {
    std::map<QString, QString> out;
    for (const QByteArray& line : page.split('\n')) {
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        const qsizetype space = line.lastIndexOf(' ');
        out[QString::fromUtf8(line.left(space))] = QString::fromUtf8(line.mid(space + 1));
    }
    return out;
}

} // namespace

TEST(MonitorMetrics, EveryReadingWithItsUnitAndNothingForWhatIsMissing) {
    MonitorMetricsInput input;
    input.snapshot = laptopSnapshot();
    const auto page = samples(monitorMetricsPage(input).render(ExpositionFormat::prometheusText));
    const std::pair<const char*, const char*> present[] = {
        {"kestrum_cpu_usage_ratio", "0.25"},
        {"kestrum_cpu_core_usage_ratio{core=\"1\"}", "0"},
        {"kestrum_cpu_load_average{window=\"15m\"}", "1"},
        {"kestrum_memory_used_bytes", "4000000000"},
        {"kestrum_battery_charge_ratio", "0.5"},
        {"kestrum_power_adapter_connected", "0"},
        {"kestrum_thermal_level", "1"},
        {"kestrum_network_receive_bytes_per_second", "1024"},
        {"kestrum_sample_timestamp_seconds", "1765000000"},
    };
    for (const auto& [name, value] : present)
        EXPECT_EQ(page.count(QLatin1String(name)) ? page.at(QLatin1String(name)) : QStringLiteral("(absent)"),
                  QLatin1String(value))
            << name;
    // Unreadable groups and unknown values are absent, never 0.
    for (const char* name : {"kestrum_disk_size_bytes", "kestrum_battery_temperature_celsius",
                             "kestrum_wifi_signal_dbm", "kestrum_gpu_utilization_ratio",
                             "kestrum_fan_speed_rpm", "kestrum_health_level", "kestrum_baseline_samples"})
        EXPECT_EQ(page.count(QLatin1String(name)), 0u) << name;

    input.snapshot->thermal = ThermalLevel::unavailable;
    input.snapshot->cpu.availability = MetricAvailability::unavailable(QStringLiteral("x"));
    const QByteArray text = monitorMetricsPage(input).render(ExpositionFormat::prometheusText);
    EXPECT_FALSE(text.contains("kestrum_thermal_level")) << "an unreadable thermal state is no level";
    EXPECT_FALSE(text.contains("kestrum_cpu_")) << "no processor family at all when it could not be read";
    EXPECT_FALSE(text.contains("# HELP kestrum_cpu_usage_ratio")) << "no empty families";
}

TEST(MonitorMetrics, FormatsNameCountersAndUnitsTheirOwnWay) {
    MonitorMetricsInput input;
    input.eventTotals[{HealthInsightKind::cpu, HealthLevel::critical}] = 3;
    input.snapshot = laptopSnapshot();
    const QByteArray text = monitorMetricsPage(input).render(ExpositionFormat::prometheusText);
    EXPECT_TRUE(text.contains("# TYPE kestrum_health_events_total counter\n"));
    EXPECT_TRUE(text.contains("kestrum_health_events_total{kind=\"cpu\",severity=\"critical\"} 3\n"));
    EXPECT_FALSE(text.contains("# UNIT")) << "the text format has no unit lines";
    EXPECT_FALSE(text.contains("# EOF"));
    const QByteArray open = monitorMetricsPage(input).render(ExpositionFormat::openMetrics);
    EXPECT_TRUE(open.contains("# TYPE kestrum_health_events counter\n"));
    EXPECT_TRUE(open.contains("kestrum_health_events_total{kind=\"cpu\",severity=\"critical\"} 3\n"));
    EXPECT_TRUE(open.contains("# UNIT kestrum_memory_used_bytes bytes\n"));
    EXPECT_TRUE(open.endsWith("# EOF\n"));
    // Every family's samples follow its own HELP and TYPE lines, names valid, each family once.
    static const QRegularExpression sampleLine(
        QStringLiteral("^([a-zA-Z_:][a-zA-Z0-9_:]*)(\\{.*\\})? \\S+$"));
    QSet<QString> typed;
    QString current;
    for (const QByteArray& line : text.split('\n')) {
        if (line.startsWith("# TYPE ")) {
            current = QString::fromUtf8(line.split(' ')[2]);
            EXPECT_FALSE(typed.contains(current)) << current.toStdString();
            typed.insert(current);
        } else if (!line.isEmpty() && !line.startsWith('#')) {
            const auto match = sampleLine.match(QString::fromUtf8(line));
            ASSERT_TRUE(match.hasMatch()) << line.constData();
            EXPECT_EQ(match.captured(1), current) << line.constData();
        }
    }
}

TEST(MonitorMetrics, LabelValuesAreEscaped) {
    MetricsPage page;
    page.family("kestrum_gpu_info", MetricsPage::Type::gauge, "Back\\slash and\nnewline in help.");
    page.sample(1, {{QStringLiteral("name"), QStringLiteral("Radeon \"Pro\" C:\\x\nİ")}});
    page.sample(std::numeric_limits<double>::quiet_NaN(), {{QStringLiteral("name"), QStringLiteral("nan")}});
    const QByteArray text = page.render(ExpositionFormat::prometheusText);
    EXPECT_EQ(text, QByteArray("# HELP kestrum_gpu_info Back\\\\slash and\\nnewline in help.\n"
                               "# TYPE kestrum_gpu_info gauge\n"
                               "kestrum_gpu_info{name=\"Radeon \\\"Pro\\\" C:\\\\x\\n") +
                        QStringLiteral("İ").toUtf8() + "\"} 1\n");
}

TEST(HealthEventTotals, NeverGoDownAcrossRestartsOrCompaction) {
    QTemporaryDir folder;
    const QString file = folder.filePath(QStringLiteral("totals.json"));
    const Date t0 = Date::fromUnixSeconds(1'765'000'000);
    const auto event = [&](double at, HealthLevel level) {
        HealthEvent e;
        e.id = newUuid();
        e.timestamp = t0.addingSeconds(at);
        e.kind = HealthInsightKind::memory;
        e.level = level;
        return e;
    };
    const HealthEvent a = event(0, HealthLevel::attention), b = event(60, HealthLevel::attention),
                      c = event(60, HealthLevel::critical); // b and c from one sample
    {
        HealthEventTotals totals(file);
        totals.count({a, b});
        totals.count({a, b, c}); // the same list again, grown by one of equal time
        EXPECT_EQ(totals.totals().at({HealthInsightKind::memory, HealthLevel::attention}), 2u);
        EXPECT_EQ(totals.totals().at({HealthInsightKind::memory, HealthLevel::critical}), 1u);
    }
    HealthEventTotals restarted(file);
    restarted.count({c}); // the archive after compaction dropped the older ones
    EXPECT_EQ(restarted.totals().at({HealthInsightKind::memory, HealthLevel::attention}), 2u);
    EXPECT_EQ(restarted.totals().at({HealthInsightKind::memory, HealthLevel::critical}), 1u);
    restarted.count({c, event(120, HealthLevel::critical)});
    EXPECT_EQ(restarted.totals().at({HealthInsightKind::memory, HealthLevel::critical}), 2u);

    // A malformed file is set aside, not overwritten, and counting starts again.
    QFile broken(file);
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly | QIODevice::Truncate));
    broken.write("{\"totals\": [{\"kind\": \"nope\"}]}");
    broken.close();
    HealthEventTotals fresh(file);
    EXPECT_TRUE(fresh.totals().empty());
    EXPECT_EQ(QDir(folder.path()).entryList({QStringLiteral("totals.json.unreadable-*")}).size(), 1);
}
