#!/usr/bin/env bash
# Renders a zoom movie or a poster of Quenthar on a Slurm cluster: an array
# job whose tasks each render their share into a shared folder (a movie's
# frames, Quenthar --movie FRAMES --frame-range I-J; a poster's bands of rows,
# Quenthar --render PARTS --rows I-J), and a last job, started once every task
# has succeeded, that joins them (--frames-from into a video; --parts into
# the poster, byte for byte the PNG one machine makes). Run it again after a
# failure or a cancel: the frames already there are kept (a poster's bands are
# drawn again).
#
# Usage: quenthar-slurm.sh movie [--tasks K] [--cpus C] [--wait] FRAMES VIDEO
#            [--from A] --to B [--size WxH] [--fps F] [--seconds S | --frames N] ...
#        quenthar-slurm.sh poster [--tasks K] [--cpus C] [--wait] PARTS POSTER.png
#            [--view L,T,W,H | FILE] --size WxH [--samples N] ...
#
#   FRAMES, PARTS  the folder of the frames or of the poster's parts, on a
#              file system every node shares
#   VIDEO      the video to make, ending in .mp4, .mkv or .webm
#   POSTER.png the poster to make
#   --tasks K  the array's tasks, each rendering its share of the frames or of
#              the rows (default 4, at most one a frame or a row)
#   --cpus C   the cores of each task, rendering on as many threads (default 1)
#   --wait     waits until the video or the poster is made, and fails if not
#   the rest   Quenthar's options of the movie, or of the picture
#
# Quenthar checks the options before anything is submitted (--check), and
# every task and the join get them in full as it prints them, views as
# numbers: a saved picture given as a view is read here, once. The folder must
# be on a file system that every node shares; a movie's join needs ffmpeg on
# its node. The jobs' logs go to the folder FRAMES.logs or PARTS.logs beside
# it. Quenthar is the program on PATH, or the one that QUENTHAR names
# (installed from the package, /usr/bin/Quenthar; in a source tree,
# build/bin/Quenthar), found at the same path on every node. sbatch takes its
# other settings from the environment, e.g. SBATCH_PARTITION, SBATCH_ACCOUNT
# or SBATCH_TIMELIMIT.
set -euo pipefail

usage() {
    sed -n '2,/^set /s/^# \{0,1\}//p' "$0" | sed '$d' >&2
    exit 2
}

fail() {
    echo "quenthar-slurm.sh: $*" >&2
    exit 2
}

# task KIND TASKS COUNT PROGRAM FOLDER OPTIONS...: one task of the array, its
# share of the COUNT frames or rows.
task() {
    local kind=$1 tasks=$2 count=$3 program=$4 folder=$5
    shift 5
    local task=${SLURM_ARRAY_TASK_ID:?not run as a task of a Slurm array}
    local first=$((task * count / tasks)) last=$(((task + 1) * count / tasks - 1))
    echo "task $task of $tasks: ${kind}s $first-$last on $(hostname)"
    case $kind in
    frame) exec "$program" --movie "$folder" --frame-range "$first-$last" \
        --threads "${SLURM_CPUS_PER_TASK:-1}" --quiet "$@" ;;
    row) exec "$program" --render "$folder" --rows "$first-$last" \
        --threads "${SLURM_CPUS_PER_TASK:-1}" --quiet "$@" ;;
    esac
}

case ${1:-} in
task) shift; task "$@" ;;
join)
    # The last job: every frame into the video, or every part into the poster.
    shift
    kind=$1 program=$2 folder=$3 out=$4
    shift 4
    echo "joining the ${kind}s of $folder into $out"
    case $kind in
    frame) exec "$program" --movie "$out" --frames-from "$folder" --quiet "$@" ;;
    row) exec "$program" --render "$out" --parts "$folder" --quiet ;;
    esac
    ;;
movie) kind=frame ;;
poster) kind=row ;;
*) usage ;;
esac
mode=$1
shift

tasks=4 cpus=1 wait=()
while [ $# -gt 0 ]; do
    case $1 in
    --tasks) tasks=${2:-}; shift 2 || usage ;;
    --cpus) cpus=${2:-}; shift 2 || usage ;;
    --wait) wait=(--wait); shift ;;
    -h | --help) usage ;;
    *) break ;;
    esac
done
[ $# -ge 2 ] || usage
folder=$(realpath -m -- "$1")
out=$(realpath -m -- "$2")
shift 2
# Decimal, and short enough for the shell's arithmetic.
[[ $tasks =~ ^[0-9]{1,7}$ ]] && [ $((10#$tasks)) -ge 1 ] ||
    fail "--tasks takes a whole number from 1 to the ${kind}s, not '$tasks'"
[[ $cpus =~ ^[0-9]{1,4}$ ]] && [ $((10#$cpus)) -ge 1 ] ||
    fail "--cpus takes a whole number from 1 to 9999, not '$cpus'"
tasks=$((10#$tasks)) cpus=$((10#$cpus))
for option in "$@"; do
    if [[ $option =~ ^--?(movie|render|frames-from|frame-range|rows|parts|threads|quiet|check)(=|$) ]]; then
        fail "${option%%=*} is set by this script"
    fi
done

program=$(command -v "${QUENTHAR:-Quenthar}") || fail "Quenthar is not on PATH: set QUENTHAR to the program"
command -v sbatch >/dev/null || fail "sbatch is not on PATH: run this where Slurm's commands are"
script=$(realpath -- "$0")

# The movie or the picture as Quenthar reads it, and the join it will make:
# refused here, before anything runs, if either would be; and how many frames
# or rows the tasks share.
if [ "$kind" = frame ]; then
    options=$("$program" --movie "$folder" --check "$@") || exit 2
    mapfile -t options <<<"$options"
    "$program" --movie "$out" --frames-from "$folder" --check "${options[@]}" >/dev/null || exit 2
    count=$(printf '%s\n' "${options[@]}" | sed -n 's/^--frames=//p')
else
    options=$("$program" --render "$folder" --rows 0-0 --check "$@") || exit 2
    mapfile -t options <<<"$options"
    "$program" --render "$out" --parts "$folder" --check >/dev/null || exit 2
    count=$(printf '%s\n' "${options[@]}" | sed -n 's/^--size=[0-9]*x//p')
fi
[ "$tasks" -le "$count" ] ||
    fail "--tasks takes a whole number from 1 to the $count ${kind}s, not $tasks"

# sbatch's answer, a job id: anything else (it did not honour --parsable)
# gets no job after it, with a dependency that means nothing.
job_id() {
    local id=${1%%;*}
    [[ $id =~ ^[0-9]+$ ]] ||
        fail "sbatch answered '$1', not a job id: $2 (give sbatch that honours --parsable)"
    echo "$id"
}

logs=$folder.logs
mkdir -p -- "$folder" "$logs"
array=$(sbatch --parsable --job-name="quenthar-$mode" --array="0-$((tasks - 1))" \
    --cpus-per-task="$cpus" --output="$logs/render-%A_%a.out" \
    "$script" task "$kind" "$tasks" "$count" "$program" "$folder" "${options[@]}")
array=$(job_id "$array" "the join was not submitted (cancel the array if it was submitted)")
echo "rendering: job $array, an array of $tasks tasks, $count ${kind}s into $folder" \
    "(which every node must share); logs $logs/render-${array}_TASK.out"
status=0
join=$(sbatch --parsable "${wait[@]}" --job-name="quenthar-$mode-join" \
    --dependency="afterok:$array" --kill-on-invalid-dep=yes --output="$logs/join-%j.out" \
    "$script" join "$kind" "$program" "$folder" "$out" "${options[@]}") || status=$?
[ "$status" -ne 0 ] || join=$(job_id "$join" "for the join")
where=$([ "$kind" = frame ] && echo " (ffmpeg on its node)" || true)
echo "joining: job $join, after job $array, the ${kind}s into $out$where;" \
    "log $logs/join-$join.out"
exit "$status"
