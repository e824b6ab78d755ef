// The JSON reader on arbitrary bytes: the syntax check and the tree parser agree, a tree survives being
// written and read again, and a record decodes the same from the text and from the tree.

#include "FuzzSupport.h"
#include "foundation/JsonCodec.h"
#include "measurement/MeasurementJsonFields.h"

#include <QRegularExpression>

using namespace kestrum;

namespace {

// The record's text form, or the error that refused it.
template <class Decode> QByteArray outcome(Decode&& decodeIt) {
    try {
        return json::writeDocument(decodeIt());
    } catch (const KestrumError& error) {
        return error.description().toUtf8();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes = fuzz::bytesOf(data, size);
    bool syntaxAccepted = false;
    try {
        json::JsonReader reader(bytes);
        reader.skipValue();
        reader.finish();
        syntaxAccepted = true;
    } catch (const KestrumError&) {
    }
    QJsonValue tree;
    try {
        tree = json::parseDocument(bytes);
    } catch (const KestrumError&) {
        return 0;
    }
    fuzz::require(syntaxAccepted, "the tree parser accepts only what the syntax check accepts");
    const QByteArray written = json::toDocumentBytes(tree);
    try {
        fuzz::require(json::parseDocument(written) == tree, "a written tree reads back equal");
    } catch (const KestrumError& error) {
        std::fprintf(stderr, "%s\n", error.what());
        fuzz::propertyBroken("the reader refuses what the writer wrote");
    }
    // Trees hold integers as qint64: counts past 2^63 differ between the two forms by design.
    static const QRegularExpression hugeInteger(QStringLiteral("\\d{19}"));
    if (QString::fromLatin1(bytes).contains(hugeInteger))
        return 0;
    const QByteArray fromText = outcome([&] { return json::readDocument<SystemSnapshot>(bytes); });
    const QByteArray fromTree = outcome([&] { return json::decode<SystemSnapshot>(tree); });
    fuzz::require(fromText == fromTree, "a snapshot decodes the same from text and from a tree");
    return 0;
}
