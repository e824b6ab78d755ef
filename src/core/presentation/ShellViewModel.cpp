#include "ShellViewModel.h"

#include "ViewModelInstances.h"
#include "foundation/Translatable.h"
#include "localisation/L10n.h"

namespace kestrum {

const QString ShellViewModel::kSectionKey = QStringLiteral("ui.window.section");

ShellViewModel::ShellViewModel(SystemMonitorStore& store, PreferencesStore& preferences,
                               std::vector<NavigationSection> sections, QString archiveBlockedReason,
                               QObject* parent)
    : SectionViewModel(parent), m_store(store), m_preferences(preferences),
      m_sectionList(std::move(sections)), m_sections({"title", "symbol", "view", "shortcut"}),
      m_archiveBlockedReason(std::move(archiveBlockedReason)) {
    std::vector<KeyedListModel::Row> rows;
    for (size_t i = 0; i < m_sectionList.size(); ++i) {
        const NavigationSection section = m_sectionList[i];
        const QString shortcut = i < kShortcutCount ? QStringLiteral("Ctrl+%1").arg(i + 1) : QString();
        rows.push_back(
            {rawValue(section),
             {navigationTitle(section), navigationSymbol(section), navigationViewFile(section), shortcut}});
    }
    m_sections.update(std::move(rows));
    if (const auto saved = m_preferences.textValue(kSectionKey)) {
        for (size_t i = 0; i < m_sectionList.size(); ++i) {
            if (rawValue(m_sectionList[i]) == *saved)
                m_current = static_cast<int>(i);
        }
    }
    for (auto signal : {&SystemMonitorStore::isMonitoringChanged, &SystemMonitorStore::lastErrorChanged,
                        &SystemMonitorStore::persistenceErrorChanged})
        follow(&store, signal);
    rebuildNow();
}

ShellViewModel* ShellViewModel::create(QQmlEngine* engine, QJSEngine*) {
    return ViewModelInstances::create<ShellViewModel>(engine);
}

void ShellViewModel::rebuild() {
    Q_EMIT statusChanged();
}

QString ShellViewModel::currentKey() const {
    return m_sectionList.empty() ? QString() : rawValue(currentSection());
}

QString ShellViewModel::currentView() const {
    return m_sectionList.empty() ? QString() : navigationViewFile(currentSection());
}

bool ShellViewModel::canRefresh() const {
    return !m_sectionList.empty() && m_refreshActions.count(currentSection()) > 0;
}

void ShellViewModel::setHasTray(bool hasTray) {
    if (hasTray == m_hasTray)
        return;
    m_hasTray = hasTray;
    Q_EMIT hasTrayChanged();
}

QString ShellViewModel::monitoringText() const {
    return m_store.isMonitoring() ? L10n::string(trText("İzleniyor")) : L10n::string(trText("İzleme durdu"));
}

QString ShellViewModel::monitoringActionText() const {
    return m_store.isMonitoring() ? L10n::string(trText("Durdur")) : L10n::string(trText("Başlat"));
}

QString ShellViewModel::problemText() const {
    if (!m_archiveBlockedReason.isEmpty())
        return m_archiveBlockedReason;
    return L10n::localizedFragment(m_store.persistenceError());
}

QString ShellViewModel::lastError() const {
    return L10n::localizedFragment(m_store.lastError());
}

void ShellViewModel::setRefreshAction(NavigationSection section, std::function<void()> action) {
    m_refreshActions[section] = std::move(action);
    Q_EMIT currentSectionChanged();
}

void ShellViewModel::selectSection(int index) {
    if (index < 0 || index >= static_cast<int>(m_sectionList.size()) || index == m_current)
        return;
    m_current = index;
    m_preferences.setValue(kSectionKey, currentKey());
    Q_EMIT currentSectionChanged();
}

void ShellViewModel::selectSectionByKey(const QString& key) {
    selectSection(m_sections.indexOf(key));
}

void ShellViewModel::refresh() {
    if (m_sectionList.empty())
        return;
    const auto action = m_refreshActions.find(currentSection());
    if (action != m_refreshActions.end())
        action->second();
}

void ShellViewModel::toggleMonitoring() {
    if (m_store.isMonitoring())
        m_store.stop();
    else
        m_store.start();
}

} // namespace kestrum
