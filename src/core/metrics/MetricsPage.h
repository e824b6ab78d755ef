#pragma once

#include <QByteArray>
#include <QString>
#include <optional>
#include <utility>
#include <vector>

namespace kestrum {

enum class ExpositionFormat { prometheusText, openMetrics };

// One metric family of a scrape page, written in the Prometheus text format or OpenMetrics. A family
// without samples is left out: an unavailable value is absent from the page, never 0.
class MetricsPage {
public:
    enum class Type { gauge, counter };
    using Labels = std::vector<std::pair<QString, QString>>;

    // `name` is the family name with its unit suffix (`kestrum_memory_used_bytes`); counters are named
    // without `_total`, which the samples get. `unit` is the OpenMetrics unit ("bytes", "ratio", …), or
    // empty when the value has none.
    void family(const char* name, Type type, const char* help, const char* unit = "");
    // Adds a sample to the family opened last; non-finite values are dropped.
    void sample(double value, Labels labels = {});
    void sample(std::optional<double> value, Labels labels = {});

    QByteArray render(ExpositionFormat format) const;
    static QByteArray contentType(ExpositionFormat format);
    // The format a scraper asked for in its Accept header.
    static ExpositionFormat negotiate(const QByteArray& acceptHeader);

private:
    struct Family {
        const char* name;
        Type type;
        const char* help;
        const char* unit;
        std::vector<std::pair<Labels, double>> samples;
    };
    std::vector<Family> m_families;
};

// A label value or help text escaped for the exposition formats.
QByteArray escapeLabelValue(const QString& value);

} // namespace kestrum
