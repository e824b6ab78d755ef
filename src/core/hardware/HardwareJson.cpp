#include "HardwareJson.h"

#include "foundation/JsonCodec.h"

#include <QJsonArray>
#include <QJsonObject>

namespace kestrum::json {

namespace {

// A case that may carry a specification text: {"case": "replaceable", "specification": "…"}.
template <class T, typename T::Case withSpecification> struct CaseWithSpecification {
    static QJsonValue encode(const T& value) {
        QJsonObject object{{QStringLiteral("case"), rawValue(value.kind)}};
        if (value.kind == withSpecification)
            object.insert(QStringLiteral("specification"), value.specification);
        return object;
    }
    static T decode(const QJsonValue& value, JsonPath& path) {
        if (!value.isObject())
            throwWrongType(path);
        const QJsonObject object = value.toObject();
        T out;
        path.pushKey(QStringLiteral("case"));
        const QJsonValue kind = object.value(QStringLiteral("case"));
        if (kind.isUndefined())
            throwMissing(path);
        out.kind = json::decode<typename T::Case>(kind, path);
        path.pop();
        if (out.kind == withSpecification) {
            path.pushKey(QStringLiteral("specification"));
            const QJsonValue specification = object.value(QStringLiteral("specification"));
            if (specification.isUndefined())
                throwMissing(path);
            out.specification = json::decode<QString>(specification, path);
            path.pop();
        }
        return out;
    }
};

} // namespace

template <>
struct JsonCustom<ComponentServiceability>
    : CaseWithSpecification<ComponentServiceability, ComponentServiceability::Case::replaceableByUser> {};
template <>
struct JsonCustom<MemoryArchitecture>
    : CaseWithSpecification<MemoryArchitecture, MemoryArchitecture::Case::replaceable> {};
template <>
struct JsonCustom<StorageArchitecture>
    : CaseWithSpecification<StorageArchitecture, StorageArchitecture::Case::replaceable> {};

template <> struct JsonRecord<DetectedHardwareComponent> {
    using C = DetectedHardwareComponent;
    static constexpr auto fields = std::tuple{field("kind", &C::kind),
                                              field("manufacturer", &C::manufacturer),
                                              field("model", &C::model),
                                              field("detail", &C::detail),
                                              field("serviceability", &C::serviceability),
                                              field("source", &C::source),
                                              field("evidence", &C::evidence)};
};

template <> struct JsonRecord<OriginalPartReference> {
    using P = OriginalPartReference;
    static constexpr auto fields = std::tuple{field("componentKind", &P::componentKind),
                                              field("componentName", &P::componentName),
                                              field("partNumber", &P::partNumber),
                                              field("applicability", &P::applicability),
                                              field("note", &P::note),
                                              field("sourceURL", &P::sourceURL),
                                              field("sourceTitle", &P::sourceTitle),
                                              field("verifiedAt", &P::verifiedAt)};
};

template <> struct JsonRecord<StorageHealth> {
    using S = StorageHealth;
    static constexpr auto fields = std::tuple{field("source", &S::source),
                                              field("failurePredicted", &S::failurePredicted),
                                              field("percentageUsed", &S::percentageUsed),
                                              field("mediaErrors", &S::mediaErrors),
                                              field("badSectors", &S::badSectors),
                                              field("powerOnHours", &S::powerOnHours),
                                              field("temperatureCelsius", &S::temperatureCelsius),
                                              field("unavailableReason", &S::unavailableReason)};
};

template <> struct JsonRecord<BatteryServiceInfo> {
    using B = BatteryServiceInfo;
    static constexpr auto fields = std::tuple{field("cycleCount", &B::cycleCount),
                                              field("designCapacity", &B::designCapacity),
                                              field("fullChargeCapacity", &B::fullChargeCapacity),
                                              field("capacityUnit", &B::capacityUnit),
                                              field("manufacturer", &B::manufacturer),
                                              field("model", &B::model)};
};

template <> struct JsonRecord<HardwareProfile> {
    using H = HardwareProfile;
    static constexpr auto fields =
        std::tuple{field("discoveredAt", &H::discoveredAt),
                   field("modelIdentifier", &H::modelIdentifier),
                   field("modelName", &H::modelName),
                   field("introductionYear", &H::introductionYear),
                   field("catalogMatched", &H::catalogMatched),
                   field("catalogSourceURL", &H::catalogSourceURL),
                   field("catalogVerifiedAt", &H::catalogVerifiedAt),
                   field("repairManualID", &H::repairManualID),
                   field("memoryBytes", &H::memoryBytes),
                   field("storageBytes", &H::storageBytes),
                   field("memoryArchitecture", &H::memoryArchitecture),
                   field("supportedMemoryOptionsGigabytes", &H::supportedMemoryOptionsGigabytes),
                   field("storageArchitecture", &H::storageArchitecture),
                   field("supportedStorageOptionsGigabytes", &H::supportedStorageOptionsGigabytes),
                   field("components", &H::components),
                   field("originalParts", &H::originalParts),
                   field("storageUnavailableReason", &H::storageUnavailableReason),
                   field("storageHealth", &H::storageHealth),
                   field("batteryService", &H::batteryService)};
};

template <> struct JsonRecord<HardwareRecommendation> {
    using R = HardwareRecommendation;
    static constexpr auto fields = std::tuple{field("id", &R::id),
                                              field("componentKind", &R::componentKind),
                                              field("kind", &R::kind),
                                              field("urgency", &R::urgency),
                                              field("title", &R::title),
                                              field("evidence", &R::evidence),
                                              field("action", &R::action),
                                              field("confidence", &R::confidence),
                                              field("compatibleParts", &R::compatibleParts),
                                              field("supportingEvidence", &R::supportingEvidence)};
};

template <> struct JsonRecord<AppleDiagnosticsCodeResult> {
    using A = AppleDiagnosticsCodeResult;
    static constexpr auto fields =
        std::tuple{field("code", &A::code), field("level", &A::level), field("title", &A::title),
                   field("explanation", &A::explanation), field("recommendedAction", &A::recommendedAction)};
};

} // namespace kestrum::json

namespace kestrum {

QJsonValue hardwareProfileToJson(const HardwareProfile& profile) {
    return json::encode(profile);
}

HardwareProfile hardwareProfileFromJson(const QJsonValue& value) {
    return json::decode<HardwareProfile>(value);
}

QJsonValue hardwareRecommendationsToJson(const std::vector<HardwareRecommendation>& recommendations) {
    return json::encode(recommendations);
}

QJsonValue originalPartReferencesToJson(const std::vector<OriginalPartReference>& parts) {
    return json::encode(parts);
}

QJsonValue diagnosticsCodeResultToJson(const AppleDiagnosticsCodeResult& result) {
    return json::encode(result);
}

} // namespace kestrum
