// SPDX-License-Identifier: MIT
// Recording definitions of the GL, GLU and GLUT entry points the viewer uses.
// They are extern "C" with the libraries' own signatures, and the test
// programs link no libGL, so one that is missing here fails the link.
#include "support/gl_recorder.h"

#include <GL/glut.h>

#include <cstdio>

namespace {
std::vector<GlCall> recorded;  // every call since the last reset
bool recording = true;
GLenum glError = GL_NO_ERROR;
bool traceDestroy = false;
void (*display)() = nullptr;
void (*reshape)(int, int) = nullptr;
void (*keyboard)(unsigned char, int, int) = nullptr;

void record(const char* fn, std::vector<double> args = {}, std::string text = {}) {
  recorded.push_back(GlCall{fn, std::move(args), std::move(text)});
}
}  // namespace

// Builds the record only while recording, so with recording off a stand-in
// costs one branch and a benchmark measures the viewer's own code.
#define RECORD(...)        \
  do {                     \
    if (recording) {       \
      record(__VA_ARGS__); \
    }                      \
  } while (0)

std::ostream& operator<<(std::ostream& out, const GlCall& c) {
  out << c.fn << "(";
  for (size_t k = 0; k < c.args.size(); ++k) {
    out << (k ? ", " : "") << c.args[k];
  }
  return out << (c.text.empty() ? "" : " \"" + c.text + "\"") << ")";
}

namespace glrec {
std::function<void()> onCreateWindow;
std::function<void()> onMainLoop;

void reset() {
  recorded.clear();
  recording = true;
  glError = GL_NO_ERROR;
  traceDestroy = false;
  onCreateWindow = nullptr;
  onMainLoop = nullptr;
}
const std::vector<GlCall>& calls() { return recorded; }
void setRecording(bool on) { recording = on; }
void setGlError(unsigned err) { glError = err; }
void setTraceDestroyToStderr(bool on) { traceDestroy = on; }
void (*displayCallback())() { return display; }
void (*reshapeCallback())(int, int) { return reshape; }
void (*keyboardCallback())(unsigned char, int, int) { return keyboard; }

std::vector<std::string> names() {
  std::vector<std::string> out;
  for (const GlCall& c : recorded) {
    out.push_back(c.fn);
  }
  return out;
}

std::vector<GlCall> named(const std::string& fn) {
  std::vector<GlCall> out;
  for (const GlCall& c : recorded) {
    if (c.fn == fn) {
      out.push_back(c);
    }
  }
  return out;
}

std::vector<std::string> outline() {
  std::vector<std::string> out;
  bool inside = false;
  for (const GlCall& c : recorded) {
    if (c.fn == "glBegin") {
      out.push_back("glBegin(" + std::to_string(static_cast<unsigned>(c.args.at(0))) + ")");
    } else if (!inside) {
      out.push_back(c.fn);
    }
    inside = (inside || c.fn == "glBegin") && c.fn != "glEnd";
  }
  return out;
}

std::vector<std::vector<std::vector<double>>> primitives(unsigned mode) {
  std::vector<std::vector<std::vector<double>>> out;
  bool inside = false;
  for (const GlCall& c : recorded) {
    if (c.fn == "glBegin") {
      inside = static_cast<unsigned>(c.args[0]) == mode;
      if (inside) {
        out.emplace_back();
      }
    } else if (c.fn == "glEnd") {
      inside = false;
    } else if (inside && (c.fn == "glVertex2i" || c.fn == "glVertex3f")) {
      out.back().push_back(c.args);
    }
  }
  return out;
}
}  // namespace glrec

extern "C" {
void glBegin(GLenum mode) { RECORD("glBegin", {static_cast<double>(mode)}); }
void glEnd() { RECORD("glEnd"); }
void glVertex2i(GLint x, GLint y) { RECORD("glVertex2i", {double(x), double(y)}); }
void glVertex3f(GLfloat x, GLfloat y, GLfloat z) { RECORD("glVertex3f", {x, y, z}); }
void glColor3f(GLfloat r, GLfloat g, GLfloat b) { RECORD("glColor3f", {r, g, b}); }
void glPointSize(GLfloat size) { RECORD("glPointSize", {size}); }
void glMatrixMode(GLenum mode) { RECORD("glMatrixMode", {static_cast<double>(mode)}); }
void glLoadIdentity() { RECORD("glLoadIdentity"); }
void glTranslatef(GLfloat x, GLfloat y, GLfloat z) { RECORD("glTranslatef", {x, y, z}); }
void glRotatef(GLfloat a, GLfloat x, GLfloat y, GLfloat z) { RECORD("glRotatef", {a, x, y, z}); }
void glScalef(GLfloat x, GLfloat y, GLfloat z) { RECORD("glScalef", {x, y, z}); }
void glViewport(GLint x, GLint y, GLsizei w, GLsizei h) {
  RECORD("glViewport", {double(x), double(y), double(w), double(h)});
}
void glClear(GLbitfield mask) { RECORD("glClear", {static_cast<double>(mask)}); }
void glClearColor(GLclampf r, GLclampf g, GLclampf b, GLclampf a) {
  RECORD("glClearColor", {r, g, b, a});
}
void glClearDepth(GLclampd depth) { RECORD("glClearDepth", {depth}); }
void glDisable(GLenum cap) { RECORD("glDisable", {static_cast<double>(cap)}); }
GLenum glGetError() {
  RECORD("glGetError");
  return glError;
}
void gluPerspective(GLdouble fovy, GLdouble aspect, GLdouble zNear, GLdouble zFar) {
  RECORD("gluPerspective", {fovy, aspect, zNear, zFar});
}

void glutInit(int* argc, char** argv) {
  std::string joined;
  for (int i = 0; i < *argc; ++i) {
    joined += (i ? " " : "") + std::string(argv[i]);
  }
  RECORD("glutInit", {static_cast<double>(*argc)}, joined);
}
void glutInitDisplayMode(unsigned int mode) { RECORD("glutInitDisplayMode", {double(mode)}); }
void glutInitWindowSize(int w, int h) { RECORD("glutInitWindowSize", {double(w), double(h)}); }
void glutInitWindowPosition(int x, int y) {
  RECORD("glutInitWindowPosition", {double(x), double(y)});
}
int glutCreateWindow(const char* title) {
  RECORD("glutCreateWindow", {}, title);
  if (glrec::onCreateWindow) {
    glrec::onCreateWindow();
  }
  return glrec::FAKE_WINDOW_ID;
}
void glutDisplayFunc(void (*cb)()) {
  display = cb;
  RECORD("glutDisplayFunc");
}
void glutReshapeFunc(void (*cb)(int, int)) {
  reshape = cb;
  RECORD("glutReshapeFunc");
}
void glutKeyboardFunc(void (*cb)(unsigned char, int, int)) {
  keyboard = cb;
  RECORD("glutKeyboardFunc");
}
void glutMainLoop() {
  RECORD("glutMainLoop");
  if (glrec::onMainLoop) {
    glrec::onMainLoop();
  }
}
void glutSwapBuffers() { RECORD("glutSwapBuffers"); }
void glutDestroyWindow(int window) {
  RECORD("glutDestroyWindow", {double(window)});
  if (traceDestroy) {
    fprintf(stderr, "glutDestroyWindow(%d)\n", window);
  }
}
}
