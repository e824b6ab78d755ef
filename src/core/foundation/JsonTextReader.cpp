#include "JsonStream.h"
#include "KestrumError.h"
#include "Translatable.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>

// The reader of JSON text: a pull parser over the bytes, strict about the grammar, that hands out keys
// and strings without copying where it can.

namespace kestrum::json {

// ---- text reader ----

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

void JsonReader::literal(std::string_view word) {
    if (static_cast<size_t>(m_end - m_pos) < word.size() || std::string_view(m_pos, word.size()) != word)
        syntaxError();
    m_pos += word.size();
}

void JsonReader::readNull(const JsonPath& path) {
    if (peek(path) != Type::null)
        throwWrongType(path);
    literal("null");
}

bool JsonReader::readBool(const JsonPath& path) {
    if (peek(path) != Type::boolean)
        throwWrongType(path);
    if (*m_pos == 't') {
        literal("true");
        return true;
    }
    literal("false");
    return false;
}

namespace {
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}
} // namespace

std::string_view JsonReader::numberToken() {
    // -? (0 | [1-9][0-9]*) (. [0-9]+)? ([eE] [+-]? [0-9]+)?
    const char* start = m_pos;
    const auto digits = [&] {
        if (m_pos >= m_end || !isDigit(*m_pos))
            syntaxError();
        while (m_pos < m_end && isDigit(*m_pos))
            ++m_pos;
    };
    if (m_pos < m_end && *m_pos == '-')
        ++m_pos;
    if (m_pos < m_end && *m_pos == '0')
        ++m_pos;
    else
        digits();
    if (m_pos < m_end && *m_pos == '.') {
        ++m_pos;
        digits();
    }
    if (m_pos < m_end && (*m_pos == 'e' || *m_pos == 'E')) {
        ++m_pos;
        if (m_pos < m_end && (*m_pos == '+' || *m_pos == '-'))
            ++m_pos;
        digits();
    }
    return std::string_view(start, static_cast<size_t>(m_pos - start));
}

double JsonReader::numberValue(std::string_view token, const JsonPath& path) {
    double value = 0;
    const auto [ptr, ec] = std::from_chars(token.data(), token.data() + token.size(), value);
    if (ec == std::errc() && ptr == token.data() + token.size())
        return value;
    if (ec != std::errc::result_out_of_range)
        syntaxError();
    // Too small reads as zero (or the nearest subnormal); too large is no number this system can hold.
    const std::string copy(token);
    value = std::strtod(copy.c_str(), nullptr);
    if (!std::isfinite(value))
        throwOutOfRange(path);
    return value;
}

double JsonReader::readDouble(const JsonPath& path) {
    const Type type = peek(path);
    if (type == Type::null) {
        readNull(path);
        return std::numeric_limits<double>::quiet_NaN();
    }
    if (type != Type::number)
        throwWrongType(path);
    return numberValue(numberToken(), path);
}

int64_t JsonReader::readInt64(const JsonPath& path) {
    if (peek(path) != Type::number)
        throwWrongType(path);
    const std::string_view token = numberToken();
    int64_t value = 0;
    const auto [ptr, ec] = std::from_chars(token.data(), token.data() + token.size(), value);
    if (ec == std::errc() && ptr == token.data() + token.size())
        return value;
    // "5.0" and "1e3" are whole numbers too.
    const double d = numberValue(token, path);
    if (d != std::floor(d))
        throwWrongType(path);
    if (d < -9223372036854775808.0 || d >= 9223372036854775808.0)
        throwOutOfRange(path);
    return static_cast<int64_t>(d);
}

uint64_t JsonReader::readUInt64(const JsonPath& path) {
    if (peek(path) != Type::number)
        throwWrongType(path);
    const std::string_view token = numberToken();
    uint64_t value = 0;
    const auto [ptr, ec] = std::from_chars(token.data(), token.data() + token.size(), value);
    if (ec == std::errc() && ptr == token.data() + token.size())
        return value;
    const double d = numberValue(token, path);
    if (d != std::floor(d))
        throwWrongType(path);
    if (d < 0 || d >= 18446744073709551616.0)
        throwOutOfRange(path);
    return static_cast<uint64_t>(d);
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
            const char c = *m_pos;
            code <<= 4;
            if (c >= '0' && c <= '9')
                code |= uint32_t(c - '0');
            else if (c >= 'a' && c <= 'f')
                code |= uint32_t(c - 'a' + 10);
            else if (c >= 'A' && c <= 'F')
                code |= uint32_t(c - 'A' + 10);
            else
                syntaxError();
            ++m_pos;
        }
        return code;
    };
    while (m_pos < m_end && *m_pos != '"') {
        const char c = *m_pos;
        if (static_cast<unsigned char>(c) < 0x20)
            syntaxError();
        ++m_pos;
        if (c != '\\') {
            m_scratch.push_back(c);
            continue;
        }
        if (m_pos >= m_end)
            syntaxError();
        const char e = *m_pos;
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
            ++m_pos;
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
            continue;
        }
        default:
            syntaxError();
        }
        ++m_pos;
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
    if (m_firstElement.back()) {
        if (*m_pos == closing) {
            ++m_pos;
            m_firstElement.pop_back();
            return false;
        }
        m_firstElement.back() = false;
        return true;
    }
    // After an element: a comma and another element, or the end; never a comma before the end.
    if (*m_pos == closing) {
        ++m_pos;
        m_firstElement.pop_back();
        return false;
    }
    if (*m_pos != ',')
        syntaxError();
    ++m_pos;
    skipWhitespace();
    if (m_pos >= m_end || *m_pos == closing)
        syntaxError();
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
    skipWhitespace();
    if (m_pos >= m_end || *m_pos != ':')
        syntaxError();
    ++m_pos;
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
        literal("null");
        break;
    case Type::boolean:
        literal(*m_pos == 't' ? "true" : "false");
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
    JsonPath path;
    return readValue(path);
}

QJsonValue JsonReader::readValue(JsonPath& path) {
    switch (peek(path)) {
    case Type::null:
        literal("null");
        return QJsonValue(QJsonValue::Null);
    case Type::boolean:
        return readBool(path);
    case Type::number: {
        const std::string_view token = numberToken();
        int64_t integer = 0;
        const auto [ptr, ec] = std::from_chars(token.data(), token.data() + token.size(), integer);
        if (ec == std::errc() && ptr == token.data() + token.size())
            return QJsonValue(static_cast<qint64>(integer));
        return numberValue(token, path);
    }
    case Type::string:
        return readString(path);
    case Type::array: {
        QJsonArray array;
        beginArray(path);
        qsizetype index = 0;
        while (nextElement()) {
            path.pushIndex(index++);
            array.append(readValue(path));
            path.pop();
        }
        return array;
    }
    case Type::object: {
        QJsonObject object;
        beginObject(path);
        std::string_view key;
        while (nextKey(key)) {
            const QString name = QString::fromUtf8(key.data(), static_cast<qsizetype>(key.size()));
            path.pushKey(name);
            const qsizetype before = object.size();
            object.insert(name, readValue(path));
            if (object.size() == before)
                throwDuplicateKey(path);
            path.pop();
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
