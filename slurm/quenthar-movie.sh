#!/usr/bin/env bash
# Renders a zoom movie of Quenthar on a Slurm cluster: an array job whose
# tasks each render their slice of the frames into a shared folder (Quenthar
# --movie FRAMES --frame-range I-J), and a last job, started once every task
# has succeeded, that joins the frames into a video (--frames-from). Run it
# again after a failure or a cancel: the frames already there are kept.
#
# Usage: quenthar-movie.sh [--tasks K] [--cpus C] [--wait] FRAMES VIDEO
#            [--from A] --to B [--size WxH] [--fps F] [--seconds S | --frames N]
#
#   FRAMES     the folder of the frames, on a file system every node shares
#   VIDEO      the video to make, ending in .mp4, .mkv or .webm
#   --tasks K  the array's tasks, each rendering its share of the frames
#              (default 4, at most one a frame)
#   --cpus C   the cores of each task, rendering on as many threads (default 1)
#   --wait     waits until the video is made, and fails if it is not
#   the rest   Quenthar's options of the movie
#
# Quenthar checks the movie's options before anything is submitted (--movie
# ... --check), and every task and the join get them in full as it prints
# them, views as numbers: a saved picture given as a view is read here, once.
# FRAMES must be on a file system that every node shares; the join's node
# needs ffmpeg. The jobs' logs go to the folder FRAMES.logs beside FRAMES.
# Quenthar is the program on PATH, or the one that QUENTHAR names (installed
# from the package, /usr/bin/Quenthar; in a source tree, build/bin/Quenthar),
# found at the same path on every node. sbatch takes its other settings from
# the environment, e.g. SBATCH_PARTITION, SBATCH_ACCOUNT or SBATCH_TIMELIMIT.
set -euo pipefail

usage() {
    sed -n '2,/^set /s/^# \{0,1\}//p' "$0" | sed '$d' >&2
    exit 2
}

fail() {
    echo "quenthar-movie.sh: $*" >&2
    exit 2
}

case ${1:-} in
render-slice)
    # One task of the array: the frames of its share of the movie.
    shift
    tasks=$1 frames=$2 program=$3 folder=$4
    shift 4
    task=${SLURM_ARRAY_TASK_ID:?not run as a task of a Slurm array}
    first=$((task * frames / tasks))
    last=$(((task + 1) * frames / tasks - 1))
    echo "task $task of $tasks: frames $first-$last on $(hostname)"
    exec "$program" --movie "$folder" --frame-range "$first-$last" \
        --threads "${SLURM_CPUS_PER_TASK:-1}" --quiet "$@"
    ;;
join)
    # The last job: every frame into the video.
    shift
    program=$1 folder=$2 video=$3
    shift 3
    echo "joining the frames of $folder into $video"
    exec "$program" --movie "$video" --frames-from "$folder" --quiet "$@"
    ;;
esac

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
video=$(realpath -m -- "$2")
shift 2
# Decimal, and short enough for the shell's arithmetic.
[[ $tasks =~ ^[0-9]{1,7}$ ]] && [ $((10#$tasks)) -ge 1 ] ||
    fail "--tasks takes a whole number from 1 to the movie's frames, not '$tasks'"
[[ $cpus =~ ^[0-9]{1,4}$ ]] && [ $((10#$cpus)) -ge 1 ] ||
    fail "--cpus takes a whole number from 1 to 9999, not '$cpus'"
tasks=$((10#$tasks)) cpus=$((10#$cpus))
for option in "$@"; do
    if [[ $option =~ ^--?(movie|frames-from|frame-range|threads|quiet|check)(=|$) ]]; then
        fail "${option%%=*} is set by this script"
    fi
done

program=$(command -v "${QUENTHAR:-Quenthar}") || fail "Quenthar is not on PATH: set QUENTHAR to the program"
command -v sbatch >/dev/null || fail "sbatch is not on PATH: run this where Slurm's commands are"
script=$(realpath -- "$0")

# The movie as Quenthar reads it, and the join it will make of the frames:
# refused here, before anything runs, if either would be.
movie=$("$program" --movie "$folder" --check "$@") || exit 2
mapfile -t movie <<<"$movie"
"$program" --movie "$video" --frames-from "$folder" --check "${movie[@]}" >/dev/null || exit 2
frames=
for option in "${movie[@]}"; do
    case $option in --frames=*) frames=${option#--frames=} ;; esac
done
[ "$tasks" -le "$frames" ] || fail "--tasks takes a whole number from 1 to the movie's $frames frames, not $tasks"

logs=$folder.logs
mkdir -p -- "$folder" "$logs"
array=$(sbatch --parsable --job-name=quenthar-movie --array="0-$((tasks - 1))" \
    --cpus-per-task="$cpus" --output="$logs/render-%A_%a.out" \
    "$script" render-slice "$tasks" "$frames" "$program" "$folder" "${movie[@]}")
array=${array%%;*}
# The join depends on the array's job id: an sbatch whose answer is not one
# (it did not honour --parsable) gets no join with a dependency that means
# nothing.
[[ $array =~ ^[0-9]+$ ]] ||
    fail "sbatch answered '$array', not a job id: the join was not submitted (cancel" \
        "the array if it was submitted, and give sbatch that honours --parsable)"
echo "rendering: job $array, an array of $tasks tasks, $frames frames into $folder" \
    "(which every node must share); logs $logs/render-${array}_TASK.out"
status=0
join=$(sbatch --parsable "${wait[@]}" --job-name=quenthar-movie-join \
    --dependency="afterok:$array" --kill-on-invalid-dep=yes --output="$logs/join-%j.out" \
    "$script" join "$program" "$folder" "$video" "${movie[@]}") || status=$?
join=${join%%;*}
[ "$status" -ne 0 ] || [[ $join =~ ^[0-9]+$ ]] || fail "sbatch answered '$join', not a job id, for the join"
echo "joining: job $join, after job $array, the frames into $video (ffmpeg on its node);" \
    "log $logs/join-$join.out"
exit "$status"
