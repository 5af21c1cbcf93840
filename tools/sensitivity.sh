#!/usr/bin/env bash
# Character error rate of vorda-modem in white noise: each mode and sideband is encoded
# once with `vorda-modem encode`, then for every signal-to-noise ratio (noise counted
# in 2500 Hz) and every seed noise is added and the file decoded, with the default
# squelch and with the squelch off. Prints a Markdown table: the errors (edit
# distance) summed over the seeds, divided by the characters sent. A second table
# does the same on fading signals (upper sideband): sinusoidal, 20 dB deep with a
# 9 s period, 3 dB above the noise at the peaks; and random (Rayleigh, 0.1 Hz Doppler
# spread), 8 dB below the noise on average.
#
# Usage: tools/sensitivity.sh BUILD_DIR [SEEDS]
set -euo pipefail
build=${1:?usage: sensitivity.sh BUILD_DIR [SEEDS]}
seeds=${2:-5}
modem="$build/tools/vorda-modem"
helper="$build/tools/vorda-sensitivity"
table="$(cd "$(dirname "$0")/.." && pwd)/data"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Character error rate over the seeds for $work/clean.wav: cer SQUELCH SNR [FADE]
cer() {
    local squelch=$1 snr=$2 fade=${3:-} errors=0 total=0 seed e n
    for seed in $(seq 1 "$seeds"); do
        "$helper" noise "$work/clean.wav" "$work/noisy.wav" "$snr" "$seed" $fade
        "$modem" decode --table "$table" "${flags[@]}" --squelch "$squelch" \
            "$work/noisy.wav" >"$work/received.txt"
        read -r e n < <("$helper" cer "$work/sent.txt" "$work/received.txt")
        errors=$((errors + e)) total=$((total + n))
    done
    awk -v e=$errors -v n=$total 'BEGIN { printf "%.3f", e / n }'
}

# 300 characters and more of an ordinary exchange.
printf '%s' "cq cq cq de dl1abc dl1abc dl1abc pse k
dl1abc de g4xyz good morning and thanks for the call. your signal is 579 here in the north \
of england. name is peter, qth near york. rig is a small transceiver at 20 watts into a \
dipole. how copy? dl1abc de g4xyz k
g4xyz de dl1abc fine copy peter, 73 and gud dx. sk
" >"$work/sent.txt"

snrs="-8 -10 -12 -14"
echo "| mode | squelch |$(for s in $snrs; do printf ' %s dB |' "$s"; done)"
echo "|---|---|$(for s in $snrs; do printf -- '---|'; done)"
for mode in bpsk qpsk; do
    for side in usb lsb; do
        flags=()
        [ $mode = qpsk ] && flags+=(--qpsk)
        [ $side = lsb ] && flags+=(--lsb)
        "$modem" encode --table "$table" "${flags[@]}" -o "$work/clean.wav" "$(cat "$work/sent.txt")"
        for squelch in 15 -1; do
            row="| ${mode^^}31 ${side^^} | $([ "$squelch" = -1 ] && echo off || echo "$squelch") |"
            for snr in $snrs; do
                row="$row $(cer "$squelch" "$snr") |"
            done
            echo "$row"
        done
    done
done

echo
echo "| mode | squelch | sine fading, 3 dB at the peaks | random fading, -8 dB mean |"
echo "|---|---|---|---|"
for mode in bpsk qpsk; do
    flags=()
    [ $mode = qpsk ] && flags+=(--qpsk)
    "$modem" encode --table "$table" "${flags[@]}" -o "$work/clean.wav" "$(cat "$work/sent.txt")"
    for squelch in 15 -1; do
        echo "| ${mode^^}31 USB | $([ "$squelch" = -1 ] && echo off || echo "$squelch") |" \
            "$(cer "$squelch" 3 sine) | $(cer "$squelch" -8 random) |"
    done
done
