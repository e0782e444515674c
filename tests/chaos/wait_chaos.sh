#!/usr/bin/env bash
# tessivo --wait against a hostile virtual modem chosen at random from a seed:
# reply delays of up to 3 s (after the echo or before it), answers split
# anywhere, unsolicited +CPIN:, RING and ^SIMST lines amid them, 1 to 3 PIN
# tries left, the right or a wrong PIN, with or without --last-try. After
# every run the modem's own record of the passwords it got must show:
#   - no password twice,
#   - none to a SIM that was not waiting for it,
#   - none at one try left without --last-try.
# Usage: wait_chaos.sh TESSIVO MODEMSIM FIRST-SEED COUNT [SIDE-BY-SIDE]
# Runs SIDE-BY-SIDE seeds at once (default 10: they mostly wait), prints the
# seeds of any violation and ends with "N passed, N failed".
set -uo pipefail
tessivo=$1 modemsim=$2 first=$3 count=$4 side=${5:-10}
work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null; rm -rf "$work"' EXIT

# one_seed SEED: one run; its verdict in $work/verdict-SEED ("ok" or why).
one_seed() {
  local seed=$1 tries pin last record link modem status why lines
  RANDOM=$seed
  tries=$((RANDOM % 3 + 1))
  pin=1234
  ((RANDOM % 4 == 0)) && pin=9999
  last=()
  ((RANDOM % 3 == 0)) && last=(--last-try)
  record=$work/record-$seed
  link=$work/modem-$seed
  "$modemsim" --link "$link" --chaos "$seed" --record "$record" --pin-tries "$tries" \
    --cmee 2 </dev/null >"$work/modem-$seed.log" 2>&1 &
  modem=$!
  for _ in $(seq 100); do [[ -e $link ]] && break; sleep 0.05; done
  "$tessivo" --wait 10 "${last[@]}" "$link" "$pin" >/dev/null 2>"$work/err-$seed" </dev/null
  status=$?
  kill "$modem" 2>/dev/null
  wait "$modem" 2>/dev/null
  touch "$record"
  why=
  lines=$(grep -c '' "$record")
  ((lines > 1)) && why+=" a password $lines times;"
  grep -v '^pin state=pin ' "$record" | grep -q . && why+=" to a SIM not waiting for it;"
  if ((${#last[@]} == 0)) && grep -q 'pin-tries=1 ' "$record"; then why+=" the last try;"; fi
  if [[ -n $why ]]; then
    {
      echo "seed $seed (tries $tries, PIN $pin, ${last[*]:-no --last-try}, status $status):$why"
      sed 's/^/  record: /' "$record"
      sed 's/^/  stderr: /' "$work/err-$seed"
    } >"$work/verdict-$seed"
  else
    echo ok >"$work/verdict-$seed"
  fi
}

passed=0 failed=0
for ((batch = first; batch < first + count; batch += side)); do
  for ((seed = batch; seed < batch + side && seed < first + count; seed++)); do
    one_seed "$seed" &
  done
  wait
  for ((seed = batch; seed < batch + side && seed < first + count; seed++)); do
    if [[ $(cat "$work/verdict-$seed" 2>/dev/null) == ok ]]; then
      passed=$((passed + 1))
    else
      failed=$((failed + 1))
      cat "$work/verdict-$seed" 2>/dev/null || echo "seed $seed: no verdict"
    fi
  done
done
echo "$passed passed, $failed failed"
((failed == 0))
