#!/usr/bin/env bash
# Fails when a C++ source differs from what clang-format makes of it with the repository's
# .clang-format, and lists those files. Fix one with: clang-format -i FILE
# The formatter's version matters (layouts change between releases): 14 is used when installed;
# CLANG_FORMAT names another.
set -euo pipefail
cd "$(dirname "$0")/.."

formatter=${CLANG_FORMAT:-}
if [ -z "$formatter" ]; then
  for candidate in clang-format-14 clang-format; do
    if command -v "$candidate" >/dev/null; then
      formatter=$candidate
      break
    fi
  done
fi
if [ -z "$formatter" ]; then
  echo "check-format: clang-format not found" >&2
  exit 2
fi
# A style file the formatter cannot read would make every file look wrong.
if ! "$formatter" --style=file --dump-config >/dev/null; then
  echo "check-format: $formatter cannot read .clang-format" >&2
  exit 2
fi

mapfile -t files < <(find src tests tools bench fuzz -type f \( -name '*.cpp' -o -name '*.h' \) | sort)
differ=()
for f in "${files[@]}"; do
  if ! "$formatter" --style=file --dry-run --Werror "$f" >/dev/null 2>&1; then
    differ+=("$f")
  fi
done

if [ ${#differ[@]} -gt 0 ]; then
  echo "check-format: ${#differ[@]} of ${#files[@]} files differ from $formatter's layout:" >&2
  printf '  %s\n' "${differ[@]}" >&2
  exit 1
fi
echo "check-format: ${#files[@]} files formatted"
