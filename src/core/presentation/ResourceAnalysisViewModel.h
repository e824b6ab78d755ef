#pragma once

#include "KeyedListModel.h"
#include "SectionViewModel.h"
#include "monitor/SystemMonitorStore.h"

#include <QJSEngine>
#include <QQmlEngine>
#include <QStringList>

namespace kestrum {

// The resource analysis section. Without consent: the question, what the observation reads and never
// reads, and the one button that gives it. With consent: the switch that withdraws it, the clearing of
// this session's observations, the strongest observed correlation and the table of applications; then
// what each application measurably used, from the kernel's accounting. Where the desktop cannot tell
// which application is in front, it says so and why.
class ResourceAnalysisViewModel : public SectionViewModel {
    Q_OBJECT
    QML_NAMED_ELEMENT(ResourceAnalysis)
    QML_SINGLETON
    Q_PROPERTY(bool consented READ consented NOTIFY changed)
    Q_PROPERTY(QString title READ title NOTIFY changed)
    Q_PROPERTY(QString subtitle READ subtitle NOTIFY changed)
    Q_PROPERTY(QString badge READ badge NOTIFY changed)
    Q_PROPERTY(QString explanation READ explanation NOTIFY changed)
    Q_PROPERTY(QString caveat READ caveat NOTIFY changed)
    Q_PROPERTY(QStringList privacyPoints READ privacyPoints NOTIFY changed)
    Q_PROPERTY(QString consentButton READ consentButton NOTIFY changed)
    Q_PROPERTY(QString state READ state NOTIFY changed)
    Q_PROPERTY(QString switchOffHint READ switchOffHint NOTIFY changed)
    Q_PROPERTY(QString clearButton READ clearButton NOTIFY changed)
    Q_PROPERTY(QString clearHint READ clearHint NOTIFY changed)
    Q_PROPERTY(QString foregroundUnavailable READ foregroundUnavailable NOTIFY changed)
    Q_PROPERTY(bool isEmpty READ isEmpty NOTIFY changed)
    Q_PROPERTY(QString emptyTitle READ emptyTitle NOTIFY changed)
    Q_PROPERTY(QString emptyDetail READ emptyDetail NOTIFY changed)
    Q_PROPERTY(bool hasLeadingCandidate READ hasLeadingCandidate NOTIFY changed)
    Q_PROPERTY(QString leadingTitle READ leadingTitle NOTIFY changed)
    Q_PROPERTY(QString leadingDetail READ leadingDetail NOTIFY changed)
    Q_PROPERTY(QString tableTitle READ tableTitle NOTIFY changed)
    Q_PROPERTY(QStringList columns READ columns NOTIFY changed)
    Q_PROPERTY(KeyedListModel* applications READ applications CONSTANT)
    Q_PROPERTY(QString usageTitle READ usageTitle NOTIFY changed)
    Q_PROPERTY(QString usageCaption READ usageCaption NOTIFY changed)
    Q_PROPERTY(QString usageUnavailable READ usageUnavailable NOTIFY changed)
    Q_PROPERTY(QString usageNote READ usageNote NOTIFY changed)
    Q_PROPERTY(QStringList usageColumns READ usageColumns NOTIFY changed)
    Q_PROPERTY(KeyedListModel* usage READ usage CONSTANT)

public:
    explicit ResourceAnalysisViewModel(SystemMonitorStore& store, QObject* parent = nullptr);
    static ResourceAnalysisViewModel* create(QQmlEngine* engine, QJSEngine*);

    bool consented() const { return m_consented; }
    QString title() const { return m_title; }
    QString subtitle() const { return m_subtitle; }
    QString badge() const { return m_badge; }
    QString explanation() const { return m_explanation; }
    QString caveat() const { return m_caveat; }
    QStringList privacyPoints() const { return m_privacyPoints; }
    QString consentButton() const { return m_consentButton; }
    QString state() const { return m_state; }
    QString switchOffHint() const { return m_switchOffHint; }
    QString clearButton() const { return m_clearButton; }
    QString clearHint() const { return m_clearHint; }
    QString foregroundUnavailable() const { return m_foregroundUnavailable; }
    bool isEmpty() const { return m_isEmpty; }
    QString emptyTitle() const { return m_emptyTitle; }
    QString emptyDetail() const { return m_emptyDetail; }
    bool hasLeadingCandidate() const { return m_hasLeadingCandidate; }
    QString leadingTitle() const { return m_leadingTitle; }
    QString leadingDetail() const { return m_leadingDetail; }
    QString tableTitle() const { return m_tableTitle; }
    QStringList columns() const { return m_columns; }
    KeyedListModel* applications() { return &m_applications; }
    QString usageTitle() const { return m_usageTitle; }
    QString usageCaption() const { return m_usageCaption; }
    QString usageUnavailable() const { return m_usageUnavailable; }
    QString usageNote() const { return m_usageNote; }
    QStringList usageColumns() const { return m_usageColumns; }
    KeyedListModel* usage() { return &m_usage; }

    // The consent switch: giving it starts the observation, withdrawing it drops every observation.
    Q_INVOKABLE void setConsent(bool consent);
    // Empties what this session gathered; the consent stays.
    Q_INVOKABLE void clearObservations();

Q_SIGNALS:
    void changed();

protected:
    void rebuild() override;

private:
    SystemMonitorStore& m_store;
    bool m_consented = false;
    QString m_title, m_subtitle, m_badge, m_explanation, m_caveat;
    QStringList m_privacyPoints;
    QString m_consentButton, m_state, m_switchOffHint, m_clearButton, m_clearHint, m_foregroundUnavailable;
    bool m_isEmpty = true;
    QString m_emptyTitle, m_emptyDetail;
    bool m_hasLeadingCandidate = false;
    QString m_leadingTitle, m_leadingDetail, m_tableTitle;
    QStringList m_columns;
    KeyedListModel m_applications;
    QString m_usageTitle, m_usageCaption, m_usageUnavailable, m_usageNote;
    QStringList m_usageColumns;
    KeyedListModel m_usage;
};

} // namespace kestrum
