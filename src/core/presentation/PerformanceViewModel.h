#pragma once

#include "KeyedListModel.h"
#include "SectionViewModel.h"
#include "monitor/SystemMonitorStore.h"

#include <QJSEngine>
#include <QQmlEngine>
#include <QStringList>

namespace kestrum {

// The performance section: named sessions (start, stop, the saved list, two of them side by side) and
// the guided before/after processor comparison with its saved outcomes.
class PerformanceViewModel : public SectionViewModel {
    Q_OBJECT
    QML_NAMED_ELEMENT(Performance)
    QML_SINGLETON
    Q_PROPERTY(bool hasActiveSession READ hasActiveSession NOTIFY changed)
    Q_PROPERTY(QString activeSession READ activeSession NOTIFY changed)
    Q_PROPERTY(QString sessionMessage READ sessionMessage NOTIFY changed)
    Q_PROPERTY(KeyedListModel* sessions READ sessions CONSTANT)
    Q_PROPERTY(QString sessionComparisonTitle READ sessionComparisonTitle NOTIFY changed)
    Q_PROPERTY(KeyedListModel* sessionComparison READ sessionComparison CONSTANT)
    Q_PROPERTY(QString comparisonPhase READ comparisonPhase NOTIFY changed)
    Q_PROPERTY(QString comparisonState READ comparisonState NOTIFY changed)
    Q_PROPERTY(QString comparisonInstruction READ comparisonInstruction NOTIFY changed)
    Q_PROPERTY(QString comparisonProgress READ comparisonProgress NOTIFY changed)
    Q_PROPERTY(QString comparisonMeans READ comparisonMeans NOTIFY changed)
    Q_PROPERTY(QString comparisonVerdict READ comparisonVerdict NOTIFY changed)
    Q_PROPERTY(QString comparisonNextStep READ comparisonNextStep NOTIFY changed)
    Q_PROPERTY(QString comparisonMessage READ comparisonMessage NOTIFY changed)
    Q_PROPERTY(bool canStartComparison READ canStartComparison NOTIFY changed)
    Q_PROPERTY(bool canBeginAfterWindow READ canBeginAfterWindow NOTIFY changed)
    Q_PROPERTY(bool canSaveComparison READ canSaveComparison NOTIFY changed)
    Q_PROPERTY(bool canDismissComparison READ canDismissComparison NOTIFY changed)
    Q_PROPERTY(QStringList comparisonActions READ comparisonActions CONSTANT)
    Q_PROPERTY(KeyedListModel* savedComparisons READ savedComparisons CONSTANT)

public:
    // What the comparison card shows for one state of the comparison (Turkish; localised at display).
    struct ComparisonView {
        QString state, instruction, progress, means, verdict, nextStep;
        bool canStart = false, canBegin = false, canSave = false, canDismiss = false;
        bool operator==(const ComparisonView&) const = default;
    };
    // `elapsed`: seconds since the current window began.
    static ComparisonView comparisonView(const ProcessorComparison& comparison, double elapsed);
    // The rows of two sessions side by side: label, before, after, difference (after − before).
    static std::vector<QStringList> sessionComparisonRows(const PerformanceSession& before,
                                                          const PerformanceSession& after);

    explicit PerformanceViewModel(SystemMonitorStore& store, QObject* parent = nullptr);
    static PerformanceViewModel* create(QQmlEngine* engine, QJSEngine*);

    bool hasActiveSession() const { return !m_activeSession.isEmpty(); }
    QString activeSession() const { return m_activeSession; }
    QString sessionMessage() const { return m_sessionMessage; }
    KeyedListModel* sessions() { return &m_sessions; }
    QString sessionComparisonTitle() const { return m_sessionComparisonTitle; }
    KeyedListModel* sessionComparison() { return &m_sessionComparison; }
    QString comparisonPhase() const { return m_comparisonPhase; }
    QString comparisonState() const { return m_view.state; }
    QString comparisonInstruction() const { return m_view.instruction; }
    QString comparisonProgress() const { return m_view.progress; }
    QString comparisonMeans() const { return m_view.means; }
    QString comparisonVerdict() const { return m_view.verdict; }
    QString comparisonNextStep() const { return m_view.nextStep; }
    QString comparisonMessage() const { return m_comparisonMessage; }
    bool canStartComparison() const { return m_view.canStart; }
    bool canBeginAfterWindow() const { return m_view.canBegin; }
    bool canSaveComparison() const { return m_view.canSave; }
    bool canDismissComparison() const { return m_view.canDismiss; }
    QStringList comparisonActions() const;
    KeyedListModel* savedComparisons() { return &m_savedComparisons; }

    Q_INVOKABLE void startSession(const QString& name);
    Q_INVOKABLE void stopSession();
    // Shows the two sessions (by their keys in `sessions`) side by side; false when either is unknown.
    Q_INVOKABLE bool compareSessions(const QString& beforeKey, const QString& afterKey);
    Q_INVOKABLE void closeSessionComparison();
    Q_INVOKABLE bool startComparison();
    Q_INVOKABLE bool beginAfterWindow();
    Q_INVOKABLE void dismissComparison();
    // `actionIndex` indexes `comparisonActions`.
    Q_INVOKABLE void saveComparison(int actionIndex);

Q_SIGNALS:
    void changed();

protected:
    void rebuild() override;

private:
    QCoro::Task<void> runSessionChange(bool start, QString name);
    QCoro::Task<void> runSave(ProcessorComparisonAction action);
    void setComparisonMessage(const QString& message);

    SystemMonitorStore& m_store;
    QString m_activeSession;
    QString m_sessionMessage;
    KeyedListModel m_sessions;
    QString m_beforeKey, m_afterKey;
    QString m_sessionComparisonTitle;
    KeyedListModel m_sessionComparison;
    QString m_comparisonPhase;
    ComparisonView m_view;
    QString m_comparisonMessage;
    KeyedListModel m_savedComparisons;
};

} // namespace kestrum
