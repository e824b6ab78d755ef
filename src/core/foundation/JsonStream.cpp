#include "JsonStream.h"

#include "JsonCodec.h"
#include "Translatable.h"

#include <QJsonArray>
#include <QJsonObject>
#include <algorithm>
#include <charconv>
#include <cmath>

namespace kestrum::json {

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

void JsonWriter::key(std::string_view name) {
    beforeValue();
    m_out.push_back('"');
    m_out.append(name.data(), name.size());
    m_out.append("\" : ");
    m_afterKey = true;
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
    m_out.push_back('"');
    static const char hex[] = "0123456789abcdef";
    for (const char c : utf8) {
        const auto u = static_cast<unsigned char>(c);
        switch (c) {
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
        default:
            if (u < 0x20) {
                const char escaped[] = {'\\', 'u', '0', '0', hex[u >> 4], hex[u & 0xf]};
                m_out.append(escaped, 6);
            } else {
                m_out.push_back(c);
            }
        }
    }
    m_out.push_back('"');
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
        // QJsonObject keeps keys sorted by UTF-16 code units, which for our ASCII keys is byte order.
        QStringList keys = object.keys();
        std::sort(keys.begin(), keys.end());
        for (const QString& k : keys) {
            const QByteArray name = k.toUtf8();
            key(std::string_view(name.constData(), static_cast<size_t>(name.size())));
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

// ---- reader ----

JsonReader::JsonReader(QByteArrayView text)
    : m_begin(text.data()), m_pos(text.data()), m_end(text.data() + text.size()) {}

void JsonReader::syntaxError() {
    throw KestrumError(QStringLiteral("decoding"), trTemplate("JSON biçimi bozuk (konum \\(offset)).",
                                                              {QString::number(m_pos - m_begin)}));
}

void JsonReader::skipWhitespace() {
    while (m_pos < m_end && (*m_pos == ' ' || *m_pos == '\n' || *m_pos == '\r' || *m_pos == '\t'))
        ++m_pos;
}

void JsonReader::expect(char c) {
    skipWhitespace();
    if (m_pos >= m_end || *m_pos != c)
        syntaxError();
    ++m_pos;
}

JsonReader::Type JsonReader::peek(const JsonPath&) {
    skipWhitespace();
    if (m_pos >= m_end)
        syntaxError();
    switch (*m_pos) {
    case '{':
        return Type::object;
    case '[':
        return Type::array;
    case '"':
        return Type::string;
    case 't':
    case 'f':
        return Type::boolean;
    case 'n':
        return Type::null;
    default:
        if (*m_pos == '-' || (*m_pos >= '0' && *m_pos <= '9'))
            return Type::number;
        syntaxError();
    }
}

void JsonReader::readNull(const JsonPath& path) {
    if (peek(path) != Type::null)
        throwWrongType(path);
    if (m_end - m_pos < 4 || std::string_view(m_pos, 4) != "null")
        syntaxError();
    m_pos += 4;
}

bool JsonReader::readBool(const JsonPath& path) {
    if (peek(path) != Type::boolean)
        throwWrongType(path);
    if (m_end - m_pos >= 4 && std::string_view(m_pos, 4) == "true") {
        m_pos += 4;
        return true;
    }
    if (m_end - m_pos >= 5 && std::string_view(m_pos, 5) == "false") {
        m_pos += 5;
        return false;
    }
    syntaxError();
}

std::string_view JsonReader::numberToken() {
    const char* start = m_pos;
    if (m_pos < m_end && *m_pos == '-')
        ++m_pos;
    if (m_pos >= m_end || !(*m_pos >= '0' && *m_pos <= '9'))
        syntaxError();
    while (m_pos < m_end && ((*m_pos >= '0' && *m_pos <= '9') || *m_pos == '.' || *m_pos == 'e' ||
                             *m_pos == 'E' || *m_pos == '+' || *m_pos == '-'))
        ++m_pos;
    return std::string_view(start, static_cast<size_t>(m_pos - start));
}

double JsonReader::readDouble(const JsonPath& path) {
    const Type type = peek(path);
    if (type == Type::null) {
        readNull(path);
        return std::numeric_limits<double>::quiet_NaN();
    }
    if (type != Type::number)
        throwWrongType(path);
    const std::string_view token = numberToken();
    double value = 0;
    const auto [ptr, ec] = std::from_chars(token.data(), token.data() + token.size(), value);
    if (ptr != token.data() + token.size() || (ec != std::errc() && ec != std::errc::result_out_of_range))
        syntaxError();
    return value;
}

int64_t JsonReader::readInt64(const JsonPath& path) {
    if (peek(path) != Type::number)
        throwWrongType(path);
    const std::string_view token = numberToken();
    int64_t value = 0;
    const auto [ptr, ec] = std::from_chars(token.data(), token.data() + token.size(), value);
    if (ec == std::errc() && ptr == token.data() + token.size())
        return value;
    // "5.0" or "1e3" are whole numbers too.
    double d = 0;
    const auto [dptr, dec] = std::from_chars(token.data(), token.data() + token.size(), d);
    if (dec != std::errc() || dptr != token.data() + token.size())
        syntaxError();
    if (!std::isfinite(d) || d != std::floor(d) || d < -9.2e18 || d > 9.2e18)
        throwWrongType(path);
    return static_cast<int64_t>(d);
}

uint64_t JsonReader::readUInt64(const JsonPath& path) {
    if (peek(path) != Type::number)
        throwWrongType(path);
    const std::string_view token = numberToken();
    if (token.front() == '-')
        throwWrongType(path);
    uint64_t value = 0;
    const auto [ptr, ec] = std::from_chars(token.data(), token.data() + token.size(), value);
    if (ec == std::errc() && ptr == token.data() + token.size())
        return value;
    double d = 0;
    const auto [dptr, dec] = std::from_chars(token.data(), token.data() + token.size(), d);
    if (dec != std::errc() || dptr != token.data() + token.size())
        syntaxError();
    if (!std::isfinite(d) || d != std::floor(d))
        throwWrongType(path);
    return d >= 1.8446744073709552e19 ? std::numeric_limits<uint64_t>::max() : static_cast<uint64_t>(d);
}

namespace {
void appendUtf8(std::string& out, uint32_t code) {
    if (code < 0x80) {
        out.push_back(static_cast<char>(code));
    } else if (code < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (code >> 6)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else if (code < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (code >> 12)));
        out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (code >> 18)));
        out.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    }
}
} // namespace

std::string_view JsonReader::stringToken() {
    // At the opening quote.
    ++m_pos;
    const char* start = m_pos;
    while (m_pos < m_end && *m_pos != '"' && *m_pos != '\\') {
        if (static_cast<unsigned char>(*m_pos) < 0x20)
            syntaxError();
        ++m_pos;
    }
    if (m_pos >= m_end)
        syntaxError();
    if (*m_pos == '"') {
        const std::string_view plain(start, static_cast<size_t>(m_pos - start));
        ++m_pos;
        return plain;
    }
    m_scratch.assign(start, static_cast<size_t>(m_pos - start));
    const auto hex4 = [&]() -> uint32_t {
        if (m_end - m_pos < 4)
            syntaxError();
        uint32_t code = 0;
        for (int i = 0; i < 4; ++i) {
            const char c = *m_pos++;
            code <<= 4;
            if (c >= '0' && c <= '9')
                code |= uint32_t(c - '0');
            else if (c >= 'a' && c <= 'f')
                code |= uint32_t(c - 'a' + 10);
            else if (c >= 'A' && c <= 'F')
                code |= uint32_t(c - 'A' + 10);
            else
                syntaxError();
        }
        return code;
    };
    while (m_pos < m_end && *m_pos != '"') {
        const char c = *m_pos++;
        if (static_cast<unsigned char>(c) < 0x20)
            syntaxError();
        if (c != '\\') {
            m_scratch.push_back(c);
            continue;
        }
        if (m_pos >= m_end)
            syntaxError();
        const char e = *m_pos++;
        switch (e) {
        case '"':
        case '\\':
        case '/':
            m_scratch.push_back(e);
            break;
        case 'b':
            m_scratch.push_back('\b');
            break;
        case 'f':
            m_scratch.push_back('\f');
            break;
        case 'n':
            m_scratch.push_back('\n');
            break;
        case 'r':
            m_scratch.push_back('\r');
            break;
        case 't':
            m_scratch.push_back('\t');
            break;
        case 'u': {
            uint32_t code = hex4();
            if (code >= 0xD800 && code <= 0xDBFF && m_end - m_pos >= 6 && m_pos[0] == '\\' &&
                m_pos[1] == 'u') {
                const char* next = m_pos;
                m_pos += 2;
                const uint32_t low = hex4();
                if (low >= 0xDC00 && low <= 0xDFFF) {
                    code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
                } else {
                    code = 0xFFFD; // a lone high surrogate; the escape after it is read on its own
                    m_pos = next;
                }
            } else if (code >= 0xD800 && code <= 0xDFFF) {
                code = 0xFFFD;
            }
            appendUtf8(m_scratch, code);
            break;
        }
        default:
            syntaxError();
        }
    }
    if (m_pos >= m_end)
        syntaxError();
    ++m_pos;
    return m_scratch;
}

QString JsonReader::readString(const JsonPath& path) {
    if (peek(path) != Type::string)
        throwWrongType(path);
    const std::string_view text = stringToken();
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

void JsonReader::enter(Type container, const JsonPath& path) {
    if (peek(path) != container)
        throwWrongType(path);
    if (m_firstElement.size() >= kMaximumDepth)
        syntaxError();
    ++m_pos;
    m_firstElement.push_back(true);
}

bool JsonReader::nextMember(char closing) {
    skipWhitespace();
    if (m_pos >= m_end)
        syntaxError();
    if (*m_pos == closing) {
        ++m_pos;
        m_firstElement.pop_back();
        return false;
    }
    if (!m_firstElement.back())
        expect(',');
    m_firstElement.back() = false;
    return true;
}

void JsonReader::beginObject(const JsonPath& path) {
    enter(Type::object, path);
}

bool JsonReader::nextKey(std::string_view& key) {
    if (!nextMember('}'))
        return false;
    skipWhitespace();
    if (m_pos >= m_end || *m_pos != '"')
        syntaxError();
    key = stringToken();
    expect(':');
    return true;
}

void JsonReader::beginArray(const JsonPath& path) {
    enter(Type::array, path);
}

bool JsonReader::nextElement() {
    return nextMember(']');
}

void JsonReader::skipValue() {
    static const JsonPath root;
    switch (peek(root)) {
    case Type::null:
        readNull(root);
        break;
    case Type::boolean:
        readBool(root);
        break;
    case Type::number:
        numberToken();
        break;
    case Type::string:
        stringToken();
        break;
    case Type::array:
        beginArray(root);
        while (nextElement())
            skipValue();
        break;
    case Type::object: {
        beginObject(root);
        std::string_view key;
        while (nextKey(key))
            skipValue();
        break;
    }
    }
}

QJsonValue JsonReader::readValue() {
    static const JsonPath root;
    switch (peek(root)) {
    case Type::null:
        readNull(root);
        return QJsonValue(QJsonValue::Null);
    case Type::boolean:
        return readBool(root);
    case Type::number: {
        const std::string_view token = numberToken();
        int64_t integer = 0;
        const auto [ptr, ec] = std::from_chars(token.data(), token.data() + token.size(), integer);
        if (ec == std::errc() && ptr == token.data() + token.size())
            return QJsonValue(static_cast<qint64>(integer));
        double d = 0;
        const auto [dptr, dec] = std::from_chars(token.data(), token.data() + token.size(), d);
        if (dptr != token.data() + token.size() ||
            (dec != std::errc() && dec != std::errc::result_out_of_range))
            syntaxError();
        return d;
    }
    case Type::string:
        return readString(root);
    case Type::array: {
        QJsonArray array;
        beginArray(root);
        while (nextElement())
            array.append(readValue());
        return array;
    }
    case Type::object: {
        QJsonObject object;
        beginObject(root);
        std::string_view key;
        while (nextKey(key)) {
            const QString name = QString::fromUtf8(key.data(), static_cast<qsizetype>(key.size()));
            object.insert(name, readValue());
        }
        return object;
    }
    }
    syntaxError();
}

void JsonReader::finish() {
    skipWhitespace();
    if (m_pos != m_end)
        syntaxError();
}

} // namespace kestrum::json
