#!/usr/bin/env bash
# The setup program as DJs meet it, under Wine, in four throwaway prefixes
# side by side, one for each way VirtualDJ's home folder may lie:
#   documents  only Documents\VirtualDJ, with Documents redirected (so the
#              setup must ask the shell for it)
#   local      only %LOCALAPPDATA%\VirtualDJ, where VirtualDJ 2023+ keeps it
#   neither    no VirtualDJ folder yet: %LOCALAPPDATA%\VirtualDJ is used
#   both       both: the plug-in goes into each
# In each, a silent install puts the release DLL into exactly the expected
# folders and the third-party notices, with winpthreads' licence, into the
# plug-in's own folder outside VirtualDJ's; a loopback build installed over it by the same kind of setup is
# loaded by the stand-in host from the first of them and publishes a play;
# a silent uninstall removes every copy, every uninstaller, the notices and
# the entry, and leaves the settings file byte-identical. In "documents" also every value of
# the uninstall entry; in "documents" and "both", a setup run while a copy is
# loaded fails and leaves every installed file whole.
# Usage: check_installer.sh SETUP LOOPBACK_SETUP RELEASE_DLL HOST SERVICE PORT WORK VERSION
set -uo pipefail
setup=$1 loopback_setup=$2 release_dll=$3 host=$4 service=$5 port=$6 work=$7 version=$8
rm -rf "$work"
mkdir -p "$work"
wine=/usr/lib/wine/wine64
entry='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\OrvalinkNowPlaying'
uninstaller="Uninstall Orvalink Now Playing.exe"
digest() { sha256sum <"$1" | cut -d' ' -f1; }
key_for() { printf 'zvknp_Installer%-23s' "$1" | tr ' ' 0; }

scenarios=(documents local neither both)
accounts=()
for name in "${scenarios[@]}"; do
    accounts+=(--key "$(key_for "$name")=DJ $name")
done
"$service" --port "$port" "${accounts[@]}" >"$work/service.log" 2>&1 &
service_pid=$!
trap 'kill $service_pid 2>/dev/null; wait $service_pid 2>/dev/null' EXIT
for _ in $(seq 50); do grep -q listening "$work/service.log" && break; sleep 0.1; done

# One scenario, in a prefix and a Wine server of its own. Prints its steps;
# exits non-zero at the first thing that is not as it should be.
scenario() (
    set -euo pipefail
    name=$1 dir="$work/$1"
    mkdir -p "$dir/home"
    export HOME="$dir/home" WINEPREFIX="$dir/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    fail() { echo "FAIL ($name): $*"; exit 1; }
    trap '/usr/lib/wine/wineserver -k 2>/dev/null || true' EXIT
    "$wine" wineboot --init >/dev/null 2>&1
    /usr/lib/wine/wineserver -w
    drive=$WINEPREFIX/drive_c
    user_dir=$drive/users/$(id -un)
    local_home=$user_dir/AppData/Local/VirtualDJ
    documents_home=$user_dir/Documents/VirtualDJ
    if [ "$name" = documents ]; then
        "$wine" reg add 'HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\User Shell Folders' \
            /v Personal /t REG_EXPAND_SZ /d 'C:\DJ Documents' /f >/dev/null
        documents_home="$drive/DJ Documents/VirtualDJ"
    fi
    expected=() absent=()
    case $name in
    documents) mkdir -p "$documents_home"; expected=("$documents_home") absent=("$local_home") ;;
    local) mkdir -p "$local_home"; expected=("$local_home") absent=("$documents_home") ;;
    neither) expected=("$local_home") absent=("$documents_home") ;;
    both) mkdir -p "$local_home" "$documents_home"; expected=("$local_home" "$documents_home") ;;
    esac
    windows_path() { local path=${1#"$drive"/}; echo "C:\\${path//\//\\}"; }
    plugin() { echo "$1/Plugins64/AutoStart/Orvalink Now Playing.dll"; }

    key=$(key_for "$name")
    settings="$user_dir/AppData/Roaming/Orvalink/now-playing.json"
    mkdir -p "$(dirname "$settings")"
    printf '{"key": "%s"}\n' "$key" >"$settings"
    settings_digest=$(digest "$settings")

    echo "$name: silent install"
    "$wine" "$setup" /S || fail "the silent install exited with $?"
    for home in "${expected[@]}"; do
        [ "$(digest "$(plugin "$home")")" = "$(digest "$release_dll")" ] ||
            fail "no release DLL in $(windows_path "$home")"
    done
    for home in "${absent[@]}"; do
        [ ! -e "$(plugin "$home")" ] || fail "a copy went into $(windows_path "$home")"
    done
    notices="$user_dir/AppData/Local/Orvalink Now Playing/THIRD-PARTY-NOTICES.txt"
    grep -q -F "Files: mingw-w64-libraries/winpthreads/*" "$notices" ||
        fail "no notices with winpthreads' licence in $(windows_path "$(dirname "$notices")")"
    first=$(plugin "${expected[0]}")
    if [ "$name" = documents ]; then
        registered=$("$wine" reg query "$entry" 2>/dev/null | tr -d '\r')
        location='C:\DJ Documents\VirtualDJ\Plugins64\AutoStart'
        for value in "DisplayName    REG_SZ    Orvalink Now Playing" "Publisher    REG_SZ    Orvalink" \
            "DisplayVersion    REG_SZ    $version" "InstallLocation    REG_SZ    $location" \
            "UninstallString    REG_SZ    \"$location\\$uninstaller\"" \
            "QuietUninstallString    REG_SZ    \"$location\\$uninstaller\" /S" \
            "DisplayIcon    REG_SZ    \"$location\\$uninstaller\",0" "EstimatedSize    REG_DWORD"; do
            grep -q -F "$value" <<<"$registered" || fail "the uninstall entry lacks: $value"
        done
    fi

    echo "$name: the installed plug-in publishes a play"
    "$wine" "$loopback_setup" /S || fail "installing the loopback build exited with $?"
    for home in "${expected[@]}"; do
        [ "$(digest "$(plugin "$home")")" != "$(digest "$release_dll")" ] ||
            fail "the loopback build did not replace $(windows_path "$home")"
    done
    printf '0 load 1 Installed %s|The Installer\n1 play 1\n25 end\n' "$name" >"$dir/play.set"
    "$wine" "$host" --plugin "$(windows_path "$first")" --set "Z:${dir//\//\\}\\play.set" \
        >"$dir/host.log" 2>&1 || fail "the stand-in host failed: $(tail -n 5 "$dir/host.log")"
    curl -s "http://127.0.0.1:$port/_test/accounts" | grep -q "\"title\":\"Installed $name\"" ||
        fail "no play published: $(tail -n 5 "$dir/host.log")"

    if [ "$name" = documents ] || [ "$name" = both ]; then
        # In "both", the copy in use is the second: every copy is checked
        # before any is written, so the first stays as it was too.
        echo "$name: setup while the plug-in is loaded"
        held=$(plugin "${expected[-1]}")
        before_digests=$(for home in "${expected[@]}"; do digest "$(plugin "$home")"; done)
        printf '0 load 1 Held|Open\n60 end\n' >"$dir/hold.set"
        "$wine" "$host" --plugin "$(windows_path "$held")" --set "Z:${dir//\//\\}\\hold.set" \
            >"$dir/hold.log" 2>&1 &
        holder=$!
        # Loading under Wine beside the other scenarios can take seconds: wait
        # for it (a minute at most), and never judge the setup without it.
        for _ in $(seq 600); do
            grep -q 'declared parameter 3' "$dir/hold.log" && break
            kill -0 "$holder" 2>/dev/null || break
            sleep 0.1
        done
        grep -q 'declared parameter 3' "$dir/hold.log" ||
            fail "the stand-in host did not load the plug-in: $(tail -n 5 "$dir/hold.log")"
        if "$wine" "$setup" /S; then fail "the setup succeeded over a loaded plug-in"; fi
        after_digests=$(for home in "${expected[@]}"; do digest "$(plugin "$home")"; done)
        [ "$after_digests" = "$before_digests" ] || fail "an installed plug-in's file changed"
        for home in "${expected[@]}"; do
            [ ! -e "$(plugin "$home").new" ] || fail "a partial copy was left beside a plug-in"
        done
        kill "$holder"
        /usr/lib/wine/wineserver -w
    fi

    echo "$name: silent uninstall"
    "$wine" "$(dirname "$first")/$uninstaller" /S || fail "the silent uninstall exited with $?"
    /usr/lib/wine/wineserver -w
    for home in "${expected[@]}"; do
        [ ! -e "$(plugin "$home")" ] || fail "a DLL is still in $(windows_path "$home")"
        [ ! -e "$(dirname "$(plugin "$home")")/$uninstaller" ] || fail "an uninstaller is still there"
    done
    [ ! -e "$(dirname "$notices")" ] || fail "the notices' folder is still there"
    "$wine" reg query "$entry" >/dev/null 2>&1 && fail "the uninstall entry is still there"
    [ "$(digest "$settings")" = "$settings_digest" ] || fail "the settings file changed"
    echo "$name: passed"
)

pids=()
for name in "${scenarios[@]}"; do
    scenario "$name" >"$work/$name.log" 2>&1 &
    pids+=($!)
done
passed=0 failed=0
for i in "${!scenarios[@]}"; do
    if wait "${pids[$i]}"; then passed=$((passed + 1)); else failed=$((failed + 1)); fi
    cat "$work/${scenarios[$i]}.log"
done
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
