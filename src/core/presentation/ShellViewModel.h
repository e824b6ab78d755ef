#pragma once

#include "KeyedListModel.h"
#include "NavigationSection.h"
#include "SectionViewModel.h"
#include "foundation/PreferencesStore.h"
#include "monitor/SystemMonitorStore.h"

#include <QJSEngine>
#include <QQmlEngine>
#include <functional>
#include <map>
#include <memory>

namespace kestrum {

// The window around the sections: the sidebar's sections with their views, the chosen section
// (remembered between runs), the monitoring status at the sidebar's foot, and the window-wide actions
// that the keyboard shortcuts reach.
class ShellViewModel : public SectionViewModel {
    Q_OBJECT
    QML_NAMED_ELEMENT(Shell)
    QML_SINGLETON
    Q_PROPERTY(KeyedListModel* sections READ sections CONSTANT)
    Q_PROPERTY(int currentIndex READ currentIndex WRITE selectSection NOTIFY currentSectionChanged)
    Q_PROPERTY(QString currentKey READ currentKey NOTIFY currentSectionChanged)
    Q_PROPERTY(QString currentView READ currentView NOTIFY currentSectionChanged)
    Q_PROPERTY(bool canRefresh READ canRefresh NOTIFY currentSectionChanged)
    Q_PROPERTY(bool hasTray READ hasTray NOTIFY hasTrayChanged)
    Q_PROPERTY(QString archiveBlockedReason READ archiveBlockedReason CONSTANT)
    Q_PROPERTY(bool isMonitoring READ isMonitoring NOTIFY statusChanged)
    Q_PROPERTY(QString monitoringText READ monitoringText NOTIFY statusChanged)
    Q_PROPERTY(QString monitoringActionText READ monitoringActionText NOTIFY statusChanged)
    Q_PROPERTY(QString problemText READ problemText NOTIFY statusChanged)
    Q_PROPERTY(QString lastError READ lastError NOTIFY statusChanged)

public:
    // Where the chosen section is remembered.
    static const QString kSectionKey;
    // How many sections have a Ctrl+number shortcut.
    static constexpr int kShortcutCount = 9;

    ShellViewModel(SystemMonitorStore& store, PreferencesStore& preferences,
                   std::vector<NavigationSection> sections, QString archiveBlockedReason = {},
                   QObject* parent = nullptr);
    static ShellViewModel* create(QQmlEngine* engine, QJSEngine*);

    KeyedListModel* sections() { return &m_sections; }
    const std::vector<NavigationSection>& sectionList() const { return m_sectionList; }
    int currentIndex() const { return m_current; }
    NavigationSection currentSection() const { return m_sectionList.at(static_cast<size_t>(m_current)); }
    QString currentKey() const;
    QString currentView() const;
    bool canRefresh() const;
    bool hasTray() const { return m_hasTray; }
    void setHasTray(bool hasTray);
    QString archiveBlockedReason() const { return m_archiveBlockedReason; }
    bool isMonitoring() const { return m_store.isMonitoring(); }
    QString monitoringText() const;
    QString monitoringActionText() const;
    QString problemText() const;
    QString lastError() const;

    // What F5 does in a section; a section without an action is not refreshed.
    void setRefreshAction(NavigationSection section, std::function<void()> action);

    // An index outside the sidebar is ignored.
    Q_INVOKABLE void selectSection(int index);
    Q_INVOKABLE void selectSectionByKey(const QString& key);
    Q_INVOKABLE void refresh();
    Q_INVOKABLE void toggleMonitoring();
    Q_INVOKABLE void showSettings() { Q_EMIT settingsRequested(); }
    Q_INVOKABLE void quit() { Q_EMIT quitRequested(); }

Q_SIGNALS:
    void currentSectionChanged();
    void hasTrayChanged();
    void statusChanged();
    void settingsRequested();
    void quitRequested();

protected:
    void rebuild() override;

private:
    SystemMonitorStore& m_store;
    PreferencesStore& m_preferences;
    std::vector<NavigationSection> m_sectionList;
    KeyedListModel m_sections;
    int m_current = 0;
    bool m_hasTray = false;
    QString m_archiveBlockedReason;
    std::map<NavigationSection, std::function<void()>> m_refreshActions;
};

} // namespace kestrum
