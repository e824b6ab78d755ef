#include "MetricsPage.h"

#include <charconv>
#include <cmath>

namespace kestrum {

namespace {

QByteArray number(double value) {
    if (value == std::trunc(value) && std::fabs(value) < 1e15)
        return QByteArray::number(static_cast<long long>(value));
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return QByteArray(buffer, static_cast<qsizetype>(result.ptr - buffer));
}

QByteArray escapeHelp(const char* text) {
    QByteArray out;
    for (const char* c = text; *c; ++c) {
        if (*c == '\\')
            out += "\\\\";
        else if (*c == '\n')
            out += "\\n";
        else
            out += *c;
    }
    return out;
}

} // namespace

QByteArray escapeLabelValue(const QString& value) {
    const QByteArray utf8 = value.toUtf8();
    QByteArray out;
    out.reserve(utf8.size());
    for (const char c : utf8) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '"')
            out += "\\\"";
        else if (c == '\n')
            out += "\\n";
        else
            out += c;
    }
    return out;
}

void MetricsPage::family(const char* name, Type type, const char* help, const char* unit) {
    m_families.push_back({name, type, help, unit, {}});
}

void MetricsPage::sample(double value, Labels labels) {
    if (m_families.empty() || !std::isfinite(value))
        return;
    m_families.back().samples.emplace_back(std::move(labels), value);
}

void MetricsPage::sample(std::optional<double> value, Labels labels) {
    if (value)
        sample(*value, std::move(labels));
}

QByteArray MetricsPage::render(ExpositionFormat format) const {
    const bool open = format == ExpositionFormat::openMetrics;
    QByteArray out;
    out.reserve(8192);
    for (const Family& family : m_families) {
        if (family.samples.empty())
            continue;
        const bool counter = family.type == Type::counter;
        // The text format names the counter family by its sample name; OpenMetrics without `_total`.
        const QByteArray familyName = QByteArray(family.name) + (counter && !open ? "_total" : "");
        out += "# HELP " + familyName + ' ' + escapeHelp(family.help) + '\n';
        out += "# TYPE " + familyName + (counter ? " counter\n" : " gauge\n");
        if (open && *family.unit)
            out += "# UNIT " + familyName + ' ' + family.unit + '\n';
        for (const auto& [labels, value] : family.samples) {
            out += family.name;
            if (counter)
                out += "_total";
            if (!labels.empty()) {
                out += '{';
                bool first = true;
                for (const auto& [key, text] : labels) {
                    if (!first)
                        out += ',';
                    first = false;
                    out += key.toUtf8() + "=\"" + escapeLabelValue(text) + '"';
                }
                out += '}';
            }
            out += ' ' + number(value) + '\n';
        }
    }
    if (open)
        out += "# EOF\n";
    return out;
}

QByteArray MetricsPage::contentType(ExpositionFormat format) {
    return format == ExpositionFormat::openMetrics
               ? "application/openmetrics-text; version=1.0.0; charset=utf-8"
               : "text/plain; version=0.0.4; charset=utf-8";
}

ExpositionFormat MetricsPage::negotiate(const QByteArray& acceptHeader) {
    return acceptHeader.contains("application/openmetrics-text") ? ExpositionFormat::openMetrics
                                                                 : ExpositionFormat::prometheusText;
}

} // namespace kestrum
