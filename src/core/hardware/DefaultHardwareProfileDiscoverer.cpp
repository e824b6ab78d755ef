#include "DefaultHardwareProfileDiscoverer.h"

#include "HardwareEvidence.h"
#include "foundation/Rounding.h"
#include "foundation/Translatable.h"
#include "localisation/L10n.h"

#include <QLocale>
#include <QStringList>
#include <QtConcurrent/QtConcurrentRun>
#include <qcoro/qcorofuture.h>

namespace kestrum {

HardwareProfile HardwareProfile::unavailable() {
    HardwareProfile profile;
    profile.discoveredAt = Date::distantPast();
    profile.modelIdentifier = trText("Kullanılamıyor");
    profile.modelName = trText("Mac modeli okunamadı");
    return profile;
}

const DetectedHardwareComponent* HardwareProfile::component(HardwareComponentKind kind) const {
    for (const DetectedHardwareComponent& candidate : components) {
        if (candidate.kind == kind)
            return &candidate;
    }
    return nullptr;
}

DefaultHardwareProfileDiscoverer::DefaultHardwareProfileDiscoverer(Readers readers,
                                                                   MacHardwareCatalog catalog,
                                                                   DateProvider dateProvider,
                                                                   std::function<bool()> english)
    : m_readers(std::move(readers)), m_catalog(std::move(catalog)), m_dateProvider(std::move(dateProvider)),
      m_english(std::move(english)) {
    if (!m_dateProvider)
        m_dateProvider = systemDateProvider();
    if (!m_english)
        m_english = [] { return L10n::isEnglish(); };
    m_executor.setMaxThreadCount(1);
}

DefaultHardwareProfileDiscoverer::~DefaultHardwareProfileDiscoverer() {
    m_executor.waitForDone();
}

QCoro::Task<HardwareProfile> DefaultHardwareProfileDiscoverer::discover() {
    co_return co_await QtConcurrent::run(&m_executor, [this] { return discoverNow(); });
}

HardwareProfile DefaultHardwareProfileDiscoverer::discoverNow() {
    return makeProfile(read(), m_catalog, m_dateProvider(), m_english());
}

HardwareReadings DefaultHardwareProfileDiscoverer::read() {
    HardwareReadings readings;
    if (m_readers.system)
        readings.system = m_readers.system->read();
    if (m_readers.storage) {
        readings.storage = m_readers.storage->read();
        if (m_readers.storageHealth && readings.storage.deviceName)
            readings.storageHealth = m_readers.storageHealth->read(*readings.storage.deviceName);
    }
    if (m_readers.graphics)
        readings.graphicsName = m_readers.graphics->read();
    if (m_readers.battery)
        readings.battery = m_readers.battery->sample();
    if (m_readers.batteryService)
        readings.batteryService = m_readers.batteryService->read();
    return readings;
}

QString DefaultHardwareProfileDiscoverer::storageCapacityText(uint64_t bytes, bool english) {
    const QLocale locale = english ? QLocale::c() : QLocale(QLocale::Turkish, QLocale::Turkey);
    const double gigabytes = static_cast<double>(bytes) / 1e9;
    if (gigabytes < 1000)
        return locale.toString(roundHalfAwayFromZero(gigabytes), 'f', 0) + QStringLiteral(" GB");
    // Zero to one fraction digit: "2 TB", "1,5 TB".
    const double terabytes = roundHalfAwayFromZero(gigabytes / 1000 * 10) / 10;
    const bool whole = terabytes == std::floor(terabytes);
    return locale.toString(terabytes, 'f', whole ? 0 : 1) + QStringLiteral(" TB");
}

QString DefaultHardwareProfileDiscoverer::memorySizeText(uint64_t bytes) {
    return QString::number(roundedInteger(static_cast<double>(bytes) / 1073741824.0)) + QStringLiteral(" GB");
}

QString DefaultHardwareProfileDiscoverer::storageDetail(const StorageDeviceIdentity& identity, bool english) {
    QStringList parts;
    if (identity.physicalBytes)
        parts << storageCapacityText(*identity.physicalBytes, english);
    if (identity.protocolName)
        parts << *identity.protocolName;
    if (identity.isSolidState == true)
        parts << QStringLiteral("SSD");
    if (identity.isInternal == true)
        parts << trText("Dahili");
    if (parts.isEmpty())
        return trText("Depolama ayrıntıları sunulmadı");
    return parts.join(QStringLiteral(" · "));
}

namespace {

DetectedHardwareComponent processorComponent(const SystemHardwareSnapshot& system, const QString& brand,
                                             bool catalogued) {
    QStringList counts;
    if (system.physicalCores)
        counts << trTemplate("\\(count) fiziksel çekirdek", {QString::number(*system.physicalCores)});
    if (system.logicalCores)
        counts << trTemplate("\\(count) mantıksal çekirdek", {QString::number(*system.logicalCores)});
    DetectedHardwareComponent component;
    component.kind = HardwareComponentKind::processor;
    if (brand.contains(u"apple", Qt::CaseInsensitive))
        component.manufacturer = QStringLiteral("Apple");
    component.model = brand;
    component.detail =
        counts.isEmpty() ? trText("Çekirdek bilgisi sunulmadı") : counts.join(QStringLiteral(" · "));
    component.serviceability =
        catalogued ? ComponentServiceability::logicBoardIntegrated() : ComponentServiceability::unknown();
    component.source = HardwareDetectionSource::system;
    return component;
}

DetectedHardwareComponent graphicsComponent(const QString& name, bool catalogued) {
    DetectedHardwareComponent component;
    component.kind = HardwareComponentKind::graphics;
    if (name.contains(u"Apple"))
        component.manufacturer = QStringLiteral("Apple");
    component.model = name;
    component.detail = catalogued ? trText("M5 paketine entegre grafik birimi")
                                  : trText("Grafik aygıtı macOS Metal arayüzünden okundu");
    component.serviceability =
        catalogued ? ComponentServiceability::logicBoardIntegrated() : ComponentServiceability::unknown();
    component.source = HardwareDetectionSource::system;
    return component;
}

DetectedHardwareComponent memoryComponent(uint64_t bytes, const MemoryArchitecture& architecture) {
    const QString size = DefaultHardwareProfileDiscoverer::memorySizeText(bytes);
    DetectedHardwareComponent component;
    component.kind = HardwareComponentKind::memory;
    component.source = HardwareDetectionSource::system;
    switch (architecture.kind) {
    case MemoryArchitecture::Case::unifiedLogicBoard:
        component.manufacturer = trText("Apple platformu");
        component.model = trTemplate("\\(size) birleşik bellek", {size});
        component.detail = trText("Bellek yongası markası macOS tarafından sunulmuyor; bellek M5 ana kart "
                                  "yapılandırmasına entegre");
        component.serviceability = ComponentServiceability::logicBoardIntegrated();
        break;
    case MemoryArchitecture::Case::replaceable:
        component.model = trTemplate("\\(size) sistem belleği", {size});
        component.detail =
            trTemplate("Değiştirilebilir bellek · \\(specification)", {architecture.specification});
        component.serviceability = ComponentServiceability::replaceableByUser(architecture.specification);
        break;
    case MemoryArchitecture::Case::unknown:
        component.model = trTemplate("\\(size) bellek", {size});
        component.detail = trText("Bellek modülü üreticisi ve değiştirilebilirliği doğrulanmadı");
        component.serviceability = ComponentServiceability::unknown();
        break;
    }
    return component;
}

ComponentServiceability storageServiceability(const StorageArchitecture& architecture) {
    switch (architecture.kind) {
    case StorageArchitecture::Case::logicBoardIntegrated:
        return ComponentServiceability::logicBoardIntegrated();
    case StorageArchitecture::Case::replaceable:
        return ComponentServiceability::replaceableByUser(architecture.specification);
    case StorageArchitecture::Case::unknown:
        break;
    }
    return ComponentServiceability::unknown();
}

DetectedHardwareComponent batteryComponent(const BatteryStats& battery, bool catalogued) {
    DetectedHardwareComponent component;
    component.kind = HardwareComponentKind::battery;
    if (catalogued) {
        component.manufacturer = QStringLiteral("Apple");
        component.model = trText("Apple dahili lityum polimer batarya");
        component.serviceability = ComponentServiceability::replaceableByService();
        component.source = HardwareDetectionSource::modelCatalog;
    } else {
        component.model = trText("Dahili batarya");
        component.serviceability = ComponentServiceability::unknown();
        component.source = HardwareDetectionSource::system;
    }
    const QString condition = battery.healthCondition.value_or(QString()).trimmed();
    component.detail = condition.isEmpty()
                           ? trText("Fiziksel batarya üretici kodu macOS tarafından sunulmadı")
                           : trTemplate("macOS sağlık durumu: \\(condition)", {condition});
    return component;
}

DetectedHardwareComponent catalogComponent(HardwareComponentKind kind, const QString& model,
                                           const QString& detail) {
    DetectedHardwareComponent component;
    component.kind = kind;
    component.manufacturer = QStringLiteral("Apple");
    component.model = model;
    component.detail = detail;
    component.serviceability = ComponentServiceability::replaceableByService();
    component.source = HardwareDetectionSource::modelCatalog;
    return component;
}

} // namespace

HardwareProfile DefaultHardwareProfileDiscoverer::makeProfile(const HardwareReadings& readings,
                                                              const MacHardwareCatalog& catalog,
                                                              Date discoveredAt, bool english) {
    HardwareProfile profile;
    profile.discoveredAt = discoveredAt;
    profile.modelIdentifier = readings.system.modelIdentifier.value_or(trText("Kullanılamıyor"));
    const std::optional<MacModelCatalogEntry> entry = catalog.entry(profile.modelIdentifier);
    const bool catalogued = entry.has_value();

    profile.memoryBytes = readings.system.memoryBytes;
    if (readings.storage.identity)
        profile.storageBytes = readings.storage.identity->physicalBytes;
    if (entry) {
        profile.modelName = entry->modelName;
        profile.introductionYear = entry->introductionYear;
        profile.catalogMatched = true;
        profile.catalogSourceURL = entry->sourceURL;
        profile.catalogVerifiedAt = entry->verifiedAt;
        profile.repairManualID = entry->repairManualID;
        profile.memoryArchitecture = entry->memoryArchitecture;
        profile.supportedMemoryOptionsGigabytes = entry->memoryOptionsGigabytes;
        profile.storageArchitecture = entry->storageArchitecture;
        profile.supportedStorageOptionsGigabytes = entry->storageOptionsGigabytes;
        profile.originalParts = entry->resolvedParts(profile.memoryBytes, profile.storageBytes);
    } else {
        profile.modelName = profile.modelIdentifier;
    }

    if (readings.system.processorBrand)
        profile.components.push_back(
            processorComponent(readings.system, *readings.system.processorBrand, catalogued));
    if (readings.graphicsName)
        profile.components.push_back(graphicsComponent(*readings.graphicsName, catalogued));
    if (profile.memoryBytes)
        profile.components.push_back(memoryComponent(*profile.memoryBytes, profile.memoryArchitecture));

    const std::optional<StorageDeviceIdentity>& identity = readings.storage.identity;
    if (identity && (identity->model || identity->physicalBytes)) {
        DetectedHardwareComponent storage;
        storage.kind = HardwareComponentKind::storage;
        storage.manufacturer = identity->manufacturer;
        storage.model = identity->model.value_or(trText("Dahili depolama"));
        storage.detail = storageDetail(*identity, english);
        storage.serviceability = storageServiceability(profile.storageArchitecture);
        storage.source = HardwareDetectionSource::system;
        if (readings.storageHealth) {
            profile.storageHealth = readings.storageHealth;
            storage.evidence = HardwareEvidence::storageLines(*readings.storageHealth);
        }
        profile.components.push_back(std::move(storage));
    } else {
        profile.storageUnavailableReason =
            readings.storage.unavailableReason.value_or(trText("Başlangıç diski tanınamadı."));
    }

    if (readings.battery && readings.battery->isPresent) {
        DetectedHardwareComponent battery = batteryComponent(*readings.battery, catalogued);
        if (readings.batteryService) {
            profile.batteryService = readings.batteryService;
            battery.evidence = HardwareEvidence::batteryLines(*readings.batteryService);
        }
        profile.components.push_back(std::move(battery));
    }

    if (entry) {
        profile.components.push_back(
            catalogComponent(HardwareComponentKind::display, entry->displayName,
                             trText("Panel üretici kodu macOS tarafından sunulmadığı için model kataloğundan "
                                    "eşleştirildi")));
        profile.components.push_back(catalogComponent(
            HardwareComponentKind::cooling, entry->coolingName,
            trText("Fan parça kimliği doğrudan okunamadığı için model kataloğundan eşleştirildi")));
    }
    return profile;
}

} // namespace kestrum
