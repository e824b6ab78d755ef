#pragma once

// Streaming JSON for the large files (the archive): written straight from the records, pretty-printed
// with sorted keys, and read with a pull parser straight into the records — no intermediate document.

#include <QByteArray>
#include <QJsonValue>
#include <QString>
#include <QUuid>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kestrum::json {

class JsonPath;

// Pretty printer: two-space indentation, "key" : value, one element per line, empty containers as [] / {}.
class JsonWriter {
public:
    void beginObject();
    void endObject();
    void beginArray();
    void endArray();
    void key(std::string_view name);
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

    std::string m_out; // cheaper small appends than QByteArray
    struct Level {
        bool isObject;
        bool empty;
    };
    std::vector<Level> m_levels;
    bool m_afterKey = false;
};

class JsonReader {
public:
    enum class Type { null, boolean, number, string, array, object };

    // Reads `text` in place: the text must outlive the reader, so a temporary is refused.
    explicit JsonReader(QByteArrayView text);
    explicit JsonReader(QByteArray&& text) = delete;

    Type peek(const JsonPath& path);
    void readNull(const JsonPath& path);
    bool readBool(const JsonPath& path);
    double readDouble(const JsonPath& path);
    // An integral number within int64 (exact for large values); throws a type error otherwise.
    int64_t readInt64(const JsonPath& path);
    uint64_t readUInt64(const JsonPath& path);
    QString readString(const JsonPath& path);

    void beginObject(const JsonPath& path);
    // The next key, or false at the end of the object. The view stays valid until the next call.
    bool nextKey(std::string_view& key);
    void beginArray(const JsonPath& path);
    // True while another element follows.
    bool nextElement();
    void skipValue();
    QJsonValue readValue();
    // Only white space may follow the document.
    void finish();

private:
    void skipWhitespace();
    void enter(Type container, const JsonPath& path);
    bool nextMember(char closing); // false (and the container left) at `closing`
    [[noreturn]] void syntaxError();
    std::string_view numberToken();
    std::string_view stringToken(); // unescaped into m_scratch when needed
    void expect(char c);

    // Hostile nesting is refused before it can exhaust the stack.
    static constexpr size_t kMaximumDepth = 256;

    const char* m_begin;
    const char* m_pos;
    const char* m_end;
    std::string m_scratch;
    std::vector<bool> m_firstElement; // per open container: no element read yet
};

} // namespace kestrum::json
