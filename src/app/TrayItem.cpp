#include "TrayItem.h"

#include "SymbolIcons.h"
#include "foundation/Translatable.h"
#include "localisation/L10n.h"

#include <QFont>
#include <QPainter>

namespace kestrum {

TrayItem::TrayItem(SystemMonitorStore& store, MenuBarPreferences& preferences, QObject* parent)
    : QObject(parent), m_store(store), m_preferences(preferences) {
    m_rowsSection = &m_menu;
    m_menu.addSeparator();
    m_toggleMonitoring = m_menu.addAction(QString());
    connect(m_toggleMonitoring, &QAction::triggered, this, [this] {
        if (m_store.isMonitoring())
            m_store.stop();
        else
            m_store.start();
    });
    connect(m_menu.addAction(L10n::string(trText("Pencereyi aç"))), &QAction::triggered, this,
            &TrayItem::openWindowRequested);
    connect(m_menu.addAction(L10n::string(trText("Ayarlar…"))), &QAction::triggered, this,
            &TrayItem::settingsRequested);
    m_menu.addSeparator();
    connect(m_menu.addAction(L10n::string(trText("Kestrum’dan çık"))), &QAction::triggered, this,
            &TrayItem::quitRequested);
    m_tray.setContextMenu(&m_menu);
    connect(&m_menu, &QMenu::aboutToShow, this, &TrayItem::used);
    connect(&m_tray, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        Q_EMIT used();
        if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick)
            Q_EMIT openWindowRequested();
    });
    for (auto signal : {&SystemMonitorStore::currentSnapshotChanged,
                        &SystemMonitorStore::activeInsightsChanged, &SystemMonitorStore::isMonitoringChanged})
        connect(&store, signal, this, &TrayItem::update);
    connect(&preferences, &MenuBarPreferences::changed, this, &TrayItem::update);
    update();
    m_tray.show();
}

QIcon TrayItem::renderIcon(const TrayPresentation& p) {
    QIcon icon;
    for (const int side : {22, 32, 64}) {
        QPixmap pixmap(side, side);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        const QIcon symbol = SymbolIcons::icon(p.symbol);
        if (p.iconText.isEmpty()) {
            symbol.paint(&painter, QRect(0, 0, side, side));
        } else {
            // The symbol faded behind, the value in front: readable at tray sizes.
            painter.setOpacity(0.35);
            symbol.paint(&painter, QRect(0, 0, side, side));
            painter.setOpacity(1.0);
            QFont font = painter.font();
            font.setBold(true);
            font.setPixelSize(p.iconText.size() <= 2 ? side * 0.62 : side * 0.42);
            painter.setFont(font);
            painter.setPen(QColor(0, 0, 0, 160));
            painter.drawText(QRect(1, 1, side, side), Qt::AlignCenter, p.iconText);
            painter.setPen(Qt::white);
            painter.drawText(QRect(0, 0, side, side), Qt::AlignCenter, p.iconText);
        }
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

void TrayItem::update() {
    std::vector<MenuBarPrimaryMetric> visible;
    for (const MenuBarPrimaryMetric metric : allCases<MenuBarPrimaryMetric>()) {
        if (m_preferences.isVisible(metric))
            visible.push_back(metric);
    }
    TrayPresentation presentation =
        TrayPresentation::make(m_store.currentSnapshot(), m_store.activeInsights(), m_store.hasMeasurement(),
                               m_preferences.primaryMetric(), visible);
    m_toggleMonitoring->setText(m_store.isMonitoring() ? L10n::string(trText("İzlemeyi durdur"))
                                                       : L10n::string(trText("İzlemeyi başlat")));
    if (presentation == m_presentation && !m_rowActions.empty())
        return;
    if (presentation.label != m_presentation.label || presentation.symbol != m_presentation.symbol ||
        presentation.iconText != m_presentation.iconText)
        m_tray.setIcon(renderIcon(presentation));
    m_tray.setToolTip(presentation.tooltip);
    // The metric rows at the top of the menu, read-only. Usually only their values change: the actions
    // are kept and relabelled, so the desktop's exported menu is not rebuilt every sample.
    const auto sameRows = [&] {
        if (presentation.rows.size() != m_rowActions.size() ||
            presentation.rows.size() != m_presentation.rows.size())
            return false;
        for (size_t i = 0; i < presentation.rows.size(); ++i) {
            if (presentation.rows[i].symbol != m_presentation.rows[i].symbol)
                return false;
        }
        return true;
    };
    if (sameRows()) {
        for (size_t i = 0; i < presentation.rows.size(); ++i)
            m_rowActions[i]->setText(presentation.rows[i].text);
        m_presentation = std::move(presentation);
        return;
    }
    for (QAction* action : m_rowActions)
        m_menu.removeAction(action);
    qDeleteAll(m_rowActions);
    m_rowActions.clear();
    QAction* before = m_menu.actions().isEmpty() ? nullptr : m_menu.actions().first();
    for (const TrayPresentation::Row& row : presentation.rows) {
        auto* action = new QAction(SymbolIcons::icon(row.symbol), row.text, &m_menu);
        action->setEnabled(false);
        m_menu.insertAction(before, action);
        m_rowActions.push_back(action);
    }
    m_presentation = std::move(presentation);
}

} // namespace kestrum
