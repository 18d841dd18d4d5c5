// Soak of the desktop program: runs, single steps, re-set-ups and captures for some minutes, clicking the
// dialog's own buttons, while it watches the process's resident memory, open file descriptors and threads.
// Not a test: it prints the figures at the start, every minute and at the end, for a person to judge.
// Needs an X display (make soak gives it a private Xvfb). Usage: velmora-soak [MINUTES]
#include "app/main_dialog.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

struct Usage {
    double rssMiB = 0.0;
    long fds = 0;
    long threads = 0;
};

Usage usage()
{
    Usage u;
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmRSS:", 0) == 0)
            u.rssMiB = std::strtod(line.c_str() + 6, nullptr) / 1024.0;
        else if (line.rfind("Threads:", 0) == 0)
            u.threads = std::strtol(line.c_str() + 8, nullptr, 10);
    }
    for ([[maybe_unused]] const auto& fd : std::filesystem::directory_iterator("/proc/self/fd"))
        ++u.fds;
    return u;
}

void report(const char* when, double minutes, long cycles)
{
    const Usage u = usage();
    std::printf("%-6s %6.1f min %7ld cycles  RSS %7.1f MiB  %4ld fds  %3ld threads\n", when, minutes, cycles, u.rssMiB,
                u.fds, u.threads);
    std::fflush(stdout);
}

void click(velmora::MainDialog& dialog, velmora::MainDialog::ControlId id)
{
    QTest::mouseClick(static_cast<QPushButton*>(dialog.control(id)), Qt::LeftButton);
}

}  // namespace

int main(int argc, char** argv)
{
    const double minutes = argc > 1 ? std::strtod(argv[1], nullptr) : 10.0;
    QApplication app(argc, argv);
    QTemporaryDir captures;
    velmora::FormationDrawables drawables;
    velmora::MainDialog dialog(drawables);
    dialog.setMessageSink([](const QString&) {});
    long cycles = 0;
    dialog.setSaveAsPrompt([&] { return captures.filePath(cycles % 2 ? "shot.bmp" : "shot.jpg"); });
    dialog.show();
    if (!QTest::qWaitForWindowExposed(&dialog)) {
        std::fprintf(stderr, "velmora-soak: the dialog was never exposed\n");
        return 1;
    }
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    const auto elapsed = [&] { return std::chrono::duration<double, std::ratio<60>>(Clock::now() - start).count(); };
    double nextReport = 1.0;
    for (;;) {
        // One cycle: a new formation of another size and algorithm, a run of two seconds, a few single steps,
        // a capture of each view, and now and then the counterexample.
        dialog.countEdit()->setText(QString::number(2 + cycles % 9));
        dialog.algorithmListBox()->setCurrentIndex(static_cast<int>(cycles % 5));
        click(dialog, cycles % 7 == 6 ? velmora::MainDialog::setupCounterexampleId : velmora::MainDialog::setupCraftId);
        click(dialog, velmora::MainDialog::runAlgorithmId);
        QTest::qWait(2000);
        click(dialog, velmora::MainDialog::runAlgorithmId);
        for (int k = 0; k < 3; ++k) {
            click(dialog, velmora::MainDialog::runOneStepId);
            QTest::qWait(300);
        }
        click(dialog, velmora::MainDialog::captureLeftId);
        click(dialog, velmora::MainDialog::captureRightId);
        ++cycles;
        if (cycles == 1)
            report("start", elapsed(), cycles);
        if (elapsed() >= minutes)
            break;
        if (elapsed() >= nextReport) {
            report("", elapsed(), cycles);
            nextReport += 1.0;
        }
    }
    report("end", elapsed(), cycles);
    return 0;
}
