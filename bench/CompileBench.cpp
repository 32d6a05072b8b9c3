// How long a compile of ten 10 MB pictures takes, against `cat` writing the
// same two files from the same bytes in the same run: NAME.SCR (the player,
// the record, the pictures) and WINDOWS/NAME.SCR (the Windows player, the
// same store). Reported as the counter "ratio" (compile time / cat time); the
// goal is at most 1.05, as both write each byte of each file once, in the
// kernel.
#include "BenchSupport.h"
#include "compiler/ImageStore.h"
#include "project/Project.h"
#include "toolkit/Dialogs.h"
#include "toolkit/Files.h"
#include "toolkit/Toolkit.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

namespace {

constexpr int Pictures = 10;
constexpr qint64 PictureBytes = 10 * 1024 * 1024;
constexpr qint64 StubBytes = 640 * 1024;      // about the players' sizes
constexpr qint64 WindowsStubBytes = 400 * 1024;

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
        WriteRandomFile(program + QStringLiteral("GLIMMER.EXE"), WindowsStubBytes, 2);
        Project().ProgramFolder = program;
        Project().ProjectFolder = folder;
        Project().ProjectFile = QStringLiteral("BENCH.SSJ");
        Project().Settings = newProjectSettings();
        Project().Settings.ImageCount = Pictures;
        SetCurrentDir(folder);
        QString pics;
        for (int k = 1; k <= Pictures; ++k) {
            const QString name = QStringLiteral("PIC%1.JPG").arg(k, 2, 10, QLatin1Char('0'));
            WriteRandomFile(folder + name, PictureBytes, unsigned(100 + k));
            setSlotName(Project().Settings.Slot(k), name);
            pics += QLatin1Char(' ') + name;
        }
        // The record, as the compile writes it, for cat to take as one more file.
        compileProject(Project());
        QFile saver(folder + QStringLiteral("BENCH.SCR"));
        QFile record(program + QStringLiteral("RECORD"));
        if (!saver.open(QIODevice::ReadOnly) || !saver.seek(StubBytes) || !record.open(QIODevice::WriteOnly)
            || record.write(saver.read(SaverSettingsSize)) != SaverSettingsSize)
            std::abort();
        record.close();
        QDir().mkdir(QStringLiteral("CATWIN"));
        catCommand = QStringLiteral("cat '%1GLIMMER.BIN' '%1RECORD'%2 > CAT.SCR && "
                                    "cat '%1GLIMMER.EXE' '%1RECORD'%2 > CATWIN/CAT.SCR")
                         .arg(program, pics)
                         .toStdString();
        StopAtAnyMessage();
    }
};

void BM_CompileVsCat(benchmark::State& state)
{
    static Fixture fixture;
    const auto compile = [&] {
        try {
            if (compileProject(Project()).Windows.State != TWindowsSaver::Written)
                state.SkipWithError("no Windows screensaver");
        } catch (const std::exception& e) {
            state.SkipWithError(e.what());
        }
    };
    const auto cat = [&] {
        if (std::system(fixture.catCommand.c_str()) != 0)
            state.SkipWithError("cat failed");
    };
    TimeInTurn(state, "compile", compile, "cat", cat);
    state.SetBytesProcessed(state.iterations() * (Pictures * PictureBytes * 2 + StubBytes + WindowsStubBytes));
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
