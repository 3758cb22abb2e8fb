# Sourced by the comparison scripts with their arguments, REVISION [ROUNDS]: sets revision, rounds
# (at least 5), jobs, tree and work, a scratch folder holding REVISION checked out in $work/old,
# both removed when the script exits.
script=$(basename "$0")
revision=${1:?usage: $script REVISION [ROUNDS]}
rounds=${2:-5}
if [ "$rounds" -lt 5 ]; then
  echo "$script: use at least 5 rounds" >&2
  exit 1
fi
jobs=${JOBS:-2}
tree=$(git rev-parse --show-toplevel)
work=$(mktemp -d)
cleanup() {
  git -C "$tree" worktree remove --force "$work/old" >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT
git -C "$tree" worktree add --detach --quiet "$work/old" "$revision"
