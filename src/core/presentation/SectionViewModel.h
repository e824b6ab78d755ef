#pragma once

#include <QObject>
#include <QTimer>

namespace kestrum {

// What every section's view model shares: store changes are coalesced into one rebuild per event-loop
// turn, and while its section is not on screen the view model only notes that it is behind and catches
// up once when it is shown again.
class SectionViewModel : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool isActive READ isActive NOTIFY isActiveChanged)

public:
    explicit SectionViewModel(QObject* parent = nullptr);

    bool isActive() const { return m_active; }
    void setActive(bool active);
    // Rebuilds now, whether or not a change is pending.
    void rebuildNow();

Q_SIGNALS:
    void isActiveChanged();

protected:
    // Rebuild on every emission of `signal` from `sender`.
    template <class Sender, class Signal> void follow(Sender* sender, Signal signal) {
        connect(sender, signal, this, &SectionViewModel::scheduleRebuild);
    }
    void scheduleRebuild();
    virtual void rebuild() = 0;

private:
    QTimer m_coalesce;
    bool m_active = true;
    bool m_stale = false;
};

} // namespace kestrum
