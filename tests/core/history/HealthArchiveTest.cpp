#include "TestSupport.h"
#include "foundation/KestrumError.h"
#include "foundation/Uuid.h"
#include "healthtests/HealthTestsJson.h"
#include "history/FileHealthArchiveRepository.h"
#include "history/HealthArchiveCompaction.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace kestrum;

namespace {

const Date kNow = Date::fromUnixSeconds(1'765'000'000); // a fixed "now" in late 2025

HealthSample sampleAt(Date when, std::optional<double> cpu = 0.25) {
    HealthSample s;
    s.id = newUuid();
    s.timestamp = when;
    s.cpuUsage = cpu;
    s.thermalLevel = ThermalLevel::nominal;
    s.healthLevel = HealthLevel::normal;
    return s;
}

HealthEvent eventAt(Date when, const char* signature = "cpu-high") {
    return HealthEvent{newUuid(),
                       when,
                       HealthInsightKind::cpu,
                       HealthLevel::attention,
                       QStringLiteral("t"),
                       QStringLiteral("e"),
                       QStringLiteral("r"),
                       QLatin1String(signature)};
}

QJsonObject resultEndedAt(Date when) {
    return QJsonObject{
        {QStringLiteral("id"), uuidText(newUuid())},
        {QStringLiteral("endedAt"), when.secondsSinceReferenceDate},
        {QStringLiteral("benchmarkVersion"), 3},
        {QStringLiteral("futureField"), QJsonObject{{QStringLiteral("nested"), QJsonArray{1, 2}}}}};
}

template <class Result> Result typedResultEndedAt(Date when) {
    Result r;
    r.id = newUuid();
    r.startedAt = when.addingSeconds(-20);
    r.endedAt = when;
    return r;
}

HealthArchive fullArchive() {
    HealthArchive a;
    a.samples = {sampleAt(kNow.addingSeconds(-120)), sampleAt(kNow.addingSeconds(-60), std::nullopt)};
    a.samples[1].batteryCharge = 0.5;
    a.samples[1].wifiRSSI = -61;
    a.events = {eventAt(kNow.addingSeconds(-30))};
    a.incidents = {IncidentSession{newUuid(), kNow.addingSeconds(-600), kNow.addingSeconds(-300),
                                   QStringLiteral("fan")}};
    a.healthTestResults = {typedResultEndedAt<HealthTestResult>(kNow.addingSeconds(-100))};
    a.cpuBenchmarkResults = {typedResultEndedAt<CPUBenchmarkResult>(kNow.addingSeconds(-50))};
    a.fullSystemScanResults = {resultEndedAt(kNow.addingSeconds(-40))};
    PerformanceSession session;
    session.id = newUuid();
    session.name = QStringLiteral("Derleme");
    session.startedAt = kNow.addingSeconds(-900);
    session.baseline.timestamp = session.startedAt;
    session.baseline.cpuUsage = 0.4;
    session.sampleCount = 2;
    session.cpuUsageTotal = 0.9;
    session.cpuSampleCount = 2;
    session.peakCPUUsage = 0.5;
    session.highestThermalLevel = ThermalLevel::fair;
    session.lastRecordedAt = kNow.addingSeconds(-880);
    a.performanceSessions = {session};
    a.processorComparisons = {ProcessorComparisonRecord{
        newUuid(), kNow.addingSeconds(-10), ProcessorComparisonAction::pausedKnownTask,
        ProcessorComparisonResult::lower, std::nullopt, 0.6, 0.2}};
    NetworkSpeedTestResult speed;
    speed.id = QUuid::fromString(QStringLiteral("{6F9619FF-8B86-D011-B42D-00C04FC964FF}"));
    speed.timestamp = Date{700000000};
    speed.downloadMegabitsPerSecond = 93.5;
    speed.providerName = QStringLiteral("Cloudflare");
    a.latestNetworkSpeedResult = speed;
    return a;
}

} // namespace

TEST(HealthArchive, FileRoundTripIsByteIdenticalAndCarriesUnknownRecords) {
    const HealthArchive archive = fullArchive();
    const QByteArray first = encodeHealthArchive(archive);
    const HealthArchive decoded = decodeHealthArchive(first);
    EXPECT_EQ(decoded, archive);
    EXPECT_EQ(encodeHealthArchive(decoded), first);
    // Writing always writes every list, the latest results only when present, and no absent optionals.
    const QJsonObject object = QJsonDocument::fromJson(first).object();
    for (const char* key :
         {"performanceSessions", "deepHealthTestResults", "fullSystemScanResults", "processorComparisons"})
        EXPECT_TRUE(object.contains(QLatin1String(key))) << key;
    EXPECT_FALSE(object.contains(QStringLiteral("latestNetworkQualityResult")));
    const QJsonObject sample = object.value(QStringLiteral("samples")).toArray().at(1).toObject();
    EXPECT_FALSE(sample.contains(QStringLiteral("cpuUsage")));
    EXPECT_FALSE(sample.contains(QStringLiteral("batteryIsCharging")));
}

TEST(HealthArchive, FirstLayoutAndRefusedFiles) {
    const QByteArray firstLayout = R"({"schemaVersion": 1, "samples": [], "events": [], "incidents": []})";
    EXPECT_EQ(decodeHealthArchive(firstLayout), HealthArchive::empty());

    struct Case {
        const char* name;
        QByteArray text;
        QString code;
        QString fragment;
    } cases[] = {
        {"newer schema", R"({"schemaVersion": 2, "samples": "whatever"})",
         QStringLiteral("unsupportedSchema"), QStringLiteral("Geçmiş veri biçimi desteklenmiyor (sürüm 2).")},
        {"truncated", firstLayout.left(30), QStringLiteral("decoding"), QStringLiteral("JSON biçimi bozuk")},
        {"missing events", R"({"schemaVersion": 1, "samples": [], "incidents": []})",
         QStringLiteral("decoding"), QStringLiteral("events")},
        {"unknown enum",
         R"({"schemaVersion": 1, "events": [], "incidents": [], "samples": [{"id": "0F8FAD5B-D9CB-469F-A165-70867728950E",
            "timestamp": 1, "thermalLevel": "toasty", "healthLevel": "normal"}]})",
         QStringLiteral("decoding"), QStringLiteral("samples[0].thermalLevel")},
        {"carried result without its date",
         R"({"schemaVersion": 1, "samples": [], "events": [], "incidents": [], "fullSystemScanResults": [{"score": 3}]})",
         QStringLiteral("decoding"), QStringLiteral("fullSystemScanResults[0].endedAt")},
        {"typed result without its fields",
         R"({"schemaVersion": 1, "samples": [], "events": [], "incidents": [], "healthTestResults": [{"score": 3}]})",
         QStringLiteral("decoding"), QStringLiteral("healthTestResults[0]")},
    };
    for (const auto& c : cases) {
        try {
            decodeHealthArchive(c.text);
            ADD_FAILURE() << c.name;
        } catch (const KestrumError& error) {
            EXPECT_EQ(error.code(), c.code) << c.name;
            EXPECT_TRUE(error.description().contains(c.fragment))
                << c.name << ": " << error.description().toStdString();
        }
    }
}

TEST(FileHealthArchiveRepository, FreshInstallThenSaveAndLoad) {
    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/new/folder/health-archive.json");
    FileHealthArchiveRepository repository(path);
    EXPECT_EQ(repository.load().result(), HealthArchive::empty());
    const HealthArchive archive = fullArchive();
    repository.save(archive).waitForFinished();
    EXPECT_TRUE(QFile::exists(path));
    EXPECT_TRUE(QFile::exists(dir.path() + QStringLiteral("/new/folder/cpu-benchmark-history-v1.json")));
    EXPECT_EQ(repository.load().result(), archive);
}

TEST(FileHealthArchiveRepository, BenchmarkHistoryReplacesTheArchiveListUnlessUnusable) {
    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/health-archive.json");
    const QString history = dir.path() + QStringLiteral("/cpu-benchmark-history-v1.json");
    FileHealthArchiveRepository repository(path);
    HealthArchive archive = fullArchive();
    repository.saveNow(archive);

    const CPUBenchmarkResult other = typedResultEndedAt<CPUBenchmarkResult>(kNow);
    struct Case {
        const char* name;
        QByteArray historyFile;
        std::vector<CPUBenchmarkResult> expected;
    } cases[] = {
        {"history wins",
         QJsonDocument(QJsonObject{{QStringLiteral("schemaVersion"), 1},
                                   {QStringLiteral("results"), QJsonArray{cpuBenchmarkResultToJson(other)}}})
             .toJson(),
         {other}},
        {"other version ignored",
         QJsonDocument(QJsonObject{{QStringLiteral("schemaVersion"), 2},
                                   {QStringLiteral("results"), QJsonArray{cpuBenchmarkResultToJson(other)}}})
             .toJson(),
         archive.cpuBenchmarkResults},
        {"corrupt history ignored", "{{{", archive.cpuBenchmarkResults},
    };
    for (const auto& c : cases) {
        test::writeFile(history, c.historyFile);
        EXPECT_EQ(repository.loadNow().cpuBenchmarkResults, c.expected) << c.name;
    }
    QFile::remove(history);
    EXPECT_EQ(repository.loadNow().cpuBenchmarkResults, archive.cpuBenchmarkResults) << "missing history";
}

TEST(FileHealthArchiveRepository, UnreadableFilesAreReportedAndLeftUntouched) {
    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/health-archive.json");
    const QByteArray truncated = encodeHealthArchive(fullArchive()).left(200);
    test::writeFile(path, truncated);
    FileHealthArchiveRepository repository(path);
    auto future = repository.load();
    EXPECT_THROW(future.waitForFinished(), KestrumError);
    EXPECT_EQ(test::readFile(path), truncated);

    // A save that cannot complete leaves the previous file as it was.
    const QString blocked = dir.path() + QStringLiteral("/blocked.json");
    QDir().mkpath(blocked + QStringLiteral("/occupied"));
    FileHealthArchiveRepository failing(blocked);
    EXPECT_THROW(failing.save(fullArchive()).waitForFinished(), KestrumError);
    EXPECT_TRUE(QFileInfo(blocked).isDir());
}

TEST(HealthArchiveCompaction, SampleBucketsAtTheirAgeBoundaries) {
    const auto at = [](double secondsAgo) { return sampleAt(kNow.addingSeconds(-secondsAgo)); };
    // Align to bucket starts so that "same bucket" is certain.
    const double minute = std::fmod(kNow.unixSeconds(), 60.0);
    const double fiveMinutes = std::fmod(kNow.unixSeconds(), 300.0);
    struct Case {
        const char* name;
        std::vector<HealthSample> samples;
        size_t kept;
    } cases[] = {
        {"yesterday, 30 s apart in one minute", {at(86400 + minute + 40), at(86400 + minute + 10)}, 1},
        {"yesterday, in two minutes", {at(86400 + minute + 70), at(86400 + minute + 10)}, 2},
        {"five days ago, one 5-minute bucket",
         {at(432000 + fiveMinutes + 250), at(432000 + fiveMinutes + 10)},
         1},
        {"31 days old is dropped", {at(31 * 86400)}, 0},
        {"exactly 30 days old is kept", {at(2'592'000)}, 1},
        {"future samples stay", {at(-120)}, 1},
    };
    for (const auto& c : cases) {
        const auto kept = HealthArchiveCompaction::compactedSamples(c.samples, kNow);
        EXPECT_EQ(kept.size(), c.kept) << c.name;
        if (c.kept == 1 && c.samples.size() == 2) {
            EXPECT_EQ(kept.front().id, c.samples.back().id)
                << c.name << ": the later sample of the bucket stays";
        }
    }
    // Output is oldest first whatever the input order.
    const auto ordered = HealthArchiveCompaction::compactedSamples({at(60), at(600), at(3600)}, kNow);
    ASSERT_EQ(ordered.size(), 3u);
    EXPECT_LT(ordered[0].timestamp, ordered[1].timestamp);
    EXPECT_LT(ordered[1].timestamp, ordered[2].timestamp);
}

TEST(HealthArchiveCompaction, BucketWidthsChangeExactlyAtTwoAndSevenDays) {
    // "now" sits 450 s into a 15-minute bucket, so a sample at an exact age boundary has room for a
    // neighbour in the same coarse bucket.
    const Date now = Date::fromUnixSeconds(std::floor(kNow.unixSeconds() / 900) * 900 + 450);
    const auto at = [&](double secondsAgo) { return sampleAt(now.addingSeconds(-secondsAgo)); };
    struct Case {
        const char* name;
        double olderAge, newerAge;
        size_t kept;
    } cases[] = {
        {"exactly two days old still has minute buckets", 172'860, 172'800, 2},
        {"just past two days: one 5-minute bucket", 172'860, 172'810, 1},
        {"exactly seven days old still has 5-minute buckets", 604'860, 604'800, 2},
        {"just past seven days: one 15-minute bucket", 605'100, 604'810, 1},
        {"ten days old, 14 minutes apart in one bucket", 864'000 + 440, 864'000 - 400, 1},
        {"ten days old, in two 15-minute buckets", 864'000 + 460, 864'000 - 400, 2},
    };
    for (const auto& c : cases) {
        const auto kept = HealthArchiveCompaction::compactedSamples({at(c.olderAge), at(c.newerAge)}, now);
        EXPECT_EQ(kept.size(), c.kept) << c.name;
        if (kept.size() == 1)
            EXPECT_EQ(kept[0].timestamp, now.addingSeconds(-c.newerAge)) << c.name << ": the later one stays";
    }
}

TEST(HealthArchiveCompaction, EveryListKeepsItsOwnNumberOfNewestEntries) {
    struct Case {
        const char* name;
        size_t cap;
        std::function<void(HealthArchive&, Date)> add;
        std::function<size_t(const HealthArchive&)> count;
    } cases[] = {
        {"events", 500, [](HealthArchive& a, Date d) { a.events.push_back(eventAt(d)); },
         [](const HealthArchive& a) { return a.events.size(); }},
        {"incidents", 100,
         [](HealthArchive& a, Date d) {
             a.incidents.push_back({newUuid(), d, d, QStringLiteral("x")});
         },
         [](const HealthArchive& a) { return a.incidents.size(); }},
        {"performance sessions", 50,
         [](HealthArchive& a, Date d) {
             PerformanceSession s;
             s.startedAt = d.addingSeconds(-60);
             s.lastRecordedAt = d;
             a.performanceSessions.push_back(s);
         },
         [](const HealthArchive& a) { return a.performanceSessions.size(); }},
        {"quick tests", 25,
         [](HealthArchive& a, Date d) {
             a.healthTestResults.push_back(typedResultEndedAt<HealthTestResult>(d));
         },
         [](const HealthArchive& a) { return a.healthTestResults.size(); }},
        {"deep tests", 12,
         [](HealthArchive& a, Date d) {
             a.deepHealthTestResults.push_back(typedResultEndedAt<DeepHealthTestResult>(d));
         },
         [](const HealthArchive& a) { return a.deepHealthTestResults.size(); }},
        {"benchmarks", 25,
         [](HealthArchive& a, Date d) {
             a.cpuBenchmarkResults.push_back(typedResultEndedAt<CPUBenchmarkResult>(d));
         },
         [](const HealthArchive& a) { return a.cpuBenchmarkResults.size(); }},
        {"full scans", 12,
         [](HealthArchive& a, Date d) { a.fullSystemScanResults.push_back(resultEndedAt(d)); },
         [](const HealthArchive& a) { return a.fullSystemScanResults.size(); }},
    };
    for (const auto& c : cases) {
        HealthArchive archive;
        for (size_t i = 0; i <= c.cap; ++i) // one more than the cap, an hour apart
            c.add(archive, kNow.addingSeconds(-3600.0 * static_cast<double>(i)));
        EXPECT_EQ(c.count(HealthArchiveCompaction::compacted(archive, kNow)), c.cap) << c.name;
    }
}

TEST(HealthArchiveCompaction, ListsKeepTheirNewestWithinThirtyDays) {
    HealthArchive archive;
    for (int i = 0; i < 501; ++i)
        archive.events.push_back(eventAt(kNow.addingSeconds(-i * 60)));
    archive.events.push_back(eventAt(kNow.addingSeconds(-31 * 86400)));
    archive.incidents.push_back(
        {newUuid(), kNow.addingSeconds(-29 * 86400), std::nullopt, QStringLiteral("open")});
    archive.incidents.push_back({newUuid(), kNow.addingSeconds(-40 * 86400), kNow.addingSeconds(-1 * 86400),
                                 QStringLiteral("ended recently")});
    archive.incidents.push_back(
        {newUuid(), kNow.addingSeconds(-31 * 86400), std::nullopt, QStringLiteral("open too long")});
    for (int i = 0; i < 30; ++i)
        archive.healthTestResults.push_back(
            typedResultEndedAt<HealthTestResult>(kNow.addingSeconds(-i * 3600)));
    for (int i = 0; i < 13; ++i)
        archive.deepHealthTestResults.push_back(
            typedResultEndedAt<DeepHealthTestResult>(kNow.addingSeconds(-i * 3600)));
    NetworkQualityResult quality;
    quality.id = QUuid::fromString(QStringLiteral("{6F9619FF-8B86-D011-B42D-00C04FC964FE}"));
    quality.quality = NetworkQualityLevel::good;
    quality.attemptedProbes = 5;
    quality.successfulProbes = 4;
    archive.latestNetworkQualityResult = quality;

    const HealthArchive out = HealthArchiveCompaction::compacted(archive, kNow);
    ASSERT_EQ(out.events.size(), 500u);
    EXPECT_EQ(out.events.back().timestamp, kNow) << "newest kept, oldest first";
    EXPECT_EQ(out.events.front().timestamp, kNow.addingSeconds(-499 * 60));
    ASSERT_EQ(out.incidents.size(), 2u);
    EXPECT_EQ(out.incidents[0].note, QStringLiteral("open"));
    EXPECT_EQ(out.healthTestResults.size(), 25u);
    EXPECT_EQ(out.deepHealthTestResults.size(), 12u);
    EXPECT_EQ(out.latestNetworkQualityResult, archive.latestNetworkQualityResult);
}

TEST(HealthSample, OnlyAvailableGroupsAreKept) {
    SystemSnapshot s = SystemSnapshot::empty(newUuid(), kNow);
    s.memory = MemoryStats{500, 1000, 0, 0, MetricAvailability::available()};
    s.disk = DiskStats{1000, 2000, MetricAvailability::available()};
    s.network.trafficAvailability = MetricAvailability::available();
    s.network.downloadBytesPerSecond = -5;
    s.network.uploadBytesPerSecond = 12;
    s.battery = BatteryStats::notPresent(MetricAvailability::available());
    const HealthSample sample = HealthSample::make(s, HealthLevel::attention, newUuid());
    EXPECT_FALSE(sample.cpuUsage) << "CPU group unavailable";
    EXPECT_EQ(sample.memoryUsage, 0.5);
    EXPECT_EQ(sample.diskUsage, 0.0) << "available above total counts as nothing used";
    EXPECT_FALSE(sample.batteryCharge);
    EXPECT_FALSE(sample.batteryIsCharging) << "no battery keys without a battery";
    EXPECT_FALSE(sample.downloadBytesPerSecond);
    EXPECT_EQ(sample.uploadBytesPerSecond, 12);
    EXPECT_EQ(sample.healthLevel, HealthLevel::attention);
    EXPECT_EQ(sample.timestamp, kNow);
}

namespace {

const char* const kSampleId = "0F8FAD5B-D9CB-469F-A165-70867728950E";

// An archive document with one sample whose `key` is set to `value` (raw JSON text), replacing the
// default when the key has one.
QByteArray archiveWithSampleValue(const char* key, const char* value) {
    std::vector<std::pair<QByteArray, QByteArray>> fields = {{"id", QByteArray("\"") + kSampleId + "\""},
                                                             {"timestamp", "1"},
                                                             {"thermalLevel", "\"nominal\""},
                                                             {"healthLevel", "\"normal\""}};
    const auto it = std::find_if(fields.begin(), fields.end(), [&](const auto& f) { return f.first == key; });
    if (it != fields.end())
        it->second = value;
    else
        fields.emplace_back(key, value);
    QByteArray sample;
    for (const auto& [name, text] : fields)
        sample += (sample.isEmpty() ? "\"" : ", \"") + name + "\": " + text;
    return R"({"schemaVersion": 1, "events": [], "incidents": [], "samples": [{)" + sample + "}]}";
}

QString decodingFailure(const QByteArray& text) {
    try {
        decodeHealthArchive(text);
    } catch (const KestrumError& error) {
        return error.code() + u' ' + error.description();
    }
    return {};
}

} // namespace

TEST(HealthArchive, NumbersAreHeldToTheirFieldsRange) {
    struct Case {
        const char* name;
        QByteArray text;
        QString expected; // code and a fragment of the description
    } cases[] = {
        {"huge version", R"({"schemaVersion": 1e30, "samples": [], "events": [], "incidents": []})",
         QStringLiteral("decoding Sayı izin verilen aralığın dışında: schemaVersion.")},
        {"fractional version", R"({"schemaVersion": 1.5, "samples": [], "events": [], "incidents": []})",
         QStringLiteral("decoding Alanın türü beklenenden farklı: schemaVersion.")},
        {"version beyond a double",
         R"({"schemaVersion": 1e999, "samples": [], "events": [], "incidents": []})",
         QStringLiteral("decoding Sayı izin verilen aralığın dışında: schemaVersion.")},
        {"version as text", R"({"schemaVersion": "1", "samples": [], "events": [], "incidents": []})",
         QStringLiteral("decoding Alanın türü beklenenden farklı: schemaVersion.")},
        {"newer version", R"({"schemaVersion": 3, "samples": [], "events": [], "incidents": []})",
         QStringLiteral("unsupportedSchema Geçmiş veri biçimi desteklenmiyor (sürüm 3).")},
        {"usage far above one", archiveWithSampleValue("cpuUsage", "1e300"),
         QStringLiteral("decoding Sayı izin verilen aralığın dışında: samples[0].cpuUsage.")},
        {"negative memory use", archiveWithSampleValue("memoryUsage", "-0.5"),
         QStringLiteral("decoding Sayı izin verilen aralığın dışında: samples[0].memoryUsage.")},
        {"charge above full", archiveWithSampleValue("batteryCharge", "1.01"),
         QStringLiteral("decoding Sayı izin verilen aralığın dışında: samples[0].batteryCharge.")},
        {"negative rate", archiveWithSampleValue("downloadBytesPerSecond", "-1"),
         QStringLiteral("decoding Sayı izin verilen aralığın dışında: samples[0].downloadBytesPerSecond.")},
        {"signal beyond an int", archiveWithSampleValue("wifiRSSI", "-3000000000"),
         QStringLiteral("decoding Sayı izin verilen aralığın dışında: samples[0].wifiRSSI.")},
        {"timestamp beyond a double", archiveWithSampleValue("timestamp", "1e400"),
         QStringLiteral("decoding Sayı izin verilen aralığın dışında: samples[0].timestamp.")},
    };
    for (const Case& c : cases) {
        const QString failure = decodingFailure(c.text);
        EXPECT_TRUE(failure.startsWith(c.expected)) << c.name << ": " << failure.toStdString();
    }
    EXPECT_EQ(decodeHealthArchive(archiveWithSampleValue("cpuUsage", "1")).samples.at(0).cpuUsage, 1.0);
    EXPECT_EQ(decodeHealthArchive(archiveWithSampleValue("cpuUsage", "0")).samples.at(0).cpuUsage, 0.0);
}

TEST(HealthArchive, UnknownKeysAndFieldsSurviveLoadCompactAndSave) {
    const double recent = kNow.addingSeconds(-120).secondsSinceReferenceDate;
    const QByteArray text = QByteArray(R"({
        "schemaVersion": 1,
        "futureList": [{"x": 1}, "two"],
        "zeta": {"nested": {"deeper": [true, null]}},
        "samples": [{"id": ")") +
                            kSampleId + R"(", "timestamp": )" + QByteArray::number(recent, 'g', 17) +
                            R"(, "thermalLevel": "fair", "healthLevel": "attention", "cpuUsage": 0.5,
                     "fanRPM": 2400, "per\"quoted": "k"}],
        "events": [{"id": ")" +
                            kSampleId + R"(", "timestamp": )" + QByteArray::number(recent, 'g', 17) +
                            R"(, "kind": "cpu", "level": "attention", "title": "t", "evidence": "e",
                     "recommendation": "r", "signature": "s", "source": {"process": "make"}}],
        "incidents": [{"id": ")" +
                            kSampleId + R"(", "startedAt": )" + QByteArray::number(recent, 'g', 17) +
                            R"(, "note": "n", "tags": ["fan", "heat"]}]
    })";
    const HealthArchive loaded = decodeHealthArchive(text);
    const HealthArchive compacted = HealthArchiveCompaction::compacted(loaded, kNow);
    const QByteArray saved = encodeHealthArchive(compacted);

    // Qt's parser is the referee: every key of the input is in the output with its value.
    const QJsonObject in = QJsonDocument::fromJson(text).object();
    const QJsonObject out = QJsonDocument::fromJson(saved).object();
    for (const char* key : {"futureList", "zeta"})
        EXPECT_EQ(out.value(QLatin1String(key)), in.value(QLatin1String(key))) << key;
    for (const char* list : {"samples", "events", "incidents"}) {
        const QJsonObject before = in.value(QLatin1String(list)).toArray().at(0).toObject();
        const QJsonObject after = out.value(QLatin1String(list)).toArray().at(0).toObject();
        for (auto it = before.begin(); it != before.end(); ++it)
            EXPECT_EQ(after.value(it.key()), it.value()) << list << "." << it.key().toStdString();
    }
    EXPECT_EQ(decodeHealthArchive(saved), compacted);
    EXPECT_EQ(encodeHealthArchive(decodeHealthArchive(saved)), saved) << "stable from the first save on";
}

TEST(HealthArchive, DocumentsNamingAKeyTwiceAreRefusedNotMerged) {
    const QByteArray sample = QByteArray(R"({"id": ")") + kSampleId +
                              R"(", "timestamp": 1, "thermalLevel": "nominal", "healthLevel": "normal"})";
    struct Case {
        const char* name;
        QByteArray text;
        QString path;
    } cases[] = {
        {"the samples list twice",
         R"({"schemaVersion": 1, "samples": [)" + sample +
             "], \"events\": [], \"incidents\": [], \"samples\": []}",
         QStringLiteral("samples")},
        {"a sample field twice", archiveWithSampleValue("cpuUsage", "0.1, \"cpuUsage\": 0.2"),
         QStringLiteral("samples[0].cpuUsage")},
        {"an unknown field twice", archiveWithSampleValue("fan", "1, \"fan\": 2"),
         QStringLiteral("samples[0].fan")},
        {"inside a carried result",
         R"({"schemaVersion": 1, "samples": [], "events": [], "incidents": [],
             "healthTestResults": [{"endedAt": 1, "score": 1, "score": 2}]})",
         QStringLiteral("healthTestResults[0].score")},
    };
    for (const Case& c : cases) {
        const QString failure = decodingFailure(c.text);
        EXPECT_EQ(failure, QStringLiteral("decoding Aynı anahtar birden çok kez yazılmış: ") + c.path + u'.')
            << c.name;
    }
}

TEST(HealthArchive, AResultKeyThatNeedsEscapingSavesAndLoads) {
    HealthArchive archive = fullArchive();
    archive.fullSystemScanResults.front().insert(QStringLiteral("say \"hi\""), QStringLiteral("back\\slash"));
    archive.samples.front().unknownFields.insert(QStringLiteral("tab\there"), 1);
    QTemporaryDir dir;
    FileHealthArchiveRepository repository(dir.path() + QStringLiteral("/health-archive.json"));
    repository.saveNow(archive);
    EXPECT_EQ(repository.loadNow(), archive);
}

TEST(FileHealthArchiveRepository, OneSizeLimitForLoadingAndSaving) {
    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/health-archive.json");
    HealthArchive small = fullArchive();
    const qint64 limit = encodeHealthArchive(small).size() + 200;
    FileHealthArchiveRepository repository(path, {}, limit);
    repository.saveNow(small);
    const QByteArray before = test::readFile(path);

    HealthArchive large = small;
    large.incidents.front().note = QString(400, u'x');
    try {
        repository.saveNow(large);
        ADD_FAILURE() << "saved an archive its own loader would refuse";
    } catch (const KestrumError& error) {
        EXPECT_EQ(error.code(), QStringLiteral("archiveTooLarge"));
        EXPECT_EQ(error.description(), QStringLiteral("Geçmiş kaydedilmedi: dosya 1 MB sınırını aşacaktı."));
    }
    EXPECT_EQ(test::readFile(path), before) << "the old archive stays";
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2) << "no temporaries";
    EXPECT_EQ(repository.loadNow(), small);

    // A file beyond the limit (written by something else) is refused by the loader.
    test::writeFile(path, encodeHealthArchive(large));
    EXPECT_THROW(repository.loadNow(), KestrumError);
    EXPECT_EQ(FileHealthArchiveRepository(path).loadNow(), large) << "the default limit is far larger";
}

TEST(FileHealthArchiveRepository, AFifoInPlaceOfTheArchiveIsAnErrorNotAHang) {
    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/health-archive.json");
    ASSERT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    FileHealthArchiveRepository repository(path);
    auto load = repository.load();
    EXPECT_TRUE(test::spinUntil([&] { return load.isFinished(); }, 3000)) << "load is waiting on the FIFO";
    if (!load.isFinished()) {
        // Let it go before the repository is destroyed.
        const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY);
        ::close(fd);
    }
    EXPECT_THROW(load.waitForFinished(), KestrumError);
    // Saving replaces the FIFO with a regular archive.
    const HealthArchive archive = fullArchive();
    repository.saveNow(archive);
    EXPECT_EQ(repository.loadNow(), archive);
    EXPECT_TRUE(QFileInfo(path).isFile());
}
