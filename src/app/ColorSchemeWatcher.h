#pragma once

#include "presentation/ThemePalette.h"

#include <QDBusConnection>
#include <QDBusVariant>
#include <QObject>
#include <optional>

namespace kestrum {

// The desktop's light or dark preference from the freedesktop settings portal
// (org.freedesktop.portal.Settings, "org.freedesktop.appearance" "color-scheme"), followed live through
// its SettingChanged signal. Absent while no portal has answered.
class ColorSchemeWatcher : public QObject {
    Q_OBJECT
public:
    static constexpr int kReadTimeoutMs = 400;

    explicit ColorSchemeWatcher(QDBusConnection bus, QObject* parent = nullptr);
    std::optional<ColorScheme> scheme() const { return m_scheme; }

Q_SIGNALS:
    void schemeChanged();

private Q_SLOTS:
    void settingChanged(const QString& group, const QString& key, const QDBusVariant& value);

private:
    void set(std::optional<ColorScheme> scheme);

    QDBusConnection m_bus;
    std::optional<ColorScheme> m_scheme;
};

} // namespace kestrum
