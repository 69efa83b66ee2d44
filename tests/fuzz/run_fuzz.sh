#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a bounded time.
#
#   tests/fuzz/run_fuzz.sh <seconds per target> [target ...]
#
# Without target names every target below runs, one after the other (VELMAR_FUZZ_PARALLEL=n:
# up to n at once). Build folder:
# $VELMAR_FUZZ_BUILD (default <repository>/build-fuzz). The corpus grows in <build>/korpus/<target>,
# seeded from tests/fuzz/korpus/<target>; crashes, leaks, timeouts and out-of-memory inputs are
# written to <build>/funde/ and make the script fail.
set -euo pipefail

# One line per target: its name (source tests/fuzz/<name>.cpp), then extra libFuzzer options.
# A dictionary tests/fuzz/<name>.dict is used when present.
ZIELE=(
  "eigenschaften_fuzz -max_len=16384"
  "segmentleser_fuzz -max_len=4096"
  "png_fuzz -max_len=8192"
  "dds_fuzz -max_len=8192"
  # long enough for a file nested tens of thousands of levels deep
  "konfig_fuzz -max_len=200000"
  # room for a small atlas's pixels; larger ones only cost time
  "blockgrafik_fuzz -max_len=65536"
  "schrift_fuzz -max_len=65536"
  "filter_fuzz -max_len=16384"
)

# Everything below runs from one function, so bash has read the whole script before it starts
# and an edit to the list during a long run does not disturb it.
main() {
if [ $# -lt 1 ] || ! [[ "$1" =~ ^[0-9]+$ ]]; then
  echo "usage: $0 <seconds per target> [target ...]" >&2
  exit 2
fi
sekunden=$1
shift

hier=$(cd "$(dirname "$0")" && pwd)
wurzel=$(cd "$hier/../.." && pwd)
build=${VELMAR_FUZZ_BUILD:-$wurzel/build-fuzz}

gewaehlt=()
namen=()
for zeile in "${ZIELE[@]}"; do
  name=${zeile%% *}
  if [ $# -eq 0 ] || [[ " $* " == *" $name "* ]]; then
    gewaehlt+=("$zeile")
    namen+=("$name")
  fi
done
if [ ${#namen[@]} -eq 0 ]; then
  echo "no such target: $*" >&2
  exit 2
fi

ziele_liste=$(IFS=';'; echo "${namen[*]}")
cmake -S "$hier" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 "-DVELMAR_FUZZ_ZIELE=$ziele_liste" >/dev/null
cmake --build "$build" -j4 --target "${namen[@]}"

mkdir -p "$build/funde"
# One target: its run, then one summary line and a marker file when it found something.
laufe() {
  local name=$1 optionen=$2
  local korpus="$build/korpus/$name" log="$build/funde/$name.log"
  mkdir -p "$korpus"
  rm -f "$build/funde/$name.gefunden"
  local argumente=(-max_total_time="$sekunden" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1
                   -artifact_prefix="$build/funde/$name-")
  [ -f "$hier/$name.dict" ] && argumente+=(-dict="$hier/$name.dict")
  # shellcheck disable=SC2206
  argumente+=($optionen "$korpus")
  [ -d "$hier/korpus/$name" ] && argumente+=("$hier/korpus/$name")
  echo "== $name: ${sekunden}s"
  local start ergebnis dauer laeufe proSekunde abdeckung
  start=$(date +%s)
  if "$build/$name" "${argumente[@]}" >"$log" 2>&1; then
    ergebnis="nothing found"
  else
    ergebnis="FOUND (see $log)"
    touch "$build/funde/$name.gefunden"
  fi
  dauer=$(( $(date +%s) - start ))
  laeufe=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo "?")
  proSekunde=$(grep -o 'stat::average_exec_per_sec: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo "?")
  abdeckung=$(grep -o 'cov: [0-9]* ft: [0-9]*' "$log" | tail -1 || true)
  echo "== $name: ran ${dauer}s, $laeufe inputs ($proSekunde/s), ${abdeckung:-cov ?}," \
       "corpus $(ls "$korpus" | wc -l) files: $ergebnis"
}

# VELMAR_FUZZ_PARALLEL=n runs up to n targets at once (one core each); default one by one.
parallel=${VELMAR_FUZZ_PARALLEL:-1}
for zeile in "${gewaehlt[@]}"; do
  read -r name optionen <<<"$zeile"
  while [ "$(jobs -rp | wc -l)" -ge "$parallel" ]; do wait -n || true; done
  laufe "$name" "$optionen" &
done
wait

fehlgeschlagen=()
for name in "${namen[@]}"; do
  [ -f "$build/funde/$name.gefunden" ] && fehlgeschlagen+=("$name")
done
if [ ${#fehlgeschlagen[@]} -gt 0 ]; then
  echo "findings in: ${fehlgeschlagen[*]}" >&2
  exit 1
fi
}

main "$@"
