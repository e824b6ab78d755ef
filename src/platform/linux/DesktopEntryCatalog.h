#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>
#include <mutex>
#include <optional>

namespace kestrum {

// What Kestrum reads of a desktop entry: only the [Desktop Entry] group's name and window class.
struct DesktopEntry {
    QString name;
    QString startupWMClass;
    bool hidden = false; // "Hidden=true": the entry is deleted

    // The [Desktop Entry] group of a .desktop file; escapes (\s \n \t \r \\) undone.
    static DesktopEntry parse(QByteArrayView text);
    bool operator==(const DesktopEntry&) const = default;
};

// The installed applications' desktop entries, looked up by desktop id (the file name without
// ".desktop", as launchers and Wayland app ids give it) or by X11 window class. The folders are
// searched in order, the first entry of an id winning, as the XDG menu rules have it. Thread-safe;
// answers are remembered for the life of the catalog.
class DesktopEntryCatalog {
public:
    explicit DesktopEntryCatalog(QStringList applicationDirectories);
    // $XDG_DATA_HOME and $XDG_DATA_DIRS (with their defaults), then Flatpak's and Snap's exports.
    static QStringList systemApplicationDirectories();

    // The entry of a desktop id ("org.gnome.Nautilus", "firefox-esr"; a trailing ".desktop" is ignored).
    std::optional<DesktopEntry> entry(const QString& desktopID);
    // The desktop id whose entry names this window class (StartupWMClass), else whose id equals the
    // class or the instance, in any letter case.
    std::optional<QString> desktopIDForWindowClass(const QString& windowClass, const QString& windowInstance);

private:
    std::optional<DesktopEntry> load(const QString& desktopID);
    void indexOnce();

    QStringList m_directories;
    std::mutex m_mutex;
    QHash<QString, std::optional<DesktopEntry>> m_entries;
    bool m_indexed = false;
    QHash<QString, QString> m_byWindowClass; // lower-cased StartupWMClass → id
    QHash<QString, QString> m_byLowerID;     // lower-cased id → id
};

} // namespace kestrum
