#include "app/start_up.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QStringList>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#ifndef TOLLENBY_VERSION
#define TOLLENBY_VERSION "0"
#endif

namespace tollenby {

namespace {

QStringList ArgumentList(int argc, char** argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) arguments.append(QString::fromLocal8Bit(argv[i]));
    return arguments;
}

void Describe(QCommandLineParser& parser) {
    parser.setApplicationDescription(QStringLiteral(
        "Collects the entries of a directory web site into a table and exports them as data.xls or as QR "
        "images. Needs a graphical session; tollenby-cli does the same without one."));
    parser.addHelpOption();
    parser.addVersionOption();
}

bool PlatformNamed(int argc, char** argv) {
    if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) return true;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "--platform") == 0) return true;
    }
    return false;
}

void PrintDuringStart(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type == QtFatalMsg) {
        std::fprintf(stderr, "%s\n", NoDisplayLine());
        // The application is half made: nothing may run on the way out.
        std::_Exit(1);
    }
    std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
}

}  // namespace

const char* NoDisplayLine() {
    return "tollenby: needs a graphical session, but no display could be reached (DISPLAY and "
           "WAYLAND_DISPLAY); tollenby-cli runs without one.";
}

std::optional<int> AnswerCommandLine(int argc, char** argv) {
    QCommandLineParser parser;
    Describe(parser);
    // Options of Qt's own (-platform, -style, ...) are unknown here and taken by QApplication later.
    parser.parse(ArgumentList(argc, argv));
    const bool help = parser.isSet(QStringLiteral("help"));
    const bool helpAll = parser.isSet(QStringLiteral("help-all"));
    const bool version = parser.isSet(QStringLiteral("version"));
    if (!help && !helpAll && !version) return std::nullopt;
    // The texts name the program as it was called.
    QCoreApplication core(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tollenby"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TOLLENBY_VERSION));
    // Only the parser itself can list Qt's options; it prints them and ends the process with status 0.
    if (helpAll && !help && !version) parser.process(core);
    const QString text = help ? parser.helpText()
                              : QStringLiteral("tollenby %1\n").arg(QCoreApplication::applicationVersion());
    std::fputs(text.toLocal8Bit().constData(), stdout);
    std::fflush(stdout);
    return 0;
}

std::optional<int> RefuseWithoutDisplay(int argc, char** argv) {
#if defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN)
    if (PlatformNamed(argc, argv)) return std::nullopt;
    if (!qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        return std::nullopt;
    std::fprintf(stderr, "%s\n", NoDisplayLine());
    return 1;
#else
    (void)argc;
    (void)argv;
    return std::nullopt;
#endif
}

GuardedStart::GuardedStart() {
    qInstallMessageHandler(PrintDuringStart);
}

GuardedStart::~GuardedStart() {
    qInstallMessageHandler(nullptr);
}

bool AcceptRemainingArguments(const QApplication& application) {
    QCommandLineParser parser;
    Describe(parser);
    if (!parser.parse(application.arguments())) {
        std::fprintf(stderr, "tollenby: %s\n", qPrintable(parser.errorText()));
        return false;
    }
    if (!parser.positionalArguments().isEmpty()) {
        std::fprintf(stderr, "tollenby: takes no arguments (%s); see --help\n",
                     qPrintable(parser.positionalArguments().join(QLatin1Char(' '))));
        return false;
    }
    return true;
}

}  // namespace tollenby
