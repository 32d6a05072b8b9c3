// How long a compile of ten 10 MB pictures takes, against `cat` writing the
// same two files from the same bytes in the same run: NAME.SCR (the player,
// the record, the pictures) and WINDOWS/NAME.SCR (the Windows player, the
// same store). Reported as the counter "ratio" (compile time / cat time); the
// goal is at most 1.05, as both write each byte of each file once, in the
// kernel.
//
// And as a user runs it, start-up included: `glimmer --compile` of ten
// camera-sized photos (12 MP, 3.3 MB each) with the real players, against
// cat writing the same two files, and the same command on a project of one
// small picture, which is mostly the program's start.
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
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

namespace {

constexpr int Pictures = 10;
constexpr qint64 PictureBytes = 10 * 1024 * 1024;
constexpr qint64 StubBytes = 640 * 1024;      // about the players' sizes
constexpr qint64 WindowsStubBytes = 400 * 1024;
constexpr qint64 CameraPhotoBytes = 3300 * 1024;   // a 12 MP photo as a camera writes it

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

struct CommandFixture {
    QTemporaryDir dir;
    std::string compile, small, cat;

    CommandFixture()
    {
        char self[PATH_MAX];
        const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
        const std::string here(self, std::size_t(std::max<ssize_t>(n, 0)));
        const std::string bin = here.substr(0, here.rfind('/')) + "/../bin/";
        const QString folder = IncludeTrailingPathDelimiter(dir.path());
        const std::string at = folder.toStdString();
        SaverSettings photos = newProjectSettings(), one = newProjectSettings();
        std::string pics;
        for (int k = 1; k <= Pictures; ++k) {
            const QString name = QStringLiteral("IMG%1.JPG").arg(k, 2, 10, QLatin1Char('0'));
            WriteRandomFile(folder + name, CameraPhotoBytes, unsigned(200 + k));
            setSlotName(photos.Slot(k), name);
            pics += " '" + at + name.toStdString() + "'";
        }
        photos.ImageCount = Pictures;
        WriteRandomFile(folder + QStringLiteral("SMALL.JPG"), 4096, 300);
        setSlotName(one.Slot(1), QStringLiteral("SMALL.JPG"));
        one.ImageCount = 1;
        // The projects, and the record as the compile writes it, for cat.
        const auto write = [&](const char* name, const SaverSettings& settings) {
            const SettingsBytes bytes = settings.Encode();
            QFile f(folder + QLatin1String(name));
            if (!f.open(QIODevice::WriteOnly) ||
                f.write(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size())) != qint64(bytes.size()))
                std::abort();
        };
        write("PHOTOS.SSJ", photos);
        write("RECORD", photos);
        write("SMALL.SSJ", one);
        QDir(folder).mkdir(QStringLiteral("CATWIN"));
        compile = "'" + bin + "glimmer' --compile '" + at + "PHOTOS.SSJ' >/dev/null";
        small = "'" + bin + "glimmer' --compile '" + at + "SMALL.SSJ' >/dev/null";
        cat = "cat '" + bin + "GLIMMER.BIN' '" + at + "RECORD'" + pics + " > '" + at + "CAT.SCR' && cat '" + bin +
              "GLIMMER.EXE' '" + at + "RECORD'" + pics + " > '" + at + "CATWIN/CAT.SCR'";
    }
};

void BM_CommandCompileVsCat(benchmark::State& state)
{
    static CommandFixture fixture;
    const auto run = [&](const std::string& command) {
        return [&state, &command] {
            if (std::system(command.c_str()) != 0)
                state.SkipWithError(("failed: " + command).c_str());
        };
    };
    const InTurn t = TimeInTurn(state, "command", run(fixture.compile), "cat", run(fixture.cat));
    std::vector<double> small;
    for (int i = 0; i < 9; ++i) {
        const auto t0 = std::chrono::steady_clock::now();
        run(fixture.small)();
        small.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
    }
    std::nth_element(small.begin(), small.begin() + 4, small.end());
    state.counters["startup_ms"] = small[4];
    std::printf("Command compile: ratio %.2f (%.0f ms against %.0f ms for cat; one small picture: %.0f ms)\n", t.Ratio(),
                t.FirstMs, t.SecondMs, small[4]);
}
BENCHMARK(BM_CommandCompileVsCat)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(15);

} // namespace

int main(int argc, char** argv)
{
    InitToolkit();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
