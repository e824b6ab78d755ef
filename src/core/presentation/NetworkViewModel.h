#pragma once

#include "MetricFigure.h"
#include "MetricGroup.h"
#include "SectionViewModel.h"
#include "monitor/SystemMonitorStore.h"

#include <QJSEngine>
#include <QQmlEngine>

namespace kestrum {

// The network section: download and upload with their sparklines, and the whole network group.
class NetworkViewModel : public SectionViewModel {
    Q_OBJECT
    QML_NAMED_ELEMENT(Network)
    QML_SINGLETON
    Q_PROPERTY(MetricFigure* download READ download CONSTANT)
    Q_PROPERTY(MetricFigure* upload READ upload CONSTANT)
    Q_PROPERTY(MetricGroup* group READ group CONSTANT)

public:
    explicit NetworkViewModel(SystemMonitorStore& store, QObject* parent = nullptr);
    static NetworkViewModel* create(QQmlEngine* engine, QJSEngine*);

    MetricFigure* download() { return &m_download; }
    MetricFigure* upload() { return &m_upload; }
    MetricGroup* group() { return &m_group; }

protected:
    void rebuild() override;

private:
    SystemMonitorStore& m_store;
    MetricFigure m_download;
    MetricFigure m_upload;
    MetricGroup m_group;
};

} // namespace kestrum
