#pragma once

// The two ends every JSON value goes through. Text: a pretty printer and a strict pull parser that read
// and write the records directly, with no intermediate document (the archive is megabytes). Trees: the
// same two interfaces over QJsonValue, for the few places that hand a value around. The codec's type rules
// (JsonCodec.h) are written once against these interfaces and serve both.

#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>
#include <QUuid>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kestrum::json {

// Where in the document a value sits, for error messages ("samples[3].timestamp"). Segments are kept
// unformatted: the text is only built when an error is reported.
class JsonPath {
public:
    void pushKey(const char* key) { m_segments.push_back({key, {}, -1}); }
    void pushKey(const QString& key) { m_segments.push_back({nullptr, key, -1}); }
    void pushIndex(qsizetype index) { m_segments.push_back({nullptr, {}, index}); }
    void pop() { m_segments.pop_back(); }
    QString text() const;

private:
    struct Segment {
        const char* latin1Key;
        QString key;
        qsizetype index;
    };
    std::vector<Segment> m_segments;
};

[[noreturn]] void throwMissing(const JsonPath& path);
[[noreturn]] void throwWrongType(const JsonPath& path);
[[noreturn]] void throwUnknownValue(const JsonPath& path, const QString& value);
// A number that does not fit the field (1e999, 1e30 for an integer, a fraction outside 0...1).
[[noreturn]] void throwOutOfRange(const JsonPath& path);
// An object that names the same key twice: which one was meant cannot be known.
[[noreturn]] void throwDuplicateKey(const JsonPath& path);

enum class JsonType { null, boolean, number, string, array, object };

// Pretty printer: two-space indentation, "key" : value, one element per line, empty containers as [] / {}.
class JsonWriter {
public:
    void beginObject();
    void endObject();
    void beginArray();
    void endArray();
    void key(std::string_view name);
    void key(const char* name) { key(std::string_view(name)); }
    void key(const QString& name);
    void null();
    void boolean(bool value);
    void number(double value); // shortest text that reads back to the same double; non-finite as null
    void integer(int64_t value);
    void unsignedInteger(uint64_t value);
    void string(const QString& value);
    void uuid(const QUuid& value);
    void value(const QJsonValue& value); // a whole subtree, keys sorted

    QByteArray take();

private:
    void beforeValue();
    void newline();
    void open(char bracket, bool isObject);
    void close(char bracket);
    void appendQuoted(const char* text, size_t size);

    std::string m_out; // cheaper small appends than QByteArray
    struct Level {
        bool isObject;
        bool empty;
    };
    std::vector<Level> m_levels;
    bool m_afterKey = false;
};

// The writer's interface, building a QJsonValue instead of text.
class JsonValueBuilder {
public:
    void beginObject();
    void endObject();
    void beginArray();
    void endArray();
    void key(std::string_view name);
    void key(const char* name) { key(std::string_view(name)); }
    void key(const QString& name);
    void null();
    void boolean(bool value);
    void number(double value);
    void integer(int64_t value);
    void unsignedInteger(uint64_t value);
    void string(const QString& value);
    void uuid(const QUuid& value);
    void value(const QJsonValue& value);

    QJsonValue take();

private:
    void put(QJsonValue value);

    struct Level {
        bool isObject;
        QJsonObject object;
        QJsonArray array;
        QString pendingKey;
    };
    std::vector<Level> m_levels;
    QJsonValue m_result;
};

// Strict JSON text (RFC 8259): what the public parsing test suite calls invalid is a syntax error.
class JsonReader {
public:
    using Type = JsonType;

    // Reads `text` in place: the text must outlive the reader, so a temporary is refused.
    explicit JsonReader(QByteArrayView text);
    explicit JsonReader(QByteArray&& text) = delete;

    Type peek(const JsonPath& path);
    void readNull(const JsonPath& path);
    bool readBool(const JsonPath& path);
    // null reads as NaN (the writer's form of a non-finite number); beyond a double's range is an error.
    double readDouble(const JsonPath& path);
    // An integral number within the type (exact for large values); a fraction is a type error, a whole
    // number outside the range a range error.
    int64_t readInt64(const JsonPath& path);
    uint64_t readUInt64(const JsonPath& path);
    QString readString(const JsonPath& path);

    void beginObject(const JsonPath& path);
    // The next key, or false at the end of the object. The view stays valid until the next call.
    bool nextKey(std::string_view& key);
    void beginArray(const JsonPath& path);
    // True while another element follows.
    bool nextElement();
    // Skips one value, checking its syntax only.
    void skipValue();
    // One value as a tree; an object naming a key twice is refused.
    QJsonValue readValue();
    QJsonValue readValue(JsonPath& path);
    // Only white space may follow the document.
    void finish();

private:
    void skipWhitespace();
    void enter(Type container, const JsonPath& path);
    bool nextMember(char closing); // false (and the container left) at `closing`
    [[noreturn]] void syntaxError();
    void literal(std::string_view word);
    std::string_view numberToken();
    double numberValue(std::string_view token, const JsonPath& path);
    std::string_view stringToken(); // unescaped into m_scratch when needed

    // Hostile nesting is refused before it can exhaust the stack.
    static constexpr size_t kMaximumDepth = 256;

    const char* m_begin;
    const char* m_pos;
    const char* m_end;
    std::string m_scratch;
    std::vector<bool> m_firstElement; // per open container: no element read yet
};

// The reader's interface over a QJsonValue tree.
class JsonValueReader {
public:
    using Type = JsonType;

    explicit JsonValueReader(QJsonValue root);

    Type peek(const JsonPath& path);
    void readNull(const JsonPath& path);
    bool readBool(const JsonPath& path);
    double readDouble(const JsonPath& path);
    int64_t readInt64(const JsonPath& path);
    uint64_t readUInt64(const JsonPath& path);
    QString readString(const JsonPath& path);

    void beginObject(const JsonPath& path);
    bool nextKey(std::string_view& key);
    void beginArray(const JsonPath& path);
    bool nextElement();
    void skipValue();
    QJsonValue readValue();
    QJsonValue readValue(JsonPath& path);

private:
    QJsonValue take();

    struct Frame {
        bool isObject;
        QJsonObject object;
        QJsonArray array;
        qsizetype next;
    };
    std::vector<Frame> m_frames;
    QJsonValue m_current;
    QByteArray m_key;
};

} // namespace kestrum::json
