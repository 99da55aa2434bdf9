#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Puts the licence identifier at the top of every source file, once:
#   C++ (.h, .cpp)                      // SPDX-License-Identifier: GPL-3.0-or-later  (first line)
#   CMake and shell (CMakeLists.txt, .cmake, .sh)
#                                       # SPDX-License-Identifier: GPL-3.0-or-later  (first line,
#                                         or the second after a #! line)
# Files that carry an identifier there already are left as they are, so running
# it again changes nothing.
#   bash scripts/spdx.sh           add the missing lines
#   bash scripts/spdx.sh --check   only list the files without one; exit 1 if there are any
set -euo pipefail
cd "$(dirname "$0")/.."

licence="GPL-3.0-or-later"
check=false
case "${1:-}" in
    --check) check=true ;;
    "") ;;
    *) echo "usage: $0 [--check]" >&2; exit 2 ;;
esac

# Every source file git knows or would add (tracked, or new and not ignored).
sources() {
    git ls-files -z --cached --others --exclude-standard -- \
        '*.h' '*.cpp' '*.cmake' '*.sh' 'CMakeLists.txt' '**/CMakeLists.txt' | sort -zu
}

# An identifier line on the first line, or on the second after a #! line.
has_identifier() {
    head -n 2 "$1" | grep -qE '^(//|#) *SPDX-License-Identifier:'
}

missing=0
while IFS= read -r -d '' file; do
    [ -f "$file" ] || continue
    has_identifier "$file" && continue
    if $check; then
        echo "no SPDX-License-Identifier: $file"
        missing=$((missing + 1))
        continue
    fi
    case "$file" in
        *.h | *.cpp) line="// SPDX-License-Identifier: $licence" ;;
        *) line="# SPDX-License-Identifier: $licence" ;;
    esac
    tmp="$(mktemp "$file.spdx.XXXXXX")"
    if head -n 1 "$file" | grep -q '^#!'; then
        { head -n 1 "$file"; echo "$line"; tail -n +2 "$file"; } >"$tmp"
    else
        { echo "$line"; cat "$file"; } >"$tmp"
    fi
    # Keep the file's mode (scripts stay executable).
    chmod --reference="$file" "$tmp"
    mv "$tmp" "$file"
    echo "added: $file"
done < <(sources)

if $check && [ "$missing" -gt 0 ]; then
    echo "$missing source file(s) without a licence identifier; run: bash scripts/spdx.sh" >&2
    exit 1
fi
