// SPDX-License-Identifier: MIT
// Recording definitions of the GL, GLU and GLUT entry points the viewer uses.
// They are extern "C" with the libraries' own signatures, and the test
// programs link no libGL, so one that is missing here fails the link.
#include "support/gl_recorder.h"

#include <GL/glut.h>

#include <algorithm>
#include <iterator>

namespace {
std::vector<GlCall> recorded;  // every call since the last reset
bool recording = true;         // off: a stand-in costs one branch, for benchmarks
GLenum glError = GL_NO_ERROR;  // what glGetError answers

// Checks the switch before it builds anything: the benchmarks time the
// viewer's own code through these stand-ins, and a call record costs
// allocations that would dwarf it.
template <typename... Args>
void recText(const char* fn, const char* text, Args... args) {
  if (recording) {
    recorded.push_back(GlCall{fn, {static_cast<double>(args)...}, text});
  }
}

template <typename... Args>
void rec(const char* fn, Args... args) {
  recText(fn, "", args...);
}
}  // namespace

std::ostream& operator<<(std::ostream& out, const GlCall& c) {
  out << c.fn << "(";
  for (size_t k = 0; k < c.args.size(); ++k) {
    out << (k > 0 ? ", " : "") << c.args[k];
  }
  return out << (c.text.empty() ? "" : "\"" + c.text + "\"") << ")";
}

namespace glrec {
std::function<void()> onCreateWindow;
std::function<void()> onMainLoop;
void (*display)() = nullptr;
void (*reshape)(int, int) = nullptr;
void (*keyboard)(unsigned char, int, int) = nullptr;

void reset() {
  recorded.clear();
  recording = true;
  glError = GL_NO_ERROR;
  onCreateWindow = nullptr;
  onMainLoop = nullptr;
}
const std::vector<GlCall>& calls() { return recorded; }
void setRecording(bool on) { recording = on; }
void setGlError(unsigned err) { glError = err; }

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

std::vector<GlCall> named(const std::string& fn) {
  std::vector<GlCall> out;
  std::copy_if(recorded.begin(), recorded.end(), std::back_inserter(out),
               [&](const GlCall& c) { return c.fn == fn; });
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
void glBegin(GLenum mode) { rec("glBegin", mode); }
void glEnd() { rec("glEnd"); }
void glVertex2i(GLint x, GLint y) { rec("glVertex2i", x, y); }
void glVertex3f(GLfloat x, GLfloat y, GLfloat z) { rec("glVertex3f", x, y, z); }
void glColor3f(GLfloat r, GLfloat g, GLfloat b) { rec("glColor3f", r, g, b); }
void glPointSize(GLfloat size) { rec("glPointSize", size); }
void glMatrixMode(GLenum mode) { rec("glMatrixMode", mode); }
void glLoadIdentity() { rec("glLoadIdentity"); }
void glTranslatef(GLfloat x, GLfloat y, GLfloat z) { rec("glTranslatef", x, y, z); }
void glRotatef(GLfloat a, GLfloat x, GLfloat y, GLfloat z) { rec("glRotatef", a, x, y, z); }
void glScalef(GLfloat x, GLfloat y, GLfloat z) { rec("glScalef", x, y, z); }
void glViewport(GLint x, GLint y, GLsizei w, GLsizei h) { rec("glViewport", x, y, w, h); }
void glClear(GLbitfield mask) { rec("glClear", mask); }
void glClearColor(GLclampf r, GLclampf g, GLclampf b, GLclampf a) {
  rec("glClearColor", r, g, b, a);
}
void glClearDepth(GLclampd depth) { rec("glClearDepth", depth); }
void glDisable(GLenum cap) { rec("glDisable", cap); }
GLenum glGetError() {
  rec("glGetError");
  return glError;
}
void gluPerspective(GLdouble fovy, GLdouble aspect, GLdouble zNear, GLdouble zFar) {
  rec("gluPerspective", fovy, aspect, zNear, zFar);
}

// GLUT's own signature, under which the real one may take options out of argc.
void glutInit(int* argc, char** argv) {  // NOLINT(readability-non-const-parameter)
  std::string joined;
  for (int i = 0; i < *argc; ++i) {
    joined += (i > 0 ? " " : "") + std::string(argv[i]);
  }
  recText("glutInit", joined.c_str(), *argc);
}
void glutInitDisplayMode(unsigned int mode) { rec("glutInitDisplayMode", mode); }
void glutInitWindowSize(int w, int h) { rec("glutInitWindowSize", w, h); }
void glutInitWindowPosition(int x, int y) { rec("glutInitWindowPosition", x, y); }
int glutCreateWindow(const char* title) {
  recText("glutCreateWindow", title);
  if (glrec::onCreateWindow) {
    glrec::onCreateWindow();
  }
  return glrec::FAKE_WINDOW_ID;
}
void glutDisplayFunc(void (*callback)()) {
  glrec::display = callback;
  rec("glutDisplayFunc");
}
void glutReshapeFunc(void (*callback)(int, int)) {
  glrec::reshape = callback;
  rec("glutReshapeFunc");
}
void glutKeyboardFunc(void (*callback)(unsigned char, int, int)) {
  glrec::keyboard = callback;
  rec("glutKeyboardFunc");
}
void glutMainLoop() {
  rec("glutMainLoop");
  if (glrec::onMainLoop) {
    glrec::onMainLoop();
  }
}
void glutSwapBuffers() { rec("glutSwapBuffers"); }
void glutDestroyWindow(int window) { rec("glutDestroyWindow", window); }
}
