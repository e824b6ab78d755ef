#include "ColorSchemeWatcher.h"

#include <QDBusMessage>

namespace kestrum {

namespace {

const QString kService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kInterface = QStringLiteral("org.freedesktop.portal.Settings");
const QString kGroup = QStringLiteral("org.freedesktop.appearance");
const QString kKey = QStringLiteral("color-scheme");

// The portal wraps the value in one variant (ReadOne) or two (the older Read).
std::optional<ColorScheme> schemeOf(QVariant value) {
    while (value.typeId() == qMetaTypeId<QDBusVariant>())
        value = value.value<QDBusVariant>().variant();
    bool ok = false;
    const uint number = value.toUInt(&ok);
    return ok ? colorSchemeFromPortal(number) : std::nullopt;
}

} // namespace

ColorSchemeWatcher::ColorSchemeWatcher(QDBusConnection bus, QObject* parent)
    : QObject(parent), m_bus(std::move(bus)) {
    if (!m_bus.isConnected())
        return;
    m_bus.connect(kService, kPath, kInterface, QStringLiteral("SettingChanged"), this,
                  SLOT(settingChanged(QString, QString, QDBusVariant)));
    // Read once before the first frame, so that a dark desktop never sees a light window flash.
    for (const QString& method : {QStringLiteral("ReadOne"), QStringLiteral("Read")}) {
        QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, method);
        call << kGroup << kKey;
        const QDBusMessage reply = m_bus.call(call, QDBus::Block, kReadTimeoutMs);
        if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()) {
            set(schemeOf(reply.arguments().constFirst()));
            return;
        }
    }
}

void ColorSchemeWatcher::settingChanged(const QString& group, const QString& key, const QDBusVariant& value) {
    if (group == kGroup && key == kKey)
        set(schemeOf(value.variant()));
}

void ColorSchemeWatcher::set(std::optional<ColorScheme> scheme) {
    if (scheme == m_scheme)
        return;
    m_scheme = scheme;
    Q_EMIT schemeChanged();
}

} // namespace kestrum
