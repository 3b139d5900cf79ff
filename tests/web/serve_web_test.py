#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
# scripts/serve-web.sh stopped as a user stops make run-web, with Ctrl-C at
# its terminal: it ends with status 0, which make does not report as an
# error, and its server stops listening. The site is a page of the test's
# own, in its scratch directory.
#   serve_web_test.py SOURCE_DIR SCRATCH_DIR
import os
import pty
import re
import select
import shutil
import socket
import sys
import time

src, scratch = sys.argv[1], sys.argv[2]
shutil.rmtree(scratch, ignore_errors=True)
os.makedirs(scratch)
with open(os.path.join(scratch, "index.html"), "w") as page:
    page.write("<!DOCTYPE html><title>t</title>\n")


def read_until(fd, pattern, seconds):
    """What the terminal shows until `pattern` appears, or the deadline."""
    seen, deadline = b"", time.time() + seconds
    while time.time() < deadline and not re.search(pattern, seen):
        if select.select([fd], [], [], 0.2)[0]:
            try:
                seen += os.read(fd, 4096)
            except OSError:
                break
    return seen


pid, fd = pty.fork()
if pid == 0:
    os.execvp("bash", ["bash", os.path.join(src, "scripts/serve-web.sh"), scratch])
shown = read_until(fd, rb"served at http://127\.0\.0\.1:(\d+)/", 20)
port = re.search(rb"127\.0\.0\.1:(\d+)/", shown)
if not port:
    sys.exit("FAIL: no address within 20 s: %r" % shown)
os.write(fd, b"\x03")  # Ctrl-C, as the terminal sends it
deadline, ended = time.time() + 5, (0, 0)
while time.time() < deadline and ended == (0, 0):
    time.sleep(0.1)
    ended = os.waitpid(pid, os.WNOHANG)
if ended == (0, 0):
    os.kill(pid, 9)
    sys.exit("FAIL: serve-web.sh still runs 5 s after Ctrl-C")
if os.waitstatus_to_exitcode(ended[1]) != 0:
    sys.exit("FAIL: Ctrl-C ended serve-web.sh with %d" % os.waitstatus_to_exitcode(ended[1]))
try:
    socket.create_connection(("127.0.0.1", int(port.group(1))), timeout=2).close()
    sys.exit("FAIL: the server still listens after Ctrl-C")
except OSError:
    pass
shutil.rmtree(scratch)
print("serve-web.sh: Ctrl-C ends it with status 0 and nothing left listening")
