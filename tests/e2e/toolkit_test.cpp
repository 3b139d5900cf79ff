// SPDX-License-Identifier: MIT
// What freeglut and X do with the command line, the display and the keys
// before the viewer's own code sees them: refusals and their messages,
// options, and the keys that type Esc. These pin the
// platform's behaviour, which the man page documents, not ours.
#include <string>
#include <vector>

#include "e2e/e2e_support.h"

#include <X11/Xutil.h>

namespace {
class NoGlx : public PrivateServer {
 protected:
  NoGlx() { serverOptions = {"-extension", "GLX"}; }
};

// Runs `argv` (the viewer, behind env) and expects the toolkit to end it at
// once with status 1 and `message` on standard error.
void expectToolkitRefusal(const std::vector<std::string>& argv, const std::string& message) {
  proc::Process p = proc::start(argv);
  const proc::Reaper reaper{p};
  ASSERT_NO_FATAL_FAILURE(expectExitsWith(p, 1, 10)) << argv[1];
  EXPECT_NE(p.err.find(message), std::string::npos) << p.err;
  EXPECT_EQ(p.out, "");
}

}  // namespace

using ToolkitRefusal = DisplayTest;

// The toolkit reads the command line and makes the OpenGL context; what it
// cannot do ends the program before a window shows.
TEST_F(ToolkitRefusal, ACommandLineTheToolkitCannotFollowEndsWithOne) {
  const struct {
    std::vector<std::string> args;
    const char* message;
  } cases[] = {
      {{"-display"}, "-display parameter must be followed by display name"},
      {{"-foo", "-geometry"}, "-geometry parameter must be followed by window geometry"},
      {{"-direct", "-indirect"}, "-direct and -indirect cannot be both specified"},
      // Xvfb, like most servers today, offers no indirect rendering.
      {{"-indirect"}, "Unable to create OpenGL 1.0 context"},
  };
  for (const auto& c : cases) {
    ASSERT_NO_FATAL_FAILURE(expectToolkitRefusal(viewerOn(DisplayString(dpy), c.args), c.message))
        << c.args[0];
  }
}

TEST_F(NoGlx, ADisplayWithoutOpenGLEndsTheViewerWithOne) {
  ASSERT_NO_FATAL_FAILURE(
      expectToolkitRefusal(viewerOn(displayName), "GLX extension not supported"));
}

TEST(NoDisplay, MissingDisplayEndsAtOnceWithTheToolkitsMessage) {
  ASSERT_NO_FATAL_FAILURE(
      expectToolkitRefusal({"env", "-u", "DISPLAY", QUILLMERE_BINARY}, "failed to open display"));
  ASSERT_NO_FATAL_FAILURE(expectToolkitRefusal(viewerOn(":4999"), "failed to open display"));
}

using Quit = DisplayTest;

// In X, Ctrl+[ and Ctrl+3 type the Esc character.
TEST_F(Quit, EscAndItsControlSpellingsExitWithZero) {
  const struct {
    unsigned long key;
    unsigned int modifiers;
  } quits[] = {{XK_Escape, 0}, {XK_bracketleft, ControlMask}, {XK_3, ControlMask}};
  for (const auto& q : quits) {
    ASSERT_NO_FATAL_FAILURE(launch());
    ASSERT_NO_FATAL_FAILURE(escape(q.key, q.modifiers)) << XKeysymToString(q.key);
  }
}

using CommandLine = DisplayTest;

// The window's size and place are set after GLUT has read the command line,
// so -geometry loses. -sync, -gldebug and -direct are the toolkit's own
// business: what is checked here is that the viewer still opens its window
// with them, as it does with arguments the toolkit does not know.
TEST_F(CommandLine, GeometryIsOverriddenAndOtherToolkitOptionsOpenTheSameWindow) {
  const std::vector<std::string> options[] = {{"-geometry", "300x100+50+60"},
                                              {"-sync"},
                                              {"-gldebug"},
                                              {"-direct"},
                                              {"--frobnicate", "words"}};
  for (const std::vector<std::string>& args : options) {
    ASSERT_NO_FATAL_FAILURE(launch(args)) << args[0];
    XWindowAttributes a;  // with no window manager, the parent is the root window
    XGetWindowAttributes(dpy, win, &a);
    EXPECT_TRUE(a.x == WINDOW_X && a.y == WINDOW_Y && a.width == DESIGN_WIDTH &&
                a.height == DESIGN_HEIGHT)
        << args[0];
    ASSERT_NO_FATAL_FAILURE(escape()) << args[0];
  }
  // -display names the display when DISPLAY names none.
  ASSERT_NO_FATAL_FAILURE(launch({"-display", DisplayString(dpy)}, {"env", "-u", "DISPLAY"}));
  ASSERT_NO_FATAL_FAILURE(escape());
  // -iconic asks a window manager to show the window as an icon first.
  ASSERT_NO_FATAL_FAILURE(launch({"-iconic"}));
  XWMHints* hints = XGetWMHints(dpy, win);
  ASSERT_NE(hints, nullptr);
  EXPECT_TRUE((hints->flags & StateHint) && hints->initial_state == IconicState);
  XFree(hints);
}

using Iconic = OpenboxServer;

// Under a window manager, -iconic keeps the window an icon, and GLUT waits
// inside glutCreateWindow until it is shown: Esc pressed meanwhile waits
// with it, and acts once the window is restored.
TEST_F(Iconic, TheViewerWaitsAsAnIconUntilItIsRestored) {
  viewer = proc::start(viewerOn(displayName, {"-iconic"}));
  win = xw::findTitledWindow(dpy, "Quillmere", 20);
  ASSERT_NE(win, 0UL) << "no window; stderr: " << (proc::drain(viewer), viewer.err);
  ASSERT_TRUE(waitUntil([&] { return xw::hasProperty(dpy, win, "WM_STATE"); }, 10))
      << "openbox did not manage the window";
  XWindowAttributes attrs;
  XGetWindowAttributes(dpy, win, &attrs);
  EXPECT_NE(attrs.map_state, IsViewable);
  xw::pressKey(dpy, win, XK_Escape);
  EXPECT_FALSE(proc::waitForExit(viewer, 2)) << "Esc acted on the icon";
  XMapWindow(dpy, win);  // asks openbox to restore it
  XFlush(dpy);
  ASSERT_NO_FATAL_FAILURE(expectExitsWith(viewer, 0, 10));
}
