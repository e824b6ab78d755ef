// The benchmarks' main: a Qt application first, because the code under measurement uses Qt's event
// machinery (futures, timers, file watching) as it does in the programs.

#include <QCoreApplication>
#include <benchmark/benchmark.h>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
