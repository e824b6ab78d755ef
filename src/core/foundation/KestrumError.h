#pragma once

#include <QException>
#include <QString>

namespace kestrum {

// Every failure the user can see: `description()` is the exact Turkish sentence shown unchanged.
// `code` lets callers tell kinds apart without comparing texts. Derives from QException so that it
// crosses QFuture boundaries intact.
class KestrumError : public QException {
public:
    KestrumError(QString code, QString description);

    const QString& code() const noexcept { return m_code; }
    const QString& description() const noexcept { return m_description; }
    const char* what() const noexcept override { return m_utf8.constData(); }

    void raise() const override { throw *this; }
    KestrumError* clone() const override { return new KestrumError(*this); }

private:
    QString m_code;
    QString m_description;
    QByteArray m_utf8;
};

// A user-started operation that was cancelled. Never reported as a failure.
class CancellationError : public QException {
public:
    const char* what() const noexcept override { return "operation cancelled"; }
    void raise() const override { throw *this; }
    CancellationError* clone() const override { return new CancellationError(*this); }
};

// The description of whatever was thrown: our own sentence when it is ours, else a generic text.
QString describeException(std::exception_ptr error);

} // namespace kestrum
