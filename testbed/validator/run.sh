#!/usr/bin/env bash
# Runs the validator of one build beside the services it needs, all on
# 127.0.0.1: the stand-in service; in front of it, on the port the build's
# validation plug-in talks to, the broken-reply server (trickling one byte
# every 5 s); and an HTTPS stand-in with a self-signed certificate on the
# port after it. Stops them when the validator ends; its exit status is the
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

pids=()
stop() { kill "${pids[@]}" 2>/dev/null; wait "${pids[@]}" 2>/dev/null; }
trap stop EXIT
"$service_dir/orvalink-stand-in" --port-file "$work/service.port" >"$work/service.log" 2>&1 &
pids+=($!)
"$service_dir/orvalink-stand-in" --port "$untrusted_port" --port-file "$work/untrusted.port" \
    --tls-cert "$work/self.pem" --tls-key "$work/self.key" >"$work/untrusted.log" 2>&1 &
pids+=($!)
for name in service untrusted; do
    for _ in $(seq 100); do
        [ -s "$work/$name.port" ] && break
        sleep 0.05
    done
    [ -s "$work/$name.port" ] || { echo "the $name stand-in did not start"; cat "$work/$name.log"; exit 1; }
done
"$service_dir/orvalink-raw-reply" --port "$port" --port-file "$work/raw.port" --trickle-ms 5000 \
    --forward "$(cat "$work/service.port")" >"$work/raw.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do
    [ -s "$work/raw.port" ] && break
    sleep 0.05
done
[ -s "$work/raw.port" ] || { echo "the broken-reply server did not start"; cat "$work/raw.log"; exit 1; }

# shellcheck disable=SC2086
$runner "$validator" --plugin "$plugin" --untrusted-plugin "$untrusted_plugin" \
    --service "http://127.0.0.1:$port" "$@"
