#!/bin/sh
# One groundzero run per DEM, as the tasks of a Slurm array job. Submitted from
# the folder that holds images/ (see the README):
#   sbatch --array=1-<number of DEMs> groundzero-array.sh <folder> '<answers>' <list>
# task k runs the program on the DEM named on line k of <list>, with the answers
# "<folder> <DEM> <answers>"; its console goes to <DEM>.log and its exit status
# to <DEM>.status beside the list, and the task ends with that status, so Slurm
# records a failed run as a failed task. Once the array has ended,
#   groundzero-array.sh --failed <list>
# names each DEM whose run failed or never ended, and exits 1 if there is one.
set -u
if [ "${1:-}" = --failed ]; then
    list=$2 bad=0
    while IFS= read -r dem; do
        status=$(cat "$(dirname "$list")/$dem.status" 2> /dev/null) || status="no status: never ended"
        [ "$status" = 0 ] || { echo "failed: $dem ($status)"; bad=1; }
    done < "$list"
    exit $bad
fi
[ $# -eq 3 ] && [ -n "${SLURM_ARRAY_TASK_ID:-}" ] ||
    { echo "usage: sbatch --array=1-N $0 <folder> '<answers>' <list>" >&2; exit 2; }
folder=$1 answers=$2 list=$3
dem=$(sed -n "${SLURM_ARRAY_TASK_ID}p" "$list")
[ -n "$dem" ] || { echo "$list has no DEM on line $SLURM_ARRAY_TASK_ID" >&2; exit 2; }
logs=$(dirname "$list")
rm -f "$logs/$dem.status"
echo "$folder $dem $answers" | groundzero > "$logs/$dem.log" 2>&1
status=$?
echo "$status" > "$logs/$dem.status"
exit "$status"
