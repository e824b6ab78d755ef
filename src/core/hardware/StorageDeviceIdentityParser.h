#pragma once

#include "HardwareProfile.h"

#include <QVariantMap>

namespace kestrum {

// Reads a disk description dictionary (the keys the platform's disk service uses) into the start-up
// disk's identity. Platform readers fill the dictionary; the decisions are made here.
namespace StorageDeviceIdentityParser {

inline const QString kDeviceModelKey = QStringLiteral("DADeviceModel");
inline const QString kDeviceVendorKey = QStringLiteral("DADeviceVendor");
inline const QString kDeviceProtocolKey = QStringLiteral("DADeviceProtocol");
inline const QString kMediaSizeKey = QStringLiteral("DAMediaSize");
inline const QString kDeviceInternalKey = QStringLiteral("DADeviceInternal");
inline const QString kMediaSolidStateKey = QStringLiteral("DAMediaSolidState");

StorageDeviceIdentity identity(const QVariantMap& description);

} // namespace StorageDeviceIdentityParser

} // namespace kestrum
