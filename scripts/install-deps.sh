#!/usr/bin/env bash
# Installs what kwpshot needs on a Debian 12 machine, from Debian's packages
# only. Idempotent: packages already present are not fetched again.
# Usage: scripts/install-deps.sh [list ...]   (lists in scripts/packages/, default: all)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
lists=("$@")
if [ ${#lists[@]} -eq 0 ]; then
  lists=()
  for f in "$here"/packages/*.txt; do lists+=("$(basename "$f" .txt)"); done
fi

wanted=()
for list in "${lists[@]}"; do
  while read -r pkg _; do
    case "$pkg" in ''|'#'*) continue ;; esac
    wanted+=("$pkg")
  done < "$here/packages/$list.txt"
done

missing=()
for pkg in "${wanted[@]}"; do
  dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || missing+=("$pkg")
done

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
for list in "${lists[@]}"; do
  # A list may bring a setup step of its own (apt sources, source builds).
  if [ -x "$here/packages/$list.pre" ]; then $sudo "$here/packages/$list.pre"; fi
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -q
  $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
for list in "${lists[@]}"; do
  if [ -x "$here/packages/$list.post" ]; then "$here/packages/$list.post"; fi
done
