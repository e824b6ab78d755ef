#pragma once

#include "KeyedListModel.h"
#include "NavigationSection.h"
#include "summary/FirstHealthSummaryStore.h"

#include <QJSEngine>
#include <QQmlEngine>
#include <functional>

namespace kestrum {

// Where the summary's next-action button leads. `refresh` takes a sample and stays on the summary;
// `section` closes it and opens that part of the window.
struct FirstHealthSummaryDestination {
    enum class Kind { section, refresh };
    Kind kind = Kind::section;
    NavigationSection section = NavigationSection::overview;
    bool operator==(const FirstHealthSummaryDestination&) const = default;
};

FirstHealthSummaryDestination firstHealthSummaryDestination(FirstHealthSummaryAction action);

// The first health summary over the window: opened by itself the first time the window shows a fresh
// measurement, and at any time from the overview. Every text is localised here.
class FirstHealthSummaryViewModel : public QObject {
    Q_OBJECT
    QML_NAMED_ELEMENT(HealthSummary)
    QML_SINGLETON
    Q_PROPERTY(bool isOpen READ isOpen NOTIFY isOpenChanged)
    Q_PROPERTY(bool hasSummary READ hasSummary NOTIFY changed)
    Q_PROPERTY(QString state READ state NOTIFY changed)
    Q_PROPERTY(QString headline READ headline NOTIFY changed)
    Q_PROPERTY(QString explanation READ explanation NOTIFY changed)
    Q_PROPERTY(QString confidenceText READ confidenceText NOTIFY changed)
    Q_PROPERTY(QString nextActionText READ nextActionText NOTIFY changed)
    Q_PROPERTY(QString nextActionButton READ nextActionButton NOTIFY changed)
    Q_PROPERTY(KeyedListModel* coverage READ coverage CONSTANT)
    Q_PROPERTY(KeyedListModel* findings READ findings CONSTANT)

public:
    // `openSection` shows a section of the window; `refresh` takes a sample now.
    FirstHealthSummaryViewModel(FirstHealthSummaryStore& store,
                                std::function<void(NavigationSection)> openSection,
                                std::function<void()> refresh, QObject* parent = nullptr);
    static FirstHealthSummaryViewModel* create(QQmlEngine* engine, QJSEngine*);

    bool isOpen() const { return m_store.isShown(); }
    bool hasSummary() const { return m_store.hasSummary(); }
    QString state() const { return m_state; }
    QString headline() const { return m_headline; }
    QString explanation() const { return m_explanation; }
    QString confidenceText() const { return m_confidence; }
    QString nextActionText() const { return m_actionText; }
    QString nextActionButton() const { return m_actionButton; }
    KeyedListModel* coverage() { return &m_coverage; }
    KeyedListModel* findings() { return &m_findings; }
    std::optional<FirstHealthSummaryAction> nextAction() const {
        return m_store.summary() ? std::optional(m_store.summary()->nextAction) : std::nullopt;
    }

    // Opened from a place in the window: "overview", "health_center", "sidebar", "settings"…
    Q_INVOKABLE void open(const QString& entryPoint);
    Q_INVOKABLE void close();
    Q_INVOKABLE void performNextAction();

    // The window shows (or no longer shows) a measurement. The first time both are true and the user has
    // never seen a summary, it opens by itself.
    void setWindowShown(bool shown);
    void measurementArrived();

Q_SIGNALS:
    void isOpenChanged();
    void changed();

private:
    void openFrom(ProductAnalyticsEntryPoint entryPoint);
    void presentAutomaticallyIfDue();
    void rebuildTexts();

    FirstHealthSummaryStore& m_store;
    std::function<void(NavigationSection)> m_openSection;
    std::function<void()> m_refresh;
    bool m_windowShown = false;
    bool m_measured = false;
    QString m_state, m_headline, m_explanation, m_confidence, m_actionText, m_actionButton;
    KeyedListModel m_coverage;
    KeyedListModel m_findings;
};

} // namespace kestrum
