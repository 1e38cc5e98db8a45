// The main window's status box over a long night: how much memory it holds once it keeps its most
// lines, with monitoring going on appending. Lines as the monitor writes them, for 50 plans.
#include <benchmark/benchmark.h>

#include <malloc.h>

#include <QApplication>
#include <QCoreApplication>
#include <QString>
#include <cstdio>
#include <cstdlib>

#include "ui/status_box.h"

namespace {

// Resident memory of this process in MB, after the allocator has handed back what it holds free (so
// that the figure is what the box keeps, not what the heap happens to hold on to).
double ResidentMb() {
    malloc_trim(0);
    long pages = 0, resident = 0;
    if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2) resident = 0;
        std::fclose(statm);
    }
    return static_cast<double>(resident) * 4096.0 / (1024.0 * 1024.0);
}

// One plan's lines of one pass: prepared, fetched, matched and kept.
QString PlanLines(int plan, int second) {
    const QString stamp = QStringLiteral("[ 2026-12-09 %1:%2:%3 ] ")
                              .arg(second / 3600 % 24, 2, 10, QLatin1Char('0'))
                              .arg(second / 60 % 60, 2, 10, QLatin1Char('0'))
                              .arg(second % 60, 2, 10, QLatin1Char('0'));
    return stamp + QStringLiteral("[ 站点%1 新闻中心 ] 准备工作..\r\n").arg(plan) + stamp +
           QStringLiteral("源码获取完成\r\n") + stamp + QStringLiteral("匹配链接数：42\r\n") + stamp +
           QStringLiteral("筛选后链接数：40\r\n");
}

// How lines reach the box. In the desktop program each line is a call the monitor worker hands to
// the UI thread, so the event loop turns between lines; a burst from one task gives it no turn.
enum class Delivery { kEventLoopBetweenLines, kNoEventLoop };

// Appends four times what the box keeps. MB is the box's memory after twice, when it has been full
// for a while; MB_per_100k what each further 100,000 lines added on average over the other two
// times, which shows that going on costs nothing more (the document reuses the room of the lines it
// drops, and the box leaves no queued calls behind).
void BM_StatusBoxFullDay(benchmark::State& state, Delivery delivery) {
    for (auto _ : state) {
        const double before = ResidentMb();
        double full = 0;
        {
            marl::ui::StatusBox box(nullptr);
            box.resize(620, 40);
            const int kept_passes = marl::ui::StatusBox::kMaxLines / (4 * 50);
            const int passes = 4 * kept_passes;
            for (int pass = 0; pass < passes; ++pass) {
                for (int plan = 1; plan <= 50; ++plan) {
                    box.AppendStatus(PlanLines(plan, pass * 240 + plan));
                    if (delivery == Delivery::kEventLoopBetweenLines) QCoreApplication::sendPostedEvents();
                }
                if (pass + 1 == 2 * kept_passes) full = ResidentMb();
            }
            state.counters["MB"] = full - before;
            state.counters["MB_per_100k"] = (ResidentMb() - full) / 2;
            state.counters["lines"] = box.blockCount();
        }
    }
}
BENCHMARK_CAPTURE(BM_StatusBoxFullDay, EventLoopBetweenLines, Delivery::kEventLoopBetweenLines)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_StatusBoxFullDay, NoEventLoop, Delivery::kNoEventLoop)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
