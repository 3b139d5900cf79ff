# shellcheck shell=bash
# SPDX-License-Identifier: MIT
# Checks, before a make target does anything, that it can write where it
# writes, and otherwise says in one line what stands in the way and what
# mends it: otherwise CMake, the compiler or the screenshot fail later with
# messages that never say so. Sourced by run.sh and package.sh, which set
#   writer       the command, as the user typed it ("make run")
#   writer_area  the directory that holds all it writes (the build
#                directory): advice about anything in it names it whole,
#                so that one command mends everything at once.
: "${writer:?writable.sh needs the variable writer}"

# Why PATH, which exists, cannot be written; nothing when it can. The
# answer comes from trying, as the system's own word decides it: a
# read-only mount, another user's file and a mode without write permission
# all refuse alike to the permission bits alone.
reason_not_writable() {  # PATH
  local path=$1 error owner
  if [[ -d $path ]]; then
    if error=$(mktemp -p "$path" .writable.XXXXXX 2>&1); then
      rm -f -- "$error"
      return 0
    fi
  elif [[ -f $path ]]; then
    error=$( (: >>"$path") 2>&1) && return 0
  else
    echo "something in the way"
    return 0
  fi
  if [[ $error == *"Read-only file system"* ]]; then
    echo "read-only file system"
  elif owner=$(stat -c %U -- "$path") && [[ $owner != "$(id -un)" ]]; then
    echo "owned by $owner"
  else
    echo "Permission denied"
  fi
}

# WORD as a shell reads it, quoted where it holds more than letters,
# digits and "_./-": advice is a command to copy, even for a path with
# spaces.
quoted() {  # WORD
  if [[ $1 =~ ^[A-Za-z0-9_./-]+$ ]]; then
    echo "$1"
  else
    echo "'${1//\'/\'\\\'\'}'"
  fi
}

# Says that WHAT at PATH cannot be written because of BLOCKER, and why, and
# exits.
cannot_write() {  # WHAT PATH BLOCKER REASON
  local what=$1 path=$2 blocker=$3 reason=$4 mend
  if [[ $reason != "something in the way" && -n ${writer_area:-} &&
    ($blocker == "$writer_area" || $blocker == "$writer_area"/*) ]]; then
    blocker=$writer_area
  fi
  case $reason in
    "something in the way") mend="remove $blocker, which is in the way" ;;
    "read-only file system") mend="clone the repository to a directory you can write" ;;
    "owned by "*)
      mend="make $blocker yours (for example, sudo chown -R $(id -un): $(quoted "$blocker"))"
      ;;
    *) mend="make $blocker writable (for example, chmod -R u+w $(quoted "$blocker"))" ;;
  esac
  echo "$writer cannot write $what $path ($reason): $mend, then run $writer again." >&2
  exit 1
}

# The directory PATH can be written, or made where it is missing; with
# --recursive, everything in it can be written too.
need_writable_dir() {  # WHAT PATH [--recursive]
  local what=$1 path=$2 above blocker reason
  if [[ -e $path || -L $path ]]; then
    [[ -d $path ]] || cannot_write "$what" "$path" "$path" "something in the way"
    blocker=$path
    if [[ ${3:-} == --recursive ]]; then
      blocker=$(find "$path" ! -writable -print -quit)
      [[ -n $blocker ]] || return 0
    fi
  else
    # It is to be made: the nearest directory above it that exists must take it.
    above=$(dirname "$path")
    while [[ ! -e $above && ! -L $above ]]; do above=$(dirname "$above"); done
    [[ -d $above ]] || cannot_write "$what" "$path" "$above" "something in the way"
    blocker=$above
  fi
  reason=$(reason_not_writable "$blocker")
  [[ -z $reason ]] || cannot_write "$what" "$path" "$blocker" "$reason"
}

# The file PATH can be written, where it exists; a missing one is made in a
# directory already checked.
need_writable_file() {  # WHAT PATH
  local what=$1 path=$2 reason
  [[ -e $path || -L $path ]] || return 0
  [[ -f $path ]] || cannot_write "$what" "$path" "$path" "something in the way"
  reason=$(reason_not_writable "$path")
  [[ -z $reason ]] || cannot_write "$what" "$path" "$path" "$reason"
}

# The directory for temporary files, TMPDIR or /tmp: the compiler and the
# virtual display keep theirs there.
need_writable_tmp() {
  local tmp=${TMPDIR:-/tmp} reason
  if [[ ! -e $tmp ]]; then
    reason="No such file or directory"
  elif [[ ! -d $tmp ]]; then
    reason="Not a directory"
  else
    reason=$(reason_not_writable "$tmp")
  fi
  if [[ -n $reason ]]; then
    echo "$writer cannot write its temporary files in $tmp ($reason):" \
      "set TMPDIR to a directory you can write, or unset it, then run $writer again." >&2
    exit 1
  fi
}
