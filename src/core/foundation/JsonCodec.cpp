#include "JsonCodec.h"

#include "Translatable.h"

namespace kestrum::json {

QString JsonPath::text() const {
    QString out;
    for (const auto& segment : m_segments) {
        if (!out.isEmpty() && !segment.startsWith(u'['))
            out += u'.';
        out += segment;
    }
    return out.isEmpty() ? QStringLiteral("(kök)") : out;
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

QByteArray toDocumentBytes(const QJsonValue& value) {
    JsonWriter w;
    w.value(value);
    return w.take();
}

QJsonValue parseDocument(const QByteArray& bytes) {
    JsonReader reader(bytes);
    QJsonValue value = reader.readValue();
    reader.finish();
    return value;
}

} // namespace kestrum::json
