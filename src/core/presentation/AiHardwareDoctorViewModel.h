#pragma once

#include "KeyedListModel.h"
#include "SectionViewModel.h"
#include "diagnosis/AIDiagnosticExplaining.h"
#include "diagnosis/HardwareDoctorEvidence.h"
#include "monitor/SystemMonitorStore.h"

#include <QJSEngine>
#include <QQmlEngine>
#include <functional>
#include <memory>
#include <stop_token>

namespace kestrum {

// The AI hardware assistant: the verified findings of the current sample and their summary always; on
// request, the local model's symptom category and the narrative built from those findings.
class AiHardwareDoctorViewModel : public SectionViewModel {
    Q_OBJECT
    QML_NAMED_ELEMENT(AiHardwareDoctor)
    QML_SINGLETON
    Q_PROPERTY(QString symptom READ symptom WRITE setSymptom NOTIFY symptomChanged)
    Q_PROPERTY(QString summary READ summary NOTIFY changed)
    Q_PROPERTY(KeyedListModel* findings READ findings CONSTANT)
    Q_PROPERTY(QString availabilityText READ availabilityText NOTIFY changed)
    Q_PROPERTY(bool isModelAvailable READ isModelAvailable NOTIFY changed)
    Q_PROPERTY(bool isCheckingModel READ isCheckingModel NOTIFY changed)
    Q_PROPERTY(bool isExplaining READ isExplaining NOTIFY changed)
    Q_PROPERTY(bool canExplain READ canExplain NOTIFY changed)
    Q_PROPERTY(QString categoryText READ categoryText NOTIFY changed)
    Q_PROPERTY(QString narrative READ narrative NOTIFY changed)
    Q_PROPERTY(QString errorText READ errorText NOTIFY changed)
    Q_PROPERTY(QString privacyNote READ privacyNote CONSTANT)

public:
    // A fresh explainer for the current preferences (the server address may change while the app runs).
    using ExplainerFactory = std::function<std::shared_ptr<AIDiagnosticExplaining>()>;

    AiHardwareDoctorViewModel(SystemMonitorStore& store, ExplainerFactory makeExplainer,
                              std::function<Date()> now = &Date::now, QObject* parent = nullptr);
    ~AiHardwareDoctorViewModel() override;
    static AiHardwareDoctorViewModel* create(QQmlEngine* engine, QJSEngine*);

    QString symptom() const { return m_symptom; }
    void setSymptom(const QString& symptom);
    QString summary() const;
    KeyedListModel* findings() { return &m_findings; }
    QString availabilityText() const;
    bool isModelAvailable() const { return m_availability.isAvailable(); }
    bool isCheckingModel() const { return m_checking; }
    bool isExplaining() const { return m_explaining; }
    bool canExplain() const { return isModelAvailable() && !m_explaining && !m_checking; }
    QString categoryText() const;
    QString narrative() const { return m_explanation ? m_explanation->narrative : QString(); }
    QString errorText() const;
    QString privacyNote() const;
    const HardwareDoctorEvidence& evidence() const { return m_evidence; }

    // Asks the local server whether it can answer (loopback only; nothing else is contacted).
    Q_INVOKABLE void checkModel();
    Q_INVOKABLE void explain();
    Q_INVOKABLE void cancel();

Q_SIGNALS:
    void changed();
    void symptomChanged();

protected:
    void rebuild() override;

private:
    QCoro::Task<void> runCheck();
    QCoro::Task<void> runExplanation();

    SystemMonitorStore& m_store;
    ExplainerFactory m_makeExplainer;
    std::function<Date()> m_now;
    std::shared_ptr<AIDiagnosticExplaining> m_explainer;
    KeyedListModel m_findings;
    HardwareDoctorEvidence m_evidence;
    QString m_symptom;
    AIDiagnosticAvailability m_availability;
    bool m_checking = false;
    bool m_checkedOnce = false;
    bool m_explaining = false;
    std::optional<AIDiagnosticExplanation> m_explanation;
    std::optional<QString> m_error; // Turkish
    std::stop_source m_stop;
};

} // namespace kestrum
