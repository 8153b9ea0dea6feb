#!/usr/bin/env bash
# Renders a zoom movie of Quenthar on a Slurm cluster: an array job whose
# tasks each render their slice of the frames into a shared folder (Quenthar
# --movie FRAMES --frame-range I-J), and a last job, started once every task
# has succeeded, that joins the frames into a video (--frames-from). Run it
# again after a failure or a cancel: the frames already there are kept.
#
# Usage: quenthar-movie.sh [--tasks K] [--cpus C] [--wait] FRAMES VIDEO
#            --frames N [--from A] --to B [--size WxH] [--fps F]
#
#   FRAMES     the folder of the frames, on a file system every node shares
#   VIDEO      the video to make, ending in .mp4, .mkv or .webm
#   --tasks K  the array's tasks, each rendering N / K frames (default 4)
#   --cpus C   the cores of each task, rendering on as many threads (default 1)
#   --wait     waits until the video is made, and fails if it is not
#   the rest   Quenthar's options of the movie, --frames among them
#
# Quenthar is the program on PATH, or the one that QUENTHAR names. sbatch
# takes its other settings from the environment, e.g. SBATCH_PARTITION,
# SBATCH_ACCOUNT or SBATCH_TIMELIMIT.
set -euo pipefail

usage() {
    sed -n '2,/^set /s/^# \{0,1\}//p' "$0" >&2
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
    if [ "$first" -gt "$last" ]; then
        echo "task $task of $tasks: no frames"
        exit 0
    fi
    echo "task $task of $tasks: frames $first-$last on $(hostname)"
    exec "$program" --movie "$folder" --frames "$frames" --frame-range "$first-$last" \
        --threads "${SLURM_CPUS_PER_TASK:-1}" --quiet "$@"
    ;;
join)
    # The last job: every frame into the video.
    shift
    program=$1 folder=$2 video=$3 frames=$4
    shift 4
    echo "joining $frames frames into $video"
    exec "$program" --movie "$video" --frames-from "$folder" --frames "$frames" --quiet "$@"
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
[[ $tasks =~ ^[1-9][0-9]*$ ]] || fail "--tasks takes a whole number above 0, not '$tasks'"
[[ $cpus =~ ^[1-9][0-9]*$ ]] || fail "--cpus takes a whole number above 0, not '$cpus'"

# The movie's options go to every task, but --frames, which the tasks take
# apart to find their slices, and --fps, which only the video needs.
frames= fps=()
options=()
while [ $# -gt 0 ]; do
    case $1 in
    --frames) frames=${2:-}; shift 2 || usage ;;
    --frames=*) frames=${1#--frames=}; shift ;;
    --fps) fps=(--fps "${2:-}"); shift 2 || usage ;;
    --fps=*) fps=("$1"); shift ;;
    --quiet) shift ;; # the tasks are quiet anyway
    --seconds* | --frame-range* | --frames-from* | --movie* | --threads*)
        fail "${1%%=*} is set by this script: give the movie's length as --frames N" ;;
    *) options+=("$1"); shift ;;
    esac
done
[[ $frames =~ ^[0-9]+$ ]] || fail "give the movie's length as --frames N"

program=$(command -v "${QUENTHAR:-Quenthar}") || fail "Quenthar is not on PATH: set QUENTHAR to the program"
script=$(realpath -- "$0")

mkdir -p -- "$folder"
array=$(sbatch --parsable --job-name=quenthar-movie --array="0-$((tasks - 1))" \
    --cpus-per-task="$cpus" "$script" render-slice "$tasks" "$frames" "$program" "$folder" \
    "${options[@]}")
array=${array%%;*}
echo "rendering: job $array, $tasks tasks into $folder"
echo "joining: a job after job $array into $video"
sbatch --parsable "${wait[@]}" --job-name=quenthar-movie-join --dependency="afterok:$array" \
    --kill-on-invalid-dep=yes "$script" join "$program" "$folder" "$video" "$frames" "${fps[@]}"
