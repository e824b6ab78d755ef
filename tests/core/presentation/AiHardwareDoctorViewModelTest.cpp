// The AI hardware assistant section over a measured store and a scripted explainer.

#include "presentation/AiHardwareDoctorViewModel.h"

#include "PresentationFixtures.h"
#include "diagnosis/DiagnosticEvidenceEngine.h"
#include "diagnosis/LocalLanguageModelServer.h"

#include <QAbstractItemModelTester>
#include <gtest/gtest.h>
#include <qcoro/qcorotimer.h>

using namespace kestrum;
using namespace std::chrono_literals;

namespace {

class ScriptedExplainer : public AIDiagnosticExplaining {
public:
    AIDiagnosticAvailability answer =
        AIDiagnosticAvailability::of(AIDiagnosticAvailability::Case::availableOnDevice);
    std::optional<AIDiagnosticServiceError> failure;
    bool waitForCancel = false;
    int explanations = 0;
    std::optional<SanitizedDiagnosticContext> lastContext;

    QCoro::Task<AIDiagnosticAvailability> availability(std::stop_token) override {
        AIDiagnosticAvailability copy = answer; // g++ 12 moves from a member named in co_return
        co_return copy;
    }
    QCoro::Task<AIDiagnosticExplanation> explain(SanitizedDiagnosticContext context,
                                                 std::vector<DiagnosticFinding> findings,
                                                 std::stop_token stop) override {
        ++explanations;
        lastContext = context;
        for (int i = 0; waitForCancel && i < 500 && !stop.stop_requested(); ++i)
            co_await QCoro::sleepFor(5ms);
        if (stop.stop_requested())
            throw CancellationError();
        if (failure)
            throw makeError(*failure);
        co_return AIDiagnosticExplanation{DiagnosticCategory::thermal,
                                          QStringLiteral("anlatı ") + QString::number(findings.size())};
    }
};

struct Doctor {
    test::MeasuredStore measured;
    std::shared_ptr<ScriptedExplainer> explainer = std::make_shared<ScriptedExplainer>();
    InMemoryPreferencesStore settings;
    int explainersMade = 0;
    AiHardwareDoctorViewModel model{measured.store, settings,
                                    [this] {
                                        ++explainersMade;
                                        return explainer;
                                    },
                                    [this] { return measured.now; }};

    Doctor() {
        measured.sample(test::measuredSnapshot());
        model.rebuildNow();
    }
    void settle() {
        test::spinUntil([] { return false; }, 20); // lets a deferred check start
        test::spinUntil([&] { return !model.isCheckingModel() && !model.isExplaining(); });
    }
};

} // namespace

TEST(AiHardwareDoctorViewModel, ShowsFindingsAndChecksTheModelOnceShown) {
    Doctor d;
    QAbstractItemModelTester tester(d.model.findings(),
                                    QAbstractItemModelTester::FailureReportingMode::Fatal);
    ASSERT_EQ(d.model.findings()->count(), 1);
    EXPECT_EQ(d.model.findings()->keyAt(0), u"no-confirmed-fault");
    EXPECT_EQ(d.model.summary(),
              u"Okunabilen sağlık verilerinde doğrulanmış bir donanım arızası sinyali bulunmadı.");
    d.settle();
    EXPECT_TRUE(d.model.isModelAvailable());
    EXPECT_TRUE(d.model.canExplain());

    SystemSnapshot hot = test::measuredSnapshot();
    hot.thermal = ThermalLevel::critical;
    d.measured.sample(hot);
    d.model.rebuildNow();
    EXPECT_EQ(d.model.findings()->value(0, "level").toString(), u"critical");
    EXPECT_NE(d.model.summary(),
              u"Okunabilen sağlık verilerinde doğrulanmış bir donanım arızası sinyali bulunmadı.");
}

TEST(AiHardwareDoctorViewModel, ExplainsWithTheSanitisedSymptomAndReportsErrors) {
    Doctor d;
    d.settle();
    d.model.setSymptom(QStringLiteral("  fan\u0007 çok ses yapıyor \n"));
    d.model.explain();
    d.settle();
    ASSERT_TRUE(d.explainer->lastContext);
    EXPECT_EQ(d.explainer->lastContext->symptom, QStringLiteral("fan çok ses yapıyor"));
    EXPECT_EQ(d.model.narrative(), u"anlatı 1");
    EXPECT_EQ(d.model.categoryText(), u"Belirti kategorisi: Termal");
    EXPECT_TRUE(d.model.errorText().isEmpty());

    d.explainer->failure = AIDiagnosticServiceError::invalidClassification;
    d.model.explain();
    d.settle();
    EXPECT_TRUE(d.model.narrative().isEmpty()) << "an earlier answer never stays beside a new error";
    EXPECT_EQ(d.model.errorText(), u"AI modeli güvenli donanım kategorilerinden birini seçmedi.");
}

TEST(AiHardwareDoctorViewModel, CancelEndsAnExplanationQuietly) {
    Doctor d;
    d.settle();
    d.explainer->waitForCancel = true;
    d.model.explain();
    EXPECT_TRUE(d.model.isExplaining());
    EXPECT_FALSE(d.model.canExplain());
    d.model.explain(); // a second click while running starts nothing
    d.model.cancel();
    d.settle();
    EXPECT_EQ(d.explainer->explanations, 1);
    EXPECT_FALSE(d.model.isExplaining());
    EXPECT_TRUE(d.model.narrative().isEmpty());
    EXPECT_TRUE(d.model.errorText().isEmpty());
}

TEST(AiHardwareDoctorViewModel, WithoutAModelTheButtonStaysOffAndTheReasonShows) {
    Doctor d;
    d.explainer->answer = AIDiagnosticAvailability::unavailableBecause(QStringLiteral("Sunucu yok."));
    d.model.checkModel();
    d.settle();
    EXPECT_FALSE(d.model.canExplain());
    EXPECT_EQ(d.model.availabilityText(), u"Yerel kanıt motoru çalışmaya devam eder. Ayrıntı: Sunucu yok.");
    d.model.explain();
    EXPECT_EQ(d.explainer->explanations, 0);
}

TEST(AiHardwareDoctorViewModel, SavesTheModelServerAndAsksItAgain) {
    struct Case {
        const char* address;
        int kind;
        bool saved;
        const char* storedURL; // absent when the setting is removed or left as it was
        const char* storedAPI;
        const char* error;
    };
    const char* const badForm =
        "Adres http:// veya https:// ile başlamalı; kullanıcı adı, sorgu veya parça içeremez.";
    const char* const notHere =
        "Bu adres bu bilgisayarı göstermiyor; donanım verisi bu bilgisayardan çıkmaz.";
    const Case cases[] = {
        {"http://127.0.0.1:11434/", 0, true, "http://127.0.0.1:11434", "ollama", nullptr},
        {" http://localhost:8080 ", 0, true, "http://localhost:8080", "openai", nullptr},
        {"http://[::1]:9000", 2, true, "http://[::1]:9000", "ollama", nullptr},
        {"http://127.0.0.1:11434", 1, true, "http://127.0.0.1:11434", "openai", nullptr},
        {"ftp://127.0.0.1", 0, false, nullptr, nullptr, badForm},
        {"http://user@127.0.0.1:8080", 0, false, nullptr, nullptr, badForm},
        {"127.0.0.1:8080", 0, false, nullptr, nullptr, badForm},
        {"http://192.168.1.20:11434", 0, false, nullptr, nullptr, notHere},
        {"http://[2001:db8::1]:8080", 0, false, nullptr, nullptr, notHere},
        {"", 0, true, nullptr, nullptr, nullptr},
    };
    for (const Case& c : cases) {
        Doctor d;
        d.settle();
        // An earlier address and a model name chosen on the command line.
        d.settings.setValue(QString::fromLatin1(LocalLanguageModelServer::kURLKey),
                            QStringLiteral("http://127.0.0.1:1"));
        d.settings.setValue(QString::fromLatin1(LocalLanguageModelServer::kAPIKey), QStringLiteral("openai"));
        d.settings.setValue(QString::fromLatin1(LocalLanguageModelServer::kModelKey), QStringLiteral("qwen"));
        const int made = d.explainersMade;
        EXPECT_EQ(d.model.saveModelServer(QString::fromUtf8(c.address), c.kind), c.saved) << c.address;
        d.settle();
        const auto url = d.settings.textValue(QString::fromLatin1(LocalLanguageModelServer::kURLKey));
        if (!c.saved) {
            EXPECT_EQ(url, QStringLiteral("http://127.0.0.1:1"))
                << c.address << ": a refusal changes nothing";
            EXPECT_EQ(d.model.modelSettingsError(), QString::fromUtf8(c.error)) << c.address;
            EXPECT_EQ(d.explainersMade, made) << c.address << ": a refused address is never asked";
            continue;
        }
        EXPECT_TRUE(d.model.modelSettingsError().isEmpty()) << c.address;
        EXPECT_EQ(d.explainersMade, made + 1) << c.address << ": the server is asked again";
        if (!c.storedURL) {
            EXPECT_FALSE(url) << "an empty address removes the setting";
            EXPECT_TRUE(d.model.modelAddress().isEmpty());
            EXPECT_EQ(d.model.modelKind(), 0);
            continue;
        }
        EXPECT_EQ(url, QString::fromUtf8(c.storedURL)) << c.address;
        EXPECT_EQ(d.settings.textValue(QString::fromLatin1(LocalLanguageModelServer::kAPIKey)),
                  QString::fromUtf8(c.storedAPI))
            << c.address;
        EXPECT_EQ(d.settings.textValue(QString::fromLatin1(LocalLanguageModelServer::kModelKey)), u"qwen")
            << "the model name stays";
        EXPECT_EQ(d.model.modelAddress(), QString::fromUtf8(c.storedURL));
        EXPECT_EQ(d.model.modelKind(), QString::fromUtf8(c.storedAPI) == u"ollama" ? 2 : 1);
    }
}

TEST(AiHardwareDoctorViewModel, AnAddressSavedDuringAnExplanationIsAskedWhenItEnds) {
    Doctor d;
    d.settle();
    d.explainer->waitForCancel = true;
    d.model.explain();
    const int made = d.explainersMade;
    EXPECT_TRUE(d.model.saveModelServer(QStringLiteral("http://127.0.0.1:8080"), 0));
    EXPECT_EQ(d.explainersMade, made) << "the running explanation keeps its server";
    d.model.cancel();
    d.settle();
    EXPECT_EQ(d.explainersMade, made + 1);
    EXPECT_FALSE(d.model.isCheckingModel());
}
