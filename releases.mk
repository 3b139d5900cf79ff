# SPDX-License-Identifier: MIT
# The Debian releases Quillmere is made for, each CODENAME:ROLE; the
# Makefile reads them, and everything about a release derives from them: its
# throwaway roots, CI's run of a new user's commands in it, and the QA jobs
# its role brings (stable: the package's QA on its build; oldstable: a
# build of its own; any other: stable's package checked by its lintian).
# A new release is one word more.
RELEASES := trixie:stable bookworm:oldstable forky:testing
