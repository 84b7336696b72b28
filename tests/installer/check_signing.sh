#!/usr/bin/env bash
# Signing a release in one step, with a throwaway self-signed code-signing
# certificate made here (never kept): scripts/sign-release builds it, and the
# DLL inside the zip, the setup program and the uninstaller the setup writes
# must each verify against that certificate; the zip carries the
# third-party notices.
# Usage: check_signing.sh SOURCE_DIR WORK
set -euo pipefail
source_dir=$1 work=$2
rm -rf "$work"
mkdir -p "$work/home"
fail() { echo "FAIL: $*"; exit 1; }
cd "$work"
work=$PWD
export HOME="$work/home" WINEPREFIX="$work/prefix"
trap '/usr/lib/wine/wineserver -k 2>/dev/null || true' EXIT

openssl rand -hex 16 >password
{
    openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Orvalink Test Signing" \
        -addext keyUsage=critical,digitalSignature -addext extendedKeyUsage=codeSigning \
        -keyout key.pem -out cert.pem
    openssl pkcs12 -export -inkey key.pem -in cert.pem -out signing.p12 -passout file:password
} >openssl.log 2>&1 || { cat openssl.log; exit 1; }

echo "sign a release"
"$source_dir/scripts/sign-release" --pkcs12 signing.p12 --password-file password \
    --build-dir "$work/build" >release.txt || fail "sign-release exited with $?"
zip=$(sed -n 1p release.txt) setup=$(sed -n 2p release.txt)
case $zip in /*) ;; *) zip=$source_dir/$zip setup=$source_dir/$setup ;; esac

verify() {
    osslsigncode verify -CAfile cert.pem -in "$1" >"verify-$2.log" 2>&1 ||
        { cat "verify-$2.log"; fail "the $2 does not verify against the test certificate"; }
    grep -q "Orvalink Test Signing" "verify-$2.log" || fail "the $2 is signed by someone else"
    echo "  $2: signed, verified"
}
unzip -q -o "$zip" -d unpacked
grep -q -F "Files: mingw-w64-libraries/winpthreads/*" unpacked/*/THIRD-PARTY-NOTICES.txt ||
    fail "the zip carries no notices with winpthreads' licence"
verify unpacked/*/"Orvalink Now Playing.dll" DLL
verify "$setup" "setup program"

echo "the uninstaller the setup writes"
"$source_dir/cmake/wine-run.sh" "$WINEPREFIX" "$setup" /S '/D=C:\Plugins' ||
    fail "the silent install exited with $?"
verify "$WINEPREFIX/drive_c/Plugins/Uninstall Orvalink Now Playing.exe" uninstaller
verify "$WINEPREFIX/drive_c/Plugins/Orvalink Now Playing.dll" "installed DLL"
