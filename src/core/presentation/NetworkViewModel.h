#pragma once

#include "MetricFigure.h"
#include "MetricGroup.h"
#include "OperationViewModel.h"
#include "SectionViewModel.h"
#include "monitor/SystemMonitorStore.h"

#include <QJSEngine>
#include <QQmlEngine>

namespace kestrum {

// The network section: download and upload with their sparklines, the whole network group, and the two
// network tests (latency and stability; the speed test, started only after the user agreed to its data
// use) with their latest stored results.
class NetworkViewModel : public SectionViewModel {
    Q_OBJECT
    QML_NAMED_ELEMENT(Network)
    QML_SINGLETON
    Q_PROPERTY(MetricFigure* download READ download CONSTANT)
    Q_PROPERTY(MetricFigure* upload READ upload CONSTANT)
    Q_PROPERTY(MetricGroup* group READ group CONSTANT)
    Q_PROPERTY(OperationViewModel* quality READ quality CONSTANT)
    Q_PROPERTY(OperationViewModel* speed READ speed CONSTANT)
    Q_PROPERTY(bool hasQualityResult READ hasQualityResult NOTIFY testsChanged)
    Q_PROPERTY(MetricGroup* qualityResult READ qualityResult CONSTANT)
    Q_PROPERTY(bool hasSpeedResult READ hasSpeedResult NOTIFY testsChanged)
    Q_PROPERTY(MetricGroup* speedResult READ speedResult CONSTANT)
    Q_PROPERTY(QString quickSpeedText READ quickSpeedText NOTIFY testsChanged)
    Q_PROPERTY(QString comprehensiveSpeedText READ comprehensiveSpeedText NOTIFY testsChanged)

public:
    explicit NetworkViewModel(SystemMonitorStore& store, QObject* parent = nullptr);
    static NetworkViewModel* create(QQmlEngine* engine, QJSEngine*);

    MetricFigure* download() { return &m_download; }
    MetricFigure* upload() { return &m_upload; }
    MetricGroup* group() { return &m_group; }
    OperationViewModel* quality() { return &m_quality; }
    OperationViewModel* speed() { return &m_speed; }
    bool hasQualityResult() const { return m_hasQualityResult; }
    MetricGroup* qualityResult() { return &m_qualityResult; }
    bool hasSpeedResult() const { return m_hasSpeedResult; }
    MetricGroup* speedResult() { return &m_speedResult; }
    // What each speed test mode does and how much data it may use, for the consent dialog.
    QString quickSpeedText() const { return m_quickSpeedText; }
    QString comprehensiveSpeedText() const { return m_comprehensiveSpeedText; }

    // Each answers whether the test started; when not, its operation's error says why. The speed test is
    // called only from the dialog where the user agreed to it.
    Q_INVOKABLE bool startQualityTest();
    Q_INVOKABLE bool startSpeedTest(bool comprehensive);

Q_SIGNALS:
    void testsChanged();

protected:
    void rebuild() override;

private:
    SystemMonitorStore& m_store;
    MetricFigure m_download;
    MetricFigure m_upload;
    MetricGroup m_group;
    OperationViewModel m_quality;
    OperationViewModel m_speed;
    bool m_hasQualityResult = false;
    MetricGroup m_qualityResult;
    bool m_hasSpeedResult = false;
    MetricGroup m_speedResult;
    QString m_quickSpeedText;
    QString m_comprehensiveSpeedText;
};

} // namespace kestrum
