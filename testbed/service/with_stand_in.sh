#!/usr/bin/env bash
# Runs a command beside three stand-in services on 127.0.0.1 and stops them
# when it ends; its exit status is the command's:
#   http       plain HTTP, which also gives the broken replies
#   https      HTTPS with a certificate from a test authority made here
#   untrusted  HTTPS with a self-signed certificate
# The certificates name 127.0.0.1 both as an address and as a DNS name:
# Wine's WinHTTP matches host names against DNS names only. Exports their
# ports, the test key and the authority's certificate. Each service writes
# its port to NAME.port in the work folder once it listens.
#   --ports HTTP UNTRUSTED   fixed ports for those two (default: free ones)
#   --trickle-ms N           the pause between trickled bytes (default 500)
# Usage: with_stand_in.sh SERVICE_PROGRAM WORK_DIR [OPTIONS] COMMAND [ARGS...]
set -u
service=$1
work=$2
shift 2
http_port=0 untrusted_port=0 trickle_ms=500
while :; do
    case $1 in
    --ports) http_port=$2 untrusted_port=$3 && shift 3 ;;
    --trickle-ms) trickle_ms=$2 && shift 2 ;;
    *) break ;;
    esac
done
for port in $http_port $untrusted_port; do
    if [ "$port" != 0 ] && ss -Htln "sport = :$port" | grep -q .; then
        echo "port $port on this machine is taken: $(ss -Htlnp "sport = :$port" | grep -o 'users:.*')"
        exit 1
    fi
done
rm -rf "$work"
mkdir -p "$work"
cd "$work" || exit 1

{
    openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=Orvalink-Test-Authority \
        -addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign,cRLSign \
        -keyout ca.key -out ca.pem
    openssl x509 -in ca.pem -outform DER -out ca.der
    openssl req -newkey rsa:2048 -nodes -subj /CN=127.0.0.1 -keyout server.key -out server.csr
    printf 'subjectAltName=IP:127.0.0.1,DNS:127.0.0.1\nextendedKeyUsage=serverAuth\nbasicConstraints=CA:FALSE\n' \
        >server.ext
    openssl x509 -req -in server.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 2 \
        -extfile server.ext -out server.pem
    openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=127.0.0.1 \
        -addext subjectAltName=IP:127.0.0.1,DNS:127.0.0.1 -keyout self.key -out self.pem
} >openssl.log 2>&1 || { cat openssl.log; exit 1; }

export ORVALINK_TEST_KEY=zvknp_T3stT3stT3stT3stT3stT3stT3stT3st
pids=()
trap 'kill "${pids[@]}" 2>/dev/null; wait "${pids[@]}" 2>/dev/null' EXIT
start() {
    local name=$1 port=$2
    shift 2
    "$service" --port "$port" --port-file "$name.port" --key "$ORVALINK_TEST_KEY=Test DJ" \
        --trickle-ms "$trickle_ms" "$@" >"$name.log" 2>&1 &
    pids+=($!)
}
start http "$http_port"
start https 0 --tls-cert server.pem --tls-key server.key
start untrusted "$untrusted_port" --tls-cert self.pem --tls-key self.key
for name in http https untrusted; do
    for _ in $(seq 100); do
        [ -s "$name.port" ] && break
        sleep 0.05
    done
    [ -s "$name.port" ] || { echo "the $name service did not start"; cat "$name.log"; exit 1; }
done
export ORVALINK_TEST_HTTP_PORT=$(cat http.port)
export ORVALINK_TEST_HTTPS_PORT=$(cat https.port)
export ORVALINK_TEST_UNTRUSTED_PORT=$(cat untrusted.port)
export ORVALINK_TEST_CA_DER="$PWD/ca.der"
export ORVALINK_TEST_CA_PEM="$PWD/ca.pem"
"$@"
