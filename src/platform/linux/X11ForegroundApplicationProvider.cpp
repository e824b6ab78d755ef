#include "X11ForegroundApplicationProvider.h"

#include "foundation/Translatable.h"

#include <QStringDecoder>
#include <algorithm>
#include <cstring>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>
#include <xcb/xcb.h>
#include <xcb/xproto.h>

namespace kestrum {

namespace X11Properties {

std::optional<uint32_t> firstWord(const QByteArray& raw) {
    if (raw.size() < 4)
        return std::nullopt;
    uint32_t word = 0;
    std::memcpy(&word, raw.constData(), sizeof word);
    return word;
}

std::vector<uint32_t> words(const QByteArray& raw) {
    std::vector<uint32_t> out(static_cast<size_t>(raw.size() / 4));
    if (!out.empty())
        std::memcpy(out.data(), raw.constData(), out.size() * sizeof(uint32_t));
    return out;
}

namespace {

// ICCCM says Latin-1; many programs write UTF-8 anyway. Text that decodes as UTF-8 is taken as such.
QString decoded(QByteArrayView bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8(bytes);
    if (!utf8.hasError())
        return text;
    return QString::fromLatin1(bytes);
}

} // namespace

std::pair<QString, QString> wmClass(const QByteArray& raw) {
    const qsizetype firstEnd = raw.indexOf('\0');
    if (firstEnd < 0)
        return {decoded(raw), {}};
    const QByteArrayView instance(raw.constData(), firstEnd);
    const QByteArrayView rest = QByteArrayView(raw).sliced(firstEnd + 1);
    const qsizetype secondEnd = rest.indexOf('\0');
    return {decoded(instance), decoded(secondEnd < 0 ? rest : rest.first(secondEnd))};
}

QString text(const QByteArray& raw) {
    const qsizetype end = raw.indexOf('\0');
    return decoded(end < 0 ? QByteArrayView(raw) : QByteArrayView(raw).first(end));
}

} // namespace X11Properties

X11ActiveWindowReading readX11ActiveWindow(X11PropertySource& source) {
    X11ActiveWindowReading reading;
    const auto supported = source.property(0, X11Property::supported);
    const auto activeAtom = source.atom(X11Property::activeWindow);
    const auto atoms = supported ? X11Properties::words(*supported) : std::vector<uint32_t>{};
    if (!activeAtom || std::find(atoms.begin(), atoms.end(), *activeAtom) == atoms.end()) {
        reading.unavailableReason =
            trText("Pencere yöneticisi etkin pencereyi bildirmiyor (_NET_ACTIVE_WINDOW yok).");
        return reading;
    }
    const auto active = source.property(0, X11Property::activeWindow);
    const auto window = active ? X11Properties::firstWord(*active) : std::nullopt;
    if (!window || *window == 0)
        return reading; // nothing is focused
    ForegroundWindow foreground;
    if (const auto cls = source.property(*window, X11Property::wmClass)) {
        const auto [instance, className] = X11Properties::wmClass(*cls);
        foreground.windowInstance = instance;
        foreground.windowClass = className;
    }
    const auto machine = source.property(*window, X11Property::wmClientMachine);
    const QString host = machine ? X11Properties::text(*machine) : QString();
    if (host.isEmpty() || host == source.localHostName()) {
        const auto pid = source.property(*window, X11Property::wmPid);
        if (const auto value = pid ? X11Properties::firstWord(*pid) : std::nullopt; value && *value > 0)
            foreground.pid = *value;
    }
    reading.window = foreground;
    return reading;
}

namespace {

class XcbPropertySource : public X11PropertySource {
public:
    XcbPropertySource(xcb_connection_t* connection, xcb_window_t root)
        : m_connection(connection), m_root(root) {
        const char* names[] = {"_NET_SUPPORTED", "_NET_ACTIVE_WINDOW", "_NET_WM_PID"};
        xcb_intern_atom_cookie_t cookies[3];
        for (int i = 0; i < 3; ++i)
            cookies[i] =
                xcb_intern_atom(m_connection, 0, static_cast<uint16_t>(std::strlen(names[i])), names[i]);
        for (int i = 0; i < 3; ++i) {
            if (xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(m_connection, cookies[i], nullptr)) {
                m_atoms[i] = reply->atom;
                std::free(reply);
            }
        }
        char host[256] = {};
        if (::gethostname(host, sizeof host - 1) == 0)
            m_hostName = QString::fromLocal8Bit(host);
    }

    std::optional<uint32_t> atom(X11Property which) override {
        switch (which) {
        case X11Property::supported:
            return valid(m_atoms[0]);
        case X11Property::activeWindow:
            return valid(m_atoms[1]);
        case X11Property::wmPid:
            return valid(m_atoms[2]);
        case X11Property::wmClass:
            return XCB_ATOM_WM_CLASS;
        case X11Property::wmClientMachine:
            return XCB_ATOM_WM_CLIENT_MACHINE;
        }
        return std::nullopt;
    }

    std::optional<QByteArray> property(uint32_t window, X11Property which) override {
        const auto name = atom(which);
        if (!name)
            return std::nullopt;
        // A bounded read: a hostile client cannot make Kestrum fetch megabytes of window class.
        const uint32_t words = which == X11Property::supported ? 4096 : 1024;
        const xcb_get_property_cookie_t cookie = xcb_get_property(
            m_connection, 0, window == 0 ? m_root : window, *name, XCB_GET_PROPERTY_TYPE_ANY, 0, words);
        xcb_get_property_reply_t* reply = xcb_get_property_reply(m_connection, cookie, nullptr);
        if (!reply)
            return std::nullopt;
        std::optional<QByteArray> out;
        if (reply->type != XCB_ATOM_NONE && (reply->format == 8 || reply->format == 32)) {
            const int length = xcb_get_property_value_length(reply);
            out = QByteArray(static_cast<const char*>(xcb_get_property_value(reply)), std::max(length, 0));
        }
        std::free(reply);
        return out;
    }

    QString localHostName() const override { return m_hostName; }

private:
    static std::optional<uint32_t> valid(xcb_atom_t atom) {
        return atom == XCB_ATOM_NONE ? std::nullopt : std::optional<uint32_t>(atom);
    }

    xcb_connection_t* m_connection;
    xcb_window_t m_root;
    xcb_atom_t m_atoms[3] = {XCB_ATOM_NONE, XCB_ATOM_NONE, XCB_ATOM_NONE};
    QString m_hostName;
};

} // namespace

X11ForegroundApplicationProvider::X11ForegroundApplicationProvider(
    std::shared_ptr<ForegroundWindowResolver> resolver, QString display)
    : m_resolver(std::move(resolver)), m_display(std::move(display)),
      m_state(MetricAvailability::unavailable(trText("Ön plandaki uygulama henüz okunmadı."))) {
    m_wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    m_thread = std::thread([this] { run(); });
}

X11ForegroundApplicationProvider::~X11ForegroundApplicationProvider() {
    const uint64_t one = 1;
    if (m_wakeFd >= 0 && ::write(m_wakeFd, &one, sizeof one) < 0) {
        // The thread is told through its poll; without the eventfd it was never started waiting.
    }
    if (m_thread.joinable())
        m_thread.join();
    if (m_wakeFd >= 0)
        ::close(m_wakeFd);
}

void X11ForegroundApplicationProvider::run() {
    const QByteArray displayName = m_display.toLocal8Bit();
    int screenNumber = 0;
    xcb_connection_t* connection =
        xcb_connect(displayName.isEmpty() ? nullptr : displayName.constData(), &screenNumber);
    if (xcb_connection_has_error(connection)) {
        const QString shown = m_display.isEmpty() ? qEnvironmentVariable("DISPLAY") : m_display;
        m_state.setAvailability(MetricAvailability::unavailable(trTemplate(
            "X sunucusuna bağlanılamadı (\\(display)).", {ForegroundApplication::sanitizedName(shown)})));
        m_failed = true;
        xcb_disconnect(connection);
        return;
    }
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int i = 0; i < screenNumber && screens.rem > 0; ++i)
        xcb_screen_next(&screens);
    const xcb_window_t root = screens.data->root;
    XcbPropertySource source(connection, root);
    const uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_change_window_attributes(connection, root, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(connection);
    const auto activeAtom = source.atom(X11Property::activeWindow);
    const auto supportedAtom = source.atom(X11Property::supported);

    bool changed = true;
    for (;;) {
        while (xcb_generic_event_t* event = xcb_poll_for_event(connection)) {
            if ((event->response_type & 0x7f) == XCB_PROPERTY_NOTIFY) {
                const auto* notify = reinterpret_cast<const xcb_property_notify_event_t*>(event);
                if (notify->window == root && (notify->atom == activeAtom || notify->atom == supportedAtom))
                    changed = true;
            }
            std::free(event);
        }
        if (xcb_connection_has_error(connection)) {
            m_state.setAvailability(MetricAvailability::unavailable(trText("X sunucusuyla bağlantı koptu.")));
            m_failed = true;
            break;
        }
        if (changed) {
            changed = false;
            const X11ActiveWindowReading reading = readX11ActiveWindow(source);
            if (reading.unavailableReason) {
                m_state.setAvailability(MetricAvailability::unavailable(*reading.unavailableReason));
            } else {
                m_state.setAvailability(MetricAvailability::available());
                m_state.set(reading.window ? m_resolver->resolve(*reading.window) : std::nullopt);
            }
            continue; // the round trips may have queued events
        }
        pollfd fds[2] = {{xcb_get_file_descriptor(connection), POLLIN, 0}, {m_wakeFd, POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0 && errno != EINTR)
            break;
        if (fds[1].revents & POLLIN)
            break;
    }
    xcb_disconnect(connection);
}

} // namespace kestrum
