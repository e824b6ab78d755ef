#include "SectionViewModel.h"

namespace kestrum {

SectionViewModel::SectionViewModel(QObject* parent) : QObject(parent) {
    m_coalesce.setSingleShot(true);
    m_coalesce.setInterval(0);
    connect(&m_coalesce, &QTimer::timeout, this, &SectionViewModel::rebuildNow);
}

void SectionViewModel::scheduleRebuild() {
    if (!m_active)
        m_stale = true;
    else if (!m_coalesce.isActive())
        m_coalesce.start();
}

void SectionViewModel::rebuildNow() {
    m_coalesce.stop();
    m_stale = false;
    rebuild();
}

void SectionViewModel::setActive(bool active) {
    if (active == m_active)
        return;
    m_active = active;
    if (!active) {
        m_stale = m_stale || m_coalesce.isActive();
        m_coalesce.stop();
    } else if (m_stale) {
        rebuildNow();
    }
    Q_EMIT isActiveChanged();
}

} // namespace kestrum
