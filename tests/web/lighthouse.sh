#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Lighthouse (the version tests/web/package-lock.json pins, which
# scripts/install-deps.sh installs under build/npm/) on the page,
# served as make run-web serves it, in headless Chromium on a phone's
# profile and a desktop's: accessibility, best practices and SEO must each
# score 1; performance is printed, a measurement, never a test. Everything
# Chromium and Lighthouse keep goes in the scratch directory.
#   lighthouse.sh SOURCE_DIR SITE_DIR SCRATCH_DIR
# shellcheck disable=SC2154  # coproc sets server_PID, unseen by shellcheck
set -euo pipefail
src=$1
site=$2
scratch=$3
rm -rf "$scratch"
mkdir -p "$scratch"
cli="$src/build/npm/node_modules/lighthouse/cli/index.js"
if [[ ! -f $cli ]] || ! command -v chromium >/dev/null; then
  echo "lighthouse.sh: Lighthouse or chromium is missing: scripts/install-deps.sh browsers npm"
  exit 77
fi

coproc server { exec "$src/scripts/serve-web.sh" "$site"; }
trap 'kill "$server_PID" 2>/dev/null || true' EXIT
read -r -t 20 line <&"${server[0]}"
address=$(sed -n 's/.*served at \([^ ]*\) .*/\1/p' <<<"$line")
[[ -n $address ]] || { echo "the page was not served: $line"; exit 1; }

failures=0
for profile in mobile desktop; do
  preset=()
  [[ $profile == desktop ]] && preset=(--preset=desktop)
  # Chromium as the page's tests start it, kept off the closed network.
  HOME="$scratch" TMPDIR="$scratch" CHROME_PATH=$(command -v chromium) node "$cli" "$address" \
    --quiet --output=json --output-path="$scratch/$profile.json" "${preset[@]}" \
    --only-categories=performance,accessibility,best-practices,seo \
    --chrome-flags="--headless --no-sandbox --use-angle=swiftshader --enable-unsafe-swiftshader
      --no-first-run --disable-background-networking --disable-component-update --disable-sync
      --disable-quic"
  # The four scores, and every audit that kept a category that must score 1 below it.
  node -e '
    const report = require(process.argv[1]);
    const scores = Object.values(report.categories).map((c) => c.id + " " + c.score);
    console.log(process.argv[2] + ": " + scores.join(", ") + " (Lighthouse " + report.lighthouseVersion + ")");
    let failed = 0;
    for (const id of ["accessibility", "best-practices", "seo"]) {
      const category = report.categories[id];
      if (category.score === 1) continue;
      failed = 1;
      for (const ref of category.auditRefs) {
        const audit = report.audits[ref.id];
        if (ref.weight > 0 && audit.score !== null && audit.score < 1) {
          console.log("  " + id + ": " + audit.id + ": " + audit.title);
        }
      }
    }
    process.exit(failed);
  ' "$scratch/$profile.json" "$profile" || failures=$((failures + 1))
done
[[ $failures -eq 0 ]] || exit 1
rm -rf "$scratch"
