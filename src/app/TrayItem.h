#pragma once

#include "measurement/MenuBarPreferences.h"
#include "monitor/SystemMonitorStore.h"
#include "presentation/TrayPresentation.h"

#include <QAction>
#include <QMenu>
#include <QObject>
#include <QSystemTrayIcon>
#include <memory>

namespace kestrum {

// The tray item: its icon is the primary metric's symbol with the short value drawn over it (Linux
// trays show no text beside icons), its tooltip the label and the health title, its menu the visible
// metric rows and the app's controls. Only created when the desktop has a tray.
class TrayItem : public QObject {
    Q_OBJECT
public:
    TrayItem(SystemMonitorStore& store, MenuBarPreferences& preferences, QObject* parent = nullptr);

    // The icon the tray shows for a presentation (exposed for tests and screenshots).
    static QIcon renderIcon(const TrayPresentation& presentation);
    const TrayPresentation& presentation() const { return m_presentation; }

Q_SIGNALS:
    void openWindowRequested();
    void settingsRequested();
    void quitRequested();
    // The user opened the menu or clicked the icon: the tray item was used today.
    void used();

private:
    void update();

    SystemMonitorStore& m_store;
    MenuBarPreferences& m_preferences;
    QSystemTrayIcon m_tray;
    QMenu m_menu;
    QMenu* m_rowsSection = nullptr;
    std::vector<QAction*> m_rowActions;
    QAction* m_toggleMonitoring = nullptr;
    TrayPresentation m_presentation;
};

} // namespace kestrum
