#pragma once

// The one generic JSON codec. A record lists its fields once:
//
//   template <> struct JsonRecord<HealthEvent> {
//       static constexpr auto fields = std::tuple{field("id", &HealthEvent::id), ...};
//       // optional: keys this version does not know, carried unchanged through load and save
//       static constexpr auto unknownFields = &HealthEvent::unknownFields;
//   };
//
// and the codec does the rest: absent optionals are omitted, enumerations are their raw text, dates are
// numbers, UUIDs upper-case text, sets sorted arrays, keys sorted. A field may declare the range its
// numbers must fall in (`field(...).within(0, 1)`); a number outside it is a decoding error of that field.
//
// Every type rule is written once, in `write` and `read` below, against the writer/reader interface of
// JsonStream.h; the text form (the files) and the QJsonValue form (`encode`/`decode`) are the two
// implementations of that interface. Include this header only in .cpp files: it is template-heavy.

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
#include <string>
#include <tuple>
#include <type_traits>
#include <vector>

namespace kestrum::json {

template <class T, class M> struct Field {
    const char* key;
    M T::*member;
    bool emptyWhenMissing = false; // lists an older file layout may lack
    double minimum = -std::numeric_limits<double>::infinity();
    double maximum = std::numeric_limits<double>::infinity();

    // The closed range a number (or a present optional number) must be in when read.
    constexpr Field within(double lowest, double highest) const {
        Field f = *this;
        f.minimum = lowest;
        f.maximum = highest;
        return f;
    }
    constexpr bool hasRange() const {
        return minimum > -std::numeric_limits<double>::infinity() ||
               maximum < std::numeric_limits<double>::infinity();
    }
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
concept RecordWithUnknownFields = Record<T> && requires {
    JsonRecord<T>::unknownFields;
};
template <class T>
concept Custom = requires(const T& v, const QJsonValue& j, JsonPath& p) {
    { JsonCustom<T>::encode(v) } -> std::convertible_to<QJsonValue>;
    { JsonCustom<T>::decode(j, p) } -> std::convertible_to<T>;
};

template <class T, class Sink> void write(const T& value, Sink& w);
template <class T, class Source> void read(T& out, Source& r, JsonPath& path);

template <class T> struct RecordLayout {
    static constexpr size_t count = std::tuple_size_v<std::remove_cvref_t<decltype(JsonRecord<T>::fields)>>;

    template <size_t I> static constexpr auto fieldAt() { return std::get<I>(JsonRecord<T>::fields); }

    template <size_t I, class Sink> static void writeField(const T& value, Sink& w) {
        constexpr auto f = fieldAt<I>();
        const auto& member = value.*(f.member);
        using MemberType = std::remove_cvref_t<decltype(member)>;
        if constexpr (IsOptional<MemberType>::value) {
            if (!member)
                return;
        }
        w.key(std::string_view(f.key));
        write(member, w);
    }

    template <class M> static bool inRange(const M& value, double lowest, double highest) {
        if constexpr (IsOptional<M>::value) {
            return !value || inRange(*value, lowest, highest);
        } else {
            static_assert(std::is_arithmetic_v<M> && !std::is_same_v<M, bool>, "a range needs a number");
            const double d = static_cast<double>(value);
            return d >= lowest && d <= highest;
        }
    }

    template <size_t I, class Source> static void readField(T& value, Source& r, JsonPath& path) {
        constexpr auto f = fieldAt<I>();
        auto& member = value.*(f.member);
        read(member, r, path);
        if constexpr (f.hasRange()) {
            if (!inRange(member, f.minimum, f.maximum))
                throwOutOfRange(path);
        }
    }

    // Whether a field may be absent from the file: optionals, and lists an older layout lacks.
    template <size_t I> static constexpr bool mayBeMissing() {
        using MemberType = std::remove_cvref_t<decltype(std::declval<T>().*(fieldAt<I>().member))>;
        return IsOptional<MemberType>::value || fieldAt<I>().emptyWhenMissing;
    }

    template <size_t... I> static constexpr auto makeKeys(std::index_sequence<I...>) {
        return std::array<std::string_view, count>{std::string_view(fieldAt<I>().key)...};
    }
    template <class Sink, size_t... I> static auto makeWriters(std::index_sequence<I...>) {
        return std::array<void (*)(const T&, Sink&), count>{&writeField<I, Sink>...};
    }
    template <class Source, size_t... I> static auto makeReaders(std::index_sequence<I...>) {
        return std::array<void (*)(T&, Source&, JsonPath&), count>{&readField<I, Source>...};
    }
    template <size_t... I> static constexpr auto makeMissingRules(std::index_sequence<I...>) {
        return std::array<bool, count>{mayBeMissing<I>()...};
    }

    static constexpr std::array<std::string_view, count> keyList =
        makeKeys(std::make_index_sequence<count>{});
    static const std::array<std::string_view, count>& keys() { return keyList; }
    static size_t find(std::string_view key) {
        for (size_t i = 0; i < count; ++i) {
            if (keys()[i] == key)
                return i;
        }
        return count;
    }
    static const std::array<size_t, count>& sortedOrder() {
        static const auto order = [] {
            std::array<size_t, count> o{};
            for (size_t i = 0; i < count; ++i)
                o[i] = i;
            std::sort(o.begin(), o.end(), [](size_t a, size_t b) { return keys()[a] < keys()[b]; });
            return o;
        }();
        return order;
    }
    template <class Sink> static const auto& writers() {
        static const auto w = makeWriters<Sink>(std::make_index_sequence<count>{});
        return w;
    }
    template <class Source> static const auto& readers() {
        static const auto r = makeReaders<Source>(std::make_index_sequence<count>{});
        return r;
    }
    static constexpr auto missingAllowed = makeMissingRules(std::make_index_sequence<count>{});
};

// Known fields and carried unknown ones, merged in sorted key order. A carried key that collides with a
// known field is not written: the file would otherwise name it twice, and the loader refuses that.
template <class T, class Sink>
void writeRecordWithUnknownFields(const T& value, const QJsonObject& unknown, Sink& w) {
    using Layout = RecordLayout<T>;
    QStringList extra;
    for (const QString& name : unknown.keys()) {
        const QByteArray utf8 = name.toUtf8();
        if (Layout::find(std::string_view(utf8.constData(), static_cast<size_t>(utf8.size()))) ==
            Layout::count)
            extra.append(name);
    }
    std::sort(extra.begin(), extra.end());
    const auto& order = Layout::sortedOrder();
    size_t known = 0;
    qsizetype next = 0;
    while (known < Layout::count || next < extra.size()) {
        const bool takeKnown =
            next >= extra.size() ||
            (known < Layout::count &&
             QString::compare(QLatin1String(Layout::keys()[order[known]].data()), extra[next]) < 0);
        if (takeKnown) {
            Layout::template writers<Sink>()[order[known++]](value, w);
        } else {
            w.key(extra[next]);
            w.value(unknown.value(extra[next]));
            ++next;
        }
    }
}

template <class T, class Sink> void write(const T& value, Sink& w) {
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
        if constexpr (RecordWithUnknownFields<T>) {
            const QJsonObject& unknown = value.*(JsonRecord<T>::unknownFields);
            if (!unknown.isEmpty()) {
                writeRecordWithUnknownFields(value, unknown, w);
                w.endObject();
                return;
            }
        }
        for (size_t index : Layout::sortedOrder())
            Layout::template writers<Sink>()[index](value, w);
        w.endObject();
    } else {
        static_assert(sizeof(T) == 0, "type has no JSON form");
    }
}

template <class T, class Source> T readIntegral(Source& r, const JsonPath& path) {
    if constexpr (std::is_unsigned_v<T>) {
        const uint64_t v = r.readUInt64(path);
        if (v > std::numeric_limits<T>::max())
            throwOutOfRange(path);
        return static_cast<T>(v);
    } else {
        const int64_t v = r.readInt64(path);
        if (v < std::numeric_limits<T>::lowest() || v > std::numeric_limits<T>::max())
            throwOutOfRange(path);
        return static_cast<T>(v);
    }
}

template <class T, class Source> void read(T& out, Source& r, JsonPath& path) {
    if constexpr (Custom<T>) {
        out = JsonCustom<T>::decode(r.readValue(path), path);
    } else if constexpr (std::is_same_v<T, bool>) {
        out = r.readBool(path);
    } else if constexpr (std::is_floating_point_v<T>) {
        const double d = r.readDouble(path);
        if (std::isfinite(d) && std::abs(d) > static_cast<double>(std::numeric_limits<T>::max()))
            throwOutOfRange(path);
        out = static_cast<T>(d);
    } else if constexpr (std::is_integral_v<T>) {
        out = readIntegral<T>(r, path);
    } else if constexpr (std::is_same_v<T, QString>) {
        out = r.readString(path);
    } else if constexpr (std::is_same_v<T, Date>) {
        if (r.peek(path) != JsonType::number)
            throwWrongType(path);
        out = Date{r.readDouble(path)};
    } else if constexpr (std::is_same_v<T, QUuid>) {
        const QString text = r.readString(path);
        const auto uuid = uuidFromText(text);
        if (!uuid)
            throwUnknownValue(path, text);
        out = *uuid;
    } else if constexpr (std::is_same_v<T, QJsonObject>) {
        if (r.peek(path) != JsonType::object)
            throwWrongType(path);
        out = r.readValue(path).toObject();
    } else if constexpr (std::is_same_v<T, QJsonValue>) {
        out = r.readValue(path);
    } else if constexpr (RawRepresentable<T>) {
        const QString text = r.readString(path);
        const auto decoded = fromRawValue<T>(text);
        if (!decoded)
            throwUnknownValue(path, text);
        out = *decoded;
    } else if constexpr (IsOptional<T>::value) {
        if (r.peek(path) == JsonType::null) {
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
        std::vector<std::string> skipped; // unknown keys of a record that does not carry them
        r.beginObject(path);
        std::string_view key;
        while (r.nextKey(key)) {
            const size_t index = Layout::find(key);
            if (index < Layout::count) {
                path.pushKey(Layout::keys()[index].data());
                if (seen[index])
                    throwDuplicateKey(path);
                seen[index] = true;
                Layout::template readers<Source>()[index](out, r, path);
                path.pop();
                continue;
            }
            // A field of a later version.
            if constexpr (RecordWithUnknownFields<T>) {
                QJsonObject& unknown = out.*(JsonRecord<T>::unknownFields);
                const QString name = QString::fromUtf8(key.data(), static_cast<qsizetype>(key.size()));
                path.pushKey(name);
                if (unknown.contains(name))
                    throwDuplicateKey(path);
                unknown.insert(name, r.readValue(path));
                path.pop();
            } else {
                std::string name(key);
                if (std::find(skipped.begin(), skipped.end(), name) != skipped.end()) {
                    path.pushKey(QString::fromStdString(name));
                    throwDuplicateKey(path);
                }
                skipped.push_back(std::move(name));
                r.skipValue();
            }
        }
        for (size_t i = 0; i < Layout::count; ++i) {
            if (!seen[i] && !Layout::missingAllowed[i]) {
                path.pushKey(Layout::keys()[i].data());
                throwMissing(path);
            }
        }
    } else {
        static_assert(sizeof(T) == 0, "type has no JSON form");
    }
}

// A value as a QJsonValue tree, and back. Decoding errors name the field.
template <class T> QJsonValue encode(const T& value) {
    JsonValueBuilder builder;
    write(value, builder);
    return builder.take();
}

template <class T> T decode(const QJsonValue& value, JsonPath& path) {
    JsonValueReader reader(value);
    T out{};
    read(out, reader, path);
    return out;
}

template <class T> T decode(const QJsonValue& value) {
    JsonPath path;
    return decode<T>(value, path);
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

// Pretty-printed with keys sorted at every level.
QByteArray toDocumentBytes(const QJsonValue& value);
// Parses a whole document; malformed text throws a decoding error naming the offset, an object that
// names a key twice a decoding error naming the key.
QJsonValue parseDocument(const QByteArray& bytes);

} // namespace kestrum::json
