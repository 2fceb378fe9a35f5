#!/usr/bin/env bash
# Every #include "folder/..." of the engine must point at its own folder or a floor below
# it. Prints each offending file and line and fails when there is one.
#
# Floors, bottom up: core, render, resources, {scene, overlay, sound, ui}, host, {tools,
# bench, fuzz}. The folders of floor 3 do not include each other, except for the pairs
# allowed below (each with its reason).
set -euo pipefail
root="${1:-$(cd "$(dirname "$0")/.." && pwd)}"

floor_of() {
  case "$1" in
    core) echo 0 ;;
    render) echo 1 ;;
    resources) echo 2 ;;
    scene | overlay | sound | ui) echo 3 ;;
    host) echo 4 ;;
    tools | bench | fuzz) echo 5 ;;
    tests) echo 6 ;;
    *) echo -1 ;;
  esac
}

# "from:to" pairs of floor 3 that may meet, one per line, with why.
allowed_side_by_side=(
  # The nature sounds follow the scene on show: sound reads the scene cursor.
  "sound:scene"
)

side_by_side_allowed() {
  local pair
  for pair in "${allowed_side_by_side[@]}"; do
    [ "$pair" = "$1:$2" ] && return 0
  done
  return 1
}

status=0
while IFS= read -r -d '' file; do
  rel="${file#"$root"/}"
  from="${rel%%/*}"
  from_floor=$(floor_of "$from")
  [ "$from_floor" -lt 0 ] && continue
  while IFS=: read -r line text; do
    target=$(sed -E 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"([^/"]+)\/.*/\1/' <<<"$text")
    [ "$target" = "$text" ] && continue
    to_floor=$(floor_of "$target")
    [ "$to_floor" -lt 0 ] && continue
    [ "$target" = "$from" ] && continue
    # The benchmarks and the installation's fuzz target draw the engine into the tests'
    # recording device: the test doubles are the one part of tests/ below them.
    { [ "$from" = bench ] || [ "$from" = fuzz ]; } && [[ "$text" == *'"tests/support/'* ]] && continue
    if [ "$to_floor" -gt "$from_floor" ]; then
      echo "$rel:$line: $from (floor $from_floor) includes $target (floor $to_floor), a floor above it: $text"
      status=1
    elif [ "$to_floor" -eq "$from_floor" ] && [ "$from_floor" -ne 5 ] && ! side_by_side_allowed "$from" "$target"; then
      echo "$rel:$line: $from includes $target, side by side on floor $from_floor without an allowed reason: $text"
      status=1
    fi
  done < <(grep -n -E '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "$file" || true)
done < <(find "$root" \( -path "$root/build*" -o -path "$root/.git" \) -prune -o \
              -type f \( -name '*.cpp' -o -name '*.h' -o -name '*.hpp' -o -name '*.cc' \) -print0)

# The device sees only the presentation interface: the window systems stay in host/.
while IFS= read -r hit; do
  echo "${hit#"$root"/}: render/ includes a window system's header (SDL, X11, EGL or Wayland); only host/ may"
  status=1
done < <(grep -rn -E '^[[:space:]]*#[[:space:]]*include[[:space:]]*[<"](SDL[^/]*\.h|SDL2/|EGL/|X11/|wayland-|xdg-|wlr-)' \
              --include='*.h' --include='*.cpp' "$root/render" || true)

if [ "$status" -eq 0 ]; then echo "layering: every include points at its own floor or one below it"; fi
exit "$status"
