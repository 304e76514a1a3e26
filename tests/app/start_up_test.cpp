// The program before its window: the command line and the display check, run as the real binary.
#include "app/start_up.h"

#include <gtest/gtest.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>

namespace tollenby {
namespace {

struct ProgramRun {
    int exitCode = -1;
    QString out;
    QString err;
};

// Runs the program with no display unless `environment` names one. Bounded in time.
ProgramRun Start(const QStringList& arguments, const QStringList& environment = {}) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(QString::fromUtf8(name));
    for (const QString& pair : environment) env.insert(pair.section('=', 0, 0), pair.section('=', 1));
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(TOLLENBY_PROGRAM), arguments);
    ProgramRun run;
    if (!process.waitForFinished(30000)) {
        process.kill();
        process.waitForFinished(5000);
        return run;
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
    run.out = QString::fromLocal8Bit(process.readAllStandardOutput());
    run.err = QString::fromLocal8Bit(process.readAllStandardError());
    return run;
}

TEST(StartUp, HelpAndVersionNeedNoDisplay) {
    ProgramRun help = Start({"--help"});
    EXPECT_EQ(help.exitCode, 0) << help.err.toStdString();
    EXPECT_TRUE(help.out.contains("--version")) << help.out.toStdString();
    EXPECT_TRUE(help.out.contains("tollenby-cli")) << help.out.toStdString();

    ProgramRun version = Start({"--version"});
    EXPECT_EQ(version.exitCode, 0) << version.err.toStdString();
    EXPECT_EQ(version.out, QStringLiteral("tollenby %1\n").arg(TOLLENBY_VERSION));
}

TEST(StartUp, WithoutADisplayOneLineAndStatusOne) {
    const QString line = QString::fromUtf8(NoDisplayLine()) + '\n';
    ProgramRun none = Start({});
    EXPECT_EQ(none.exitCode, 1);
    EXPECT_EQ(none.err, line);
    EXPECT_TRUE(none.out.isEmpty());

    // A display that is named but not there ends the same way, after Qt's own reason.
    ProgramRun unreachable = Start({}, {"DISPLAY=:4711"});
    EXPECT_EQ(unreachable.exitCode, 1) << unreachable.err.toStdString();
    EXPECT_TRUE(unreachable.err.endsWith(line)) << unreachable.err.toStdString();
}

TEST(StartUp, AForcedPlatformIsLeftToQt) {
    // The offscreen platform needs no display; an unknown option is then refused by name.
    ProgramRun run = Start({"-platform", "offscreen", "--no-such-option"});
    EXPECT_EQ(run.exitCode, 1) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains("no-such-option")) << run.err.toStdString();
    EXPECT_FALSE(run.err.contains(QString::fromUtf8(NoDisplayLine())));
}

}  // namespace
}  // namespace tollenby
