#pragma once
// What the benchmarks share: the median time of each benchmark (kept for the
// ratio a benchmark prints at the end), timing two ways of one job in turn,
// waiting on the event loop, starting a program, and stopping at a message
// box.
#include "toolkit/Dialogs.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <map>
#include <spawn.h>
#include <string>
#include <unistd.h>
#include <vector>

extern char** environ;

// A figure of this process's /proc/self/status in kB ("VmHWM:", "VmRSS:"),
// -1 when it is not there.
inline long StatusKb(const char* key)
{
    std::ifstream in("/proc/self/status");
    std::string line;
    const std::size_t n = std::strlen(key);
    while (std::getline(in, line))
        if (line.compare(0, n, key) == 0)
            return std::stol(line.substr(n + 1));
    return -1;
}

class MedianCollector : public benchmark::ConsoleReporter {
public:
    std::map<std::string, double> Median;
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& r : runs)
            if (r.run_type == Run::RT_Aggregate && r.aggregate_name == "median")
                Median[r.run_name.function_name] = r.GetAdjustedRealTime();
        ConsoleReporter::ReportRuns(runs);
    }
};

// The medians, in milliseconds, of two ways of one job timed in turn.
struct InTurn {
    double FirstMs = 0, SecondMs = 0;
    double Ratio() const { return SecondMs > 0 ? FirstMs / SecondMs : 0; }
};

// Times `first` and `second` in turn within each iteration of `state`, which
// goes first alternating: on a shared machine both meet the same load, and
// their medians compare. The iteration's time is `first`'s (use
// UseManualTime). Sets the counters NAME_ms of both and "ratio", first /
// second.
inline InTurn TimeInTurn(benchmark::State& state, const char* firstName, const std::function<void()>& first,
                         const char* secondName, const std::function<void()>& second)
{
    std::vector<double> a, b;
    const auto timed = [](const std::function<void()>& job, std::vector<double>& into) {
        const auto t0 = std::chrono::steady_clock::now();
        job();
        into.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
        return into.back();
    };
    for (auto _ : state) {
        const bool firstGoesFirst = a.size() % 2 == 0;
        if (!firstGoesFirst)
            timed(second, b);
        state.SetIterationTime(timed(first, a) / 1000);
        if (firstGoesFirst)
            timed(second, b);
    }
    const auto median = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v.empty() ? 0.0 : v[v.size() / 2];
    };
    const InTurn result{median(a), median(b)};
    state.counters[std::string(firstName) + "_ms"] = result.FirstMs;
    state.counters[std::string(secondName) + "_ms"] = result.SecondMs;
    state.counters["ratio"] = result.Ratio();
    return result;
}

// Runs the event loop until `done` or `ms` have passed (the show decodes its
// pictures off the window's thread); true when done.
inline bool WaitUntil(const std::function<bool()>& done, int ms = 10000)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < ms) {
        QCoreApplication::processEvents();
        QThread::msleep(1);
    }
    return done();
}

// Starts args[0] (looked up on PATH) with this process's environment, where
// each entry of `env` replaces the variable of its name ("NAME=VALUE") or
// removes it ("NAME"). Standard output and error go to /dev/null when not
// wanted. The process id, or 0 when it cannot start.
inline pid_t SpawnWith(const std::vector<std::string>& args, const std::vector<std::string>& env, bool keepOutput,
                       bool keepErrors)
{
    std::vector<std::string> vars;
    for (char** e = environ; *e; ++e) {
        bool replaced = false;
        for (const std::string& v : env) {
            const std::string name = v.substr(0, v.find('=')) + "=";
            replaced = replaced || std::strncmp(*e, name.c_str(), name.size()) == 0;
        }
        if (!replaced)
            vars.emplace_back(*e);
    }
    for (const std::string& v : env)
        if (v.find('=') != std::string::npos)
            vars.push_back(v);
    std::vector<std::string> a = args;
    std::vector<char*> envp, argv;
    for (std::string& v : vars)
        envp.push_back(v.data());
    envp.push_back(nullptr);
    for (std::string& s : a)
        argv.push_back(s.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!keepOutput)
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    if (!keepErrors)
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int r = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    return r == 0 ? pid : 0;
}

// A benchmark measures the path that works: any message box the program would
// show ends the run, with its text, instead of being timed.
inline void StopAtAnyMessage()
{
    SetMessageHook([](const TMessage& m) {
        std::fprintf(stderr, "%s\n", qPrintable(m.Text));
        std::abort();
        return TMsgResult::OK;
    });
}
