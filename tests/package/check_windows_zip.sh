#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Checks the download for Windows users, as a Windows user and a packager
# would: it holds the viewer, README.txt and LICENSE.txt and nothing else;
# the two texts end their lines as Windows does; the viewer is the one the
# Windows tree built, a 64-bit console program with ASLR (high entropy) and
# DEP, importing only DLLs that ship with Windows, with an icon and a version
# resource that names the changelog's version.
#   check_windows_zip.sh SOURCE_DIR ZIP BUILT_EXE WORK_DIR
set -euo pipefail
src=$1
zip=$2
built=$3
work=$4
fail() { echo "FAIL: $*" >&2; exit 1; }
# A missing tool is a skip (77 to CTest) that names it, not a failure.
for tool in unzip x86_64-w64-mingw32-objdump wrestool dpkg-parsechangelog; do
  command -v "$tool" >/dev/null || { echo "SKIPPED: $tool is not installed"; exit 77; }
done
[[ -s "$zip" ]] || fail "no $zip; make package-windows builds it"

rm -rf "$work"
mkdir -p "$work"
unzip -q "$zip" -d "$work/unpacked"
listed=$(unzip -Z1 "$zip" | sort | tr '\n' ' ')
[[ "$listed" == "LICENSE.txt README.txt quillmere.exe " ]] || fail "the zip holds: $listed"
for text in README.txt LICENSE.txt; do
  # Every line ends in CR LF: no LF without its CR, and no CR elsewhere.
  lines=$(wc -l <"$work/unpacked/$text")
  crlf=$(grep -c $'\r$' "$work/unpacked/$text" || true)
  [[ $lines -gt 0 && $crlf -eq $lines ]] || fail "$text has $crlf of $lines lines ending in CR LF"
  [[ $(tr -cd '\r' <"$work/unpacked/$text" | wc -c) -eq $lines ]] || fail "$text has a stray CR"
done
exe="$work/unpacked/quillmere.exe"
cmp -s "$exe" "$built" || fail "the zip's quillmere.exe is not the one the Windows tree built"

headers=$(x86_64-w64-mingw32-objdump -p "$exe")
grep -q '^Magic[[:space:]]*020b' <<<"$headers" || fail "not a 64-bit (PE32+) program"
grep -q '^Subsystem[[:space:]].*(Windows CUI)' <<<"$headers" || fail "not a console program"
for protection in HIGH_ENTROPY_VA DYNAMIC_BASE NX_COMPAT; do
  sed -n '/^DllCharacteristics/,/^SizeOf/p' <<<"$headers" | grep -qw "$protection" ||
    fail "DllCharacteristics lacks $protection"
done
# The DLLs of Windows itself that a static GLUT program needs.
windows_dlls=" ADVAPI32.dll GDI32.dll GLU32.dll KERNEL32.dll msvcrt.dll OPENGL32.dll USER32.dll WINMM.dll "
mapfile -t imports < <(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$headers")
[[ ${#imports[@]} -gt 0 ]] || fail "no imports found"
for dll in "${imports[@]}"; do
  [[ "$windows_dlls" == *" $dll "* ]] || fail "it imports $dll, which Windows does not ship"
done

version=$(dpkg-parsechangelog -l "$src/debian/changelog" -S Version)
resources=$(wrestool -l "$exe")
grep -q -- '--type=14 ' <<<"$resources" || fail "no icon"
wrestool -x --raw --type=16 "$exe" >"$work/version.bin"
[[ -s "$work/version.bin" ]] || fail "no version resource"
# The strings are UTF-16; the fixed part holds the numbers after the
# signature 0xFEEF04BD, each 32-bit word as two 16-bit halves, low first.
strings=$(iconv -c -f UTF-16LE -t UTF-8 "$work/version.bin" 2>/dev/null | tr -c '[:print:]' '\n' | grep -v '^$')
for key in FileVersion ProductVersion; do
  grep -A1 -x "$key" <<<"$strings" | tail -n1 | grep -qx "$version" ||
    fail "the version resource's $key is not $version"
done
at=$(LC_ALL=C grep -obUaP '\xbd\x04\xef\xfe' "$work/version.bin" | head -n1 | cut -d: -f1)
[[ -n "$at" ]] || fail "the version resource has no fixed part"
read -r minor major zero patch < <(od -An -tu2 -j $((at + 8)) -N 8 "$work/version.bin")
[[ "$major.$minor.$patch" == "$version" && $zero -eq 0 ]] ||
  fail "the version resource's FILEVERSION is $major.$minor.$patch.$zero, not $version"
echo "windows zip ok: ${zip##*/}: $listed; imports ${imports[*]}; version $version"
