#!/usr/bin/env bash
# Runs a command with the services the integration tests need (an X server and a
# PulseAudio daemon) once the program has them; for now it only runs the command.
set -euo pipefail
exec "$@"
