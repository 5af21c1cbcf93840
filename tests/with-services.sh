#!/usr/bin/env bash
# Runs a command with the services the integration tests need: a private sound server
# whose default sink is a null sink named vorda_null (its monitor is the default
# source) and an X server (Xvfb) on a free display. All are stopped by PID when the
# command ends, whatever its outcome; the command's exit status is returned.
#
# VORDA_SOUND_SERVER chooses the sound server: pulseaudio (the default), or pipewire:
# PipeWire with its session manager and its PulseAudio server, which most desktops
# run now. The command reaches either through $PULSE_SERVER.
#
# Works as root on a machine without a session bus: the servers get their own runtime
# and state directories (PipeWire a session bus of its own too) and never exit idle.
# The command gets a fresh HOME of its own too. Each test that needs the services
# runs under its own copy of this script, so parallel tests never meet.
set -uo pipefail

work=$(mktemp -d "${TMPDIR:-/tmp}/vorda-services.XXXXXX") || exit 1
chmod 700 "$work"
pulse_pid=""
xvfb_pid=""
pipewire_pids=""  # pipewire-pulse, wireplumber, pipewire, dbus-daemon: stopped in that order

stop_services() {
    if [ -n "$pulse_pid" ]; then kill "$pulse_pid" 2>/dev/null; fi
    # Our children, quick to end; each before the one it talks to.
    local pid
    for pid in $pipewire_pids; do kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null; done
    if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null; fi
    # Xvfb is our child: waited for (it ends at once).
    if [ -n "$xvfb_pid" ]; then wait "$xvfb_pid" 2>/dev/null; fi
    # The daemon takes about a second to wind down after SIGTERM; nothing waits for
    # that, but it is killed outright if it has not gone in five seconds.
    if [ -n "$pulse_pid" ]; then
        (
            end=$((SECONDS + 5))
            while [ $SECONDS -lt $end ]; do kill -0 "$pulse_pid" 2>/dev/null || exit 0; sleep 0.1; done
            kill -9 "$pulse_pid" 2>/dev/null
        ) </dev/null >/dev/null 2>&1 &
        disown
    fi
    rm -rf "$work"
}
trap stop_services EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

fail() {
    echo "with-services: $*" >&2
    exit 1
}

start_pulseaudio() {
    command -v pulseaudio >/dev/null || fail "pulseaudio is not installed (make test-deps)"
    local dir="$work/pulse"
    mkdir -p "$dir/runtime" "$dir/state" "$dir/home"
    chmod 700 "$dir/runtime"
    # The daemon keeps its cookie and state under its own HOME, not the caller's.
    # No memfd transport: PulseAudio 16.1 aborts (memblock.c, "n_imported > 0")
    # after a few dozen clients that record the monitor of a sink they play into
    # have exited with their streams open, which every test process does; it
    # took the daemon down for all tests after it. Plain shared memory is kept.
    # A raised nice level where allowed (root), as the daemon takes by default: on a
    # busy machine, at the level of all the other work, a stream with a third of a
    # second buffered still ran dry now and then.
    HOME="$dir/home" XDG_RUNTIME_DIR="$dir/runtime" PULSE_RUNTIME_PATH="$dir/runtime" \
    PULSE_STATE_PATH="$dir/state" XDG_CONFIG_HOME="$dir/home" DISPLAY= \
    pulseaudio -n --daemonize=yes --use-pid-file=yes --exit-idle-time=-1 --enable-memfd=no \
        --realtime=no --high-priority=yes --log-target="file:$dir/log" \
        -L "module-null-sink sink_name=vorda_null rate=8000 channels=2" \
        -L "module-native-protocol-unix auth-anonymous=1 socket=$dir/native" \
        || fail "pulseaudio did not start: $(tail -n 5 "$dir/log" 2>/dev/null)"
    pulse_pid=$(cat "$dir/runtime/pid" 2>/dev/null)
    [ -n "$pulse_pid" ] || fail "pulseaudio left no PID file"

    export PULSE_SERVER="unix:$dir/native"
    export PULSE_RUNTIME_PATH="$dir/runtime"
    export PULSE_COOKIE="$dir/home/cookie"
    local ok="" end=$((SECONDS + 10))
    while [ $SECONDS -lt $end ]; do
        if pactl info >/dev/null 2>&1; then ok=1; break; fi
        sleep 0.1
    done
    [ -n "$ok" ] || fail "pulseaudio does not answer: $(tail -n 5 "$dir/log" 2>/dev/null)"
    pactl set-default-sink vorda_null >/dev/null || fail "cannot set the default sink"
    pactl set-default-source vorda_null.monitor >/dev/null || fail "cannot set the default source"
}

# PipeWire's graph runs at 8000 frames per second, as the PulseAudio daemon's null
# sink does, so that what is played comes back from the monitor sample for sample;
# the quantum is left to what the clients ask for, as on a desktop.
start_pipewire() {
    local tool
    for tool in pipewire wireplumber pipewire-pulse dbus-daemon; do
        command -v "$tool" >/dev/null || fail "$tool is not installed (make test-deps)"
    done
    local dir="$work/pipewire"
    mkdir -p "$dir/runtime" "$dir/home" "$dir/config/pipewire/pipewire.conf.d"
    chmod 700 "$dir/runtime"
    printf '%s\n' 'context.properties = {' '    default.clock.rate = 8000' \
        '    default.clock.allowed-rates = [ 8000 ]' '}' \
        >"$dir/config/pipewire/pipewire.conf.d/vorda.conf"
    # WirePlumber does not run without a session bus; the machine's is not used.
    dbus-daemon --session --address="unix:path=$dir/runtime/bus" --nofork --print-address=3 \
        3>"$dir/bus" >"$dir/dbus.log" 2>&1 &
    pipewire_pids="$!"
    local end=$((SECONDS + 10))
    until [ -s "$dir/bus" ]; do
        [ $SECONDS -lt $end ] || fail "dbus-daemon did not start: $(tail -n 5 "$dir/dbus.log")"
        sleep 0.05
    done

    local name
    for name in pipewire wireplumber pipewire-pulse; do
        # Both clients need the core's socket, which it makes once ready.
        until [ "$name" = pipewire ] || [ -S "$dir/runtime/pipewire-0" ]; do
            [ $SECONDS -lt $end ] || fail "pipewire did not start: $(tail -n 5 "$dir/pipewire.log")"
            sleep 0.05
        done
        HOME="$dir/home" XDG_RUNTIME_DIR="$dir/runtime" PIPEWIRE_RUNTIME_DIR="$dir/runtime" \
        XDG_CONFIG_HOME="$dir/config" XDG_STATE_HOME="$dir/home/state" \
        DBUS_SESSION_BUS_ADDRESS="unix:path=$dir/runtime/bus" DISPLAY= PULSE_SERVER= \
            "$name" >"$dir/$name.log" 2>&1 &
        pipewire_pids="$! $pipewire_pids"
    done

    export PULSE_SERVER="unix:$dir/runtime/pulse/native"
    export PIPEWIRE_RUNTIME_DIR="$dir/runtime"  # for pw-top, wpctl and the like
    unset PULSE_RUNTIME_PATH PULSE_COOKIE
    until pactl info >/dev/null 2>&1; do
        [ $SECONDS -lt $end ] ||
            fail "pipewire-pulse does not answer: $(tail -n 5 "$dir/pipewire-pulse.log")"
        sleep 0.1
    done
    pactl load-module module-null-sink sink_name=vorda_null rate=8000 channels=2 >/dev/null ||
        fail "cannot make the null sink"
    # The sink appears a moment after the module is loaded (until then it cannot be
    # made the default), and the session manager, which links new streams to the
    # defaults, has taken them up once the server reports them.
    until pactl set-default-sink vorda_null 2>/dev/null &&
        pactl set-default-source vorda_null.monitor 2>/dev/null &&
        [ "$(pactl get-default-sink 2>/dev/null)" = vorda_null ] &&
        [ "$(pactl get-default-source 2>/dev/null)" = vorda_null.monitor ]; do
        [ $SECONDS -lt $end ] || fail "the null sink did not become the default: $(pactl info 2>&1 |
            grep Default) $(tail -n 5 "$dir/wireplumber.log")"
        sleep 0.1
    done
}

start_xvfb() {
    command -v Xvfb >/dev/null || fail "Xvfb is not installed (make test-deps)"
    # Xvfb picks a free display itself and writes its number to the descriptor.
    # -noreset: by default the server resets whenever its last client leaves, and a
    # test connecting during that reset is refused ("Can't open display").
    Xvfb -displayfd 3 -nolisten tcp -noreset -screen 0 1280x1024x24 3>"$work/display" \
        >"$work/xvfb.log" 2>&1 &
    xvfb_pid=$!
    local display="" end=$((SECONDS + 10))
    while [ $SECONDS -lt $end ]; do
        display=$(cat "$work/display" 2>/dev/null)
        [ -n "$display" ] && break
        kill -0 "$xvfb_pid" 2>/dev/null || break
        sleep 0.1
    done
    [ -n "$display" ] || fail "Xvfb did not start: $(tail -n 5 "$work/xvfb.log")"
    export DISPLAY=":$display"
}

[ $# -gt 0 ] || fail "usage: tests/with-services.sh COMMAND [ARGS...]"
case ${VORDA_SOUND_SERVER:-pulseaudio} in
pulseaudio) start_pulseaudio ;;
pipewire) start_pipewire ;;
*) fail "VORDA_SOUND_SERVER is '$VORDA_SOUND_SERVER', not pulseaudio or pipewire" ;;
esac
start_xvfb
mkdir -p "$work/home"
export HOME="$work/home"
"$@"
