#include "RecordedTrees.h"

#include "TestSupport.h"

#include <QProcess>
#include <stdexcept>

namespace kestrum::test {

std::unique_ptr<QTemporaryDir> copyParts(const QString& machine, const QStringList& parts) {
    auto dir = std::make_unique<QTemporaryDir>();
    QProcess cp;
    cp.setWorkingDirectory(fixture(machine));
    cp.start(QStringLiteral("cp"), QStringList{QStringLiteral("-a"), QStringLiteral("--parents")} + parts +
                                       QStringList{dir->path()});
    if (!cp.waitForFinished() || cp.exitStatus() != QProcess::NormalExit || cp.exitCode() != 0)
        throw std::runtime_error("cannot copy parts of a recorded machine");
    return dir;
}

} // namespace kestrum::test
