#include "JsonCodec.h"

#include "Translatable.h"

#include <QJsonDocument>
#include <QJsonParseError>

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
    throw KestrumError(QStringLiteral("decoding"), trTemplate("Gerekli alan eksik: \\(path).", {path.text()}));
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
    QJsonDocument document;
    if (value.isArray())
        document.setArray(value.toArray());
    else
        document.setObject(value.toObject());
    return document.toJson(QJsonDocument::Indented);
}

QJsonValue parseDocument(const QByteArray& bytes) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError) {
        throw KestrumError(QStringLiteral("decoding"),
                           trTemplate("JSON biçimi bozuk (konum \\(offset)).", {QString::number(error.offset)}));
    }
    if (document.isArray())
        return document.array();
    return document.object();
}

} // namespace kestrum::json
