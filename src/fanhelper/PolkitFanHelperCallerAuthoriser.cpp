#include "PolkitFanHelperCallerAuthoriser.h"

#include "FanHelperLogging.h"
#include "advanced/AdvancedFanHelperInstallation.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>

namespace kestrum {

FanHelperPkcheckRunner fanHelperPkcheckProcess() {
    return [](const QStringList& arguments) {
        QProcess process;
        process.setProcessChannelMode(QProcess::ForwardedChannels);
        process.start(QStringLiteral("pkcheck"), arguments);
        // Without user interaction polkit answers at once; the bound keeps a stuck daemon from holding
        // the helper.
        if (!process.waitForFinished(10000)) {
            process.kill();
            process.waitForFinished(1000);
            return -1;
        }
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    };
}

PolkitFanHelperCallerAuthoriser::PolkitFanHelperCallerAuthoriser(QString procRoot,
                                                                 QStringList allowedPrograms,
                                                                 FanHelperPkcheckRunner pkcheck)
    : m_procRoot(std::move(procRoot)), m_allowedPrograms(std::move(allowedPrograms)),
      m_pkcheck(std::move(pkcheck)) {}

std::optional<quint64> PolkitFanHelperCallerAuthoriser::processStartTime(const QByteArray& statText) {
    // The command name may hold spaces and parentheses; the fields after its last ')' start at field 3.
    const qsizetype close = statText.lastIndexOf(')');
    if (close < 0)
        return std::nullopt;
    const QList<QByteArray> fields = statText.mid(close + 1).simplified().split(' ');
    constexpr int startTimeField = 22 - 3;
    if (fields.size() <= startTimeField)
        return std::nullopt;
    bool ok = false;
    const quint64 value = fields.at(startTimeField).toULongLong(&ok);
    return ok ? std::optional(value) : std::nullopt;
}

bool PolkitFanHelperCallerAuthoriser::mayStartBoost(const FanHelperPeer& peer) {
    if (peer.uid == 0)
        return true;
    const QString processDirectory = QStringLiteral("%1/%2").arg(m_procRoot).arg(peer.pid);
    const QString program = QFileInfo(processDirectory + QStringLiteral("/exe")).symLinkTarget();
    if (program.isEmpty() || !m_allowedPrograms.contains(program)) {
        qCInfo(lcFanHelper) << "pid" << peer.pid << "runs"
                            << (program.isEmpty() ? QStringLiteral("?") : program)
                            << "which is not a Kestrum program";
        return false;
    }
    QFile stat(processDirectory + QStringLiteral("/stat"));
    const auto startTime = stat.open(QIODevice::ReadOnly) ? processStartTime(stat.readAll()) : std::nullopt;
    if (!startTime)
        return false;
    const QStringList arguments = {
        QStringLiteral("--action-id"),
        QLatin1String(AdvancedFanHelperInstallation::boostActionID),
        QStringLiteral("--process"),
        QStringLiteral("%1,%2,%3").arg(peer.pid).arg(*startTime).arg(peer.uid),
    };
    return m_pkcheck(arguments) == 0;
}

} // namespace kestrum
