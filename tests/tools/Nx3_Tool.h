#pragma once
// houndex-nx3 run as a separate program, the way scripts use it.
#include <string>
#include <vector>

#include <QByteArray>
#include <QProcess>
#include <QStringList>

#include <gtest/gtest.h>

struct Tool_Run {
    int status = -1;  // -1 when the program did not end normally
    std::string out, err;
};

// Runs the tool with args, input on its standard input, waiting at most wait_ms,
// in folder (the test's own when empty).
inline Tool_Run Tool(const std::vector<std::string>& args, const QByteArray& input = QByteArray(), int wait_ms = 60000,
                     const std::string& folder = {}) {
    QProcess p;
    if (!folder.empty()) p.setWorkingDirectory(QString::fromStdString(folder));
    QStringList list;
    for (const auto& a : args) list << QString::fromStdString(a);
    p.start(QStringLiteral(HOUNDEX_NX3_PATH), list);
    EXPECT_TRUE(p.waitForStarted(10000));
    if (!input.isEmpty()) p.write(input);
    p.closeWriteChannel();
    EXPECT_TRUE(p.waitForFinished(wait_ms));
    Tool_Run r;
    r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput().toStdString();
    r.err = p.readAllStandardError().toStdString();
    return r;
}
