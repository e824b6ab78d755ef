#pragma once

#include <QByteArray>
#include <QString>

namespace kestrum {

// Whether this machine is a Mac, from what the firmware says about it: an Apple-silicon Mac running Linux
// describes its board in the device tree ("apple,j313"), an Intel Mac names Apple as the DMI system vendor.
class FirmwareMachineVendorReader {
public:
    explicit FirmwareMachineVendorReader(QString procRoot = QStringLiteral("/proc"),
                                         QString sysRoot = QStringLiteral("/sys"));

    // False when neither source says Apple, and when neither can be read.
    bool isMac() const;

    // The device tree's NUL-separated compatible list; its first entry is the board.
    static bool isAppleBoard(const QByteArray& compatible);
    static bool isAppleVendor(const QString& sysVendor);

private:
    QString m_procRoot;
    QString m_sysRoot;
};

} // namespace kestrum
