#pragma once

#include <QString>

namespace kestrum {

// A mark on disk that this helper has taken the fans out of automatic control and not yet handed them
// back. It outlives a crash of the helper, so that the unit's clean-up and the next start restore
// automatic control only when it was the helper that took it — a fan level the user set by hand is left
// alone. Kept in the helper's runtime folder (/run/kestrum-fan-helper), so a reboot clears it together
// with any manual mode.
class FanHelperManualControlRecord {
public:
    static const QString kDefaultPath; // "/run/kestrum-fan-helper/manual-control"

    // Without a path nothing is recorded and every restore is assumed needed.
    FanHelperManualControlRecord() = default;
    explicit FanHelperManualControlRecord(QString path) : m_path(std::move(path)) {}

    // Before the fans are taken over; false when the mark could not be written, in which case a crash
    // could not be cleaned up after, so the boost must not begin.
    bool mark();
    // Once the fans are back under automatic control.
    void clear();
    // Whether the fans may still be under the helper's manual control.
    bool needsRestore() const;

private:
    QString m_path;
};

} // namespace kestrum
