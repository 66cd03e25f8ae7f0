#pragma once

#include <benchmark/benchmark.h>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

// The median of one case's repetitions: real and CPU time in the case's unit,
// and its counters.
struct Median
{
    double real = 0;
    double cpu = 0;
    std::string unit;
    std::map<std::string, double> counters;

    double counter(const std::string &name, double otherwise = -1) const
    {
        const auto it = counters.find(name);
        return it == counters.end() ? otherwise : it->second;
    }
};

// Every case's median, by the case's function name.
using Medians = std::map<std::string, Median>;

// The usual console table, then a summary that sets each case against a
// baseline measured in the same run (each benchmark prints its own).
class MedianReporter : public benchmark::ConsoleReporter
{
public:
    explicit MedianReporter(std::function<void(const Medians &)> summary)
        : m_summary(std::move(summary))
    {
    }

    void ReportRuns(const std::vector<Run> &reports) override
    {
        ConsoleReporter::ReportRuns(reports);
        for (const Run &run : reports) {
            if (run.run_type != Run::RT_Aggregate || run.aggregate_name != "median" || run.error_occurred)
                continue;
            Median &m = m_medians[run.run_name.function_name];
            m.real = run.GetAdjustedRealTime();
            m.cpu = run.GetAdjustedCPUTime();
            m.unit = benchmark::GetTimeUnitString(run.time_unit);
            for (const auto &[name, counter] : run.counters)
                m.counters[name] = counter.value;
        }
    }

    void Finalize() override
    {
        ConsoleReporter::Finalize();
        if (m_summary)
            m_summary(m_medians);
    }

private:
    std::function<void(const Medians &)> m_summary;
    Medians m_medians;
};

// Registration of a case the summary reads: `Iterations` timed runs a
// repetition, reported as the aggregates (the median) of `Repetitions`.
//   BENCHMARK(BM_Refresh)->Apply(medianOf<7, 1>);
template <int Repetitions, int Iterations, benchmark::TimeUnit Unit = benchmark::kMillisecond>
void medianOf(benchmark::internal::Benchmark *b)
{
    b->Unit(Unit)->Iterations(Iterations)->Repetitions(Repetitions)->ReportAggregatesOnly(true);
}

// Runs the cases the command line selects; with a `summary`, it follows the
// usual table (see MedianReporter), else the default reporter prints.
inline int runBenchmarks(int &argc, char **argv, std::function<void(const Medians &)> summary = {})
{
    benchmark::Initialize(&argc, argv);
    if (summary) {
        MedianReporter reporter(std::move(summary));
        benchmark::RunSpecifiedBenchmarks(&reporter);
    } else {
        benchmark::RunSpecifiedBenchmarks();
    }
    benchmark::Shutdown();
    return 0;
}
