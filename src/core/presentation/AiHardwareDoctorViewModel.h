#pragma once

#include "KeyedListModel.h"
#include "SectionViewModel.h"
#include "diagnosis/AIDiagnosticExplaining.h"
#include "diagnosis/HardwareDoctorEvidence.h"
#include "foundation/PreferencesStore.h"
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
    // Where the local model listens, as saved: the address, and the kind of server (0 chosen from the
    // port, 1 OpenAI-compatible, 2 Ollama). Empty without a saved address.
    Q_PROPERTY(QString modelAddress READ modelAddress NOTIFY modelSettingsChanged)
    Q_PROPERTY(int modelKind READ modelKind NOTIFY modelSettingsChanged)
    Q_PROPERTY(QString modelSettingsError READ modelSettingsError NOTIFY modelSettingsChanged)

public:
    // A fresh explainer for the current preferences (the server address may change while the app runs).
    using ExplainerFactory = std::function<std::shared_ptr<AIDiagnosticExplaining>()>;

    // `modelSettings` holds the server's address (the explainers read it from there too).
    AiHardwareDoctorViewModel(SystemMonitorStore& store, PreferencesStore& modelSettings,
                              ExplainerFactory makeExplainer, std::function<Date()> now = &Date::now,
                              QObject* parent = nullptr);
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
    QString modelAddress() const;
    int modelKind() const;
    QString modelSettingsError() const;

    // Saves the server's address and kind and asks it again; an empty address removes the setting. A
    // malformed address, or a literal one that is not this machine's, is refused with a message and
    // nothing is saved.
    Q_INVOKABLE bool saveModelServer(const QString& address, int kind);

    // Asks the local server whether it can answer (loopback only; nothing else is contacted).
    Q_INVOKABLE void checkModel();
    Q_INVOKABLE void explain();
    Q_INVOKABLE void cancel();

Q_SIGNALS:
    void changed();
    void symptomChanged();
    void modelSettingsChanged();

protected:
    void rebuild() override;

private:
    QCoro::Task<void> runCheck();
    QCoro::Task<void> runExplanation();
    void checkAgainIfAsked();

    SystemMonitorStore& m_store;
    PreferencesStore& m_modelSettings;
    std::optional<QString> m_modelSettingsError; // Turkish
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
    bool m_checkAgain = false; // the server's address changed while it was being asked
    std::optional<AIDiagnosticExplanation> m_explanation;
    std::optional<QString> m_error; // Turkish
    std::stop_source m_stop;
};

} // namespace kestrum
