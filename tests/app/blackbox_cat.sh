#!/usr/bin/env bash
# Black-box tests of keying by CAT command: the staged program keys Hamlib's dummy
# rig behind a real rigctld (started here on a free port) as model 2, and rigctl
# reads the rig's PTT back the way another program sharing the rig would.
#
# Usage: blackbox_cat.sh CASE   (xmit_recv_qrt, interrupt, terminate, rigctld_stops,
#                                rigctld_hangs, no_rigctld, dial, log_contact)
# Needs VORDA_STAGE (the staged install), VORDA_MODEM (vorda-modem) and
# VORDA_SOURCE_DATA_DIR (for the code table the encoder uses).
set -uo pipefail

case_name=${1:?usage: blackbox_cat.sh CASE}
: "${VORDA_STAGE:?}" "${VORDA_MODEM:?}" "${VORDA_SOURCE_DATA_DIR:?}"
. "$(dirname "$0")/../blackbox/lib.sh"
need_tools xdotool xprop xsel xwininfo paplay parecord rigctld rigctl python3 od awk
instance=vorda-cat
fresh_home cat
rigctld_pid=""
cleanup_pids="$cleanup_pids rigctld_pid"

free_port() {
    python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

# The rig's PTT as rigctl reads it through rigctld, in $seen.
rig_ptt() { seen=$(rigctl -m 2 -r "localhost:$rig_port" t 2>/dev/null) && [ -n "$seen" ]; }
ptt_reads() { rig_ptt && [ "$seen" = "$1" ]; }  # 0|1

# A dummy rig keyed by command behind rigctld on a free port ($rig_port), or on
# PORT. A free port may be taken between choosing and binding it: then another is tried.
start_rigctld() {  # [PORT]
    local attempt
    for attempt in 1 2 3 4 5; do
        rig_port=${1:-$(free_port)}
        rigctld -m 1 -P RIG -T localhost -t "$rig_port" >"$work/rigctld.log" 2>&1 &
        rigctld_pid=$!
        retry_for 5 0.1 rig_ptt && return 0
        stop_pid "$rigctld_pid"
    done
    fail "rigctld did not start: $(tail -n 5 "$work/rigctld.log")"
}

start_keyed_by_cat() {  # PORT
    start_and_continue -xrm "$instance.ptt: 1" -xrm "$instance.pttMethod: cat" \
        -xrm "$instance.rigModel: 2" -xrm "$instance.rigPort: localhost:$1"
}

# Xmit, and the rig reads keyed within 10 s.
xmit_keys() {
    press_in "$main_window" ctrl+x || fail "cannot reach the main window"
    retry_for 10 0.2 ptt_reads 1 || fail "the rig reads PTT '$seen' 10 s after Xmit, not 1"
}

# Recv, and the rig reads unkeyed once the transmission (and its Morse
# identification) has ended.
recv_unkeys() {
    press_in "$main_window" ctrl+r || fail "cannot reach the main window"
    retry_for 30 0.2 ptt_reads 0 || fail "the rig reads PTT '$seen' 30 s after Recv, not 0"
}

# Gives the keyboard back to the transmit pane (in the middle of the window, below
# the receive pane) after reading the receive pane took it.
type_in_transmit_pane() {  # TEXT
    local X Y WIDTH HEIGHT SCREEN WINDOW
    eval "$(xdotool getwindowgeometry --shell "$main_window")"
    click_at "$main_window" $((X + WIDTH / 2)) $((Y + HEIGHT / 2)) 1
    xdotool type --delay 40 "$1"
}

notices_are() {  # COUNT TEXT
    seen=$(receive_pane_text | grep -cxF -- "$2")
    [ "$seen" -eq "$1" ]
}

# The radio frequency beside the receive (1) or transmit (2) field: the read-only
# field right of the frequency field (86 pixels wide), its arrows and its toggle.
radio_text() {  # 1|2
    local id x y
    read -r id x y <<<"$(child_windows "$main_window" ' 86x[0-9]+\+1\+1 ' | sed -n "${1}p")"
    [ -n "$id" ] || return 1
    read_selection xdotool windowraise "$main_window" mousemove $((x + 205)) $((y + 20)) \
        click --repeat 3 --delay 60 1
}
# Readings are made more than a multi-click apart, so that one triple click never
# runs into the next.
radio_reads() {  # 1|2 TEXT
    seen=$(radio_text "$1")
    [ "$seen" = "$2" ]
}
set_rig() { rigctl -m 2 -r "localhost:$rig_port" "$@" >/dev/null || fail "rigctl $* failed"; }

unkeyed_notice="PTT by CAT is not working: this transmission does not key the radio"
refused_notice="PTT by CAT: the radio refused to unkey and may still be transmitting"

case $case_name in
xmit_recv_qrt)
    start_rigctld
    start_keyed_by_cat "$rig_port"
    text=$(receive_pane_text)
    grep -qxF "   PTT Device:  CAT, Hamlib model 2 at localhost:$rig_port" <<<"$text" ||
        fail "the start-up report does not name the rig: $text"
    ptt_reads 0 || fail "the rig reads PTT '$seen' before Xmit"
    xmit_keys
    xdotool type --delay 40 "cat keyed"
    recv_unkeys
    # Keyed again, and QRT in the middle of the transmission unkeys.
    xmit_keys
    quit_with ctrl+q
    ptt_reads 0 || fail "the rig reads PTT '$seen' after QRT, not 0"
    grep -qiE "rig|hamlib|ptt" "$work/stderr" && fail "unexpected PTT messages: $(cat "$work/stderr")"
    ;;
interrupt | terminate)
    start_rigctld
    start_keyed_by_cat "$rig_port"
    xmit_keys
    quit_with "$([ "$case_name" = interrupt ] && echo -INT || echo -TERM)"
    ptt_reads 0 || fail "the rig reads PTT '$seen' after $case_name, not 0"
    ;;
rigctld_stops)
    # The rig's daemon goes away in the middle of a transmission: Recv still ends the
    # transmission, the refused unkey is told, the program goes on, and it keys the
    # radio again once the daemon is back.
    start_rigctld
    start_keyed_by_cat "$rig_port"
    record_monitor --latency-msec=20
    xmit_keys
    stop_pid "$rigctld_pid"
    rigctld_pid=""
    press_in "$main_window" ctrl+r || fail "cannot reach the main window"
    wait_for_silence 2 30 || fail "the transmission did not end 30 s after Recv"
    stop_recording
    retry_for 10 0.5 notices_are 1 "$refused_notice" ||
        fail "the receive pane tells the refused unkey $seen times, not once: $(receive_pane_text)"
    grep -qxF "PTT by CAT: Hamlib model 2 at localhost:$rig_port did not take the unkey command: IO error" \
        "$work/stderr" || fail "standard error does not tell the refused unkey: $(cat "$work/stderr")"
    kill -0 "$vorda_pid" 2>/dev/null || fail "the program ended"
    # The next Xmit transmits unkeyed, and says so.
    press_in "$main_window" ctrl+x || fail "cannot reach the main window"
    retry_for 10 0.5 notices_are 1 "$unkeyed_notice" ||
        fail "Xmit without the rig is told $seen times, not once: $(receive_pane_text)"
    press_in "$main_window" ctrl+r || fail "cannot reach the main window"
    # The daemon back at its address: the next Xmit finds it again.
    start_rigctld "$rig_port"
    xmit_keys
    recv_unkeys
    quit_with ctrl+q
    ;;
rigctld_hangs)
    # The daemon stops answering (SIGSTOP) while the radio is keyed: the unkey waits
    # for Hamlib's timeout in the modem's thread while the window goes on answering.
    start_rigctld
    start_keyed_by_cat "$rig_port"
    record_monitor --latency-msec=20
    xmit_keys
    kill -STOP "$rigctld_pid"
    press_in "$main_window" ctrl+r || fail "cannot reach the main window"
    wait_for_silence 2 30 || fail "the transmission did not end 30 s after Recv"
    # Read within 2 s (a blocked window leaves no selection), without the notice yet.
    text=$(receive_pane_text)
    grep -qxF "   Call:  N0CALL" <<<"$text" || fail "the window did not answer while the rig hung"
    grep -qxF "$refused_notice" <<<"$text" && fail "the unkey gave up before Hamlib's timeout"
    # Two commands of 10 s each.
    retry_for 40 1 notices_are 1 "$refused_notice" ||
        fail "the refused unkey is told $seen times: $(receive_pane_text)"
    kill -CONT "$rigctld_pid"
    quit_with ctrl+q
    ;;
dial)
    # The dial read through the rig: radio frequencies beside both fields on USB and
    # LSB, "---" while rigctld hangs, receiving undisturbed by it, and a rigctld
    # restarted in its place keying the next Xmit at once.
    start_rigctld
    start_keyed_by_cat "$rig_port"
    set_rig F 14070000
    set_rig M PKTUSB 3000
    retry_for 10 0.4 radio_reads 1 14071.000 || fail "the receive field's radio frequency reads '$seen'"
    radio_reads 2 14071.000 || fail "the transmit field's radio frequency reads '$seen'"
    set_rig M LSB 2400
    retry_for 10 0.4 radio_reads 1 14069.000 || fail "on LSB the radio frequency reads '$seen'"
    kill -STOP "$rigctld_pid"
    retry_for 10 0.5 radio_reads 1 --- || fail "a hung rig reads '$seen', not ---"
    play 1000 "cq cq de dl1abc dl1abc pse k"
    text=$(await_text "cq cq de dl1abc dl1abc pse k" 30 receive_pane_text) ||
        fail "the station was not received while the rig hung: $text"
    stop_pid "$player_pid"
    # Another rigctld in the place of the hung one.
    stop_pid "$rigctld_pid" KILL
    rigctld_pid=""
    start_rigctld "$rig_port"
    xmit_keys
    notices_are 0 "$unkeyed_notice" || fail "the first Xmit after the restart went out unkeyed"
    recv_unkeys
    quit_with ctrl+q
    ;;
log_contact)
    # Ctrl-K, the call and Enter log a contact on the rig's frequency, to the ADIF file
    # and as one datagram to a logger listening on the loopback address; a log that
    # cannot be written keeps the dialog open with what was typed.
    udp_port=$(free_port)
    python3 -c '
import socket, sys
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
s.bind(("127.0.0.1", int(sys.argv[1])))
s.settimeout(60)
open(sys.argv[2], "wb").write(s.recv(4096))' "$udp_port" "$work/datagram" &
    listener_pid=$!
    cleanup_pids="$cleanup_pids listener_pid"
    start_rigctld
    set_rig F 14070000
    set_rig M PKTUSB 3000
    start_and_continue -xrm "$instance.ptt: 1" -xrm "$instance.pttMethod: cat" \
        -xrm "$instance.rigPort: localhost:$rig_port" -xrm "$instance.logUdp: 127.0.0.1:$udp_port"
    retry_for 10 0.4 radio_reads 1 14071.000 || fail "the dial was not read: '$seen'"
    log=$HOME/.vordaDir/vorda.adi
    mkdir "$log"
    press_in "$main_window" ctrl+k || fail "cannot reach the main window"
    dialog=$(visible_window "VORDA LOG") || fail "Ctrl-K opened no VORDA LOG dialog"
    # As a window manager gives a new dialog the keyboard; the dialog puts it in CALL.
    focus_on "$dialog" || fail "the dialog does not take the keyboard"
    xdotool type --delay 40 "dl1abc"
    xdotool key Return
    retry_for 3 0.2 no_window "$dialog" "VORDA LOG" && fail "the dialog closed though the log is a directory"
    [ -s "$work/datagram" ] && fail "a contact not logged was sent"
    rmdir "$log"
    xdotool key Return
    window_gone "$dialog" "VORDA LOG" || fail "Enter did not log the contact"
    retry_for 10 0.2 test -s "$work/datagram" || fail "no datagram reached the logger"
    # The file and the datagram read back field by field.
    today=$(date -u +%Y%m%d)
    for source in "$log" "$work/datagram"; do
        fields=$(python3 -c '
import re, sys
text = open(sys.argv[1], "rb").read().decode()
if not text.startswith("<"):
    text = text[text.upper().index("<EOH>") + 5:]
at, record = 0, []
for m in re.finditer(r"<([A-Za-z_]+)(?::(\d+)(?::\w)?)?>", text):
    if m.start() < at: continue
    if m.group(2) is None:
        if m.group(1).upper() == "EOR": print(" ".join(record)); record = []
        continue
    at = m.end() + int(m.group(2)); record.append(m.group(1).upper() + "=" + text[m.end():at])
' "$source") || fail "$source does not parse"
        expected="CALL=DL1ABC QSO_DATE=$today TIME_ON=[0-9]{6} FREQ=14.071000 BAND=20m MODE=PSK SUBMODE=PSK31 RST_SENT=599 RST_RCVD=599"
        grep -qxE "$expected" <<<"$fields" || fail "$source holds '$fields', not $expected"
    done
    quit_with ctrl+q
    ;;
no_rigctld)
    # Nothing listens at rigPort: one message at start, the program receives, and
    # every transmission says it went out unkeyed.
    port=$(free_port)
    start_keyed_by_cat "$port"
    message="Cannot open the rig, Hamlib model 2 at localhost:$port: IO error: Xmit will not key the radio"
    [ "$(grep -ciE "rig|hamlib|ptt" "$work/stderr")" -eq 1 ] && grep -qxF "$message" "$work/stderr" ||
        fail "standard error does not hold the one message '$message': $(cat "$work/stderr")"
    text=$(receive_pane_text)
    grep -qxF "$message" <<<"$text" || fail "the start-up report lacks '$message': $text"
    play 1000 "cq cq de vorda no rig here k"
    text=$(await_text "no rig here" 20 receive_pane_text) || fail "nothing received: $text"
    stop_pid "$player_pid"
    for transmission in 1 2; do
        press_in "$main_window" ctrl+x || fail "cannot reach the main window"
        retry_for 10 0.5 notices_are "$transmission" "$unkeyed_notice" ||
            fail "transmission $transmission is told $seen times: $(receive_pane_text)"
        type_in_transmit_pane "unkeyed $transmission"
        press_in "$main_window" ctrl+r || fail "cannot reach the main window"
        # To the end of the Morse identification: the pane is read once it has come,
        # not while characters still arrive.
        await_text "unkeyed $transmission de N0CALL" 30 receive_pane_text >/dev/null ||
            fail "transmission $transmission was not echoed to its end"
    done
    # Once per transmission, not once per poll of a transmission that goes on.
    notices_are 2 "$unkeyed_notice" || fail "$seen notices after two transmissions: $(receive_pane_text)"
    quit_with ctrl+q
    ;;
*)
    echo "unknown case $case_name"
    exit 2
    ;;
esac
echo "PASS ($case_name)"
