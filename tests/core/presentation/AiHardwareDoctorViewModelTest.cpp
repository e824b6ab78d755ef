// The AI hardware assistant section over a measured store and a scripted explainer.

#include "presentation/AiHardwareDoctorViewModel.h"

#include "PresentationFixtures.h"
#include "diagnosis/DiagnosticEvidenceEngine.h"

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
    AiHardwareDoctorViewModel model{measured.store, [this] { return explainer; },
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
