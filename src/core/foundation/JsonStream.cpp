#include "JsonStream.h"

#include "KestrumError.h"
#include "Translatable.h"
#include "Uuid.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <limits>

namespace kestrum::json {

// ---- paths and decoding errors ----

QString JsonPath::text() const {
    QString out;
    for (const Segment& segment : m_segments) {
        if (segment.index >= 0) {
            out += u'[' + QString::number(segment.index) + u']';
            continue;
        }
        if (!out.isEmpty())
            out += u'.';
        if (segment.latin1Key)
            out += QLatin1String(segment.latin1Key);
        else
            out += segment.key;
    }
    return out.isEmpty() ? trText("(kök)") : out;
}

void throwMissing(const JsonPath& path) {
    throw KestrumError(QStringLiteral("decoding"),
                       trTemplate("Gerekli alan eksik: \\(path).", {path.text()}));
}

void throwWrongType(const JsonPath& path) {
    throw KestrumError(QStringLiteral("decoding"),
                       trTemplate("Alanın türü beklenenden farklı: \\(path).", {path.text()}));
}

void throwUnknownValue(const JsonPath& path, const QString& value) {
    throw KestrumError(QStringLiteral("decoding"),
                       trTemplate("Bilinmeyen değer “\\(value)”: \\(path).", {value.left(80), path.text()}));
}

void throwOutOfRange(const JsonPath& path) {
    throw KestrumError(QStringLiteral("decoding"),
                       trTemplate("Sayı izin verilen aralığın dışında: \\(path).", {path.text()}));
}

void throwDuplicateKey(const JsonPath& path) {
    throw KestrumError(QStringLiteral("decoding"),
                       trTemplate("Aynı anahtar birden çok kez yazılmış: \\(path).", {path.text()}));
}

// ---- writer ----

void JsonWriter::newline() {
    m_out.push_back('\n');
    m_out.append(m_levels.size() * 2, ' ');
}

void JsonWriter::beforeValue() {
    if (m_afterKey) {
        m_afterKey = false;
        return;
    }
    if (m_levels.empty())
        return;
    Level& level = m_levels.back();
    if (!level.empty)
        m_out.push_back(',');
    level.empty = false;
    newline();
}

void JsonWriter::open(char bracket, bool isObject) {
    beforeValue();
    m_out.push_back(bracket);
    m_levels.push_back({isObject, true});
}

void JsonWriter::close(char bracket) {
    const bool empty = m_levels.back().empty;
    m_levels.pop_back();
    if (!empty)
        newline();
    m_out.push_back(bracket);
}

void JsonWriter::beginObject() {
    open('{', true);
}
void JsonWriter::endObject() {
    close('}');
}
void JsonWriter::beginArray() {
    open('[', false);
}
void JsonWriter::endArray() {
    close(']');
}

namespace {
// Bytes a JSON string cannot hold as they are: control characters, the quote and the backslash.
constexpr std::array<bool, 256> kNeedsEscape = [] {
    std::array<bool, 256> table{};
    for (int c = 0; c < 0x20; ++c)
        table[c] = true;
    table['"'] = true;
    table['\\'] = true;
    return table;
}();
} // namespace

void JsonWriter::appendQuoted(const char* text, size_t size) {
    static const char hex[] = "0123456789abcdef";
    m_out.push_back('"');
    size_t plainStart = 0;
    for (size_t i = 0; i < size; ++i) {
        const auto u = static_cast<unsigned char>(text[i]);
        if (!kNeedsEscape[u])
            continue;
        m_out.append(text + plainStart, i - plainStart);
        plainStart = i + 1;
        switch (u) {
        case '"':
            m_out.append("\\\"");
            break;
        case '\\':
            m_out.append("\\\\");
            break;
        case '\n':
            m_out.append("\\n");
            break;
        case '\r':
            m_out.append("\\r");
            break;
        case '\t':
            m_out.append("\\t");
            break;
        default: {
            const char escaped[] = {'\\', 'u', '0', '0', hex[u >> 4], hex[u & 0xf]};
            m_out.append(escaped, 6);
        }
        }
    }
    m_out.append(text + plainStart, size - plainStart);
    m_out.push_back('"');
}

void JsonWriter::key(std::string_view name) {
    beforeValue();
    appendQuoted(name.data(), name.size());
    m_out.append(" : ");
    m_afterKey = true;
}

void JsonWriter::key(const QString& name) {
    const QByteArray utf8 = name.toUtf8();
    key(std::string_view(utf8.constData(), static_cast<size_t>(utf8.size())));
}

void JsonWriter::null() {
    beforeValue();
    m_out.append("null");
}

void JsonWriter::boolean(bool value) {
    beforeValue();
    m_out.append(value ? "true" : "false");
}

void JsonWriter::number(double value) {
    if (!std::isfinite(value)) {
        null();
        return;
    }
    beforeValue();
    char buffer[32];
    const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    m_out.append(buffer, static_cast<size_t>(end - buffer));
}

void JsonWriter::integer(int64_t value) {
    beforeValue();
    char buffer[24];
    const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    m_out.append(buffer, static_cast<size_t>(end - buffer));
}

void JsonWriter::unsignedInteger(uint64_t value) {
    beforeValue();
    char buffer[24];
    const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    m_out.append(buffer, static_cast<size_t>(end - buffer));
}

void JsonWriter::uuid(const QUuid& value) {
    beforeValue();
    // The canonical upper-case form, written without building a string first.
    static const char hex[] = "0123456789ABCDEF";
    const QByteArray raw = value.toRfc4122();
    char text[38];
    int n = 0;
    text[n++] = '"';
    for (int i = 0; i < 16; ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10)
            text[n++] = '-';
        const auto byte = static_cast<unsigned char>(raw[i]);
        text[n++] = hex[byte >> 4];
        text[n++] = hex[byte & 0xf];
    }
    text[n++] = '"';
    m_out.append(text, static_cast<size_t>(n));
}

void JsonWriter::string(const QString& value) {
    beforeValue();
    const QByteArray utf8 = value.toUtf8();
    appendQuoted(utf8.constData(), static_cast<size_t>(utf8.size()));
}

void JsonWriter::value(const QJsonValue& v) {
    switch (v.type()) {
    case QJsonValue::Null:
    case QJsonValue::Undefined:
        null();
        break;
    case QJsonValue::Bool:
        boolean(v.toBool());
        break;
    case QJsonValue::Double: {
        const double d = v.toDouble();
        const qint64 i = v.toInteger(std::numeric_limits<qint64>::min());
        if (i != std::numeric_limits<qint64>::min() && static_cast<double>(i) == d)
            integer(i);
        else
            number(d);
        break;
    }
    case QJsonValue::String:
        string(v.toString());
        break;
    case QJsonValue::Array:
        beginArray();
        for (const QJsonValue& element : v.toArray())
            value(element);
        endArray();
        break;
    case QJsonValue::Object: {
        beginObject();
        const QJsonObject object = v.toObject();
        QStringList keys = object.keys();
        std::sort(keys.begin(), keys.end());
        for (const QString& k : keys) {
            key(k);
            value(object.value(k));
        }
        endObject();
        break;
    }
    }
}

QByteArray JsonWriter::take() {
    m_out.push_back('\n');
    QByteArray out(m_out.data(), static_cast<qsizetype>(m_out.size()));
    m_out.clear();
    return out;
}

// ---- tree builder ----

void JsonValueBuilder::put(QJsonValue value) {
    if (m_levels.empty()) {
        m_result = std::move(value);
        return;
    }
    Level& level = m_levels.back();
    if (level.isObject)
        level.object.insert(level.pendingKey, value);
    else
        level.array.append(value);
}

void JsonValueBuilder::beginObject() {
    m_levels.push_back({true, {}, {}, {}});
}
void JsonValueBuilder::endObject() {
    QJsonObject object = std::move(m_levels.back().object);
    m_levels.pop_back();
    put(std::move(object));
}
void JsonValueBuilder::beginArray() {
    m_levels.push_back({false, {}, {}, {}});
}
void JsonValueBuilder::endArray() {
    QJsonArray array = std::move(m_levels.back().array);
    m_levels.pop_back();
    put(std::move(array));
}
void JsonValueBuilder::key(std::string_view name) {
    m_levels.back().pendingKey = QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
}
void JsonValueBuilder::key(const QString& name) {
    m_levels.back().pendingKey = name;
}
void JsonValueBuilder::null() {
    put(QJsonValue(QJsonValue::Null));
}
void JsonValueBuilder::boolean(bool value) {
    put(QJsonValue(value));
}
void JsonValueBuilder::number(double value) {
    put(std::isfinite(value) ? QJsonValue(value) : QJsonValue(QJsonValue::Null));
}
void JsonValueBuilder::integer(int64_t value) {
    put(QJsonValue(static_cast<qint64>(value)));
}
void JsonValueBuilder::unsignedInteger(uint64_t value) {
    // A tree holds integers as qint64: larger counts become the nearest double.
    if (value <= static_cast<uint64_t>(std::numeric_limits<qint64>::max()))
        put(QJsonValue(static_cast<qint64>(value)));
    else
        put(QJsonValue(static_cast<double>(value)));
}
void JsonValueBuilder::string(const QString& value) {
    put(QJsonValue(value));
}
void JsonValueBuilder::uuid(const QUuid& value) {
    put(QJsonValue(uuidText(value)));
}
void JsonValueBuilder::value(const QJsonValue& value) {
    put(value.isUndefined() ? QJsonValue(QJsonValue::Null) : value);
}

QJsonValue JsonValueBuilder::take() {
    return std::exchange(m_result, QJsonValue());
}

// ---- tree reader ----

JsonValueReader::JsonValueReader(QJsonValue root) : m_current(std::move(root)) {}

QJsonValue JsonValueReader::take() {
    return std::exchange(m_current, QJsonValue(QJsonValue::Undefined));
}

JsonValueReader::Type JsonValueReader::peek(const JsonPath&) {
    switch (m_current.type()) {
    case QJsonValue::Bool:
        return Type::boolean;
    case QJsonValue::Double:
        return Type::number;
    case QJsonValue::String:
        return Type::string;
    case QJsonValue::Array:
        return Type::array;
    case QJsonValue::Object:
        return Type::object;
    case QJsonValue::Null:
    case QJsonValue::Undefined:
        break;
    }
    return Type::null; // a missing value reads as an absent one
}

void JsonValueReader::readNull(const JsonPath& path) {
    if (peek(path) != Type::null)
        throwWrongType(path);
    take();
}

bool JsonValueReader::readBool(const JsonPath& path) {
    if (!m_current.isBool())
        throwWrongType(path);
    return take().toBool();
}

double JsonValueReader::readDouble(const JsonPath& path) {
    if (m_current.isNull()) {
        take();
        return std::numeric_limits<double>::quiet_NaN();
    }
    if (!m_current.isDouble())
        throwWrongType(path);
    const double d = take().toDouble();
    if (!std::isfinite(d))
        throwOutOfRange(path);
    return d;
}

int64_t JsonValueReader::readInt64(const JsonPath& path) {
    if (!m_current.isDouble())
        throwWrongType(path);
    const QJsonValue value = take();
    const double d = value.toDouble();
    if (!std::isfinite(d))
        throwOutOfRange(path);
    if (d != std::floor(d))
        throwWrongType(path);
    // A tree keeps integers exactly; the double is only the fallback for values stored as doubles.
    const qint64 exact = value.toInteger(0);
    if (static_cast<double>(exact) == d)
        return exact;
    if (d < -9223372036854775808.0 || d >= 9223372036854775808.0)
        throwOutOfRange(path);
    return static_cast<int64_t>(d);
}

uint64_t JsonValueReader::readUInt64(const JsonPath& path) {
    if (!m_current.isDouble())
        throwWrongType(path);
    const QJsonValue value = take();
    const double d = value.toDouble();
    if (!std::isfinite(d))
        throwOutOfRange(path);
    if (d != std::floor(d))
        throwWrongType(path);
    if (d < 0 || d >= 18446744073709551616.0)
        throwOutOfRange(path);
    const qint64 exact = value.toInteger(-1);
    if (exact >= 0 && static_cast<double>(exact) == d)
        return static_cast<uint64_t>(exact);
    return static_cast<uint64_t>(d);
}

QString JsonValueReader::readString(const JsonPath& path) {
    if (!m_current.isString())
        throwWrongType(path);
    return take().toString();
}

void JsonValueReader::beginObject(const JsonPath& path) {
    if (!m_current.isObject())
        throwWrongType(path);
    m_frames.push_back({true, take().toObject(), {}, 0});
}

bool JsonValueReader::nextKey(std::string_view& key) {
    Frame& frame = m_frames.back();
    if (frame.next >= frame.object.size()) {
        m_frames.pop_back();
        return false;
    }
    const auto it = frame.object.constBegin() + frame.next++;
    m_key = it.key().toUtf8();
    key = std::string_view(m_key.constData(), static_cast<size_t>(m_key.size()));
    m_current = it.value();
    return true;
}

void JsonValueReader::beginArray(const JsonPath& path) {
    if (!m_current.isArray())
        throwWrongType(path);
    m_frames.push_back({false, {}, take().toArray(), 0});
}

bool JsonValueReader::nextElement() {
    Frame& frame = m_frames.back();
    if (frame.next >= frame.array.size()) {
        m_frames.pop_back();
        return false;
    }
    m_current = frame.array.at(frame.next++);
    return true;
}

void JsonValueReader::skipValue() {
    take();
}

QJsonValue JsonValueReader::readValue() {
    return take();
}

QJsonValue JsonValueReader::readValue(JsonPath&) {
    return take();
}

} // namespace kestrum::json
