#!/usr/bin/env bash
# Damaged installations run through the capture tool: each data file empty, cut in half,
# with bytes flipped, replaced by a FIFO or a folder, and hand-made damage (absurd counts,
# names without a terminator, NaN and infinite coordinates, impossible font grids). Every
# case must end with the program's own loading message and exit code 1, or run to the end
# (exit 0), saying on stderr what it left out where the table expects that; none may
# crash, hang or meet a sanitizer.
# usage: hostile_data.sh TOOL SHARE_DIR GROUP     (GROUP: a file of the table, or "all")
# Prints one line per case and a count per outcome.
set -u
tool=$(realpath "$1")
share=$(realpath "$2")
group=${3:-all}
limit=${QH_HOSTILE_TIMEOUT:-180}

work=$(mktemp -d "${TMPDIR:-/tmp}/qh-hostile.XXXXXX")
trap 'rm -rf "$work"' EXIT
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0}
key='[HKEY_LOCAL_MACHINE\software\quorvale\screensavers\Quiet Highland]'

# A private installation: every file a link to the generated one until a case damages it.
fresh_installation() {
  rm -rf "$work/case"
  mkdir -p "$work/case/install/Data" "$work/case/config/quiet-highland" "$work/case/home"
  local f
  for f in "$share"/Data/*; do ln -s "$f" "$work/case/install/Data/"; done
  ln -s "$share/links.txt" "$work/case/install/links.txt"
  store="$work/case/config/quiet-highland/registry.reg"
  printf 'REGEDIT4\n\n%s\n"dir"="%s"\n' "$key" "$work/case/install" >"$store"
}

# The file a case damages: a real copy in place of the link (the store is already real).
target_of() {
  case "$1" in
    links.txt) echo "$work/case/install/links.txt" ;;
    registry.reg) echo "$store" ;;
    *) echo "$work/case/install/Data/$1" ;;
  esac
}
make_copy() {
  local t
  t=$(target_of "$1")
  if [ -L "$t" ]; then
    cp --remove-destination "$(readlink "$t")" "$t"
  fi
  echo "$t"
}
# Writes bytes given as printf escapes at an offset of the file, in place.
poke() { printf "$3" | dd of="$1" bs=1 seek="$2" conv=notrunc status=none; }

# Loaders naming each other's files: a mesh file of one flat triangle (no "[", "=" or "/"
# among its bytes, so it can stand before a catalogue's text), a descriptor (lines end in
# CR LF: a value runs to the CR), and catalogue entries in a group of their own.
mesh_bytes() {
  printf 'QHM\0'; head -c 24 /dev/zero; printf '\0\3\0\0\0\1\0\0\0'
  head -c 12 /dev/zero; printf '\0\0\200\77'; head -c 12 /dev/zero; printf '\0\0\200\77'; head -c 4 /dev/zero
  printf '\0\0\0\0\1\0\0\0\2\0\0\0'; head -c 24 /dev/zero
}
add_mesh() { mesh_bytes >"$work/case/install/Data/$1"; }
add_descriptor() { printf 'nummeshes=1\r\nmesh0=%s\r\ntexture0=%s\r\n' "$2" "$3" >"$work/case/install/Data/$1"; }
add_entries() { printf '[shared/]\n%s\n[/]\n' "$(printf '%s\n' "$@")" >>"$1"; }
# The catalogue's entry `name` names `file` instead.
rename_entry() { sed -i "s/^$2=.*/$2=$3/" "$1"; }

damage() {
  local file=$1 kind=$2 t size
  t=$(make_copy "$file")
  size=$(stat -c %s "$t")
  case "$kind" in
    empty) : >"$t" ;;
    half) head -c $((size / 2)) "$t" >"$t.half" && mv "$t.half" "$t" ;;
    flipped)
      local k pos byte
      for k in $(seq 1 15); do
        pos=$((size * k / 16))
        byte=$(od -An -tu1 -j "$pos" -N1 "$t" | tr -d ' ')
        poke "$t" "$pos" "\\$(printf %03o $((byte ^ 0x5A)))"
      done ;;
    fifo) rm -f "$t" && mkfifo "$t" ;;
    # Formats the program does not read, whose readers elsewhere trust their headers: a
    # GIMP picture claiming petabytes, and a good GIF.
    gimp_header) printf 'gimp xcf \0\6\0\377\331\4\0=\7 x' >"$t" ;;
    gif) printf 'GIF89a\1\0\1\0\0\0\0,\0\0\0\0\1\0\1\0\0\2\2D\1\0;' >"$t" ;;
    folder) rm -f "$t" && mkdir "$t" ;;
    count_max) poke "$t" 64 '\377\377\377\177' ;;
    count_minus_one) poke "$t" 64 '\377\377\377\377' ;;
    count_zero) poke "$t" 64 '\0\0\0\0' ;;
    unterminated_names) local r; for r in 0 1 2; do poke "$t" $((68 + 65 * r)) "$(printf 'x%.0s' $(seq 32))"; done ;;
    nan_coordinates)
      local r; for r in 0 1 2 3; do
        poke "$t" $((68 + 65 * r + 32)) '\0\0\300\177'  # x1 NaN
        poke "$t" $((68 + 65 * r + 36)) '\0\0\200\177'  # y1 +inf
        poke "$t" $((68 + 65 * r + 44)) '\0\0\200\377'  # y2 -inf
        poke "$t" $((68 + 65 * r + 48)) '\0\0\300\377'  # angle NaN
        poke "$t" $((68 + 65 * r + 52)) '\0\0\200\177'  # param x +inf
      done ;;
    cells_max) poke "$t" 0 '\377\377\377\177' ;;
    cells_minus_one) poke "$t" 0 '\377\377\377\377' ;;
    cells_zero) poke "$t" 0 '\0\0\0\0' ;;
    cells_outside_grid) poke "$t" 0 '\2\0\0\0' ;;
    long_names) printf '[%s/]\n%s=stone.tga\n[/]\n' "$(printf 'g%.0s' $(seq 300))" "$(printf 'n%.0s' $(seq 300))" >>"$t" ;;
    missing_picture) printf '[extra/]\nghost=ghost.tga\n[/]\n' >>"$t" ;;
    no_alpha_plane) head -c $((size - 480000)) "$t" >"$t.cut" && mv "$t.cut" "$t" ;;
    scene_count_max) printf '"settingsex"=hex:ff,00,00,00,00,00,00,00,00,00\n' >>"$t" ;;
    start_scene_max) printf '"settings"=hex:00,00,00,00,50,00,00,00,00,01,00,00,ff,ff,ff,7f,01,01,00,00\n' >>"$t" ;;
    dir_nowhere) printf 'REGEDIT4\n\n%s\n"dir"="%s"\n' "$key" "$work/case/nowhere" >"$t" ;;
    # Catalogue entries naming other loaders' files (the catalogue reads names holding
    # .jpg, .tga or .cgo; levels name entries, not files; the font and the backgrounds
    # have fixed names).
    entry_is_scene1s_background) rename_entry "$t" brookwater _a_back0.jpg ;;
    entry_is_the_incoming_background) rename_entry "$t" sky_lake _a_back1.jpg ;;
    entry_is_the_font_picture) rename_entry "$t" stone font.tga ;;
    entry_is_an_alpha_plane_picture) rename_entry "$t" stone _a_boulder.jpg ;;
    entries_share_a_descriptor)
      add_mesh thing.msh; add_descriptor thing.cgo thing.msh stone.tga; add_entries "$t" a=thing.cgo b=thing.cgo ;;
    # A descriptor's mesh and texture lines naming every other kind of file.
    descriptor_mesh_is_the_catalogue)
      # The attacker's catalogue: a valid mesh before its text, so the mesh loader accepts
      # the very bytes the catalogue's parse is reading.
      { mesh_bytes; cat "$t"; } >"$t.new" && mv "$t.new" "$t"
      add_descriptor thing.cgo gameobjs.txt stone.tga; add_entries "$t" a=thing.cgo ;;
    # descriptor_mesh:FILE, descriptor_texture:FILE: the descriptor's line names FILE.
    descriptor_mesh:* | descriptor_texture:*)
      local mesh=thing.msh texture=stone.tga
      if [ "${kind%%:*}" = descriptor_mesh ]; then mesh=${kind#*:}; else texture=${kind#*:}; fi
      add_mesh thing.msh; add_descriptor thing.cgo "$mesh" "$texture"; add_entries "$t" a=thing.cgo ;;
    descriptors_share_a_mesh)
      add_mesh thing.msh; add_descriptor thing.cgo thing.msh stone.tga; add_descriptor other.cgo thing.msh lake.jpg
      add_entries "$t" a=thing.cgo b=other.cgo ;;
    *) echo "unknown damage $kind" >&2; exit 2 ;;
  esac
}

# The table: file, damage, expected outcome. "message": the loading message and exit 1;
# "skip": runs to the end with a line on stderr saying what was left out; "runs": runs to
# the end (the damage changes nothing the program needs, or only what a picture shows). A
# fourth column gives the frames to run when the default (3, or 40 for scene 1's files) is
# not enough: 40 reach past the first change of scene, where the outgoing background goes.
cases() {
  cat <<'TABLE'
gameobjs.txt empty skip
gameobjs.txt half skip
gameobjs.txt flipped message
gameobjs.txt fifo message
gameobjs.txt folder message
gameobjs.txt long_names runs
gameobjs.txt missing_picture message
level0.lev empty runs
level0.lev half skip
level0.lev flipped skip
level0.lev fifo message
level0.lev folder message
level0.lev count_max skip
level0.lev count_minus_one skip
level0.lev count_zero runs
level0.lev unterminated_names skip
level0.lev nan_coordinates runs
level1.lev empty runs
level1.lev half skip
level1.lev flipped skip
level1.lev fifo message
level1.lev folder message
level1.lev count_max skip
level1.lev nan_coordinates runs
_a_back0.jpg empty skip
_a_back0.jpg half skip
_a_back0.jpg flipped runs
_a_back0.jpg fifo skip
_a_back0.jpg folder skip
_a_back0.jpg no_alpha_plane skip
_a_back1.jpg half skip
_a_back1.jpg fifo skip
font.dat empty message
font.dat half message
font.dat flipped runs
font.dat fifo message
font.dat folder message
font.dat cells_max message
font.dat cells_minus_one message
font.dat cells_zero message
font.dat cells_outside_grid message
_a_font.jpg empty message
_a_font.jpg half skip
_a_font.jpg fifo message
stone.tga empty message
stone.tga half message
stone.tga flipped runs
stone.tga fifo message
stone.tga gimp_header message
stone.tga gif message
stone.tga folder message
_a_boulder.jpg empty message
_a_boulder.jpg half skip
_a_boulder.jpg flipped runs
_a_boulder.jpg fifo message
lake.jpg empty message
lake.jpg half message
lake.jpg fifo message
links.txt empty runs
links.txt half runs
links.txt flipped runs
links.txt fifo message
links.txt folder message
registry.reg empty runs
registry.reg half runs
registry.reg flipped runs
registry.reg fifo runs
registry.reg folder runs
registry.reg scene_count_max message
registry.reg start_scene_max runs
registry.reg dir_nowhere message
gameobjs.txt entry_is_scene1s_background runs 40
gameobjs.txt entry_is_the_incoming_background runs 40
gameobjs.txt entry_is_the_font_picture runs
gameobjs.txt entry_is_an_alpha_plane_picture runs
gameobjs.txt entries_share_a_descriptor runs
gameobjs.txt descriptor_mesh_is_the_catalogue runs
gameobjs.txt descriptor_texture:gameobjs.txt message
gameobjs.txt descriptor_mesh:level0.lev message
gameobjs.txt descriptor_texture:level0.lev message
gameobjs.txt descriptor_mesh:font.dat message
gameobjs.txt descriptor_texture:font.dat message
gameobjs.txt descriptor_texture:font.tga runs
gameobjs.txt descriptor_texture:_a_back0.jpg runs 40
gameobjs.txt descriptor_texture:_a_boulder.jpg runs
gameobjs.txt descriptor_mesh:thing.cgo message
gameobjs.txt descriptor_texture:thing.cgo message
gameobjs.txt descriptor_mesh:stone.tga message
gameobjs.txt descriptor_texture:thing.msh message
gameobjs.txt descriptor_texture:stone.tga runs
gameobjs.txt descriptors_share_a_mesh runs
TABLE
}

status=0
declare -A counts=()
# The cases of loaders sharing files form a group of their own ("shared").
shared_case() { case "$1" in entry_* | entries_* | descriptor_* | descriptors_*) return 0 ;; esac; return 1; }
while read -r file kind expected frames; do
  if shared_case "$kind"; then
    [ "$group" = all ] || [ "$group" = shared ] || continue
  else
    [ "$group" = all ] || [ "$group" = "$file" ] || continue
  fi
  fresh_installation
  damage "$file" "$kind"
  # Scene 1's files are read at the first change of scene, 30 s in, and the outgoing
  # background is let go at its end, 36 s in; the rest at start-up.
  if [ -z "$frames" ]; then
    frames=3
    case "$file" in *1.*) frames=40 ;; esac
  fi
  (cd "$work/case" && HOME="$work/case/home" XDG_CONFIG_HOME="$work/case/config" XDG_CONFIG_DIRS="$work/case/xdg" \
    timeout -k 5 "$limit" "$tool" --frames "$frames" --dt 1000 --time 12:00:00 >"$work/out" 2>"$work/err")
  rc=$?
  outcome=""
  if grep -qE 'AddressSanitizer|UndefinedBehaviorSanitizer|runtime error:|LeakSanitizer' "$work/err"; then
    outcome="sanitizer"
  elif [ "$rc" -eq 124 ] || [ "$rc" -eq 137 ]; then
    outcome="hang"
  elif [ "$rc" -eq 1 ] && grep -qE "^Loading (Error|error): (Can't load |Couldn't load texture: )" "$work/err"; then
    outcome="message"
  elif [ "$rc" -eq 0 ] && grep -q '^Quiet Highland: .*\(left out\|without it\)' "$work/err"; then
    outcome="skip"
  elif [ "$rc" -eq 0 ]; then
    outcome="runs"
  else
    outcome="exit-$rc"
  fi
  counts[$outcome]=$((${counts[$outcome]:-0} + 1))
  line=$(grep -v '^$' "$work/err" | head -1)
  if [ "$outcome" = "$expected" ]; then
    printf 'ok    %-14s %-19s %-8s %s\n' "$file" "$kind" "$outcome" "$line"
  else
    printf 'FAIL  %-14s %-19s %-8s (expected %s)\n' "$file" "$kind" "$outcome" "$expected"
    sed 's/^/        /' "$work/err" | head -20
    status=1
  fi
done < <(cases)
summary=""
for o in "${!counts[@]}"; do summary="$summary $o=${counts[$o]}"; done
echo "outcomes:$summary"
exit $status
