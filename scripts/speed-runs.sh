#!/usr/bin/env bash
# Times whole `ksn run`s of a glass ball in water (two materials) on 64 x 64, 128 x 128,
# 256 x 256 and 1024 x 1 grids with 100 slices, for the scalar (swpm) and the vector
# (vwpm) method on 1 and 2 threads, as a user would run them (a fresh process each,
# no pictures). Prints the least wall time of REPEATS runs (default 3) per case, from
# the summary's overall time (the run itself) and from the clock (the whole process).
#   scripts/speed-runs.sh [REPEATS]      after ./run.sh (uses build/app/cli/ksn)
set -euo pipefail
repeats=${1:-3}
cd "$(dirname "$0")/.."
ksn=build/app/cli/ksn
[ -x "$ksn" ] || { echo "build first: ./run.sh" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

scene() { # nx ny X Y radius sigma
  cat <<INI
[global]
multithreaded=0
modulotracking=0
modulus=1
simmethod=swpm
layernum=1
wavenum=1
scale=um
largescene=0
bidirectional=0
reflections=0
extraModes=0
allcomplex=0
parmvariation=0
numofparms=0
independent=0
evanescent=0
X=$3
Y=$4
Z=50
nx=$1
ny=$2
nz=100

[layer0]
type=Sphere
Z=50
shiftz=-25
X0=0
Y0=0
Radius=$5
nSubject=1.5
kappaSubject=0
nSpace=1.33
kappaSpace=0
deltaN=0
deltaKappa=0
shape=circ
smooth=0
report=1

[wave0]
shape=gaussian
angular=deg
lambda=0.633
theta=0
delta=0
rho=0
psi=0
amplitude=1
shiftx=0
shifty=0
shiftz=0
sigmax=$6
sigmay=$6
INI
}

scene 64 64 32 32 10 6 >"$work/g64.ini"
scene 128 128 64 64 20 12 >"$work/g128.ini"
scene 256 256 128 128 40 24 >"$work/g256.ini"
scene 1024 1 512 0 100 60 >"$work/g1024x1.ini"

printf '%-8s %-6s %-8s %12s %12s\n' grid method threads "run [ms]" "process [ms]"
for g in 64 128 256 1024x1; do
  for method in swpm vwpm; do
    for threads in 1 2; do
      best_run=""; best_all=""
      for ((i = 0; i < repeats; i++)); do
        start=$(date +%s%N)
        "$ksn" run "$work/g$g.ini" -o "$work/out" --method "$method" --threads "$threads" --no-plots --quiet
        end=$(date +%s%N)
        all=$(((end - start) / 1000000))
        run=$(sed -n 's/.*"overall_time_ms": \([0-9.]*\).*/\1/p' "$work/out/summary.json")
        if [ -z "$best_run" ] || awk "BEGIN{exit !($run < $best_run)}"; then best_run=$run; fi
        if [ -z "$best_all" ] || [ "$all" -lt "$best_all" ]; then best_all=$all; fi
      done
      printf '%-8s %-6s %-8s %12.1f %12d\n' "$g" "$method" "$threads" "$best_run" "$best_all"
    done
  done
done
