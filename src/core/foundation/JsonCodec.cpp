#include "JsonCodec.h"

namespace kestrum::json {

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
