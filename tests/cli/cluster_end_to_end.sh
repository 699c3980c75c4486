#!/usr/bin/env bash
# A Hénon basin scan on a one-node Slurm cluster of this machine: scripts/cluster/submit sends a
# job array of 4 tiles and the merge job; the merged file and picture must equal those of one
# kalvora-cli run, byte for byte. Starts and stops the cluster itself, also when a step fails.
#   cluster_end_to_end.sh SOURCE-FOLDER KALVORA-CLI
# Exit 77 (skipped) without root or Slurm: the cluster's daemons need both.
set -euo pipefail
source_folder="$1"
export KALVORA_CLI="$2"
if [ "$(id -u)" -ne 0 ] || ! command -v slurmctld >/dev/null; then
  echo "skipped: needs root and Slurm (scripts/install-deps installs slurm-wlm and munge)"
  exit 77
fi
work="$(mktemp -d /tmp/kalvora-cluster-test.XXXXXX)"
export KALVORA_SLURM_DIR="$work/slurm"
# Ports of this run's own, so that two builds testing at once on one machine do not meet: the
# first pair from a place chosen by the process id where nothing listens.
listening() { (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }
port=$((20000 + ($$ % 10000) * 2))
while listening "$port" || listening "$((port + 1))"; do
  port=$((port + 2))
done
export KALVORA_SLURM_PORT="$port"
cleanup() {
  "$source_folder/scripts/slurm-local" stop || true
  rm -rf "$work"
}
trap cleanup EXIT
"$source_folder/scripts/slurm-local" start
export SLURM_CONF="$KALVORA_SLURM_DIR/slurm.conf"

cd "$work"
scan=(basins "$source_folder/models/henon.mod" --h-variable x --v-variable y --h-range -2:2
  --v-range -1.5:1.5 --resolution 120x90 --cycle 1:0.6313544770895047,0.1894063431268514)
submitted="$("$source_folder/scripts/cluster/submit" -o merged.txt --png merged.png --tiles 4 \
  --cpus 1 "${scan[@]}")"
echo "$submitted"
array_job="$(awk '/^array/ { sub(":", "", $2); print $2 }' <<<"$submitted")"
merge_job="$(awk '/^merge/ { sub(":", "", $2); print $2 }' <<<"$submitted")"

# Both jobs leave the queue when done (or when the merge can never run: the cluster cancels a
# job whose dependency failed).
for _ in $(seq 600); do
  [ -z "$(squeue --noheader --jobs="$array_job,$merge_job" 2>/dev/null)" ] && break
  sleep 0.2
done
state="$(scontrol show job "$merge_job" | sed -n 's/.*JobState=\([A-Z_]*\).*/\1/p')"
if [ "$state" != "COMPLETED" ]; then
  echo "the merge job ended $state" >&2
  cat merged.txt.tiles/slurm-* >&2 || true
  exit 1
fi
[ "$(ls merged.txt.tiles/tile-* | wc -l)" -eq 4 ] || { echo "not 4 tiles" >&2; exit 1; }

"$KALVORA_CLI" "${scan[@]}" -o one.txt --png one.png
cmp one.txt merged.txt
cmp one.png merged.png
echo "the cluster's file and picture equal the one-machine run's"
