# What the black-box scripts share (sourced): a fresh home, starting and ending
# the program, finding and driving its windows, reading its panes as an operator
# would (select all, PRIMARY selection), and reading recorded audio.
#
# The caller sets $case_name (named in failures) and $instance (the toolkit's
# -name of the program, which tells its windows from those of other tests on the
# same screen). $main_window is set by start_and_continue.
#
# Hooks a script may define: cleanup_more (run on exit), fail_more (run by fail
# before the program's standard error is shown).

vorda_pid=""
other_pid=""    # a second instance, where a case runs two
player_pid=""
recorder_pid=""
cleanup_pids="player_pid recorder_pid:INT" # "VARIABLE[:SIGNAL]" to stop on exit
vorda_bin=${VORDA_STAGE:+$VORDA_STAGE/bin/vorda}

need_tools() {  # TOOL...
    [ -n "${DISPLAY:-}" ] || { echo "no DISPLAY: run under tests/with-services.sh"; exit 1; }
    local tool
    for tool in "$@"; do
        command -v "$tool" >/dev/null || { echo "$tool is not installed (make deps)"; exit 1; }
    done
}

# Deadlines are wall-clock times in milliseconds: one round of a wait loop (an X
# round trip, reading a pane) can take long on a busy machine, and must not
# stretch the wait beyond what the test allows.
now_ms() { local t=${EPOCHREALTIME/[.,]/}; echo $((t / 1000)); }
deadline() { echo $(($(now_ms) + $1 * 1000)); }  # SECONDS
before() { (($(now_ms) < $1)); }                  # DEADLINE

# Runs COMMAND until it succeeds, every INTERVAL seconds for up to SECONDS. It
# runs in this shell, so what it sets (by convention $seen, what it last saw)
# stays for the caller.
retry_for() {  # SECONDS INTERVAL COMMAND...
    local end interval=$2
    end=$(deadline "$1")
    shift 2
    until "$@"; do
        before "$end" || return 1
        sleep "$interval"
    done
}

stop_pid() {  # PID [SIGNAL]
    [ -n "$1" ] && kill -0 "$1" 2>/dev/null || return 0
    kill "-${2:-TERM}" "$1" 2>/dev/null
    wait "$1" 2>/dev/null
}

cleanup() {
    local entry name
    stop_pid "$vorda_pid" KILL
    stop_pid "$other_pid" KILL
    for entry in $cleanup_pids; do
        name=${entry%%:*}
        stop_pid "${!name}" "$([[ $entry == *:* ]] && echo "${entry#*:}")"
    done
    declare -F cleanup_more >/dev/null && cleanup_more
    rm -rf "$work"
}

# A work directory and a fresh HOME in it, removed on exit. The operator is in
# no dialout group, so the dialout warning always appears. Only the resource
# file of $XFILESEARCHPATH counts: the staged one unless the caller set it.
fresh_home() {  # NAME
    work=$(mktemp -d "${TMPDIR:-/tmp}/vorda-$1.XXXXXX")
    trap cleanup EXIT
    export HOME=$work/home
    mkdir -p "$HOME"
    export LOGNAME=vorda-test-operator
    [ -n "${VORDA_STAGE:-}" ] && export XFILESEARCHPATH="$VORDA_STAGE/app-defaults/%N"
    export XUSERFILESEARCHPATH="$work/none/%N"
    unset XENVIRONMENT XAPPLRESDIR
}

fail() {
    echo "FAIL ($case_name): $*"
    declare -F fail_more >/dev/null && fail_more
    echo "--- standard error of vorda:"
    tail -n 60 "$work"/stderr* 2>/dev/null
    exit 1
}

# ------------------------------------------------------------------ windows
leader_of() { xprop -id "$1" WM_CLIENT_LEADER 2>/dev/null | sed -n 's/.*# //p'; }

# Visible windows titled $1 whose client leader is a window of the program.
own_windows() {
    local leaders="" w
    for w in $(xdotool search --classname "^$instance\$" 2>/dev/null); do
        leaders="$leaders $(leader_of "$w")"
    done
    for w in $(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null); do
        case " $leaders " in *" $(leader_of "$w") "*) echo "$w" ;; esac
    done
}

# The first such window other than those named after the title, waiting up to 10 s.
visible_window() {  # TITLE [EXCEPT...]
    local title=$1 w end
    shift
    end=$(deadline 10)
    while :; do
        for w in $(own_windows "$title"); do
            case " $* " in *" $w "*) ;; *) echo "$w"; return 0 ;; esac
        done
        kill -0 "$vorda_pid" 2>/dev/null && before "$end" || return 1
        sleep 0.1
    done
}

# Waits up to SECONDS (5) for WINDOW titled TITLE to be unmapped; without a
# WINDOW, for every window of that title.
window_gone() {  # WINDOW|"" TITLE [SECONDS]
    retry_for "${3:-5}" 0.1 no_window "$1" "$2"
}
no_window() {  # WINDOW|"" TITLE
    if [ -n "$1" ]; then
        ! own_windows "$2" | grep -qx "$1"
    else
        [ -z "$(own_windows "$2")" ]
    fi
}

# Visible top-level windows of the screen, menus included, one per line.
top_windows() { xdotool search --onlyvisible --maxdepth 1 --name '' 2>/dev/null | sort; }

# Waits up to 5 s for a top-level window that is not among BEFORE (the output of
# top_windows), such as a menu just posted, and prints it.
new_top_window() {  # BEFORE
    retry_for 5 0.1 top_window_besides "$1" && echo "$seen"
}
top_window_besides() {  # BEFORE
    seen=$(comm -13 <(printf '%s\n' "$1") <(top_windows) | head -n 1)
    [ -n "$seen" ]
}

# Raised first, in case one of the program's own windows covers the place. The X
# server handles what xdotool sends in order, so the program sees the pointer's
# move before the click: no pause is needed between them.
click_at() {  # WINDOW X Y BUTTON (screen coordinates)
    xdotool windowraise "$1" mousemove "$2" "$3" click "$4"
}

# Gives WINDOW the keyboard; fails when it has not taken it within 5 s (xdotool
# alone would wait for ever on a window that never takes it).
focus_on() {  # WINDOW
    timeout 5 xdotool windowraise "$1" windowfocus --sync "$1" 2>/dev/null
}

press_in() {  # WINDOW KEY...
    local window=$1
    shift
    focus_on "$window" || return 1
    xdotool key "$@"
}

# Child windows of WINDOW whose xwininfo line matches PATTERN, as "id x y" (root
# coordinates), top to bottom.
child_windows() {  # WINDOW PATTERN
    xwininfo -tree -id "$1" |
        awk -v pattern="$2" '$0 ~ pattern { split($NF, at, "+"); print $1, at[2], at[3] }' |
        sort -k3 -n
}

# The main window's 384 x 75 display, as "id x y".
display_window() { child_windows "$main_window" ' 384x75\+' | head -n 1; }

# The display's pixels as 75 lines of 384 red, green, blue triples, row 0 (the
# newest row of the waterfall) first. Each test has a screen of its own, where
# nothing covers the main window.
display_pixels() {
    local id
    read -r id _ _ <<<"$(display_window)"
    import -window "$id" -depth 8 rgb:- 2>/dev/null | od -An -v -tu1 -w1152
}

# Mean of one channel (0 red, 1 green, 2 blue) of columns FIRST..LAST over rows
# 0..ROWS-1, the newest rows of the waterfall. Greys have all three alike.
column_mean() {  # PIXELS_FILE FIRST LAST ROWS CHANNEL
    awk -v a="$2" -v b="$3" -v rows="$4" -v channel="${5:-1}" 'NR <= rows {
        for (c = a; c <= b; ++c) { sum += $(3 * c + channel + 1); ++n } }
        END { printf "%d\n", n ? sum / n : -1 }' "$1"
}

# Waits up to SECONDS for the newest ROWS rows of the waterfall to show a trace
# of grey LEVEL or more at COLUMN (one either side counted too); leaves the last
# picture in $work/before and prints the grey it found.
await_trace() {  # COLUMN ROWS LEVEL SECONDS
    seen=-1
    retry_for "$4" 0.3 trace_at "$1" "$2" "$3"
    local found=$?
    echo "$seen"
    return $found
}
trace_at() {  # COLUMN ROWS LEVEL
    display_pixels >"$work/before" || return 1
    seen=$(column_mean "$work/before" $(($1 - 1)) $(($1 + 1)) "$2")
    [ "$seen" -ge "$3" ]
}

# "X Y WIDTH HEIGHT" of the left or right of two buttons side by side in a form
# of their own, in WINDOW (the secondary window's "<-> Main" and "Close").
button_of_pair() {  # WINDOW left|right
    xwininfo -tree -id "$1" | awk -v side="$2" '
    /^ *0x[0-9a-f]+ / {
        indent = match($0, /0x/)
        if (!match($0, /[0-9]+x[0-9]+\+-?[0-9]+\+-?[0-9]+ +\+-?[0-9]+\+-?[0-9]+/)) next
        split(substr($0, RSTART, RLENGTH), part, /[ x+]+/)
        n++
        w[n] = part[1]; h[n] = part[2]; x[n] = part[5]; y[n] = part[6]; ind[n] = indent
        parent[n] = 0
        for (p = n - 1; p > 0; p--) if (ind[p] < indent) { parent[n] = p; break }
        if (parent[n]) kids[parent[n]]++
    }
    END {
        for (i = 1; i <= n; i++) for (j = i + 1; j <= n; j++)
            if (parent[i] == parent[j] && kids[parent[i]] == 2 && y[i] == y[j] &&
                h[i] == h[j] && (w[i] - w[j])^2 <= 4 && h[i] < 60) {
                r = (x[i] < x[j]) == (side == "left") ? i : j
                print x[r], y[r], w[r], h[r]
                exit
            }
    }'
}

# ------------------------------------------------------------------ the program
start_vorda() {  # [TOOLKIT OPTION...]
    "$vorda_bin" -name "$instance" "$@" >"$work/stdout" 2>"$work/stderr" &
    vorda_pid=$!
}

# Starts the program, waits for its main window and dismisses the dialout
# warning with Cancel (Escape), as an operator without a PTT line would.
start_and_continue() {  # [TOOLKIT OPTION...]
    start_vorda "$@"
    main_window=$(visible_window VORDA) || fail "the main window did not appear"
    local warning
    warning=$(visible_window "VORDA ERROR") || fail "no dialout warning"
    press_in "$warning" Escape
    window_gone "$warning" "VORDA ERROR" || fail "Cancel did not close the dialout warning"
}

# Exit status of the program, or 124 when it is still running after $1 seconds.
exit_status_within() {  # SECONDS
    local end
    end=$(deadline "$1")
    while kill -0 "$vorda_pid" 2>/dev/null; do
        before "$end" || return 124
        sleep 0.1
    done
    wait "$vorda_pid"
    local status=$?
    vorda_pid=""
    return $status
}

# Ends the program with KEY (or sends it SIGNAL); it must exit with status 0
# within 10 s.
quit_with() {  # ctrl+q | -INT | -TERM ...
    if [[ $1 == -* ]]; then kill "$1" "$vorda_pid"; else press_in "$main_window" "$1"; fi
    exit_status_within 10
    local status=$?
    [ $status -ne 124 ] || fail "$1 did not end the program within 10 s"
    [ $status -eq 0 ] || fail "$1 ended with status $status"
}

# ------------------------------------------------------------------ panes
# The PRIMARY selection once something owns it, or nothing after 2 s. The old
# selection is cleared first, so a stale one is never read.
read_selection() {  # COMMAND... (that makes the selection)
    xsel --clear --primary 2>/dev/null
    "$@" || return 1
    retry_for 2 0.1 selection_made
    printf '%s\n' "$seen"
}
selection_made() {
    seen=$(xsel --output --primary 2>/dev/null)
    [ -n "$seen" ]
}

select_all_at() {  # WINDOW X Y
    click_at "$1" "$2" "$3" 1 && press_in "$1" ctrl+slash
}

# The whole text of the pane of WINDOW at the point X Y. A character the program
# puts into the pane between the select-all and the read takes the selection away
# (seen with received noise and the echo of the Morse identification), which reads as
# an empty pane: an empty read selects again, three times at most.
pane_text() {  # WINDOW X Y
    local attempt text
    for attempt in 1 2 3; do
        text=$(read_selection select_all_at "$@")
        [ -n "$text" ] && break
    done
    printf '%s\n' "$text"
}

# The receive pane fills the upper part of a main window, below the menu bar.
receive_pane_text() {  # [MAIN WINDOW]
    local X Y WIDTH HEIGHT SCREEN WINDOW
    eval "$(xdotool getwindowgeometry --shell "${1:-$main_window}")"
    pane_text "${1:-$main_window}" $((X + WIDTH / 2)) $((Y + HEIGHT / 6))
}

# The secondary window's pane fills its upper part, above the controls.
secondary_pane_text() {  # WINDOW
    local X Y WIDTH HEIGHT SCREEN WINDOW
    eval "$(xdotool getwindowgeometry --shell "$1")"
    pane_text "$1" $((X + WIDTH / 2)) $((Y + 12))
}

# The transmit pane, which has the keyboard unless a click took it elsewhere.
transmit_pane_text() {  # [MAIN WINDOW]
    read_selection press_in "${1:-$main_window}" ctrl+slash
}

transmit_pane_is() { [ "$(transmit_pane_text)" = "$1" ]; }  # TEXT

# Waits up to 10 s for the transmit pane to hold TEXT exactly, and takes the
# selection that reading it made away again, so that keys typed next add to the
# text instead of replacing it.
transmit_pane_becomes() {  # TEXT
    retry_for 10 0.3 transmit_pane_is "$1" ||
        fail "transmit pane holds '$(transmit_pane_text)', expected '$1'"
    xdotool key ctrl+backslash
}

# The receive frequency field (86 pixels wide by the resource file, the upper
# of the two): a triple click selects it all.
receive_field_text() {
    local id x y
    read -r id x y <<<"$(child_windows "$main_window" ' 86x[0-9]+\+1\+1 ' | head -n 1)"
    [ -n "$id" ] || return 1
    read_selection xdotool windowraise "$main_window" mousemove $((x + 40)) $((y + 20)) \
        click --repeat 3 --delay 60 1
}

# Whether the receive field reads LOW to HIGH; what it read is left in $seen.
field_within() {  # LOW HIGH
    seen=$(receive_field_text)
    within "$seen" "$1" "$2"
}

# Waits up to SECONDS for what READER prints to hold TEXT; prints it last, and
# fails when TEXT never came.
await_text() {  # TEXT SECONDS READER [ARG...]
    local seconds=$2 found
    seen=""
    retry_for "$seconds" 0.5 reads_as_holding "$1" "${@:3}"
    found=$?
    printf '%s\n' "$seen"
    return $found
}
reads_as_holding() {  # TEXT READER [ARG...]
    seen=$("${@:2}")
    grep -qF -- "$1" <<<"$seen"
}

# ------------------------------------------------------------------ audio
encode() {  # FREQUENCY FILE TEXT
    "$VORDA_MODEM" encode --table "$VORDA_SOURCE_DATA_DIR" --freq "$1" -o "$2" "$3" ||
        fail "vorda-modem encode failed"
}

# Plays TEXT at FREQUENCY into the sound server in the background ($player_pid).
play() {  # FREQUENCY TEXT
    encode "$1" "$work/play$1.wav" "$2"
    paplay "$work/play$1.wav" &
    player_pid=$!
}

# Display column of an audio frequency: 3000 Hz over 384 columns, centred on
# the receive frequency.
column_of() {  # FREQUENCY CENTRE
    awk -v f="$1" -v c="$2" 'BEGIN { printf "%d\n", 192 + (f - c) / 7.8125 + 0.5 }'
}

within() {  # VALUE LOW HIGH
    awk -v v="$1" -v lo="$2" -v hi="$3" 'BEGIN { exit !(v + 0 == v && v >= lo && v <= hi) }'
}

# Records the sink's monitor into $work/sent.wav ($recorder_pid) and waits until
# the recording runs.
record_monitor() {  # [PARECORD OPTION...]
    parecord -d vorda_null.monitor --rate=8000 --channels=2 --format=s16le --file-format=wav \
        "$@" "$work/sent.wav" &
    recorder_pid=$!
    retry_for 5 0.1 recording_runs || fail "the monitor recording did not start"
}

recording_runs() { [ "$(stat -c %s "$work/sent.wav" 2>/dev/null || echo 0)" -gt 44 ]; }

stop_recording() {
    stop_pid "$recorder_pid" INT
    recorder_pid=""
}

# Samples of the monitor recording so far (past the WAV header), one per line, left channel.
recorded_samples() {
    tail -c +45 "$work/sent.wav" | od -An -v -td2 -w4 | awk '{ print $1 }'
}

# Second of the recording at which the last sound (beyond 1000) was, and its length.
sound_extent() {
    recorded_samples | awk '$1 > 1000 || $1 < -1000 { last = NR } END { printf "%.2f %.2f\n", last / 8000, NR / 8000 }'
}

last_sound_second() {
    local last _
    read -r last _ <<<"$(sound_extent)"
    echo "$last"
}

wait_for_sound() {  # DEADLINE_SECONDS
    retry_for "$1" 0.1 sound_then_quiet 0
}

# Waits until the recording has had sound and then QUIET_SECONDS of none.
wait_for_silence() {  # QUIET_SECONDS DEADLINE_SECONDS
    retry_for "$2" 0.2 sound_then_quiet "$1"
}

# Whether the recording has had sound and then at least QUIET_SECONDS of none.
sound_then_quiet() {  # QUIET_SECONDS
    local last length
    read -r last length <<<"$(sound_extent)"
    awk -v l="$last" -v n="$length" -v q="$1" 'BEGIN { exit !(l > 0 && n - l >= q) }'
}

# Raw samples (16-bit stereo, 8000/s) of a WAV file.
wav_data() {  # WAV
    local data
    data=$(grep -obUa data "$1" | head -n 1 | cut -d: -f1)
    tail -c +$((data + 9)) "$1"
}

# Morse read from the keying at the end of a recording. The transmitter keys a
# dot as one PSK31 symbol of carrier (256 samples: 8 units of 32 here), a dash
# as three; the gaps are two symbols within a letter, seven between letters and
# thirteen for a space. The Morse starts at the first gap of five symbols or
# more after the carrier came up: PSK31 has none (its amplitude dips are shorter
# than a symbol), nor has the sound server's stream once it runs. The thresholds
# lie halfway between the lengths, so a run a unit or two off still reads right.
morse_of_recording() {  # WAV
    wav_data "$1" | od -An -v -td2 -w4 | awk '
    BEGIN {
        split("A .- B -... C -.-. D -.. E . F ..-. G --. H .... I .. J .--- K -.- L .-.. " \
              "M -- N -. O --- P .--. Q --.- R .-. S ... T - U ..- V ...- W .-- X -..- " \
              "Y -.-- Z --.. 0 ----- 1 .---- 2 ..--- 3 ...-- 4 ....- 5 ..... 6 -.... " \
              "7 --... 8 ---.. 9 ----. / -..-.", t, " ")
        for (i = 1; i < length(t); i += 2) letter[t[i + 1]] = t[i]
        symbol = 8
    }
    { v = $1 < 0 ? -$1 : $1; if (v > m) m = v; if (++n % 32 == 0) { env[++units] = m; m = 0 } }
    END {
        for (i = 1; i <= units; ++i) if (env[i] > peak) peak = env[i]
        runs = 0; prev = -1
        for (i = 1; i <= units; ++i) {
            on = env[i] > peak / 2
            if (on == prev) { ++len[runs]; continue }
            kind[++runs] = on; len[runs] = 1; prev = on
        }
        start = runs
        for (i = 1; i <= runs && start == runs; ++i) {
            if (kind[i]) seen = 1
            else if (seen && len[i] >= 5 * symbol) start = i
        }
        code = ""; text = ""
        for (i = start + 1; i <= runs; ++i) {
            if (kind[i]) { code = code (len[i] > 2 * symbol ? "-" : "."); continue }
            if (len[i] < 4.5 * symbol && i < runs) continue
            text = text (code in letter ? letter[code] : "?"); code = ""
            if (len[i] >= 10 * symbol && i < runs) text = text " "
        }
        if (code != "") text = text (code in letter ? letter[code] : "?")
        print text
    }'
}

# Waits up to SECONDS for the keying at the end of the monitor recording to read
# TEXT, the end of a transmission; prints what it read last.
await_morse() {  # TEXT SECONDS
    seen=""
    retry_for "$2" 1 morse_reads "$1"
    local found=$?
    printf '%s\n' "$seen"
    return $found
}
morse_reads() {  # TEXT
    seen=$(morse_of_recording "$work/sent.wav")
    [ "$seen" = "$1" ]
}
