# Finding and driving the windows of the program under test, for the black-box
# scripts (sourced). The caller sets $instance (the toolkit's -name of the program,
# which tells its windows from those of other tests on the shared screen) and
# $vorda_pid.

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
    local title=$1 w
    shift
    for _ in $(seq 100); do
        for w in $(own_windows "$title"); do
            case " $* " in *" $w "*) ;; *) echo "$w"; return 0 ;; esac
        done
        kill -0 "$vorda_pid" 2>/dev/null || return 1
        sleep 0.1
    done
    return 1
}

# Waits up to 5 s for the last of our windows titled $1 to go away.
window_gone() {  # TITLE
    for _ in $(seq 50); do
        [ -z "$(own_windows "$1")" ] && return 0
        sleep 0.1
    done
    return 1
}

# Other tests may map windows on the same screen: raise ours before a click or keys.
click_at() {  # WINDOW X Y BUTTON (screen coordinates)
    xdotool windowraise "$1" mousemove "$2" "$3" sleep 0.1 click "$4"
}

press_in() {  # WINDOW KEY...
    local window=$1
    shift
    xdotool windowraise "$window" windowfocus --sync "$window" 2>/dev/null || return 1
    xdotool key "$@"
}
