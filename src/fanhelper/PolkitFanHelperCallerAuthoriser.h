#pragma once

// Who may start a boost: root, or a process running one of the installed Kestrum programs whose user
// polkit grants the boost action.

#include "FanHelperService.h"

#include <QStringList>
#include <functional>

namespace kestrum {

// Runs pkcheck with the arguments and answers its exit status (-1 when it could not run).
using FanHelperPkcheckRunner = std::function<int(const QStringList& arguments)>;
FanHelperPkcheckRunner fanHelperPkcheckProcess();

class PolkitFanHelperCallerAuthoriser final : public FanHelperCallerAuthorising {
public:
    PolkitFanHelperCallerAuthoriser(QString procRoot, QStringList allowedPrograms,
                                    FanHelperPkcheckRunner pkcheck);

    bool mayStartBoost(const FanHelperPeer& peer) override;

    // Field 22 of /proc/<pid>/stat (start time in clock ticks since boot), which polkit pairs with the pid
    // so that a recycled pid is not mistaken for the caller.
    static std::optional<quint64> processStartTime(const QByteArray& statText);

private:
    QString m_procRoot;
    QStringList m_allowedPrograms;
    FanHelperPkcheckRunner m_pkcheck;
};

} // namespace kestrum
