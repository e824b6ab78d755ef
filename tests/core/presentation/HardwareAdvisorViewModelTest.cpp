// The hardware advisor section over a store whose discoverer answers with a prepared profile.

#include "presentation/HardwareAdvisorViewModel.h"

#include "PresentationFixtures.h"

#include <QAbstractItemModelTester>
#include <gtest/gtest.h>

using namespace kestrum;

namespace {

class PreparedDiscoverer : public HardwareProfileDiscovering {
public:
    explicit PreparedDiscoverer(HardwareProfile profile) : m_profile(std::move(profile)) {}
    QCoro::Task<HardwareProfile> discover() override { co_return m_profile; }

private:
    HardwareProfile m_profile;
};

HardwareProfile desktop() {
    HardwareProfile p;
    p.modelIdentifier = QStringLiteral("X570 AORUS ELITE");
    p.modelName = QStringLiteral("Gigabyte X570 AORUS ELITE");
    p.components = {
        {HardwareComponentKind::processor,
         QStringLiteral("AMD"),
         QStringLiteral("AMD Ryzen 7 3700X"),
         QStringLiteral("8 çekirdek, 16 iş parçacığı"),
         {},
         HardwareDetectionSource::system,
         {}},
        {HardwareComponentKind::memory,
         std::nullopt,
         QStringLiteral("32 GB"),
         QString(),
         {},
         HardwareDetectionSource::system,
         {QStringLiteral("Bellek modülleri okunamadı.")}},
    };
    p.storageUnavailableReason = QStringLiteral("Kök dosya sistemi bir ağ paylaşımında.");
    return p;
}

struct AdvisedStore {
    Date now = Date::now();
    InMemoryPreferencesStore preferences;
    std::shared_ptr<test::FakeSampler> sampler = std::make_shared<test::FakeSampler>(&now);
    std::shared_ptr<test::FakeRepository> repository = std::make_shared<test::FakeRepository>();
    std::unique_ptr<SystemMonitorStore> store;

    explicit AdvisedStore(HardwareProfile profile) {
        sampler->next = test::measuredSnapshot();
        SystemMonitorStore::Dependencies d;
        d.sampler = sampler;
        d.preferences = &preferences;
        d.archiveRepository = repository;
        d.dateProvider = [this] { return now; };
        d.hardware.discoverer = std::make_shared<PreparedDiscoverer>(std::move(profile));
        store = std::make_unique<SystemMonitorStore>(std::move(d));
    }
};

std::vector<QString> labels(MetricGroup* group) {
    std::vector<QString> out;
    for (int i = 0; group && i < group->rows()->count(); ++i)
        out.push_back(group->rows()->value(i, "label").toString());
    return out;
}

} // namespace

TEST(HardwareAdvisorViewModel, TheProfileItsComponentsAndAdvice) {
    test::ScopedLanguage turkish(false);
    AdvisedStore m(desktop());
    HardwareAdvisorViewModel model(*m.store);
    QAbstractItemModelTester tester(model.groups(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    EXPECT_FALSE(model.hasProfile()) << "nothing before discovery";
    EXPECT_EQ(model.groups()->count(), 0);

    QCoro::waitFor(m.store->discoverHardwareIfNeeded());
    ASSERT_TRUE(test::spinUntil([&] { return model.hasProfile(); }));
    EXPECT_FALSE(model.isDiscovering());
    EXPECT_EQ(model.title(), QStringLiteral("Donanım · Gigabyte X570 AORUS ELITE"));
    EXPECT_EQ(model.identity(), QStringLiteral("Model tanımlayıcısı: X570 AORUS ELITE"));
    EXPECT_EQ(model.catalogNote(),
              QStringLiteral("Bu model Kestrum’un model kataloğunda yok; servis parçaları listelenmiyor."));

    MetricGroup* components = model.group(QStringLiteral("components"));
    ASSERT_NE(components, nullptr);
    EXPECT_EQ(labels(components), (std::vector<QString>{QStringLiteral("İşlemci"), QStringLiteral("Bellek"),
                                                        QStringLiteral("Depolama")}));
    const QString processor = components->rows()->value(0, "value").toString();
    EXPECT_TRUE(processor.startsWith(QStringLiteral("AMD Ryzen 7 3700X\n8 çekirdek")))
        << processor.toStdString() << ": the maker is not repeated before a model that names it";
    EXPECT_TRUE(components->rows()
                    ->value(1, "value")
                    .toString()
                    .endsWith(QStringLiteral("• Bellek modülleri okunamadı.")));
    EXPECT_EQ(components->valueOf(QStringLiteral("Depolama")),
              QStringLiteral("Kök dosya sistemi bir ağ paylaşımında."));
    EXPECT_EQ(model.group(QStringLiteral("parts")), nullptr) << "no parts group without parts";

    // Advice is shown as rows, or the group says there is none; never an empty group without a word.
    MetricGroup* advice = model.group(QStringLiteral("recommendations"));
    ASSERT_NE(advice, nullptr);
    EXPECT_NE(advice->rows()->count() == 0, advice->note().isEmpty());
}

TEST(HardwareAdvisorViewModel, ACatalogueEntryWithoutItsYearIsNotDescribedWithAZero) {
    test::ScopedLanguage english(true);
    HardwareProfile p = desktop();
    p.catalogMatched = true;
    p.repairManualID = QStringLiteral("MNL-1");
    p.catalogVerifiedAt = Date::now();
    AdvisedStore m(p);
    HardwareAdvisorViewModel model(*m.store);
    QCoro::waitFor(m.store->discoverHardwareIfNeeded());
    ASSERT_TRUE(test::spinUntil([&] { return model.hasProfile(); }));
    EXPECT_TRUE(model.catalogNote().isEmpty()) << model.catalogNote().toStdString();
    EXPECT_EQ(model.title(), QStringLiteral("Hardware · Gigabyte X570 AORUS ELITE"));
    MetricGroup* components = model.group(QStringLiteral("components"));
    ASSERT_NE(components, nullptr);
    EXPECT_EQ(components->title(), QStringLiteral("Components")) << "group titles speak English too";
}
