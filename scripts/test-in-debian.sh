#!/usr/bin/env bash
# Runs the README's two commands in a fresh minimal Debian tree, as a new
# user of that release would: a tree made with
# `mmdebstrap --variant=minbase SUITE`, a clean checkout of the committed
# state (HEAD) in it, then `scripts/run.sh` (no display: it unlocks the
# virtual modem) and `CI=true scripts/test.sh`, both as root in a chroot.
# Slow (the installs, then the whole test command on the tree's compilers),
# so not part of the test command.
#
#   scripts/test-in-debian.sh SUITE [--keep] [--tree DIR] [-- COMMAND...]
#     SUITE       trixie or bookworm (any suite mmdebstrap knows)
#     --keep      leave the tree (and its builds) for a later --tree run
#     --tree DIR  reuse a tree left by --keep; the checkout is moved to HEAD
#     COMMAND     run this in the checkout instead of the two commands (e.g.
#                 `-- ctest --test-dir build -R modemmanager`)
#
# Needs root (mmdebstrap, chroot, mounts). The mounts live in a private mount
# namespace, so they end with it, whatever happens; the tree is removed only
# once nothing is mounted in it.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)

if [[ ${1:-} == --inside ]]; then
  # In the private mount namespace: the tree bound onto itself (so that it is
  # a mount point of its own), the kernel's file systems, and a fresh /run.
  shift
  tree=$1
  shift
  mount --bind "$tree" "$tree"
  mount -t proc proc "$tree/proc"
  mount --rbind /sys "$tree/sys"
  # The host's /dev with its /dev/pts: the virtual modems are pseudo-
  # terminals, and the ModemManager tests bind them over the console ttys.
  mount --rbind /dev "$tree/dev"
  mount -t tmpfs tmpfs "$tree/run"
  mount -t tmpfs tmpfs "$tree/tmp"
  cp /etc/resolv.conf "$tree/etc/resolv.conf"
  exec chroot "$tree" /usr/bin/env -i HOME=/root PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
    TERM="${TERM:-dumb}" LANG=C.UTF-8 /bin/bash -c 'cd /root/tessivo && "$@"' bash "$@"
fi

usage() { echo "usage: $0 SUITE [--keep] [--tree DIR] [-- COMMAND...]" >&2; exit 2; }
[[ $# -ge 1 && $1 != -* ]] || usage
suite=$1
shift
keep=
tree=
command=()
while [[ $# -gt 0 ]]; do
  case $1 in
    --keep) keep=1 ;;
    --tree) tree=${2:?}; keep=1; shift ;;
    --) shift; command=("$@"); break ;;
    *) usage ;;
  esac
  shift
done
[[ $(id -u) -eq 0 ]] || { echo "$0: needs root (mmdebstrap, chroot, mounts)" >&2; exit 1; }
if ! command -v mmdebstrap >/dev/null; then
  apt-get update -q
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends mmdebstrap
fi

log=$(mktemp /var/tmp/tessivo-"$suite".XXXXXX.log)
cleanup() {
  local status=$?
  if [[ -n $tree && -z $keep ]]; then
    # Nothing may be mounted below the tree any more (the namespace is gone
    # by now); should something be, the tree stays rather than rm reaching
    # through a bind mount into the host's /dev or /sys.
    if findmnt -rn -o TARGET | grep -q "^$tree\(/\|$\)"; then
      echo "still mounted below $tree; left in place" >&2
    else
      rm -rf --one-file-system "$tree"
    fi
  fi
  [[ -n $keep && -n $tree ]] && echo "tree kept: $tree (reuse: $0 $suite --tree $tree)"
  echo "log: $log"
  exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

started=$(date +%s)
if [[ -z $tree ]]; then
  tree=$(mktemp -d /var/tmp/tessivo-"$suite".XXXXXX)
  echo "== mmdebstrap --variant=minbase $suite $tree"
  mmdebstrap --quiet --variant=minbase "$suite" "$tree"
  echo "   $(($(date +%s) - started)) s"
fi
# A clean checkout of what is committed: nothing of this worktree's builds,
# dist/ or uncommitted edits. On a reused tree, the builds beside it stay.
src=$tree/root/tessivo
if [[ -d $src/.git ]]; then
  git -C "$src" fetch -q "$here" HEAD
  git -C "$src" reset -q --hard FETCH_HEAD
else
  git clone -q --no-hardlinks "$here" "$src"
  git -C "$src" checkout -q --detach "$(git -C "$here" rev-parse HEAD)"
fi
echo "== checkout: $(git -C "$src" log -1 --format='%h %s')"

inside() { unshare --mount --propagation private "$0" --inside "$tree" "$@"; }
if [[ ${#command[@]} -gt 0 ]]; then
  inside "${command[@]}" 2>&1 | tee "$log"
  exit "${PIPESTATUS[0]}"
fi

run_status=0
test_status=0
step=$(date +%s)
echo "== scripts/run.sh"
inside scripts/run.sh 2>&1 | tee "$log" || run_status=$?
run_time=$(($(date +%s) - step))
step=$(date +%s)
echo "== CI=true scripts/test.sh"
inside env CI=true scripts/test.sh 2>&1 | tee -a "$log" || test_status=$?
test_time=$(($(date +%s) - step))

echo "== Debian $suite ($(sed -n 's/^PRETTY_NAME=//p' "$tree/etc/os-release" | tr -d '"'))"
echo "  scripts/run.sh: exit status $run_status, $run_time s"
echo "  CI=true scripts/test.sh: exit status $test_status, $test_time s"
sed -n '/^== Tests per step/,$p' "$log" | grep -E '^(  |== Time per step)' ||
  echo "  (no counts: the test command ended before its first step)"
[[ $run_status -eq 0 && $test_status -eq 0 ]]
