#!/usr/bin/env bash
# Runs the validator of one build beside the stand-in services, on the ports
# its validation plug-ins talk to: the plain one (its broken replies
# trickling one byte every 5 s) and, on the port after it, the one with an
# untrusted certificate. Its exit status is the validator's.
# Usage: run.sh BUILD_DIR WORK_DIR [VALIDATOR OPTIONS...]
set -u
build=$1
work=$2
shift 2
# shellcheck disable=SC1091
. "$build/validate.env"
# shellcheck disable=SC2086
exec "$(dirname "$0")/../service/with_stand_in.sh" "$service_dir/orvalink-stand-in" "$work" \
    --ports "$port" "$untrusted_port" --trickle-ms 5000 \
    $runner "$validator" --plugin "$plugin" --untrusted-plugin "$untrusted_plugin" \
    --service "http://127.0.0.1:$port" "$@"
