#pragma once

#include "ForegroundWindowResolver.h"

#include <QHash>
#include <atomic>
#include <cstdint>
#include <memory>
#include <thread>
#include <vector>

namespace kestrum {

// The toplevel windows a wlroots compositor announces (wlr-foreign-toplevel-management), folded into
// "which app id is activated". Each handle's app id and state take effect at its `done`, as the
// protocol says; titles are never kept.
class ForeignToplevelTracker {
public:
    static constexpr uint32_t kActivatedState = 2;

    void toplevel(uintptr_t handle);
    void appID(uintptr_t handle, const QString& appID);
    void state(uintptr_t handle, const std::vector<uint32_t>& states);
    void done(uintptr_t handle);
    void closed(uintptr_t handle);

    // The app id of the activated toplevel (the one committed last when a compositor reports several);
    // none when no toplevel is activated. An activated toplevel without an app id gives "".
    std::optional<QString> activeAppID() const;

private:
    struct Toplevel {
        QString pendingAppID, appID;
        std::optional<bool> pendingActivated;
        bool activated = false;
        uint64_t activatedAt = 0; // commit order
    };
    QHash<uintptr_t, Toplevel> m_toplevels;
    uint64_t m_commits = 0;
};

// The foreground application on wlroots compositors (sway, Hyprland, river, labwc, Wayfire…), over a
// Wayland connection of its own on its own thread. The protocol gives no process id, so the name comes
// from the desktop entry of the app id, or is the app id itself.
class WlrForeignToplevelForegroundApplicationProvider : public ForegroundApplicationProviding {
public:
    // `display`: the WAYLAND_DISPLAY to connect to (empty: the environment's); `desktop` names the
    // compositor in the reasons it gives.
    WlrForeignToplevelForegroundApplicationProvider(std::shared_ptr<ForegroundWindowResolver> resolver,
                                                    QString desktop, QString display = {});
    ~WlrForeignToplevelForegroundApplicationProvider() override;

    std::optional<ForegroundApplication> currentApplication() override { return m_state.current(); }
    MetricAvailability availability() const override { return m_state.availability(); }
    bool hasFailed() const { return m_failed.load(); }

    struct Session; // the Wayland objects, on the provider's thread only

private:
    void run();

    std::shared_ptr<ForegroundWindowResolver> m_resolver;
    QString m_desktop;
    QString m_display;
    ForegroundState m_state;
    std::atomic<bool> m_failed{false};
    int m_wakeFd = -1;
    std::thread m_thread;
};

} // namespace kestrum
