#include "CliSupport.h"

#include "foundation/JsonCodec.h"
#include "foundation/Translatable.h"
#include "localisation/L10n.h"
#include "measurement/MetricFormatting.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QSocketNotifier>
#include <QTimer>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

namespace kestrum::cli {

namespace {

constexpr qint64 kTimerStepMs = 86'400'000;

int g_signalPipe[2] = {-1, -1};
bool g_interrupted = false;

void onSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(g_signalPipe[0], &byte, 1);
}

qsizetype displayWidth(const QString& text) {
    return text.toUcs4().size();
}

QString padded(const QString& text, qsizetype width) {
    return text + QString(std::max<qsizetype>(0, width - displayWidth(text)), u' ');
}

} // namespace

Arguments::Arguments(QStringList arguments) {
    const qsizetype separator = arguments.indexOf(QStringLiteral("--"));
    if (separator >= 0) {
        m_afterSeparator = arguments.mid(separator + 1);
        arguments.resize(separator);
    }
    m_arguments = std::move(arguments);
}

bool Arguments::asksForHelp() const {
    return m_arguments.contains(QStringLiteral("--help")) || m_arguments.contains(QStringLiteral("-h"));
}

bool Arguments::takeFlag(const QString& name) {
    const qsizetype index = m_arguments.indexOf(name);
    if (index < 0)
        return false;
    m_arguments.removeAt(index);
    return true;
}

std::optional<QString> Arguments::takeOption(const QString& name) {
    for (qsizetype i = 0; i < m_arguments.size(); ++i) {
        const QString& argument = m_arguments[i];
        if (argument == name) {
            if (i + 1 >= m_arguments.size())
                throw UsageError{trTemplate("\\(option) bir değer bekliyor.", {name})};
            QString value = m_arguments[i + 1];
            m_arguments.remove(i, 2);
            return value;
        }
        if (argument.startsWith(name + u'=')) {
            QString value = argument.mid(name.size() + 1);
            m_arguments.removeAt(i);
            return value;
        }
    }
    return std::nullopt;
}

std::optional<double> Arguments::takeNumber(const QString& name, double minimum, double maximum) {
    const auto text = takeOption(name);
    if (!text)
        return std::nullopt;
    QString written = text->trimmed();
    // The messages write numbers in the interface's notation, so both decimal marks are accepted.
    if (!written.contains(u'.'))
        written.replace(u',', u'.');
    bool ok = false;
    const double value = written.toDouble(&ok);
    if (!ok || !std::isfinite(value) || value < minimum || value > maximum) {
        throw UsageError{
            trTemplate("\\(option) için \\(minimum) ile \\(maximum) arasında bir sayı gerekiyor.",
                       {name, numberText(minimum), numberText(maximum)})};
    }
    return value;
}

std::optional<long long> Arguments::takeInteger(const QString& name, long long minimum, long long maximum) {
    const auto text = takeOption(name);
    if (!text)
        return std::nullopt;
    bool ok = false;
    const long long value = text->trimmed().toLongLong(&ok);
    if (!ok || value < minimum || value > maximum) {
        throw UsageError{
            trTemplate("\\(option) için \\(minimum) ile \\(maximum) arasında bir tam sayı gerekiyor.",
                       {name, numberText(double(minimum)), numberText(double(maximum))})};
    }
    return value;
}

QStringList Arguments::positionals() const {
    for (const QString& argument : m_arguments) {
        if (argument.startsWith(u"--") || (argument.startsWith(u'-') && argument.size() > 1))
            throw UsageError{trTemplate("Bilinmeyen seçenek: \\(option)", {argument})};
    }
    return m_arguments + m_afterSeparator;
}

void printLine(const QString& text) {
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
    std::fputc('\n', stdout);
}

void printError(const QString& text) {
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stderr);
    std::fputc('\n', stderr);
}

void printJson(const QJsonValue& value) {
    const QByteArray bytes = json::toDocumentBytes(value);
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
    std::fflush(stdout);
}

int fail(const QString& turkishMessage, int code) {
    printError(QStringLiteral("kestrum-cli: ") + L10n::localizedFragment(turkishMessage));
    return code;
}

void printHeading(const QString& text) {
    printLine(text);
    printLine();
}

void printGroups(const std::vector<PresentationGroup>& groups) {
    qsizetype width = 0;
    for (const auto& group : groups)
        for (const auto& row : group.rows)
            width = std::max(width, displayWidth(row.label));
    for (const auto& group : groups) {
        printLine(group.title);
        if (!group.note.isEmpty())
            printLine(QStringLiteral("  ") + group.note);
        for (const auto& row : group.rows)
            printLine(QStringLiteral("  ") + padded(row.label, width + 2) + row.value);
        printLine();
    }
    std::fflush(stdout);
}

void installInterruptHandler(std::function<void()> handler) {
    if (g_signalPipe[0] < 0) {
        if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_signalPipe) != 0)
            return;
        struct sigaction action {};
        action.sa_handler = onSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        ::sigaction(SIGINT, &action, nullptr);
        ::sigaction(SIGTERM, &action, nullptr);
    }
    auto* notifier =
        new QSocketNotifier(g_signalPipe[1], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, [handler = std::move(handler)] {
        char byte = 0;
        [[maybe_unused]] const auto n = ::read(g_signalPipe[1], &byte, 1);
        g_interrupted = true;
        handler();
    });
}

bool waitWithEvents(double seconds) {
    QEventLoop loop;
    runAfter(seconds, &loop, [&loop] { loop.quit(); });
    installInterruptHandler([&loop] { loop.exit(1); });
    return loop.exec() == 0 && !g_interrupted;
}

void runAfter(double seconds, QObject* context, std::function<void()> action) {
    // Waits in steps of at most a day towards a fixed deadline, so that no timer interval overflows.
    const auto deadline = std::make_shared<QDeadlineTimer>(
        static_cast<qint64>(std::ceil(std::max(0.0, seconds) * 1000.0)), Qt::PreciseTimer);
    auto step = std::make_shared<std::function<void()>>();
    *step = [deadline, context, action = std::move(action), weakStep = std::weak_ptr(step)] {
        const qint64 remaining = deadline->remainingTime();
        if (remaining == 0) {
            action();
            return;
        }
        QTimer::singleShot(static_cast<int>(std::min(remaining, kTimerStepMs)), Qt::PreciseTimer, context,
                           [step = weakStep.lock()] { (*step)(); });
    };
    (*step)();
}

QString numberText(double value) {
    for (int digits = 0; digits < 6; ++digits) {
        if (std::abs(value * std::pow(10.0, digits) - std::round(value * std::pow(10.0, digits))) < 1e-9)
            return MetricFormatting::number(value, digits);
    }
    return MetricFormatting::number(value, 6);
}

} // namespace kestrum::cli
