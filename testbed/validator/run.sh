#!/usr/bin/env bash
# Runs the validator of one build beside the services it needs, all on
# 127.0.0.1: the stand-in service on the port the build's validation plug-in
# talks to (its broken replies trickling one byte every 5 s), and an HTTPS
# stand-in with a self-signed certificate on the port after it. Stops them when the validator ends; its exit status is the
# validator's.
# Usage: run.sh BUILD_DIR WORK_DIR [VALIDATOR OPTIONS...]
set -u
build=$1
work=$2
shift 2
# shellcheck disable=SC1091
. "$build/validate.env"
rm -rf "$work"
mkdir -p "$work"

openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=127.0.0.1 \
    -addext subjectAltName=IP:127.0.0.1,DNS:127.0.0.1 \
    -keyout "$work/self.key" -out "$work/self.pem" >"$work/openssl.log" 2>&1 ||
    { cat "$work/openssl.log"; exit 1; }

for taken in $port $untrusted_port; do
    if ss -Htln "sport = :$taken" | grep -q .; then
        echo "port $taken on this machine is taken: $(ss -Htlnp "sport = :$taken" | grep -o 'users:.*')"
        exit 1
    fi
done

# shellcheck disable=SC1091
. "$(dirname "$0")/../service/start_servers.sh"
start_server "$work" service "$service_dir/orvalink-stand-in" --port "$port" --trickle-ms 5000
start_server "$work" untrusted "$service_dir/orvalink-stand-in" --port "$untrusted_port" \
    --tls-cert "$work/self.pem" --tls-key "$work/self.key"
wait_for_servers "$work" service untrusted

# shellcheck disable=SC2086
$runner "$validator" --plugin "$plugin" --untrusted-plugin "$untrusted_plugin" \
    --service "http://127.0.0.1:$port" "$@"
