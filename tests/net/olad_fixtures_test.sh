#!/usr/bin/env bash
# uploader-cli fixtures against a node we did not write: OLA's olad, whose
# dummy plugin's RDM responders sit behind one of its Art-Net ports. olad
# runs in a network namespace of the test's own and uploader-cli in a second
# one, joined by a veth pair with addresses from 192.0.2.0/24 (TEST-NET-1)
# that exist only inside the two namespaces: no packet reaches any other
# host. Every fixture olad's own client (ola_rdm_get) reports must be listed
# with the same labels, software version and DMX512 start address; and an
# upload with --read-back must be refused before sending, since none of
# olad's responders is one of our fixtures, and with --force it must be
# sent and still not count as confirmed.
# Exit 77 (skipped) where namespaces or olad cannot be had.
#   olad_fixtures_test.sh UPLOADER-CLI IMAGE
#
# Nothing outlives the test: it keeps a deadline of its own (OLAD_TEST_DEADLINE
# seconds, 150 by default; CTest's TIMEOUT is above it), after which every
# process of the test gets SIGTERM and the cleanup below runs; the cleanup
# also runs on INT, TERM and HUP. olad runs in a process group of its own that
# the cleanup ends, and dies with this script even when the script is killed
# outright. Two runs at once do not meet: each has its own namespaces (so its
# own olad ports, 9010 for RPC included, and addresses) and config folder.
set -uo pipefail
cli=$1
image=$2
skip() {
  echo "SKIP: $*"
  exit 77
}
fail() {
  echo "FAIL: $*"
  exit 1
}

[ "$(id -u)" -eq 0 ] || skip "making network namespaces needs root"
for tool in olad ola_dev_info ola_patch ola_rdm_discover ola_rdm_get ip setpriv setsid timeout; do
  command -v "$tool" >/dev/null ||
    skip "$tool is missing (Debian packages ola, iproute2, util-linux, coreutils)"
done

# Once: again under the deadline, in a process group of its own that timeout
# signals as a whole. Should the process that started the test go away,
# timeout gets SIGTERM and passes it on; should timeout go, this script gets it.
if [ -z "${OLAD_TEST_UNDER_DEADLINE:-}" ]; then
  export OLAD_TEST_UNDER_DEADLINE=1
  exec setpriv --pdeathsig TERM timeout --kill-after=10 "${OLAD_TEST_DEADLINE:-150}" \
    setpriv --pdeathsig TERM "$0" "$@"
fi

# Namespaces left by a run that was killed outright (its process is gone):
# their processes are ended and the namespaces removed.
for ns in $(ip netns list 2>/dev/null | sed -n 's/^\(upl\(ola\|cli\)\([0-9]*\)\)\( .*\)\?$/\1/p'); do
  owner=${ns#upl???}
  kill -0 "$owner" 2>/dev/null && continue
  for pid in $(ip netns pids "$ns" 2>/dev/null); do kill -KILL "$pid" 2>/dev/null; done
  ip netns del "$ns" 2>/dev/null
done

tag=$$
ns_ola=uplola$tag
ns_cli=uplcli$tag
dir=$(mktemp -d "${TMPDIR:-/tmp}/olad-test.XXXXXX") || skip "no temporary folder"
olad_pid=""
# Whether process $1 is there and not yet a zombie.
running() {
  local state
  state=$(ps -o stat= -p "$1" 2>/dev/null) && [[ $state != Z* ]]
}
cleanup() {
  trap - EXIT INT TERM HUP
  if [ -n "$olad_pid" ]; then
    kill -TERM -- "-$olad_pid" "$olad_pid" 2>/dev/null
    for _ in $(seq 1 50); do running "$olad_pid" || break; sleep 0.1; done
    kill -KILL -- "-$olad_pid" "$olad_pid" 2>/dev/null
    wait "$olad_pid" 2>/dev/null
  fi
  # Anything else still in the test's namespaces (a client cut short).
  for ns in "$ns_ola" "$ns_cli"; do
    for pid in $(ip netns pids "$ns" 2>/dev/null); do kill -KILL "$pid" 2>/dev/null; done
    ip netns del "$ns" 2>/dev/null
  done
  ip link del "va$tag" 2>/dev/null  # made, not yet moved into a namespace
  rm -rf "$dir"
}
on_signal() {
  echo "FAIL: stopped by SIG$1 (the test's deadline or an interrupt)"
  cleanup
  exit 1
}
trap cleanup EXIT
trap 'on_signal INT' INT
trap 'on_signal TERM' TERM
trap 'on_signal HUP' HUP

ip netns add "$ns_ola" 2>/dev/null || skip "cannot make a network namespace (ip netns add)"
ip netns add "$ns_cli" || skip "cannot make a second network namespace"
ip link add "va$tag" type veth peer name "vb$tag" || skip "cannot make a veth pair"
ip link set "va$tag" netns "$ns_ola" && ip link set "vb$tag" netns "$ns_cli" || fail "moving the veth ends"
# olad sends ArtTodData to its interface's broadcast address: give it one.
ip -n "$ns_ola" addr add 192.0.2.1/24 brd + dev "va$tag" &&
  ip -n "$ns_cli" addr add 192.0.2.2/24 brd + dev "vb$tag" &&
  ip -n "$ns_ola" link set lo up && ip -n "$ns_ola" link set "va$tag" up &&
  ip -n "$ns_cli" link set lo up && ip -n "$ns_cli" link set "vb$tag" up || fail "addressing the veth pair"

# olad refuses to run as root: it and its clients run as nobody.
printf 'enabled = true\nip = 192.0.2.1\n' >"$dir/ola-artnet.conf"
chmod 755 "$dir"
chown -R 65534:65534 "$dir"
as_nobody=(setpriv --reuid=65534 --regid=65534 --clear-groups env HOME="$dir")
as_ola() { ip netns exec "$ns_ola" "${as_nobody[@]}" "$@"; }
# Each of these execs the next, so that $! is olad itself: the leader of a
# process group of its own, killed should this script die first.
ip netns exec "$ns_ola" setsid setpriv --reuid=65534 --regid=65534 --clear-groups --pdeathsig KILL \
  env HOME="$dir" olad -c "$dir" --no-http -l 2 >"$dir/olad.log" 2>&1 &
olad_pid=$!

devices=""
for _ in $(seq 1 40); do
  devices=$(as_ola ola_dev_info 2>/dev/null)
  echo "$devices" | grep -q "ArtNet" && echo "$devices" | grep -q "Dummy Device" && break
  kill -0 "$olad_pid" 2>/dev/null || skip "olad did not start: $(tail -3 "$dir/olad.log")"
  sleep 0.5
done
dummy=$(echo "$devices" | sed -n 's/^Device \([0-9]*\): Dummy Device.*/\1/p')
artnet=$(echo "$devices" | sed -n 's/^Device \([0-9]*\): ArtNet.*/\1/p')
[ -n "$dummy" ] && [ -n "$artnet" ] || skip "olad shows no Dummy and ArtNet devices"
# The dummy port's responders on universe 1; the Art-Net port that takes
# data from the network (olad's "input", port address 0:0:1) on it too.
as_ola ola_patch --device "$dummy" --port 0 --universe 1 || fail "ola_patch of the dummy port"
as_ola ola_patch --device "$artnet" --port 0 --input --universe 1 || fail "ola_patch of the Art-Net port"

uids=$(as_ola ola_rdm_discover -u 1 --full 2>/dev/null)
[ -n "$uids" ] || fail "olad's dummy port has no RDM responders"
echo "olad's responders: $(echo $uids)"

out=$(ip netns exec "$ns_cli" timeout 60 "$cli" fixtures --adapter artnet:192.0.2.1:0:0:1 2>&1)
status=$?
echo "$out"
[ $status -eq 0 ] || fail "uploader-cli fixtures ended with $status"

rows=$(echo "$out" | grep -cE '^[0-9A-F]{4}:[0-9A-F]{8} ')
[ "$rows" -eq "$(echo "$uids" | wc -l)" ] || fail "$rows rows for $(echo "$uids" | wc -l) responders"
for uid in $uids; do
  ours=$(echo "${uid^^}" | sed 's/^\([0-9A-F]*\):\([0-9A-F]*\)$/\1:\2/')
  row=$(echo "$out" | grep "^$ours ") || fail "$ours is not listed"
  for pid in manufacturer_label device_model_description software_version_label; do
    label=$(as_ola ola_rdm_get -u 1 --uid "$uid" "$pid" 2>/dev/null | head -1)
    [ -n "$label" ] || fail "ola_rdm_get $pid for $uid said nothing"
    echo "$row" | grep -qF -- "$label" || fail "$ours: $pid \"$label\" is missing from: $row"
  done
  info=$(as_ola ola_rdm_get -u 1 --uid "$uid" device_info 2>/dev/null)
  version=$(echo "$info" | sed -n 's/^Software Version: \([0-9]*\).*/\1/p')
  start=$(echo "$info" | sed -n 's/^DMX Start Address: \([0-9]*\).*/\1/p')
  [ "$start" = 65535 ] && start=none
  expected=$(printf '%-7s 0x%08X' "$start" "$version")
  echo "$row" | grep -qF -- "$expected" || fail "$ours: expected \"$expected\" in: $row"
done

# None of olad's responders carries our manufacturer ID: an upload with
# --read-back has no fixture to read back and must send nothing.
out=$(ip netns exec "$ns_cli" timeout 60 "$cli" upload "$image" --fast --address 1 \
  --adapter artnet:192.0.2.1:0:0:1 --read-back 2>&1)
status=$?
echo "$out"
[ $status -eq 5 ] || fail "upload --read-back without our fixtures ended with $status, not 5"
echo "$out" | grep -q "nothing was sent" || fail "the refusal does not say that nothing was sent"

# --force sends anyway; with nothing read before, nothing confirms the upload.
out=$(ip netns exec "$ns_cli" timeout 120 "$cli" upload "$image" --fast --address 1 --quiet \
  --adapter artnet:192.0.2.1:0:0:1 --read-back --force --settle 0 2>&1 >/dev/null)
status=$?
echo "$out"
[ $status -eq 5 ] || fail "upload --read-back --force without our fixtures ended with $status, not 5"
echo "$out" | grep -q "sending anyway (--force)" || fail "--force does not say that it sends anyway"
echo "$out" | grep -q "not confirmed by any fixture" || fail "the forced upload is not said to be unconfirmed"
echo "PASS"
