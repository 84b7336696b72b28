#!/usr/bin/env bash
# Runs a command beside three stand-in services on 127.0.0.1: plain HTTP
# (which also gives the broken replies), HTTPS with a certificate from a test
# authority made here, and HTTPS with a self-signed certificate. The server
# certificate names 127.0.0.1
# both as an address and as a DNS name: Wine's WinHTTP matches host names
# against DNS names only. Exports their ports, the test key and the
# authority's certificate, and stops the services when the command ends.
# Usage: with_stand_in.sh SERVICE_PROGRAM WORK_DIR COMMAND [ARGS...]
set -u
service=$1
work=$2
shift 2
rm -rf "$work"
mkdir -p "$work"
cd "$work" || exit 1
work=$PWD

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
        -addext subjectAltName=IP:127.0.0.1 -keyout self.key -out self.pem
} >openssl.log 2>&1 || { cat openssl.log; exit 1; }

export ORVALINK_TEST_KEY=zvknp_T3stT3stT3stT3stT3stT3stT3stT3st
# shellcheck disable=SC1091
. "$(dirname "$0")/../testbed/service/start_servers.sh"
start() {
    local name=$1
    shift
    start_server "$work" "$name" "$service" --key "$ORVALINK_TEST_KEY=Test DJ" "$@"
}
start http
start https --tls-cert server.pem --tls-key server.key
start untrusted --tls-cert self.pem --tls-key self.key
wait_for_servers "$work" http https untrusted
export ORVALINK_TEST_HTTP_PORT=$(cat http.port)
export ORVALINK_TEST_HTTPS_PORT=$(cat https.port)
export ORVALINK_TEST_UNTRUSTED_PORT=$(cat untrusted.port)
export ORVALINK_TEST_CA_DER="$work/ca.der"
export ORVALINK_TEST_CA_PEM="$work/ca.pem"
"$@"
