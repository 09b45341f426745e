// The properties dialog on full lists: opening it (creating, loading and showing) and Apply
// (the whole rewrite of both stores and the menus' rebuild). Aims: under 50 ms to open, under
// 20 ms to apply.
#include <benchmark/benchmark.h>

#include <QApplication>

#include "Unit1/Form1.h"
#include "support/FullStores.h"

using namespace veska;
using namespace veska::bench;

namespace {

FullStores& stores() {
    static FullStores f;
    return f;
}

void BM_OpenDialogFullLists(benchmark::State& state) {
    FullStores& f = stores();
    for (auto _ : state) {
        TForm1 form(f.sp.platform(), [] {});
        form.show();
        QApplication::processEvents();  // laid out and painted
        if (form.ListBox1->count() != Launch || form.ListBox2->count() != Walls || form.ListBox3->count() != Temps)
            state.SkipWithError("the dialog did not load the full lists");
    }
}
BENCHMARK(BM_OpenDialogFullLists)->Unit(benchmark::kMillisecond);

void BM_ApplyFullLists(benchmark::State& state) {
    FullStores& f = stores();
    TForm1 form(f.sp.platform(), [&f] { f.main->IniRead(f.main.get()); });
    for (auto _ : state) {
        form.Button20Click();
        if (form.Button20->isEnabled()) state.SkipWithError("Apply did not complete");
    }
    if (f.main->LaunchMenu()->Items()->Count() != Launch) state.SkipWithError("the menu was not rebuilt in full");
}
BENCHMARK(BM_ApplyFullLists)->Unit(benchmark::kMillisecond);

}  // namespace
