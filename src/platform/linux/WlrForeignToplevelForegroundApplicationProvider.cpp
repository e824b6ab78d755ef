#include "WlrForeignToplevelForegroundApplicationProvider.h"

#include "foundation/Translatable.h"
#include "wlr-foreign-toplevel-management-unstable-v1-client-protocol.h"

#include <algorithm>
#include <cstring>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>
#include <wayland-client.h>

namespace kestrum {

void ForeignToplevelTracker::toplevel(uintptr_t handle) {
    m_toplevels.insert(handle, Toplevel{});
}

void ForeignToplevelTracker::appID(uintptr_t handle, const QString& appID) {
    if (auto it = m_toplevels.find(handle); it != m_toplevels.end())
        it->pendingAppID = appID;
}

void ForeignToplevelTracker::state(uintptr_t handle, const std::vector<uint32_t>& states) {
    if (auto it = m_toplevels.find(handle); it != m_toplevels.end())
        it->pendingActivated = std::find(states.begin(), states.end(), kActivatedState) != states.end();
}

void ForeignToplevelTracker::done(uintptr_t handle) {
    auto it = m_toplevels.find(handle);
    if (it == m_toplevels.end())
        return;
    it->appID = it->pendingAppID;
    if (it->pendingActivated) {
        if (*it->pendingActivated && !it->activated)
            it->activatedAt = ++m_commits;
        it->activated = *it->pendingActivated;
        it->pendingActivated.reset();
    }
}

void ForeignToplevelTracker::closed(uintptr_t handle) {
    m_toplevels.remove(handle);
}

std::optional<QString> ForeignToplevelTracker::activeAppID() const {
    const Toplevel* latest = nullptr;
    for (const Toplevel& toplevel : m_toplevels) {
        if (toplevel.activated && (!latest || toplevel.activatedAt > latest->activatedAt))
            latest = &toplevel;
    }
    if (!latest)
        return std::nullopt;
    return latest->appID;
}

// Everything the listeners need, on the provider's thread.
struct WlrForeignToplevelForegroundApplicationProvider::Session {
    WlrForeignToplevelForegroundApplicationProvider* provider = nullptr;
    wl_display* display = nullptr;
    wl_registry* registry = nullptr;
    zwlr_foreign_toplevel_manager_v1* manager = nullptr;
    bool managerFinished = false;
    ForeignToplevelTracker tracker;
    std::vector<zwlr_foreign_toplevel_handle_v1*> handles;
    std::optional<std::optional<QString>> reported; // what was last resolved

    void changed() {
        const std::optional<QString> active = tracker.activeAppID();
        if (reported && *reported == active)
            return;
        reported = active;
        ForegroundWindow window;
        window.applicationID = active.value_or(QString());
        provider->m_state.set(active && !active->isEmpty() ? provider->m_resolver->resolve(window)
                                                           : std::nullopt);
    }
};

namespace {

using Session = WlrForeignToplevelForegroundApplicationProvider::Session;

uintptr_t key(zwlr_foreign_toplevel_handle_v1* handle) {
    return reinterpret_cast<uintptr_t>(handle);
}

const zwlr_foreign_toplevel_handle_v1_listener kHandleListener = {
    [](void*, zwlr_foreign_toplevel_handle_v1*, const char*) {}, // title: never read
    [](void* data, zwlr_foreign_toplevel_handle_v1* handle, const char* appID) {
        static_cast<Session*>(data)->tracker.appID(key(handle), QString::fromUtf8(appID ? appID : ""));
    },
    [](void*, zwlr_foreign_toplevel_handle_v1*, wl_output*) {},
    [](void*, zwlr_foreign_toplevel_handle_v1*, wl_output*) {},
    [](void* data, zwlr_foreign_toplevel_handle_v1* handle, wl_array* states) {
        std::vector<uint32_t> values(states ? states->size / sizeof(uint32_t) : 0);
        if (!values.empty())
            std::memcpy(values.data(), states->data, values.size() * sizeof(uint32_t));
        static_cast<Session*>(data)->tracker.state(key(handle), values);
    },
    [](void* data, zwlr_foreign_toplevel_handle_v1* handle) {
        auto* session = static_cast<Session*>(data);
        session->tracker.done(key(handle));
        session->changed();
    },
    [](void* data, zwlr_foreign_toplevel_handle_v1* handle) {
        auto* session = static_cast<Session*>(data);
        session->tracker.closed(key(handle));
        std::erase(session->handles, handle);
        zwlr_foreign_toplevel_handle_v1_destroy(handle);
        session->changed();
    },
    [](void*, zwlr_foreign_toplevel_handle_v1*, zwlr_foreign_toplevel_handle_v1*) {}, // parent
};

const zwlr_foreign_toplevel_manager_v1_listener kManagerListener = {
    [](void* data, zwlr_foreign_toplevel_manager_v1*, zwlr_foreign_toplevel_handle_v1* handle) {
        auto* session = static_cast<Session*>(data);
        session->handles.push_back(handle);
        session->tracker.toplevel(key(handle));
        zwlr_foreign_toplevel_handle_v1_add_listener(handle, &kHandleListener, session);
    },
    [](void* data, zwlr_foreign_toplevel_manager_v1*) {
        static_cast<Session*>(data)->managerFinished = true;
    },
};

const wl_registry_listener kRegistryListener = {
    [](void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t version) {
        auto* session = static_cast<Session*>(data);
        if (session->manager || std::strcmp(interface, zwlr_foreign_toplevel_manager_v1_interface.name) != 0)
            return;
        const uint32_t bound = std::min<uint32_t>(version, 3);
        session->manager = static_cast<zwlr_foreign_toplevel_manager_v1*>(
            wl_registry_bind(registry, name, &zwlr_foreign_toplevel_manager_v1_interface, bound));
        zwlr_foreign_toplevel_manager_v1_add_listener(session->manager, &kManagerListener, session);
    },
    [](void*, wl_registry*, uint32_t) {},
};

} // namespace

WlrForeignToplevelForegroundApplicationProvider::WlrForeignToplevelForegroundApplicationProvider(
    std::shared_ptr<ForegroundWindowResolver> resolver, QString desktop, QString display)
    : m_resolver(std::move(resolver)), m_desktop(std::move(desktop)), m_display(std::move(display)),
      m_state(MetricAvailability::unavailable(trText("Ön plandaki uygulama henüz okunmadı."))) {
    m_wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    m_thread = std::thread([this] { run(); });
}

WlrForeignToplevelForegroundApplicationProvider::~WlrForeignToplevelForegroundApplicationProvider() {
    const uint64_t one = 1;
    if (m_wakeFd >= 0 && ::write(m_wakeFd, &one, sizeof one) < 0) {
        // Nothing to do: the thread then ends with its connection.
    }
    if (m_thread.joinable())
        m_thread.join();
    if (m_wakeFd >= 0)
        ::close(m_wakeFd);
}

void WlrForeignToplevelForegroundApplicationProvider::run() {
    Session session;
    session.provider = this;
    const QByteArray name = m_display.toLocal8Bit();
    session.display = wl_display_connect(name.isEmpty() ? nullptr : name.constData());
    if (!session.display) {
        const QString shown = m_display.isEmpty() ? qEnvironmentVariable("WAYLAND_DISPLAY") : m_display;
        m_state.setAvailability(MetricAvailability::unavailable(
            trTemplate("Wayland bileşik yöneticisine bağlanılamadı (\\(display)).",
                       {ForegroundApplication::sanitizedName(shown)})));
        m_failed = true;
        return;
    }
    session.registry = wl_display_get_registry(session.display);
    wl_registry_add_listener(session.registry, &kRegistryListener, &session);
    bool broken = wl_display_roundtrip(session.display) < 0;
    if (!broken && !session.manager) {
        m_state.setAvailability(MetricAvailability::unavailable(
            trTemplate("\\(desktop) ön plandaki pencereyi bildiren arayüzü (wlr-foreign-toplevel-management) "
                       "sunmuyor.",
                       {m_desktop})));
    } else if (!broken) {
        // The second round trip delivers the toplevels the compositor announces on binding.
        broken = wl_display_roundtrip(session.display) < 0;
        if (!broken)
            m_state.setAvailability(MetricAvailability::available());
        session.changed();
        while (!broken && !session.managerFinished) {
            while (wl_display_prepare_read(session.display) != 0) {
                if (wl_display_dispatch_pending(session.display) < 0) {
                    broken = true;
                    break;
                }
            }
            if (broken)
                break;
            wl_display_flush(session.display);
            pollfd fds[2] = {{wl_display_get_fd(session.display), POLLIN, 0}, {m_wakeFd, POLLIN, 0}};
            if (::poll(fds, 2, -1) < 0 && errno != EINTR) {
                wl_display_cancel_read(session.display);
                broken = true;
                break;
            }
            if (fds[1].revents & POLLIN) {
                wl_display_cancel_read(session.display);
                break;
            }
            if (fds[0].revents & (POLLIN | POLLERR | POLLHUP)) {
                if (wl_display_read_events(session.display) < 0)
                    broken = true;
            } else {
                wl_display_cancel_read(session.display);
            }
            if (!broken && wl_display_dispatch_pending(session.display) < 0)
                broken = true;
        }
        if (session.managerFinished && !broken)
            m_state.setAvailability(MetricAvailability::unavailable(
                trTemplate("\\(desktop) pencere bildirimlerini durdurdu.", {m_desktop})));
    }
    if (broken) {
        m_state.setAvailability(
            MetricAvailability::unavailable(trText("Wayland bileşik yöneticisiyle bağlantı koptu.")));
        m_failed = true;
    }
    for (zwlr_foreign_toplevel_handle_v1* handle : session.handles)
        zwlr_foreign_toplevel_handle_v1_destroy(handle);
    if (session.manager)
        zwlr_foreign_toplevel_manager_v1_destroy(session.manager);
    wl_registry_destroy(session.registry);
    wl_display_disconnect(session.display);
}

} // namespace kestrum
