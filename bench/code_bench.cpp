// SPDX-License-Identifier: MIT
// CPU cost of the viewer's own code: the colour-table fill, one frame and one
// turn, with GL, GLU and GLUT replaced by stand-ins that record nothing.
// Last, it prints a frame's cost as a share of the fill's, both measured in
// the same run: the fill calls no stand-in, so a stand-in that stops being
// free, or a frame that starts computing more, shows in that one figure.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/shell.h"
#include "app/view_state.h"
#include "bitmap/color_bitmap.h"
#include "render/scene.h"
#include "support/gl_recorder.h"

// Google Benchmark hands each benchmark its State to iterate, which changes it.
// cppcheck-suppress constParameterCallback
static void BM_ColorBitmapFill(benchmark::State& state) {
  for (auto _ : state) {
    initColorBitmap();
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_ColorBitmapFill)->Unit(benchmark::kMicrosecond);

// One whole frame at the angle given in degrees: floor, panel and fill.
static void BM_Frame(benchmark::State& state) {
  initColorBitmap();
  glrec::setRecording(false);
  viewAngle = static_cast<float>(state.range(0));
  for (auto _ : state) {
    drawScene();
  }
  glrec::setRecording(true);
}
BENCHMARK(BM_Frame)->Arg(0)->Arg(45)->Arg(230)->Unit(benchmark::kMicrosecond);

// A rotation key: the angle step, the wrap and the frame it draws.
// cppcheck-suppress constParameterCallback
static void BM_KeyboardTurn(benchmark::State& state) {
  initColorBitmap();
  glrec::setRecording(false);
  viewAngle = 0.0F;
  for (auto _ : state) {
    onKeyboard('x', 0, 0);
  }
  glrec::setRecording(true);
}
BENCHMARK(BM_KeyboardTurn)->Unit(benchmark::kMicrosecond);

namespace {
// Keeps each result's CPU time (in the benchmark's unit) by name, and hands
// everything on to the report that --benchmark_format chose; with
// repetitions the aggregates carry "_median" and such.
class KeepingReporter : public benchmark::BenchmarkReporter {
 public:
  std::unique_ptr<benchmark::BenchmarkReporter> shown{benchmark::CreateDefaultDisplayReporter()};
  std::map<std::string, double> cpuTime;

  bool ReportContext(const Context& context) override { return shown->ReportContext(context); }
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      cpuTime[run.benchmark_name()] = run.GetAdjustedCPUTime();
    }
    shown->ReportRuns(runs);
  }
  void Finalize() override { shown->Finalize(); }
  // The median where there were repetitions, else the single result; 0 if absent.
  double of(const std::string& name) const {
    for (const std::string& key : {name + "_median", name}) {
      if (const auto it = cpuTime.find(key); it != cpuTime.end()) {
        return it->second;
      }
    }
    return 0.0;
  }
};
}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
    return 1;
  }
  KeepingReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  const double fill = reporter.of("BM_ColorBitmapFill");
  const double frame = reporter.of("BM_Frame/0");
  if (fill > 0 && frame > 0) {
    // After the console table on standard output; after CSV or JSON, on
    // standard error, so that standard output stays in that format alone.
    const bool console = dynamic_cast<benchmark::ConsoleReporter*>(reporter.shown.get()) != nullptr;
    fprintf(console ? stdout : stderr,
            "\nA frame at 0 degrees costs %.3f of a colour-table fill (CPU time).\n", frame / fill);
  }
  return 0;
}
