#pragma once

#include "LaunchAtLoginStore.h"

#include <QJSEngine>
#include <QObject>
#include <QQmlEngine>

namespace kestrum {

struct ForeignLaunchAtLoginStore {
    Q_GADGET
    QML_FOREIGN(kestrum::LaunchAtLoginStore)
    QML_NAMED_ELEMENT(LaunchAtLoginStore)
    QML_UNCREATABLE("Made by the application.")
};

// What the views reach of the desktop integration: opening at login.
class Desktop : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(LaunchAtLoginStore* launchAtLogin READ launchAtLogin CONSTANT)

public:
    explicit Desktop(LaunchAtLoginStore& launchAtLogin, QObject* parent = nullptr)
        : QObject(parent), m_launchAtLogin(launchAtLogin) {}
    static Desktop* create(QQmlEngine* engine, QJSEngine*);
    LaunchAtLoginStore* launchAtLogin() const { return &m_launchAtLogin; }

private:
    LaunchAtLoginStore& m_launchAtLogin;
};

} // namespace kestrum
