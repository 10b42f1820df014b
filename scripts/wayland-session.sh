#!/usr/bin/env bash
# Runs a command where a headless Wayland desktop can be started: as an
# unprivileged user (sway refuses root: as root, the user kwpshot-wltest is
# made once and the command runs as it), with a /tmp of its own (the wlr
# screenshot portal always writes /tmp/out.png) and in a PID namespace of its
# own, so that nothing the command started outlives it. The source tree is
# seen at /tmp/kwpshot-src inside, and the command runs in the same folder
# there, so that the user can reach it even where the checkout's parent
# folders are closed to others (a clone under /root).
# Usage: scripts/wayland-session.sh [--writable DIR]... COMMAND [ARG...]
#   --writable DIR   a folder the command writes to (made, and given to the user)
set -euo pipefail
user=kwpshot-wltest
root=$(cd "$(dirname "$0")/.." && pwd)
case "$PWD/" in
  "$root"/*) inside=/tmp/kwpshot-src${PWD#"$root"} ;;
  *) echo "$0: run it from inside $root" >&2; exit 2 ;;
esac
writable=()
while [ "${1:-}" = "--writable" ]; do
  writable+=("$2")
  shift 2
done
[ $# -gt 0 ] || { echo "usage: $0 [--writable DIR]... COMMAND [ARG...]" >&2; exit 2; }
for dir in "${writable[@]}"; do mkdir -p "$dir"; done

# Inside: $1 the tree, $2 the folder to run in, then the command. The tree
# is held open while /tmp is replaced, so a tree under /tmp is still found.
inner='exec 3<"$1" && mount -t tmpfs -o mode=1777 tmpfs /tmp && mkdir /tmp/kwpshot-src &&
  mount --bind /proc/self/fd/3 /tmp/kwpshot-src && exec 3<&- && cd "$2" && shift 2'
if [ "$(id -u)" -eq 0 ]; then
  id "$user" >/dev/null 2>&1 ||
    useradd --system --no-create-home --home-dir /nonexistent --shell /usr/sbin/nologin "$user"
  for dir in "${writable[@]}"; do chown -R "$user": "$dir"; done
  exec unshare --mount --pid --fork --kill-child --mount-proc -- sh -c "$inner"' && exec runuser -u "$0" -- "$@"' \
    "$user" "$root" "$inside" "$@"
fi
exec unshare --user --map-current-user --mount --pid --fork --kill-child --mount-proc -- sh -c "$inner"' && exec "$@"' \
  sh "$root" "$inside" "$@"
