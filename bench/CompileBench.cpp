// How long a compile of ten 10 MB pictures takes, against `cat` copying the
// same bytes in the same run: the pictures into a store, then the player and
// the store into the screensaver, then the store removed. Reported as the
// counter "ratio" (compile time / cat time); the goal is at most 1.3.
#include "BenchSupport.h"
#include "compiler/ImageStore.h"
#include "project/Project.h"
#include "toolkit/Dialogs.h"
#include "toolkit/Files.h"
#include "toolkit/Toolkit.h"

#include <QByteArray>
#include <QTemporaryDir>

#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int Pictures = 10;
constexpr qint64 PictureBytes = 10 * 1024 * 1024;
constexpr qint64 StubBytes = 256 * 1024;

void WriteRandomFile(const QString& path, qint64 size, unsigned seed)
{
    std::mt19937 gen(seed);
    QByteArray bytes(size, Qt::Uninitialized);
    auto* words = reinterpret_cast<std::uint32_t*>(bytes.data());
    for (qint64 i = 0; i < size / 4; ++i)
        words[i] = gen();
    TFileStream f(path, TFileStream::fmCreate);
    f.WriteBuffer(bytes.constData(), std::size_t(bytes.size()));
    f.Close();
}

struct Fixture {
    QTemporaryDir programDir;
    QTemporaryDir projectDir;
    std::string catCommand;

    Fixture()
    {
        const QString program = IncludeTrailingPathDelimiter(programDir.path());
        const QString folder = IncludeTrailingPathDelimiter(projectDir.path());
        WriteRandomFile(program + QStringLiteral("GLIMMER.BIN"), StubBytes, 1);
        Project().ProgramFolder = program;
        Project().ProjectFolder = folder;
        Project().ProjectFile = QStringLiteral("BENCH.SSJ");
        Project().Settings = NewProjectSettings();
        Project().Settings.ImageCount = Pictures;
        SetCurrentDir(folder);
        QString pics;
        for (int k = 1; k <= Pictures; ++k) {
            const QString name = QStringLiteral("PIC%1.JPG").arg(k, 2, 10, QLatin1Char('0'));
            WriteRandomFile(folder + name, PictureBytes, unsigned(100 + k));
            Project().Settings.Slot(k).SetName(name);
            pics += QLatin1Char(' ') + name;
        }
        catCommand = QStringLiteral("cat%1 > CAT.SSC && cat '%2GLIMMER.BIN' CAT.SSC > CAT.SCR && rm CAT.SSC")
                         .arg(pics, program)
                         .toStdString();
        StopAtAnyMessage();
    }
};

double Seconds(std::chrono::steady_clock::duration d) { return std::chrono::duration<double>(d).count(); }

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// The machine is shared, so the two are timed in turn within each iteration,
// in alternating order, and compared by their medians.
void BM_CompileVsCat(benchmark::State& state)
{
    static Fixture fixture;
    std::vector<double> compileTimes, catTimes;
    const auto compile = [&] {
        const auto t0 = std::chrono::steady_clock::now();
        try {
            CompileScreenSaver();
        } catch (const std::exception& e) {
            state.SkipWithError(e.what());
        }
        const double t = Seconds(std::chrono::steady_clock::now() - t0);
        compileTimes.push_back(t);
        return t;
    };
    const auto cat = [&] {
        const auto t0 = std::chrono::steady_clock::now();
        if (std::system(fixture.catCommand.c_str()) != 0)
            state.SkipWithError("cat failed");
        catTimes.push_back(Seconds(std::chrono::steady_clock::now() - t0));
    };
    for (auto _ : state) {
        double t;
        if (compileTimes.size() % 2 == 0) {
            t = compile();
            cat();
        } else {
            cat();
            t = compile();
        }
        state.SetIterationTime(t);
    }
    const double catMedian = Median(catTimes);
    state.counters["cat_ms"] = catMedian * 1000;
    state.counters["compile_ms"] = Median(compileTimes) * 1000;
    state.counters["ratio"] = catMedian > 0 ? Median(compileTimes) / catMedian : 0;
    state.SetBytesProcessed(state.iterations() * (Pictures * PictureBytes * 2 + StubBytes));
}
BENCHMARK(BM_CompileVsCat)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(15);

} // namespace

int main(int argc, char** argv)
{
    InitToolkit();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
