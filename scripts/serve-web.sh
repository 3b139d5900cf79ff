#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Serves the static page on the loopback interface only, on a free port,
# and prints the address to open; Ctrl-C stops it, and nothing is left
# running. make run-web runs it, and so do the page's tests.
#   scripts/serve-web.sh SITE_DIR
# Debian's Python serves the files, with the type WebAssembly needs.
# shellcheck disable=SC2154  # coproc sets server_PID, unseen by shellcheck
set -euo pipefail
site=${1:?usage: scripts/serve-web.sh SITE_DIR}
if [[ ! -f $site/index.html ]]; then
  echo "$0: no page in $site; run make web first" >&2
  exit 1
fi
# Python names the port it took in its first line on standard output:
# "Serving HTTP on 127.0.0.1 port PORT (http://127.0.0.1:PORT/) ...".
coproc server { exec /usr/bin/python3 -u -m http.server --bind 127.0.0.1 --directory "$site" 0; }
trap 'kill "$server_PID" 2>/dev/null || true' EXIT
# Ctrl-C is how the server is meant to stop: a success, which make then does
# not report as an error.
trap 'exit 0' INT
trap 'exit 143' TERM
if ! read -r -t 20 line <&"${server[0]}"; then
  echo "$0: the server did not start within 20 s" >&2
  exit 1
fi
address=$(sed -n 's|.*(\(http://127\.0\.0\.1:[0-9]*/\)).*|\1|p' <<<"$line")
echo "Quillmere's page is served at $address (this machine only); open it in a browser."
echo "Ctrl-C stops the server."
wait "$server_PID"
