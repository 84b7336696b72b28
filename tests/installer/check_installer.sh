#!/usr/bin/env bash
# The setup program as a DJ meets it, under Wine in a throwaway prefix whose
# Documents folder is redirected (so the setup must ask the shell for it):
# a silent install puts the release DLL there and registers the uninstaller;
# the stand-in host loads the installed plug-in (a loopback build installed
# over it by the same setup) and it publishes a play; a setup run while the
# plug-in is loaded fails and leaves the installed file whole; a silent
# uninstall removes the DLL, itself and its entry, and leaves the settings
# file alone.
# Usage: check_installer.sh SETUP LOOPBACK_SETUP RELEASE_DLL HOST SERVICE PORT WORK VERSION
set -euo pipefail
setup=$1 loopback_setup=$2 release_dll=$3 host=$4 service=$5 port=$6 work=$7 version=$8
rm -rf "$work"
mkdir -p "$work/home"
export HOME="$work/home" WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wine=/usr/lib/wine/wine64
fail() { echo "FAIL: $*"; exit 1; }
pids=()
stop() {
    set +e
    kill "${pids[@]}" 2>/dev/null
    wait "${pids[@]}" 2>/dev/null
    /usr/lib/wine/wineserver -k 2>/dev/null || true
}
trap stop EXIT

"$wine" wineboot --init >/dev/null 2>&1
/usr/lib/wine/wineserver -w
"$wine" reg add 'HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\User Shell Folders' \
    /v Personal /t REG_EXPAND_SZ /d 'C:\DJ Documents' /f >/dev/null
mkdir -p "$WINEPREFIX/drive_c/DJ Documents"
folder="$WINEPREFIX/drive_c/DJ Documents/VirtualDJ/Plugins64/AutoStart"
installed="$folder/Orvalink Now Playing.dll"
windows_dll='C:\DJ Documents\VirtualDJ\Plugins64\AutoStart\Orvalink Now Playing.dll'
entry='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\OrvalinkNowPlaying'
digest() { sha256sum <"$1" | cut -d' ' -f1; }

key=zvknp_InstallerInstallerInstaller00001
settings="$WINEPREFIX/drive_c/users/$(id -un)/AppData/Roaming/Orvalink/now-playing.json"
mkdir -p "$(dirname "$settings")"
printf '{"key": "%s"}\n' "$key" >"$settings"
settings_digest=$(digest "$settings")

echo "silent install"
"$wine" "$setup" /S || fail "the silent install exited with $?"
[ -f "$installed" ] || fail "no DLL in the Documents folder the shell reports"
[ "$(digest "$installed")" = "$(digest "$release_dll")" ] || fail "the installed DLL is not the release DLL"
registered=$("$wine" reg query "$entry" 2>/dev/null | tr -d '\r')
for value in "DisplayName    REG_SZ    Orvalink Now Playing" "Publisher    REG_SZ    Orvalink" \
    "DisplayVersion    REG_SZ    $version" "InstallLocation    REG_SZ    C:\\DJ Documents\\VirtualDJ" \
    "UninstallString    REG_SZ    \"C:\\DJ Documents\\VirtualDJ\\Plugins64\\AutoStart\\Uninstall Orvalink Now Playing.exe\"" \
    "EstimatedSize    REG_DWORD"; do
    grep -q -F "$value" <<<"$registered" || fail "the uninstall entry lacks: $value"
done

echo "the installed plug-in publishes a play"
"$wine" "$loopback_setup" /S || fail "installing the loopback build exited with $?"
"$service" --port "$port" --key "$key=DJ Installer" >"$work/service.log" 2>&1 &
pids+=($!)
for _ in $(seq 50); do grep -q listening "$work/service.log" && break; sleep 0.1; done
printf '0 load 1 Installed Track|The Installer\n1 play 1\n30 end\n' >"$work/play.set"
"$wine" "$host" --plugin "$windows_dll" --set 'Z:'"${work//\//\\}"'\play.set' >"$work/host.log" 2>&1 ||
    fail "the stand-in host failed: $(tail -n 5 "$work/host.log")"
curl -s "http://127.0.0.1:$port/_test/accounts" | grep -q '"title":"Installed Track"' ||
    fail "no play published: $(tail -n 5 "$work/host.log")"

echo "setup while the plug-in is loaded"
loaded_digest=$(digest "$installed")
printf '0 load 1 Held|Open\n60 end\n' >"$work/hold.set"
"$wine" "$host" --plugin "$windows_dll" --set 'Z:'"${work//\//\\}"'\hold.set' >"$work/hold.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do grep -q 'declared parameter 3' "$work/hold.log" && break; sleep 0.1; done
if "$wine" "$setup" /S; then fail "the setup succeeded over a loaded plug-in"; fi
[ "$(digest "$installed")" = "$loaded_digest" ] || fail "the loaded plug-in's file changed"
[ ! -e "$installed.new" ] || fail "a partial copy was left beside the plug-in"
kill "${pids[-1]}"
/usr/lib/wine/wineserver -w

echo "silent uninstall"
"$wine" "$folder/Uninstall Orvalink Now Playing.exe" /S || fail "the silent uninstall exited with $?"
/usr/lib/wine/wineserver -w
[ ! -e "$installed" ] || fail "the DLL is still there"
[ ! -e "$folder/Uninstall Orvalink Now Playing.exe" ] || fail "the uninstaller is still there"
"$wine" reg query "$entry" >/dev/null 2>&1 && fail "the uninstall entry is still there"
[ "$(digest "$settings")" = "$settings_digest" ] || fail "the settings file changed"
echo "1 passed, 0 failed"
exit 0
