// SPDX-License-Identifier: MIT
// A recording stand-in for the GL, GLU and GLUT functions the viewer calls,
// so the call stream of start-up, callbacks and frames can be checked with
// no display and no libGL.
#pragma once

#include <functional>
#include <ostream>
#include <string>
#include <vector>

struct GlCall {
  std::string fn;            // function name, e.g. "glVertex2i"
  std::vector<double> args;  // numeric arguments, exactly as passed (floats widen exactly)
  std::string text;          // the string argument, where there is one
  bool operator==(const GlCall& o) const { return fn == o.fn && args == o.args && text == o.text; }
};
std::ostream& operator<<(std::ostream& out, const GlCall& c);

namespace glrec {

constexpr int FAKE_WINDOW_ID = 7;  // what the glutCreateWindow stand-in returns

// Forgets every recorded call and restores the defaults below.
void reset();
const std::vector<GlCall>& calls();
// While false the stand-ins record nothing (used for benchmarks).
void setRecording(bool on);
// The value the next glGetError calls answer; GL_NO_ERROR after reset.
void setGlError(unsigned err);

// Run from inside the stand-ins, for checks at those moments.
extern std::function<void()> onCreateWindow;
extern std::function<void()> onMainLoop;

// The callbacks registered through glutDisplayFunc and friends.
extern void (*display)();
extern void (*reshape)(int, int);
extern void (*keyboard)(unsigned char, int, int);

// The names in order, with each glBegin ... glEnd block shown as one entry
// "glBegin(<mode>)".
std::vector<std::string> outline();
std::vector<GlCall> named(const std::string& fn);
// Vertices sent between each glBegin(mode) and its glEnd, in order.
std::vector<std::vector<std::vector<double>>> primitives(unsigned mode);

}  // namespace glrec
