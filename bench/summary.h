// The medians of all repetitions and the ratios printed at the end of a run.
#pragma once

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

namespace bench {

// Shows the usual table, with the statistics of the repetitions in place of
// each one, and keeps the times per iteration (in seconds) and the counters
// of every repetition for the summary.
class SummaryReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override;

    // Medians of the wall-clock time (or the measured time of a manual
    // measurement) and of the CPU time, per iteration, of a benchmark named
    // like "pass/dense/threads:2".
    double seconds(const std::string& name) const { return median(find(name).seconds); }
    double cpuSeconds(const std::string& name) const { return median(find(name).cpuSeconds); }
    double counter(const std::string& name, const std::string& counter) const;
    size_t repetitions(const std::string& name) const { return find(name).seconds.size(); }

private:
    struct Samples {
        std::vector<double> seconds;
        std::vector<double> cpuSeconds;
        std::map<std::string, std::vector<double>> counters;
    };
    static double median(std::vector<double> values);
    void record(const Run& run);
    const Samples& find(const std::string& name) const;

    std::map<std::string, Samples> m_samples;
};

void printSummary(const SummaryReporter& reporter);

} // namespace bench
