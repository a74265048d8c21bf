#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The files a school's administrator installs, as their own tools read them: the unit under
# systemd-analyze verify, the nginx site under nginx -t in a minimal main configuration, and the
# two agreeing on where the service listens. A tool that is missing skips its check, saying so.
# Usage: deployment_test.sh SOURCE_DIR LIRRA_SERVER
set -euo pipefail
source=$1 server=$2
unit=$source/data/lirra-server.service site=$source/data/lirra-server.nginx
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "$*"; exit 1; }

# The proxy sends to the address the service listens on and trusts, and says who the client is.
listen=$(sed -n 's/^ExecStart=.* --listen \([^ ]*\) .*/\1/p' "$unit")
[[ -n "$listen" ]] || fail "the unit's ExecStart= has no --listen"
grep -qE "^ +server $listen " "$site" || fail "the nginx site does not proxy to $listen"
grep -qE "^ExecStart=.* --trust-proxy ${listen%:*} " "$unit" || fail "the unit does not trust ${listen%:*}"
[[ $(grep -c 'proxy_set_header X-Forwarded-For $proxy_add_x_forwarded_for;' "$site") == 2 ]] ||
    fail "a location of the nginx site does not pass X-Forwarded-For"
grep -qE '^ +location = /readyz ' "$site" || fail "the nginx site has no readyz location"
# The proxy lets through every body the service takes, so the service's own 413 stays the one
# that speaks.
limit=$("$server" --check-config --data "$work/data" | sed -n 's/^ok    request bodies up to \([0-9]*\) MiB.*/\1/p')
[[ -n "$limit" ]] || fail "lirra-server --check-config names no body limit"
grep -qE "^ +client_max_body_size ${limit}m;" "$site" || fail "the nginx site's client_max_body_size is not ${limit}m"
# Checked before starting is what is started.
[[ "$(sed -n 's/^ExecStartPre=\([^ ]*\) --check-config /\1 /p' "$unit")" == \
   "$(sed -n 's/^ExecStart=//p' "$unit")" ]] || fail "ExecStartPre= does not check what ExecStart= runs"
grep -q "^StateDirectory=lirra-server$" "$unit" && grep -q " --data /var/lib/lirra-server " "$unit" ||
    fail "the unit's data folder is not its state directory"
user=$(sed -n 's/^User=//p' "$unit")
grep -qE "^u $user " "$source/data/lirra-server.sysusers" || fail "no sysusers line for $user"

checked=0
if command -v systemd-analyze >/dev/null; then
    sed "s|/usr/bin/lirra-server|$server|g" "$unit" >"$work/lirra-server.service"
    # The manual page is not installed here; the install test checks it.
    out=$(systemd-analyze verify --man=no "$work/lirra-server.service" 2>&1) || fail "$out"
    [[ -z "$out" ]] || fail "systemd-analyze verify: $out"
    # Its exposure as systemd rates it (1.2 when written): a hardening setting lost shows here.
    systemd-analyze security --offline=true --threshold=13 "$work/lirra-server.service" >"$work/security" 2>&1 ||
        fail "the unit is less confined than it was: $(tail -1 "$work/security")"
    checked=$((checked + 1))
else
    echo "skipped: systemd-analyze is missing (Debian package systemd)"
fi
if command -v nginx >/dev/null && command -v openssl >/dev/null; then
    openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj /CN=lirra.school.example \
        -keyout "$work/key.pem" -out "$work/cert.pem" 2>/dev/null
    sed -e "s|/etc/ssl/certs/lirra.school.example.pem|$work/cert.pem|" \
        -e "s|/etc/ssl/private/lirra.school.example.key|$work/key.pem|" "$site" >"$work/site"
    cat >"$work/nginx.conf" <<EOF
pid $work/nginx.pid;
error_log $work/error.log;
events {}
http {
    access_log off;
    client_body_temp_path $work/body;
    proxy_temp_path $work/proxy;
    include $work/site;
}
EOF
    out=$(nginx -t -q -p "$work" -c "$work/nginx.conf" 2>&1) || fail "nginx -t: $out"
    [[ -z "$out" ]] || fail "nginx -t: $out"
    checked=$((checked + 1))
else
    echo "skipped: nginx or openssl is missing (Debian packages nginx-light, openssl)"
fi
echo "deployment files agree; $checked of 2 tools checked them"
