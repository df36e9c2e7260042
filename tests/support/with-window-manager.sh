#!/bin/sh
# Runs a test program on the current X display under a small window manager,
# which maximises, places and resizes windows as a desktop does (and does so
# later than the program asks, as a desktop does).
openbox --sm-disable >/dev/null 2>&1 &
manager=$!
tries=0
until xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id"; do
    tries=$((tries + 1))
    if [ "$tries" -gt 300 ]; then
        echo "no window manager came up" >&2
        kill "$manager" 2>/dev/null
        exit 1
    fi
    sleep 0.1
done
QT_QPA_PLATFORM=xcb "$@"
status=$?
kill "$manager" 2>/dev/null
wait "$manager" 2>/dev/null
exit $status
