#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Debian's own QA tools on the package, one job a call, each in a throwaway
# root (scripts/roots.sh) so that nothing is installed on this machine:
#   scripts/debian-qa.sh JOB
#   source           the .dsc from the tree (dpkg-source)
#   build            the .deb from that .dsc, Debian 13; build-bookworm, Debian 12:
#                    a buildd root with only build-essential and the Build-Depends,
#                    built by an ordinary user, the tests at build time included
#   lintian          lintian -I --pedantic on the .dsc, .changes and .deb, Debian 13's;
#                    lintian-forky, Debian 14's
#   blhc             blhc --debian --all on the build log
#   reprotest        reprotest's variations on two builds of the .dsc
#   autopkgtest      debian/tests against the installed .deb (autopkgtest's null backend)
#   piuparts         install, remove and purge in a clean root
#   cross            dpkg-buildpackage -a arm64 with the nocheck profile
# Jobs after source and build read what those left in build/qa/.
set -euo pipefail
job=${1:-}
source "$(dirname "$0")/roots.sh"
roots_need_root
qa="$roots_top/build/qa"
mkdir -p "$qa"

# A job's root: RELEASE-buildd, made once by mmdebstrap's buildd variant
# (essential packages, apt and build-essential).
buildd() {
  root_build "$1-buildd" "$1" --variant=buildd
}
need() {  # the output of an earlier job
  compgen -G "$qa/$1" >/dev/null || { echo "$0: no $1 in build/qa/; run make qa-${2}" >&2; exit 1; }
}
# Inside a root: install packages, or the source's build dependencies (with
# apt-get build-dep's options), from the cached archives, showing apt's and
# the packages' output only when it fails; and build the unpacked source as
# the user builder, keeping the log as LOG and showing its end on failure.
prelude='add_packages() {
  apt-get install -y --no-install-recommends "$@" >/tmp/install.log 2>&1 || { cat /tmp/install.log; exit 1; }
}
add_build_deps() {
  apt-get build-dep -y --no-install-recommends "$@" /qa/source/*.dsc >/tmp/install.log 2>&1 ||
    { cat /tmp/install.log; exit 1; }
}
build_as_builder() {  # LOG DEB_BUILD_OPTIONS DPKG_BUILDPACKAGE_ARGS...
  local log=$1 options=$2 status=0
  shift 2
  runuser -u builder -- env DEB_BUILD_OPTIONS="$options parallel=$(nproc)" \
    dpkg-buildpackage "$@" >../build.log 2>&1 || status=$?
  cp ../build.log "$log"
  [[ $status -eq 0 ]] || { tail -n 60 ../build.log; exit $status; }
}
'
# Inside a root: an ordinary user, and the .dsc unpacked in its home.
as_builder='
useradd --create-home builder
cp /qa/source/* /home/builder/
chown -R builder: /home/builder
cd /home/builder
runuser -u builder -- dpkg-source --no-check -x quillmere_*.dsc quillmere >/dev/null
cd quillmere
'

case $job in
  source)
    buildd trixie
    rm -rf "$qa/source" "$qa/tree"
    mkdir -p "$qa/source" "$qa/tree/quillmere"
    "$roots_top/scripts/copy-tree.sh" "$qa/tree/quillmere"
    root_run trixie-buildd trixie "$qa" '
cd /qa/tree && dpkg-source -b quillmere
mv quillmere_* /qa/source/'
    rm -rf "$qa/tree"
    ls "$qa/source"
    ;;

  build | build-bookworm)
    release=trixie
    [[ $job == build-bookworm ]] && release=bookworm
    need 'source/*.dsc' source
    buildd "$release"
    out="$qa/build-$release"
    rm -rf "$out"
    mkdir -p "$out"
    root_run "$release-buildd" "$release" "$qa" "
$prelude
add_build_deps
$as_builder
build_as_builder /qa/build-$release/quillmere_$release.build '' -us -uc
cp ../*.deb ../*.changes ../*.buildinfo ../*.dsc ../*.tar.* /qa/build-$release/
grep -E '^[0-9]+% tests passed' ../build.log"
    ls "$out"
    ;;

  lintian | lintian-forky)
    need 'build-trixie/*.changes' build
    suppressed=
    if [[ $job == lintian ]]; then
      release=trixie name=trixie-buildd
      buildd trixie
    else
      # Debian 14 (testing): the minimal root that test-release uses.
      release=forky name=forky
      minimal_root forky
      # Standards-Version is the newest that Debian 13's lintian knows,
      # 4.7.2: it warns of any newer one (newer-standards-version), and
      # Debian 14's reports 4.7.2 as out of date. Only the latter is left out.
      suppressed='--suppress-tags out-of-date-standards-version'
    fi
    root_run "$name" "$release" "$qa" "
$prelude
add_packages lintian passwd
echo \"lintian \$(lintian --version | cut -d' ' -f2) on Debian \$(cat /etc/debian_version)\"
useradd --create-home checker
cp -r /qa/build-trixie /home/checker/
cd /home/checker/build-trixie
runuser -u checker -- lintian -I --pedantic --fail-on error,warning,info $suppressed *.dsc *.changes *.deb
echo 'lintian: no error, warning or info tag'"
    ;;

  blhc)
    need 'build-trixie/*.build' build
    buildd trixie
    root_run trixie-buildd trixie "$qa" "
$prelude
add_packages blhc
blhc --version | head -n1
blhc --debian --all /qa/build-trixie/quillmere_trixie.build
echo 'blhc: every compile and link has the hardening flags'"
    ;;

  reprotest)
    need 'source/*.dsc' source
    buildd trixie
    rm -rf "$qa/reprotest"
    mkdir -p "$qa/reprotest"
    # Every default variation, user_group with a second user of its own.
    # The tests are left out of both builds: they change no byte of the
    # package, and the build job runs them.
    root_run trixie-buildd trixie "$qa" "
$prelude
add_packages reprotest faketime disorderfs fuse3 sudo locales-all diffoscope-minimal
add_build_deps
useradd --create-home builder2
# disorderfs, for the file-order variation, runs as that user. /dev/fuse is
# root's alone on this machine; the root gets a node anyone may open, in its
# own mount namespace only, and the mount table fusermount reads.
mknod -m 666 /tmp/fuse c 10 229
mount --bind /tmp/fuse /dev/fuse
ln -sf /proc/self/mounts /etc/mtab
cp /qa/source/* /tmp/ && cd /tmp
dpkg-query -W reprotest
DEB_BUILD_OPTIONS=nocheck reprotest --verbosity 1 --store-dir /qa/reprotest/store \
  --vary=user_group.available+=builder2:builder2 --vary=domain_host.use_sudo=1 quillmere_*.dsc -- null"
    ;;

  autopkgtest)
    need 'build-trixie/*.deb' build
    buildd trixie
    rm -rf "$qa/autopkgtest"
    # The runner itself, with its null backend inside the throwaway root,
    # runs debian/tests against the package installed there first; so it
    # needs no repository of its own, which it would reset with a download.
    root_run trixie-buildd trixie "$qa" "
$prelude
add_packages autopkgtest /qa/build-trixie/quillmere_*_amd64.deb
dpkg-query -W autopkgtest
autopkgtest --no-built-binaries --output-dir /qa/autopkgtest /qa/source/quillmere_*.dsc -- null"
    ;;

  piuparts)
    need 'build-trixie/*.deb' build
    buildd trixie
    # piuparts' own clean root: mmdebstrap's minbase, the smallest Debian.
    root_build trixie-minbase trixie --variant=minbase
    rm -rf "$qa/piuparts"
    mkdir -p "$qa/piuparts"
    ln "$roots_dir/trixie-minbase.tar" "$qa/piuparts/base.tar"
    # piuparts runs apt-get clean in its own root, so it sees the package
    # cache through an overlay; what it downloads joins the cache after.
    root_run trixie-buildd trixie "$qa" "
$prelude
add_packages piuparts
dpkg-query -W piuparts
cache=/var/cache/apt/archives
mkdir -p /tmp/overlay/upper /tmp/overlay/work /tmp/overlay/merged
mount -t overlay overlay -o lowerdir=\$cache,upperdir=/tmp/overlay/upper,workdir=/tmp/overlay/work \\
  /tmp/overlay/merged
mount --bind /tmp/overlay/merged \$cache
status=0
piuparts --basetgz=/qa/piuparts/base.tar --keep-sources-list --no-upgrade-test --bindmount=\$cache \\
  /qa/build-trixie/quillmere_*_amd64.deb >/tmp/piuparts.log 2>&1 || status=\$?
umount \$cache
find /tmp/overlay/upper -maxdepth 1 -type f -name '*.deb' -exec cp -n {} \$cache/ ';'
grep -E 'INFO: (PASS|FAIL)|ERROR' /tmp/piuparts.log || true
[[ \$status -eq 0 ]] || { tail -n 80 /tmp/piuparts.log; exit \$status; }"
    rm -f "$qa/piuparts/base.tar"
    ;;

  cross)
    need 'source/*.dsc' source
    # A buildd root that has arm64 as a foreign architecture; this machine
    # does not.
    root_build trixie-cross trixie --variant=buildd --architectures=amd64,arm64
    rm -rf "$qa/cross"
    mkdir -p "$qa/cross"
    root_run trixie-cross trixie "$qa" "
$prelude
add_packages crossbuild-essential-arm64
add_build_deps -a arm64 -P cross,nocheck
$as_builder
build_as_builder /qa/cross/build.log nocheck --host-arch=arm64 --build-profiles=cross,nocheck -B -us -uc
cd .. && cp quillmere_*_arm64.deb /qa/cross/
deb=\$(echo quillmere_*_arm64.deb)
arch=\$(dpkg-deb -f \$deb Architecture)
[[ \$arch == arm64 ]] || { echo \"FAIL: \$deb is for \$arch\"; exit 1; }
dpkg-deb -x \$deb unpacked
for f in usr/bin/quillmere usr/share/man/man1/quillmere.1.gz \\
    usr/share/applications/example.quillmere.Quillmere.desktop \\
    usr/share/metainfo/example.quillmere.Quillmere.metainfo.xml \\
    usr/share/icons/hicolor/scalable/apps/quillmere.svg usr/share/doc/quillmere/copyright; do
  [[ -s unpacked/\$f ]] || { echo \"FAIL: \$deb lacks \$f\"; exit 1; }
done
# An ELF file names its machine in bytes 18 and 19, little-endian: 0xb7 is AArch64.
machine=\$(od -An -tx1 -j18 -N2 unpacked/usr/bin/quillmere | tr -d ' ')
[[ \$machine == b700 ]] || { echo \"FAIL: usr/bin/quillmere is for ELF machine \$machine\"; exit 1; }
echo \"cross: \$deb is arm64, its binary an AArch64 ELF file, with all its files\""
    ;;

  *)
    echo "usage: $0 source|build|build-bookworm|lintian|lintian-forky|blhc|reprotest|autopkgtest|piuparts|cross" >&2
    exit 2
    ;;
esac
echo "qa-$job passed in $SECONDS s"
