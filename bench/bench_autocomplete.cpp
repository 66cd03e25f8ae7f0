#include "widgets/AutoCompleteComboBoxModule.h"

#include "BenchData.h"
#include "MedianReporter.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <benchmark/benchmark.h>

// Worst case for a type-ahead key: the only match is the last of N items (a
// long customer list). Baseline: Qt's own prefix search over the same model.

namespace {

QStringList items(int count)
{
    QStringList list;
    list.reserve(count);
    for (int i = 0; i < count - 1; ++i)
        list << QStringLiteral("Customer %1").arg(i, 6, 10, QLatin1Char('0'));
    list << QStringLiteral("Zimmerman");
    return list;
}

void BM_QtFindTextBaseline(benchmark::State &state)
{
    QComboBox combo;
    combo.addItems(items(int(state.range(0))));
    for (auto _ : state)
        benchmark::DoNotOptimize(combo.findText(QStringLiteral("z"), Qt::MatchStartsWith));
}

void BM_ComboKeySearch(benchmark::State &state)
{
    QComboBox combo;
    combo.addItems(items(int(state.range(0))));
    for (auto _ : state) {
        int key = 'z';
        ComboKeySearch(&combo, key, 0);
        benchmark::DoNotOptimize(key);
    }
}

void BM_AutoCompleteComboBox(benchmark::State &state)
{
    QComboBox combo;
    combo.setEditable(true);
    combo.addItems(items(int(state.range(0))));
    for (auto _ : state) {
        combo.lineEdit()->clear();
        benchmark::DoNotOptimize(AutoCompleteComboBox(&combo, 'z'));
    }
}

BENCHMARK(BM_QtFindTextBaseline)->Arg(1000)->Arg(10000);
BENCHMARK(BM_ComboKeySearch)->Arg(1000)->Arg(10000);
BENCHMARK(BM_AutoCompleteComboBox)->Arg(1000)->Arg(10000);

} // namespace

int main(int argc, char **argv)
{
    benchdata::headless(false);
    QApplication app(argc, argv);
    return runBenchmarks(argc, argv);
}
