#pragma once

#include "KeyedListModel.h"
#include "MetricGroup.h"
#include "SectionViewModel.h"
#include "monitor/SystemMonitorStore.h"

#include <QJSEngine>
#include <QQmlEngine>

namespace kestrum {

// The health centre: the assessment with its reasons, the active insights, the observation rows, the
// last week's health events grouped by condition, the personal baseline, the incident marker and the
// notification switch.
class HealthCenterViewModel : public SectionViewModel {
    Q_OBJECT
    QML_NAMED_ELEMENT(HealthCenter)
    QML_SINGLETON
    Q_PROPERTY(QString level READ level NOTIFY assessmentChanged)
    Q_PROPERTY(QString levelLabel READ levelLabel NOTIFY assessmentChanged)
    Q_PROPERTY(QString title READ title NOTIFY assessmentChanged)
    Q_PROPERTY(QString confidenceLabel READ confidenceLabel NOTIFY assessmentChanged)
    Q_PROPERTY(QString evaluatedLine READ evaluatedLine NOTIFY assessmentChanged)
    Q_PROPERTY(QString unavailableLine READ unavailableLine NOTIFY assessmentChanged)
    Q_PROPERTY(KeyedListModel* reasons READ reasons CONSTANT)
    Q_PROPERTY(KeyedListModel* recommendations READ recommendations CONSTANT)
    Q_PROPERTY(KeyedListModel* insights READ insights CONSTANT)
    Q_PROPERTY(KeyedListModel* observations READ observations CONSTANT)
    Q_PROPERTY(bool hasLeadObservation READ hasLeadObservation NOTIFY observationChanged)
    Q_PROPERTY(QString leadLine READ leadLine NOTIFY observationChanged)
    Q_PROPERTY(QString leadDetail READ leadDetail NOTIFY observationChanged)
    Q_PROPERTY(QString leadTone READ leadTone NOTIFY observationChanged)
    Q_PROPERTY(KeyedListModel* eventGroups READ eventGroups CONSTANT)
    Q_PROPERTY(QString baselineLabel READ baselineLabel NOTIFY baselineChanged)
    Q_PROPERTY(bool isLearning READ isLearning NOTIFY baselineChanged)
    Q_PROPERTY(qreal baselineProgress READ baselineProgress NOTIFY baselineChanged)
    Q_PROPERTY(QString baselineProgressText READ baselineProgressText NOTIFY baselineChanged)
    Q_PROPERTY(QString baselineNote READ baselineNote NOTIFY baselineChanged)
    Q_PROPERTY(MetricGroup* baselineValues READ baselineValues CONSTANT)
    Q_PROPERTY(bool hasActiveIncident READ hasActiveIncident NOTIFY incidentChanged)
    Q_PROPERTY(QString incidentText READ incidentText NOTIFY incidentChanged)
    Q_PROPERTY(bool notificationsEnabled READ notificationsEnabled NOTIFY notificationsChanged)
    Q_PROPERTY(QString notificationStatusMessage READ notificationStatusMessage NOTIFY notificationsChanged)

public:
    explicit HealthCenterViewModel(SystemMonitorStore& store, QObject* parent = nullptr);
    static HealthCenterViewModel* create(QQmlEngine* engine, QJSEngine*);

    QString level() const { return m_level; }
    QString levelLabel() const { return m_levelLabel; }
    QString title() const { return m_title; }
    QString confidenceLabel() const { return m_confidenceLabel; }
    QString evaluatedLine() const { return m_evaluatedLine; }
    QString unavailableLine() const { return m_unavailableLine; }
    KeyedListModel* reasons() { return &m_reasons; }
    KeyedListModel* recommendations() { return &m_recommendations; }
    KeyedListModel* insights() { return &m_insights; }
    KeyedListModel* observations() { return &m_observations; }
    bool hasLeadObservation() const { return !m_leadLine.isEmpty(); }
    QString leadLine() const { return m_leadLine; }
    QString leadDetail() const { return m_leadDetail; }
    QString leadTone() const { return m_leadTone; }
    KeyedListModel* eventGroups() { return &m_eventGroups; }
    QString baselineLabel() const { return m_baselineLabel; }
    bool isLearning() const { return m_isLearning; }
    qreal baselineProgress() const { return m_baselineProgress; }
    QString baselineProgressText() const { return m_baselineProgressText; }
    QString baselineNote() const { return m_baselineNote; }
    MetricGroup* baselineValues() { return &m_baselineValues; }
    bool hasActiveIncident() const { return m_hasActiveIncident; }
    QString incidentText() const { return m_incidentText; }
    bool notificationsEnabled() const { return m_store.notificationsEnabled(); }
    QString notificationStatusMessage() const;

    Q_INVOKABLE void startIncident(const QString& note);
    Q_INVOKABLE void stopIncident();
    Q_INVOKABLE void setNotificationsEnabled(bool enabled);

Q_SIGNALS:
    void assessmentChanged();
    void observationChanged();
    void baselineChanged();
    void incidentChanged();
    void notificationsChanged();

protected:
    void rebuild() override;

private:
    void rebuildAssessment();
    void rebuildObservations();
    void rebuildEvents();
    void rebuildBaseline();
    void rebuildIncident();

    SystemMonitorStore& m_store;
    QString m_level, m_levelLabel, m_title, m_confidenceLabel, m_evaluatedLine, m_unavailableLine;
    KeyedListModel m_reasons;
    KeyedListModel m_recommendations;
    KeyedListModel m_insights;
    KeyedListModel m_observations;
    QString m_leadLine, m_leadDetail, m_leadTone;
    KeyedListModel m_eventGroups;
    QString m_baselineLabel, m_baselineProgressText, m_baselineNote;
    bool m_isLearning = true;
    qreal m_baselineProgress = 0;
    MetricGroup m_baselineValues;
    bool m_hasActiveIncident = false;
    QString m_incidentText;
};

} // namespace kestrum
