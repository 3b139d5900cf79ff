// SPDX-License-Identifier: MIT
// CPU cost of the viewer's own code: the colour-table fill, one frame and one
// turn, with GL, GLU and GLUT replaced by stand-ins that record nothing.
#include <benchmark/benchmark.h>

#include "app/shell.h"
#include "app/view_state.h"
#include "bitmap/color_bitmap.h"
#include "render/scene.h"
#include "support/gl_recorder.h"

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

BENCHMARK_MAIN();
