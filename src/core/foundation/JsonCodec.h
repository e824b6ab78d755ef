#pragma once

// The one generic JSON codec. A record lists its fields once:
//
//   template <> struct JsonRecord<HealthEvent> {
//       static constexpr auto fields = std::tuple{field("id", &HealthEvent::id), ...};
//   };
//
// and `encode`/`decode` do the rest: absent optionals are omitted, enumerations are their raw text,
// dates are numbers, UUIDs upper-case text, sets sorted arrays. Include this header only in the .cpp
// files that define or use field lists; it is template-heavy.

#include "Date.h"
#include "EnumTraits.h"
#include "JsonStream.h"
#include "KestrumError.h"
#include "Uuid.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QStringList>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <optional>
#include <set>
#include <tuple>
#include <type_traits>
#include <vector>

namespace kestrum::json {

// Where in the document a value sits, for error messages ("samples[3].timestamp").
class JsonPath {
public:
    void pushKey(const QString& key) { m_segments.push_back(key); }
    void pushIndex(qsizetype index) { m_segments.push_back(QStringLiteral("[%1]").arg(index)); }
    void pop() { m_segments.pop_back(); }
    QString text() const;

private:
    std::vector<QString> m_segments;
};

[[noreturn]] void throwMissing(const JsonPath& path);
[[noreturn]] void throwWrongType(const JsonPath& path);
[[noreturn]] void throwUnknownValue(const JsonPath& path, const QString& value);

template <class T, class M> struct Field {
    const char* key;
    M T::*member;
    bool emptyWhenMissing = false; // lists an older file layout may lack
};

template <class T, class M> constexpr Field<T, M> field(const char* key, M T::*member) {
    return {key, member, false};
}
template <class T, class M> constexpr Field<T, M> fieldEmptyWhenMissing(const char* key, M T::*member) {
    return {key, member, true};
}

template <class T> struct JsonRecord;
// Hand-written codec for the few types whose JSON form is not a plain field list.
template <class T> struct JsonCustom;

template <class T> struct IsOptional : std::false_type {};
template <class T> struct IsOptional<std::optional<T>> : std::true_type {};
template <class T> struct IsVector : std::false_type {};
template <class T> struct IsVector<std::vector<T>> : std::true_type {};
template <class T> struct IsSet : std::false_type {};
template <class T> struct IsSet<std::set<T>> : std::true_type {};

template <class T>
concept Record = requires {
    JsonRecord<T>::fields;
};
template <class T>
concept Custom = requires(const T& v, const QJsonValue& j, JsonPath& p) {
    { JsonCustom<T>::encode(v) } -> std::convertible_to<QJsonValue>;
    { JsonCustom<T>::decode(j, p) } -> std::convertible_to<T>;
};

template <class T> QJsonValue encode(const T& value);
template <class T> T decode(const QJsonValue& value, JsonPath& path);

template <class T> QJsonValue encode(const T& value) {
    if constexpr (Custom<T>) {
        return JsonCustom<T>::encode(value);
    } else if constexpr (std::is_same_v<T, bool>) {
        return QJsonValue(value);
    } else if constexpr (std::is_floating_point_v<T>) {
        return std::isfinite(value) ? QJsonValue(static_cast<double>(value)) : QJsonValue(QJsonValue::Null);
    } else if constexpr (std::is_integral_v<T> && std::is_unsigned_v<T>) {
        if (static_cast<unsigned long long>(value) <=
            static_cast<unsigned long long>(std::numeric_limits<qint64>::max()))
            return QJsonValue(static_cast<qint64>(value));
        return QJsonValue(static_cast<double>(value));
    } else if constexpr (std::is_integral_v<T>) {
        return QJsonValue(static_cast<qint64>(value));
    } else if constexpr (std::is_same_v<T, QString>) {
        return QJsonValue(value);
    } else if constexpr (std::is_same_v<T, Date>) {
        return QJsonValue(value.secondsSinceReferenceDate);
    } else if constexpr (std::is_same_v<T, QUuid>) {
        return QJsonValue(uuidText(value));
    } else if constexpr (std::is_same_v<T, QJsonObject>) {
        return QJsonValue(value);
    } else if constexpr (std::is_same_v<T, QJsonValue>) {
        return value;
    } else if constexpr (RawRepresentable<T>) {
        return QJsonValue(rawValue(value));
    } else if constexpr (IsOptional<T>::value) {
        return value ? encode(*value) : QJsonValue(QJsonValue::Null);
    } else if constexpr (IsVector<T>::value || IsSet<T>::value) {
        QJsonArray array;
        for (const auto& element : value)
            array.append(encode(element));
        return array;
    } else if constexpr (Record<T>) {
        QJsonObject object;
        std::apply(
            [&](const auto&... f) {
                (
                    [&] {
                        const auto& member = value.*(f.member);
                        using MemberType = std::remove_cvref_t<decltype(member)>;
                        if constexpr (IsOptional<MemberType>::value) {
                            if (!member)
                                return;
                        }
                        object.insert(QLatin1String(f.key), encode(member));
                    }(),
                    ...);
            },
            JsonRecord<T>::fields);
        return object;
    } else {
        static_assert(sizeof(T) == 0, "type has no JSON form");
    }
}

template <class T> T decodeInteger(const QJsonValue& value, const JsonPath& path) {
    if (!value.isDouble())
        throwWrongType(path);
    const double d = value.toDouble();
    if (!std::isfinite(d) || d != std::floor(d))
        throwWrongType(path);
    if constexpr (std::is_unsigned_v<T>) {
        if (d < 0)
            throwWrongType(path);
        const qint64 i = value.toInteger(-1);
        if (i >= 0 && static_cast<double>(i) == d)
            return static_cast<T>(i);
        return d >= static_cast<double>(std::numeric_limits<T>::max()) ? std::numeric_limits<T>::max()
                                                                       : static_cast<T>(d);
    } else {
        if (d < static_cast<double>(std::numeric_limits<T>::lowest()) ||
            d > static_cast<double>(std::numeric_limits<T>::max()))
            throwWrongType(path);
        const qint64 i = value.toInteger();
        return static_cast<T>(static_cast<double>(i) == d ? i : static_cast<qint64>(d));
    }
}

template <class T> T decode(const QJsonValue& value, JsonPath& path) {
    if constexpr (Custom<T>) {
        return JsonCustom<T>::decode(value, path);
    } else if constexpr (std::is_same_v<T, bool>) {
        if (!value.isBool())
            throwWrongType(path);
        return value.toBool();
    } else if constexpr (std::is_floating_point_v<T>) {
        if (value.isNull())
            return std::numeric_limits<T>::quiet_NaN();
        if (!value.isDouble())
            throwWrongType(path);
        return static_cast<T>(value.toDouble());
    } else if constexpr (std::is_integral_v<T>) {
        return decodeInteger<T>(value, path);
    } else if constexpr (std::is_same_v<T, QString>) {
        if (!value.isString())
            throwWrongType(path);
        return value.toString();
    } else if constexpr (std::is_same_v<T, Date>) {
        if (!value.isDouble() || !std::isfinite(value.toDouble()))
            throwWrongType(path);
        return Date{value.toDouble()};
    } else if constexpr (std::is_same_v<T, QUuid>) {
        if (!value.isString())
            throwWrongType(path);
        const auto uuid = uuidFromText(value.toString());
        if (!uuid)
            throwUnknownValue(path, value.toString());
        return *uuid;
    } else if constexpr (std::is_same_v<T, QJsonObject>) {
        if (!value.isObject())
            throwWrongType(path);
        return value.toObject();
    } else if constexpr (std::is_same_v<T, QJsonValue>) {
        return value;
    } else if constexpr (RawRepresentable<T>) {
        if (!value.isString())
            throwWrongType(path);
        const auto decoded = fromRawValue<T>(value.toString());
        if (!decoded)
            throwUnknownValue(path, value.toString());
        return *decoded;
    } else if constexpr (IsOptional<T>::value) {
        if (value.isNull() || value.isUndefined())
            return std::nullopt;
        return decode<typename T::value_type>(value, path);
    } else if constexpr (IsVector<T>::value || IsSet<T>::value) {
        if (!value.isArray())
            throwWrongType(path);
        T out;
        const QJsonArray array = value.toArray();
        qsizetype index = 0;
        for (const QJsonValue& element : array) {
            path.pushIndex(index++);
            if constexpr (IsVector<T>::value)
                out.push_back(decode<typename T::value_type>(element, path));
            else
                out.insert(decode<typename T::value_type>(element, path));
            path.pop();
        }
        return out;
    } else if constexpr (Record<T>) {
        if (!value.isObject())
            throwWrongType(path);
        const QJsonObject object = value.toObject();
        T out{};
        std::apply(
            [&](const auto&... f) {
                (
                    [&] {
                        auto& member = out.*(f.member);
                        using MemberType = std::remove_cvref_t<decltype(member)>;
                        const auto it = object.constFind(QLatin1String(f.key));
                        path.pushKey(QLatin1String(f.key));
                        if (it == object.constEnd()) {
                            if constexpr (IsOptional<MemberType>::value) {
                                member = std::nullopt;
                            } else if constexpr (IsVector<MemberType>::value || IsSet<MemberType>::value) {
                                if (!f.emptyWhenMissing)
                                    throwMissing(path);
                                member = MemberType{};
                            } else {
                                throwMissing(path);
                            }
                        } else {
                            member = decode<MemberType>(*it, path);
                        }
                        path.pop();
                    }(),
                    ...);
            },
            JsonRecord<T>::fields);
        return out;
    } else {
        static_assert(sizeof(T) == 0, "type has no JSON form");
    }
}

template <class T> T decode(const QJsonValue& value) {
    JsonPath path;
    return decode<T>(value, path);
}

// ---- streaming form: the same field lists, written and read without an intermediate document ----

template <class T> void write(const T& value, JsonWriter& w);
template <class T> void read(T& out, JsonReader& r, JsonPath& path);

template <class T> struct RecordLayout {
    static constexpr size_t count = std::tuple_size_v<std::remove_cvref_t<decltype(JsonRecord<T>::fields)>>;

    template <size_t I> static const auto& fieldAt() { return std::get<I>(JsonRecord<T>::fields); }

    template <size_t I> static void writeField(const T& value, JsonWriter& w) {
        const auto& f = fieldAt<I>();
        const auto& member = value.*(f.member);
        using MemberType = std::remove_cvref_t<decltype(member)>;
        if constexpr (IsOptional<MemberType>::value) {
            if (!member)
                return;
        }
        w.key(f.key);
        write(member, w);
    }

    template <size_t I> static void readField(T& value, JsonReader& r, JsonPath& path) {
        read(value.*(fieldAt<I>().member), r, path);
    }

    // Whether a field may be absent from the file: optionals, and lists an older layout lacks.
    template <size_t I> static constexpr bool mayBeMissing() {
        using MemberType = std::remove_cvref_t<decltype(std::declval<T>().*(fieldAt<I>().member))>;
        return IsOptional<MemberType>::value;
    }

    template <size_t... I> static auto makeKeys(std::index_sequence<I...>) {
        return std::array<const char*, count>{fieldAt<I>().key...};
    }
    template <size_t... I> static auto makeWriters(std::index_sequence<I...>) {
        return std::array<void (*)(const T&, JsonWriter&), count>{&writeField<I>...};
    }
    template <size_t... I> static auto makeReaders(std::index_sequence<I...>) {
        return std::array<void (*)(T&, JsonReader&, JsonPath&), count>{&readField<I>...};
    }
    template <size_t... I> static auto makeMissingRules(std::index_sequence<I...>) {
        return std::array<bool, count>{(mayBeMissing<I>() || fieldAt<I>().emptyWhenMissing)...};
    }

    static const std::array<const char*, count>& keys() {
        static const auto k = makeKeys(std::make_index_sequence<count>{});
        return k;
    }
    static const std::array<size_t, count>& sortedOrder() {
        static const auto order = [] {
            std::array<size_t, count> o{};
            for (size_t i = 0; i < count; ++i)
                o[i] = i;
            std::sort(o.begin(), o.end(),
                      [](size_t a, size_t b) { return std::strcmp(keys()[a], keys()[b]) < 0; });
            return o;
        }();
        return order;
    }
    static const auto& writers() {
        static const auto w = makeWriters(std::make_index_sequence<count>{});
        return w;
    }
    static const auto& readers() {
        static const auto r = makeReaders(std::make_index_sequence<count>{});
        return r;
    }
    static const auto& missingAllowed() {
        static const auto m = makeMissingRules(std::make_index_sequence<count>{});
        return m;
    }
};

template <class T> void write(const T& value, JsonWriter& w) {
    if constexpr (Custom<T>) {
        w.value(JsonCustom<T>::encode(value));
    } else if constexpr (std::is_same_v<T, bool>) {
        w.boolean(value);
    } else if constexpr (std::is_floating_point_v<T>) {
        w.number(static_cast<double>(value));
    } else if constexpr (std::is_integral_v<T> && std::is_unsigned_v<T>) {
        w.unsignedInteger(static_cast<uint64_t>(value));
    } else if constexpr (std::is_integral_v<T>) {
        w.integer(static_cast<int64_t>(value));
    } else if constexpr (std::is_same_v<T, QString>) {
        w.string(value);
    } else if constexpr (std::is_same_v<T, Date>) {
        w.number(value.secondsSinceReferenceDate);
    } else if constexpr (std::is_same_v<T, QUuid>) {
        w.uuid(value);
    } else if constexpr (std::is_same_v<T, QJsonObject> || std::is_same_v<T, QJsonValue>) {
        w.value(QJsonValue(value));
    } else if constexpr (RawRepresentable<T>) {
        w.string(rawValue(value));
    } else if constexpr (IsOptional<T>::value) {
        if (value)
            write(*value, w);
        else
            w.null();
    } else if constexpr (IsVector<T>::value || IsSet<T>::value) {
        w.beginArray();
        for (const auto& element : value)
            write(element, w);
        w.endArray();
    } else if constexpr (Record<T>) {
        using Layout = RecordLayout<T>;
        w.beginObject();
        for (size_t index : Layout::sortedOrder())
            Layout::writers()[index](value, w);
        w.endObject();
    } else {
        static_assert(sizeof(T) == 0, "type has no JSON form");
    }
}

template <class T> void read(T& out, JsonReader& r, JsonPath& path) {
    if constexpr (Custom<T>) {
        out = JsonCustom<T>::decode(r.readValue(), path);
    } else if constexpr (std::is_same_v<T, bool>) {
        out = r.readBool(path);
    } else if constexpr (std::is_floating_point_v<T>) {
        out = static_cast<T>(r.readDouble(path));
    } else if constexpr (std::is_integral_v<T> && std::is_unsigned_v<T>) {
        const uint64_t v = r.readUInt64(path);
        if (v > std::numeric_limits<T>::max())
            throwWrongType(path);
        out = static_cast<T>(v);
    } else if constexpr (std::is_integral_v<T>) {
        const int64_t v = r.readInt64(path);
        if (v < std::numeric_limits<T>::lowest() || v > std::numeric_limits<T>::max())
            throwWrongType(path);
        out = static_cast<T>(v);
    } else if constexpr (std::is_same_v<T, QString>) {
        out = r.readString(path);
    } else if constexpr (std::is_same_v<T, Date>) {
        if (r.peek(path) != JsonReader::Type::number)
            throwWrongType(path);
        out = Date{r.readDouble(path)};
        if (!std::isfinite(out.secondsSinceReferenceDate))
            throwWrongType(path);
    } else if constexpr (std::is_same_v<T, QUuid>) {
        const QString text = r.readString(path);
        const auto uuid = uuidFromText(text);
        if (!uuid)
            throwUnknownValue(path, text);
        out = *uuid;
    } else if constexpr (std::is_same_v<T, QJsonObject>) {
        if (r.peek(path) != JsonReader::Type::object)
            throwWrongType(path);
        out = r.readValue().toObject();
    } else if constexpr (std::is_same_v<T, QJsonValue>) {
        out = r.readValue();
    } else if constexpr (RawRepresentable<T>) {
        const QString text = r.readString(path);
        const auto decoded = fromRawValue<T>(text);
        if (!decoded)
            throwUnknownValue(path, text);
        out = *decoded;
    } else if constexpr (IsOptional<T>::value) {
        if (r.peek(path) == JsonReader::Type::null) {
            r.readNull(path);
            out = std::nullopt;
        } else {
            typename T::value_type value{};
            read(value, r, path);
            out = std::move(value);
        }
    } else if constexpr (IsVector<T>::value || IsSet<T>::value) {
        out.clear();
        r.beginArray(path);
        qsizetype index = 0;
        while (r.nextElement()) {
            path.pushIndex(index++);
            typename T::value_type element{};
            read(element, r, path);
            if constexpr (IsVector<T>::value)
                out.push_back(std::move(element));
            else
                out.insert(std::move(element));
            path.pop();
        }
    } else if constexpr (Record<T>) {
        using Layout = RecordLayout<T>;
        std::array<bool, Layout::count> seen{};
        r.beginObject(path);
        std::string_view key;
        while (r.nextKey(key)) {
            size_t index = Layout::count;
            for (size_t i = 0; i < Layout::count; ++i) {
                if (key == Layout::keys()[i]) {
                    index = i;
                    break;
                }
            }
            if (index == Layout::count) {
                r.skipValue(); // a field of a later version
                continue;
            }
            path.pushKey(QLatin1String(Layout::keys()[index]));
            Layout::readers()[index](out, r, path);
            path.pop();
            seen[index] = true;
        }
        for (size_t i = 0; i < Layout::count; ++i) {
            if (!seen[i] && !Layout::missingAllowed()[i]) {
                path.pushKey(QLatin1String(Layout::keys()[i]));
                throwMissing(path);
            }
        }
    } else {
        static_assert(sizeof(T) == 0, "type has no JSON form");
    }
}

// A whole document from a record, and back. Decoding errors name the field.
template <class T> QByteArray writeDocument(const T& value) {
    JsonWriter w;
    write(value, w);
    return w.take();
}

template <class T> T readDocument(QByteArrayView bytes) {
    JsonReader r(bytes);
    JsonPath path;
    T out{};
    read(out, r, path);
    r.finish();
    return out;
}

// Pretty-printed with keys sorted at every level (QJsonObject keeps its keys sorted).
QByteArray toDocumentBytes(const QJsonValue& value);
// Parses a whole document; malformed text throws a decoding error naming the offset.
QJsonValue parseDocument(const QByteArray& bytes);

} // namespace kestrum::json
