#pragma once

#include "measurement/SnapshotPresentation.h"

#include <QJsonValue>
#include <QString>
#include <QStringList>
#include <exception>
#include <functional>
#include <optional>
#include <qcoro/qcorotask.h>

namespace kestrum::cli {

// Exit codes of every command.
enum ExitCode { success = 0, failure = 1, usageError = 2, interrupted = 130 };

// A command's arguments after the command word. Options are taken out by name; whatever is left must
// be positional, else it is a usage error. Everything after a lone "--" is positional, so that a note
// may start with "-".
class Arguments {
public:
    explicit Arguments(QStringList arguments);

    bool takeFlag(const QString& name);
    // The value after `name` (or in `name=value` form); absent when the option is not given.
    // Throws UsageError when the option is given without a value.
    std::optional<QString> takeOption(const QString& name);
    // A finite number within [minimum, maximum] ("0.5" or "0,5"); throws UsageError otherwise.
    std::optional<double> takeNumber(const QString& name, double minimum, double maximum);
    // A whole number within [minimum, maximum]; throws UsageError otherwise.
    std::optional<long long> takeInteger(const QString& name, long long minimum, long long maximum);
    // The remaining positional arguments; throws UsageError on a leftover option.
    QStringList positionals() const;
    // Whether --help or -h is among the options.
    bool asksForHelp() const;

private:
    QStringList m_arguments;
    QStringList m_afterSeparator;
};

struct UsageError {
    QString message;
};

void printLine(const QString& text = {});
void printError(const QString& text);
void printJson(const QJsonValue& value);
// Localised message for the user, on standard error, with "kestrum-cli: " in front.
int fail(const QString& turkishMessage, int code = failure);

// Groups as an aligned, indented block.
void printGroups(const std::vector<PresentationGroup>& groups);
// Heading line followed by a blank line.
void printHeading(const QString& text);

// Ctrl-C and SIGTERM call `handler` on the main thread (through the event loop), once per signal.
void installInterruptHandler(std::function<void()> handler);

// Waits `seconds` while the event loop keeps running; returns false when interrupted by Ctrl-C.
bool waitWithEvents(double seconds);

// Calls `action` once, `seconds` from now on the monotonic clock, while `context` lives. Any span a
// number option allows works: Qt's timers alone stop at 24.8 days.
void runAfter(double seconds, QObject* context, std::function<void()> action);

// A number as the interface writes it, without needless fraction digits ("0,1", "1000000000").
QString numberText(double value);

// Runs a task to its end on this thread's event loop and returns its value; a failure is rethrown here.
// QCoro::waitFor alone never returns when the task throws: its loop waits for an end that never comes.
template <class T> T waitForTask(QCoro::Task<T> task) {
    std::optional<T> value;
    std::exception_ptr failure;
    QCoro::waitFor(
        [](QCoro::Task<T> inner, std::optional<T>& out, std::exception_ptr& error) -> QCoro::Task<void> {
            try {
                out.emplace(co_await std::move(inner));
            } catch (...) {
                error = std::current_exception();
            }
        }(std::move(task), value, failure));
    if (failure)
        std::rethrow_exception(failure);
    return std::move(*value);
}

inline void waitForTask(QCoro::Task<void> task) {
    std::exception_ptr failure;
    QCoro::waitFor([](QCoro::Task<void> inner, std::exception_ptr& error) -> QCoro::Task<void> {
        try {
            co_await std::move(inner);
        } catch (...) {
            error = std::current_exception();
        }
    }(std::move(task), failure));
    if (failure)
        std::rethrow_exception(failure);
}

} // namespace kestrum::cli
