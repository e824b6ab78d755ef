#include "DesktopEntryCatalog.h"

#include "SysfsFiles.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QSet>

namespace kestrum {

namespace {

QString unescaped(QByteArrayView raw) {
    const QString text = QString::fromUtf8(raw).trimmed();
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != u'\\' || i + 1 >= text.size()) {
            out += text[i];
            continue;
        }
        const QChar next = text[++i];
        out += next == u's'   ? QChar(u' ')
               : next == u'n' ? QChar(u'\n')
               : next == u't' ? QChar(u'\t')
               : next == u'r' ? QChar(u'\r')
                              : next;
    }
    return out;
}

constexpr qsizetype kMaximumEntryBytes = 256 * 1024;

} // namespace

DesktopEntry DesktopEntry::parse(QByteArrayView text) {
    DesktopEntry entry;
    bool inMainGroup = false;
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype end = text.indexOf('\n', start);
        if (end < 0)
            end = text.size();
        const QByteArrayView line = text.sliced(start, end - start).trimmed();
        start = end + 1;
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        if (line.startsWith('[')) {
            inMainGroup = line == "[Desktop Entry]";
            continue;
        }
        if (!inMainGroup)
            continue;
        const qsizetype equals = line.indexOf('=');
        if (equals <= 0)
            continue;
        const QByteArrayView key = line.first(equals).trimmed();
        const QByteArrayView value = line.sliced(equals + 1);
        // The first occurrence counts; localised variants (Name[tr]) are other keys.
        if (key == "Name" && entry.name.isEmpty())
            entry.name = unescaped(value);
        else if (key == "StartupWMClass" && entry.startupWMClass.isEmpty())
            entry.startupWMClass = unescaped(value);
        else if (key == "Hidden")
            entry.hidden = value.trimmed() == "true";
    }
    return entry;
}

DesktopEntryCatalog::DesktopEntryCatalog(QStringList applicationDirectories)
    : m_directories(std::move(applicationDirectories)) {}

QStringList DesktopEntryCatalog::systemApplicationDirectories() {
    QStringList dataDirectories;
    QString home = qEnvironmentVariable("XDG_DATA_HOME");
    if (home.isEmpty())
        home = QDir::homePath() + QStringLiteral("/.local/share");
    dataDirectories.append(home);
    QString system = qEnvironmentVariable("XDG_DATA_DIRS");
    if (system.isEmpty())
        system = QStringLiteral("/usr/local/share:/usr/share");
    dataDirectories.append(system.split(u':', Qt::SkipEmptyParts));
    dataDirectories.append(
        {home + QStringLiteral("/flatpak/exports/share"), QStringLiteral("/var/lib/flatpak/exports/share")});
    QStringList out;
    QSet<QString> seen;
    for (const QString& directory : dataDirectories) {
        const QString applications = QDir::cleanPath(directory + QStringLiteral("/applications"));
        if (!seen.contains(applications)) {
            seen.insert(applications);
            out.append(applications);
        }
    }
    if (!seen.contains(QStringLiteral("/var/lib/snapd/desktop/applications")))
        out.append(QStringLiteral("/var/lib/snapd/desktop/applications"));
    return out;
}

std::optional<DesktopEntry> DesktopEntryCatalog::load(const QString& desktopID) {
    if (desktopID.isEmpty() || desktopID.contains(u'/') || desktopID.startsWith(u'.'))
        return std::nullopt;
    // "kde-foo" may live at applications/kde/foo.desktop.
    QStringList relativePaths{desktopID + QStringLiteral(".desktop")};
    for (qsizetype dash = desktopID.indexOf(u'-'); dash > 0; dash = desktopID.indexOf(u'-', dash + 1)) {
        QString nested = desktopID;
        nested[dash] = u'/';
        relativePaths.append(nested + QStringLiteral(".desktop"));
    }
    for (const QString& directory : m_directories) {
        for (const QString& relative : relativePaths) {
            const auto bytes = sysfs::readFile(directory + u'/' + relative, kMaximumEntryBytes);
            if (!bytes)
                continue;
            DesktopEntry entry = DesktopEntry::parse(*bytes);
            if (entry.hidden)
                return std::nullopt;
            return entry;
        }
    }
    return std::nullopt;
}

std::optional<DesktopEntry> DesktopEntryCatalog::entry(const QString& requested) {
    QString desktopID = requested;
    if (desktopID.endsWith(QLatin1String(".desktop")))
        desktopID.chop(8);
    std::lock_guard lock(m_mutex);
    const auto cached = m_entries.constFind(desktopID);
    if (cached != m_entries.constEnd())
        return *cached;
    std::optional<DesktopEntry> loaded = load(desktopID);
    m_entries.insert(desktopID, loaded);
    return loaded;
}

void DesktopEntryCatalog::indexOnce() {
    if (m_indexed)
        return;
    m_indexed = true;
    for (const QString& directory : m_directories) {
        QDirIterator it(directory, {QStringLiteral("*.desktop")}, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            QString id = QDir(directory).relativeFilePath(path);
            id.chop(8);
            id.replace(u'/', u'-');
            if (m_byLowerID.contains(id.toLower()))
                continue; // an earlier folder's entry of the same id wins
            m_byLowerID.insert(id.toLower(), id);
            const auto bytes = sysfs::readFile(path, kMaximumEntryBytes);
            if (!bytes)
                continue;
            const DesktopEntry entry = DesktopEntry::parse(*bytes);
            if (!entry.hidden && !entry.startupWMClass.isEmpty() &&
                !m_byWindowClass.contains(entry.startupWMClass.toLower()))
                m_byWindowClass.insert(entry.startupWMClass.toLower(), id);
        }
    }
}

std::optional<QString> DesktopEntryCatalog::desktopIDForWindowClass(const QString& windowClass,
                                                                    const QString& windowInstance) {
    std::lock_guard lock(m_mutex);
    indexOnce();
    for (const QString& candidate : {windowClass, windowInstance}) {
        if (candidate.isEmpty())
            continue;
        if (const auto it = m_byWindowClass.constFind(candidate.toLower()); it != m_byWindowClass.constEnd())
            return *it;
    }
    for (const QString& candidate : {windowClass, windowInstance}) {
        if (candidate.isEmpty())
            continue;
        if (const auto it = m_byLowerID.constFind(candidate.toLower()); it != m_byLowerID.constEnd())
            return *it;
    }
    return std::nullopt;
}

} // namespace kestrum
