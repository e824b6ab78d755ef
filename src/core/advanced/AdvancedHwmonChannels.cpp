#include "AdvancedHwmonChannels.h"

#include <cerrno>
#include <charconv>

namespace kestrum {

QString attributePrefix(AdvancedHwmonChannelType type) {
    switch (type) {
    case AdvancedHwmonChannelType::temp:
        return QStringLiteral("temp");
    case AdvancedHwmonChannelType::fan:
        return QStringLiteral("fan");
    case AdvancedHwmonChannelType::in:
        return QStringLiteral("in");
    case AdvancedHwmonChannelType::curr:
        return QStringLiteral("curr");
    case AdvancedHwmonChannelType::power:
        return QStringLiteral("power");
    }
    return {};
}

AdvancedHwmonChannelType channelTypeOf(AdvancedHwmonDataType type) {
    switch (type) {
    case AdvancedHwmonDataType::milliCelsius:
        return AdvancedHwmonChannelType::temp;
    case AdvancedHwmonDataType::revolutionsPerMinute:
        return AdvancedHwmonChannelType::fan;
    case AdvancedHwmonDataType::millivolts:
        return AdvancedHwmonChannelType::in;
    case AdvancedHwmonDataType::milliamperes:
        return AdvancedHwmonChannelType::curr;
    case AdvancedHwmonDataType::microwatts:
        return AdvancedHwmonChannelType::power;
    }
    return AdvancedHwmonChannelType::temp;
}

double unitDivisor(AdvancedHwmonDataType type) {
    switch (type) {
    case AdvancedHwmonDataType::revolutionsPerMinute:
        return 1;
    case AdvancedHwmonDataType::microwatts:
        return 1e6;
    case AdvancedHwmonDataType::milliCelsius:
    case AdvancedHwmonDataType::millivolts:
    case AdvancedHwmonDataType::milliamperes:
        break;
    }
    return 1000;
}

bool AdvancedHwmonChannelRule::matchesLabel(const QString& trimmedLabel) const {
    const qsizetype placeholder = label.indexOf(QStringLiteral("%d"));
    if (placeholder < 0)
        return !label.isEmpty() && trimmedLabel == label;
    const QStringView prefix = QStringView(label).left(placeholder);
    const QStringView suffix = QStringView(label).mid(placeholder + 2);
    if (!trimmedLabel.startsWith(prefix) || !trimmedLabel.endsWith(suffix) ||
        trimmedLabel.size() <= prefix.size() + suffix.size())
        return false;
    const QStringView digits =
        QStringView(trimmedLabel).mid(prefix.size(), trimmedLabel.size() - prefix.size() - suffix.size());
    if (digits.size() > 6)
        return false;
    for (const QChar c : digits) {
        if (c < u'0' || c > u'9')
            return false;
    }
    return true;
}

QString AdvancedHwmonChannel::name() const {
    return attributePrefix(type) + QString::number(number);
}

QString channelAttribute(const QString& format, int number) {
    QString name = format;
    name.replace(QStringLiteral("%d"), QString::number(number));
    return name;
}

namespace {

AdvancedHwmonFailure failureForError(int error) {
    return error == ENOENT || error == ENODEV ? AdvancedHwmonFailure::vanished
                                              : AdvancedHwmonFailure::unreadable;
}

std::optional<int64_t> parseDecimal(QByteArrayView text) {
    text = text.trimmed();
    if (text.isEmpty())
        return std::nullopt;
    const char* begin = text.data();
    const char* end = begin + text.size();
    int64_t value = 0;
    const auto [ptr, ec] = std::from_chars(begin, end, value);
    if (ec != std::errc() || ptr != end)
        return std::nullopt;
    return value;
}

} // namespace

AdvancedHwmonResolution resolveChannels(AdvancedHwmonReading& connection, const AdvancedHwmonDevice& device,
                                        const std::vector<AdvancedHwmonChannelRule>& rules) {
    AdvancedHwmonResolution resolution;
    std::vector<int> counts(rules.size(), 0);
    for (const AdvancedHwmonChannelType type :
         {AdvancedHwmonChannelType::temp, AdvancedHwmonChannelType::fan, AdvancedHwmonChannelType::in,
          AdvancedHwmonChannelType::curr, AdvancedHwmonChannelType::power}) {
        std::optional<ClosedRange<int>> span;
        for (const AdvancedHwmonChannelRule& rule : rules) {
            if (rule.type != type || rule.channelNumbers.isEmpty())
                continue;
            span = span ? ClosedRange<int>{std::min(span->lower, rule.channelNumbers.lower),
                                           std::max(span->upper, rule.channelNumbers.upper)}
                        : rule.channelNumbers;
        }
        if (!span)
            continue;
        for (int number = span->lower; number <= span->upper; ++number) {
            AdvancedHwmonChannel channel{0, number, type, {}};
            const AdvancedHwmonRead label = connection.read(device, channel.attribute("label"));
            std::optional<int> admitted;
            if (label.bytes) {
                channel.label = QString::fromUtf8(*label.bytes).trimmed();
                for (size_t i = 0; i < rules.size() && !admitted; ++i) {
                    if (rules[i].type == type && rules[i].channelNumbers.contains(number) &&
                        rules[i].matchesLabel(channel.label))
                        admitted = int(i);
                }
            } else if (label.error == ENOENT) {
                for (size_t i = 0; i < rules.size() && !admitted; ++i) {
                    if (rules[i].type == type && rules[i].label.isEmpty() &&
                        rules[i].channelNumbers.contains(number))
                        admitted = int(i);
                }
                // An unlabelled channel exists when its input does, readable or not.
                if (admitted && connection.read(device, channel.attribute("input")).error == ENOENT)
                    admitted.reset();
            } else {
                resolution.failure = failureForError(label.error);
                resolution.error = label.error;
                return resolution;
            }
            if (!admitted)
                continue;
            channel.rule = *admitted;
            ++counts[size_t(*admitted)];
            resolution.channels.push_back(std::move(channel));
        }
    }
    for (size_t i = 0; i < rules.size(); ++i) {
        if (!rules[i].expectedCount.contains(counts[i])) {
            resolution.failure = AdvancedHwmonFailure::countMismatch;
            resolution.failedRule = int(i);
            return resolution;
        }
    }
    std::stable_sort(
        resolution.channels.begin(), resolution.channels.end(),
        [](const AdvancedHwmonChannel& a, const AdvancedHwmonChannel& b) { return a.rule < b.rule; });
    return resolution;
}

AdvancedHwmonValue readIntegerAttribute(AdvancedHwmonReading& connection, const AdvancedHwmonDevice& device,
                                        const QString& attribute) {
    const AdvancedHwmonRead read = connection.read(device, attribute);
    if (!read.bytes)
        return {std::nullopt, failureForError(read.error), read.error};
    const auto value = parseDecimal(*read.bytes);
    if (!value)
        return {std::nullopt, AdvancedHwmonFailure::unparsable, 0};
    return {value, AdvancedHwmonFailure::none, 0};
}

AdvancedHwmonValue readChannel(AdvancedHwmonReading& connection, const AdvancedHwmonDevice& device,
                               const AdvancedHwmonChannel& channel, const char* suffix) {
    if (!channel.label.isEmpty()) {
        const AdvancedHwmonRead label = connection.read(device, channel.attribute("label"));
        if (!label.bytes)
            return {std::nullopt, failureForError(label.error), label.error};
        if (QString::fromUtf8(*label.bytes).trimmed() != channel.label)
            return {std::nullopt, AdvancedHwmonFailure::labelChanged, 0};
    }
    return readIntegerAttribute(connection, device, channel.attribute(suffix));
}

} // namespace kestrum
