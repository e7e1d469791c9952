// Hot paths over loaded rows: sort by a text column, a LIKE filter, Locate.
#include "connection.h"
#include "query.h"

#include <QCoreApplication>
#include <QProcess>
#include <benchmark/benchmark.h>

namespace {
TADOQuery& loaded() {
    static TADOConnection con;
    static TADOQuery q(&con);
    if (!q.Active()) {
        QString db = QStringLiteral(TABULO_BENCH_DB);
        QProcess::execute("python3",
                          {QStringLiteral(TABULO_SOURCE_DIR "/bench/make_bench_db.py"), db, "1000000"});
        con.ConnectionString = "Provider=SQLite;Data Source=" + db;
        con.Open();
        q.SQL = "SELECT * FROM bench";
        q.Open();
    }
    return q;
}
} // namespace

static void SortByText(benchmark::State& state) {
    TADOQuery& q = loaded();
    for (auto _ : state) {
        q.setSort("name");
        q.setSort("");
    }
    state.SetItemsProcessed(state.iterations() * q.RecordCount());
}
BENCHMARK(SortByText)->Unit(benchmark::kMillisecond);

static void SortByNumber(benchmark::State& state) {
    TADOQuery& q = loaded();
    for (auto _ : state) {
        q.setSort("price DESC");
        q.setSort("");
    }
}
BENCHMARK(SortByNumber)->Unit(benchmark::kMillisecond);

static void LikeFilter(benchmark::State& state) {
    TADOQuery& q = loaded();
    q.FilterOptions = foCaseInsensitive;
    for (auto _ : state) {
        q.setFilter("name LIKE '*delta*'");
        q.setFiltered(true);
        benchmark::DoNotOptimize(q.RecordCount());
        q.setFiltered(false);
    }
}
BENCHMARK(LikeFilter)->Unit(benchmark::kMillisecond);

static void Locate(benchmark::State& state) {
    TADOQuery& q = loaded();
    for (auto _ : state)
        benchmark::DoNotOptimize(q.Locate("code;id", QVariantList{"C49999", 999999}, 0));
}
BENCHMARK(Locate)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
