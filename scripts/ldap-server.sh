#!/usr/bin/env bash
# Makes, starts and stops OpenLDAP servers (slapd) that hold one directory, each in a folder of its own.
#
#   ldap-server.sh new FOLDER [--base DN] [--host ADDR] [--port N] [--pair [--port2 N]]
#   ldap-server.sh start FOLDER
#   ldap-server.sh stop FOLDER
#   ldap-server.sh schema          # the schema LDIF on standard output, how to load it on standard error
#
# `new` writes a configuration (kelnt-ldap config), loads it and a new directory ("[Root]" and "Admin", who
# has no password yet) with slapadd, starts the server and prints the cvadmin --store line. --pair makes two
# providers that replicate each other (FOLDER/server1 and FOLDER/server2, on --port and --port2); the second
# starts empty and receives everything from the first; the --store line printed names both, the first
# first. The providers' password for each other is generated into FOLDER/replicator.password (0600).
# Servers listen on ADDR (default 127.0.0.1) and on a unix socket in their folder; start and stop find them
# by the pid files there, never by process name.
# The package installs this script as kelnt-ldap-server, beside kelnt-ldap.
set -euo pipefail
umask 077

here=$(cd "$(dirname "$0")" && pwd)
name=$(basename "$0")
# Installed, the line below holds the way from this script's folder to the package's data folder (the
# install fills it in); in the source tree it stays empty and the script works from the tree and its build.
installed_data=
if [ -n "$installed_data" ]; then
    schema_file=$here/$installed_data/ldap/kelnt-schema.ldif
    built_tool=$here/kelnt-ldap
    setup_hint="install the Debian packages slapd and ldap-utils"
else
    root=$(cd "$here/.." && pwd)
    schema_file=$root/resources/ldap/kelnt-schema.ldif
    built_tool=$root/build/bin/kelnt-ldap
    setup_hint="bash scripts/setup.sh installs them"
fi
slapd=/usr/sbin/slapd
slapadd=/usr/sbin/slapadd

die() {
    echo "$name: $*" >&2
    exit 1
}

usage() {
    sed -n '4,7p' "$0" | sed "s/^# \\{0,1\\}//; s/ldap-server\\.sh/$name/" >&2
    exit 2
}

need_slapd() {
    [ -x "$slapd" ] && [ -x "$slapadd" ] && command -v ldapwhoami >/dev/null ||
        die "slapd and ldap-utils are not installed ($setup_hint)"
}

kelnt_ldap() {
    local tool=${KELNT_LDAP:-}
    if [ -z "$tool" ]; then
        if [ -x "$built_tool" ]; then
            tool=$built_tool
        else
            tool=$(command -v kelnt-ldap) || die "kelnt-ldap not found: build the project (bash scripts/build.sh build) or set KELNT_LDAP"
        fi
    fi
    "$tool" "$@"
}

# ldapi:// URLs carry the socket's path with its slashes escaped.
socket_url() {
    printf 'ldapi://%s' "${1//\//%2F}"
}

servers_of() {
    local folder=$1
    [ -d "$folder" ] || die "$folder does not exist"
    local found=0
    for server in "$folder"/server*; do
        if [ -f "$server/listen" ]; then
            echo "$server"
            found=1
        fi
    done
    [ "$found" = 1 ] || die "$folder holds no server made by this script"
}

running_pid() {
    local server=$1 pid
    [ -f "$server/slapd.pid" ] || return 1
    pid=$(cat "$server/slapd.pid")
    [[ "$pid" =~ ^[0-9]+$ ]] || return 1
    # A pid left by a server that died may have been given to another process since: only ours counts.
    [ -r "/proc/$pid/cmdline" ] && tr '\0' ' ' <"/proc/$pid/cmdline" | grep -qF -- "$server/cfg" || return 1
    echo "$pid"
}

start_one() {
    local server=$1 pid
    if pid=$(running_pid "$server"); then
        echo "$server: already running (pid $pid)"
        return
    fi
    rm -f "$server/slapd.pid"
    setsid "$slapd" -F "$server/cfg" -h "$(cat "$server/listen")" -d 0 </dev/null >>"$server/log" 2>&1 &
    local socket
    socket=$(socket_url "$server/ldapi")
    for _ in $(seq 100); do
        if ldapwhoami -x -H "$socket" >/dev/null 2>&1; then
            echo "$server: running (pid $(cat "$server/slapd.pid" 2>/dev/null || echo "$!"))"
            return
        fi
        kill -0 "$!" 2>/dev/null || break
        sleep 0.1
    done
    tail -n 20 "$server/log" >&2
    die "$server: slapd did not start (its log: $server/log)"
}

stop_one() {
    local server=$1 pid
    if ! pid=$(running_pid "$server"); then
        echo "$server: not running"
        return
    fi
    kill -TERM "$pid"
    for _ in $(seq 300); do
        kill -0 "$pid" 2>/dev/null || {
            echo "$server: stopped"
            return
        }
        sleep 0.1
    done
    die "$server: slapd (pid $pid) did not stop within 30 s"
}

make_server() {
    local server=$1 listen=$2
    shift 2
    mkdir -p "$server/cfg" "$server/db"
    echo "$listen" >"$server/listen"
    kelnt_ldap config --folder "$server" --base "$base" "$@" >"$server/config.ldif"
    "$slapadd" -n0 -F "$server/cfg" -l "$server/config.ldif" >>"$server/log" 2>&1 ||
        die "slapadd refused the configuration (see $server/log)"
    # The configuration may hold the replicator's password: it stays in cfg/, readable by its owner only.
    rm -f "$server/config.ldif"
}

cmd_new() {
    local folder="" host=127.0.0.1 port=389 port2="" pair=0
    base=o=kel
    while [ $# -gt 0 ]; do
        case $1 in
        --base) base=${2:?--base needs a DN}; shift 2 ;;
        --host) host=${2:?--host needs an address}; shift 2 ;;
        --port) port=${2:?--port needs a number}; shift 2 ;;
        --port2) port2=${2:?--port2 needs a number}; shift 2 ;;
        --pair) pair=1; shift ;;
        -*) die "unknown option $1" ;;
        *) [ -z "$folder" ] || die "one FOLDER only"; folder=$1; shift ;;
        esac
    done
    [ -n "$folder" ] || usage
    [ -z "$port2" ] || [ "$pair" = 1 ] || die "--port2 is for --pair"
    port2=${port2:-$((port + 1))}
    for p in "$port" "$port2"; do
        [[ "$p" =~ ^[0-9]+$ ]] && [ "$p" -ge 1 ] && [ "$p" -le 65535 ] || die "not a port: $p"
    done
    [ "$pair" = 0 ] || [ "$port" != "$port2" ] || die "the two providers need two ports"
    [[ "$base" =~ ^[A-Za-z]+=[^,]+(,[A-Za-z]+=[^,]+)*$ ]] || die "not a DN: $base (e.g. o=kel or ou=admin,dc=example,dc=com)"
    folder=$(realpath -m -- "$folder")
    [[ "$folder" =~ ^[A-Za-z0-9._/-]+$ ]] || die "the folder's path may hold only letters, digits and . _ - /"
    # The socket's path must fit a unix socket address (108 bytes).
    [ "${#folder}" -le 90 ] || die "the folder's path is too long for the server's socket: choose a shorter one"
    if [ -e "$folder" ] && [ -n "$(ls -A "$folder")" ]; then
        die "$folder is not empty: a new directory needs a folder of its own"
    fi
    need_slapd
    kelnt_ldap schema >/dev/null
    mkdir -p "$folder"

    local s1=$folder/server1
    local init=$folder/init.ldif
    if [ "$pair" = 0 ]; then
        make_server "$s1" "ldap://$host:$port/ $(socket_url "$s1/ldapi")"
        kelnt_ldap init --base "$base" >"$init"
    else
        local s2=$folder/server2 password
        password=$(head -c 24 /dev/urandom | base64 | tr -d '/+=')
        printf '%s\n' "$password" >"$folder/replicator.password"
        chmod 600 "$folder/replicator.password"
        make_server "$s1" "ldap://$host:$port/ $(socket_url "$s1/ldapi")" --server-id 1 \
            --peer "ldap://$host:$port2/" --replicator-password "$password"
        make_server "$s2" "ldap://$host:$port2/ $(socket_url "$s2/ldapi")" --server-id 2 \
            --peer "ldap://$host:$port/" --replicator-password "$password"
        kelnt_ldap init --base "$base" --replicator-password "$password" >"$init"
    fi
    "$slapadd" -n1 -F "$s1/cfg" -l "$init" >>"$s1/log" 2>&1 || die "slapadd refused the directory (see $s1/log)"
    rm -f "$init"
    for server in $(servers_of "$folder"); do
        start_one "$server"
    done
    # A pair is one address naming both providers: the client writes through the first and goes on through
    # the second when the first stops answering.
    if [ "$pair" = 0 ]; then
        echo "cvadmin --store ldap://$host:$port/$base"
    else
        echo "cvadmin --store ldap://$host:$port,$host:$port2/$base"
    fi
}

cmd_schema() {
    local file=$schema_file
    [ -f "$file" ] || die "$file is missing"
    cat "$file"
    cat >&2 <<EOF
# Load it into a running slapd that keeps its configuration in cn=config (as root on the server):
#   ldapadd -Y EXTERNAL -H ldapi:/// -f kelnt-schema.ldif
# The directory also needs the argon2 module with olcPasswordHash {ARGON2}, and the access rules and indexes
# of 'kelnt-ldap config --folder DIR --base DN' (olcAccess, olcDbIndex) on its database. Then make the
# directory's entries below an existing base DN as the database's manager:
#   kelnt-ldap init --base DN | ldapadd -x -H ldap://HOST:PORT -D MANAGER-DN -W
EOF
}

[ $# -ge 1 ] || usage
command=$1
shift
case $command in
new) cmd_new "$@" ;;
start | stop)
    [ $# -eq 1 ] || usage
    need_slapd
    folder=$(realpath -m -- "$1")
    for server in $(servers_of "$folder"); do
        "${command}_one" "$server"
    done
    ;;
schema) [ $# -eq 0 ] || usage; cmd_schema ;;
-h | --help) sed -n '2,15p' "$0" | sed "s/^# \{0,1\}//; s/ldap-server\.sh/$name/" ;;
*) usage ;;
esac
