// Start-up: from process start to the main window's first paint, against a
// minimal Qt program that shows one plain window of the same size, both on
// the offscreen platform and timed side by side in one run, in alternating
// order. Each program quits as soon as its window has painted once (Glimmer
// through GLIMMER_QUIT_AFTER_SHOW=1), so a run is process start to first
// paint plus the same short exit for both. Reported as the counter "ratio"
// (Glimmer / minimal window); the goal is at most 1.5.
#include "BenchSupport.h"

#include <QApplication>
#include <QEvent>
#include <QScreen>
#include <QWidget>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr char MinimalFlag[] = "--minimal-window";

class QuitAfterFirstPaint : public QObject {
protected:
    bool eventFilter(QObject* o, QEvent* e) override
    {
        if (e->type() == QEvent::Paint) {
            o->removeEventFilter(this);
            QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
        }
        return false;
    }
};

// The program compared against: one plain window over the screen's working
// area, as Glimmer's main window is.
int RunMinimalWindow(int argc, char** argv)
{
    QApplication app(argc, argv);
    QWidget w;
    if (QScreen* s = QGuiApplication::primaryScreen())
        w.setGeometry(s->availableGeometry());
    QuitAfterFirstPaint quit;
    w.installEventFilter(&quit);
    w.show();
    return app.exec();
}

std::string Self()
{
    char path[4096];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0)
        return {};
    return std::string(path, std::size_t(n));
}

std::string glimmer;   // the program, in the build's bin/ folder
std::string self;

// Runs the program to its end and returns the seconds it took.
double TimeRun(const std::vector<std::string>& args)
{
    const auto t0 = std::chrono::steady_clock::now();
    const pid_t pid = SpawnWith(args, {"QT_QPA_PLATFORM=offscreen", "GLIMMER_QUIT_AFTER_SHOW=1"}, true, false);
    if (pid == 0)
        return -1;
    int status = 0;
    waitpid(pid, &status, 0);
    const double t = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? t : -1;
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

double lastRatio = 0, lastGlimmerMs = 0, lastMinimalMs = 0;

void BM_StartupVsMinimalWindow(benchmark::State& state)
{
    std::vector<double> glimmerTimes, minimalTimes;
    const auto runGlimmer = [&] {
        const double t = TimeRun({glimmer});
        if (t < 0)
            state.SkipWithError("glimmer did not start and quit");
        glimmerTimes.push_back(t);
        return t;
    };
    const auto runMinimal = [&] {
        const double t = TimeRun({self, MinimalFlag});
        if (t < 0)
            state.SkipWithError("the minimal window did not start and quit");
        minimalTimes.push_back(t);
    };
    runGlimmer();   // warm the file cache for both
    runMinimal();
    glimmerTimes.clear();
    minimalTimes.clear();
    for (auto _ : state) {
        double t;
        if (glimmerTimes.size() % 2 == 0) {
            t = runGlimmer();
            runMinimal();
        } else {
            runMinimal();
            t = runGlimmer();
        }
        state.SetIterationTime(t);
    }
    lastGlimmerMs = Median(glimmerTimes) * 1000;
    lastMinimalMs = Median(minimalTimes) * 1000;
    lastRatio = lastMinimalMs > 0 ? lastGlimmerMs / lastMinimalMs : 0;
    state.counters["glimmer_ms"] = lastGlimmerMs;
    state.counters["minimal_ms"] = lastMinimalMs;
    state.counters["ratio"] = lastRatio;
}
BENCHMARK(BM_StartupVsMinimalWindow)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(21);

} // namespace

int main(int argc, char** argv)
{
    if (argc > 1 && std::strcmp(argv[1], MinimalFlag) == 0)
        return RunMinimalWindow(argc, argv);
    self = Self();
    const std::string folder = self.substr(0, self.rfind('/'));
    glimmer = folder + "/../bin/glimmer";
    if (access(glimmer.c_str(), X_OK) != 0) {
        std::fprintf(stderr, "%s not found: build the program first\n", glimmer.c_str());
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (lastRatio > 0)
        std::printf("\nStart-up: Glimmer %.1f ms, minimal Qt window %.1f ms, ratio %.3f (target at most 1.50)\n",
                    lastGlimmerMs, lastMinimalMs, lastRatio);
    return 0;
}
