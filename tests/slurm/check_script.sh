#!/usr/bin/env bash
# The Slurm script before it submits, with an sbatch that records what it is
# given: the movie's options, as Quenthar reads them, reach the tasks and the
# join alike; numbers are decimal; and what Quenthar or the join would refuse
# is refused before anything is submitted.
set -u
program=$(realpath -- "$1") script=$(realpath -- "$2")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/bin"
printf '#!/bin/sh\nprintf "%%s\\n" "$@" >>"$SBATCH_LOG"\necho 7\n' >"$work/bin/sbatch"
chmod +x "$work/bin/sbatch"
export PATH=$work/bin:$PATH QUENTHAR=$program SBATCH_LOG=$work/log
cd "$work"
echo notes >notes
failed=0
to=(--to 0.2,-0.52,0.04,0.03)

# submits LINES... -- ARGUMENTS: submitted, sbatch given each line (a
# regular expression) as often as its count says, as "2:--fps=60".
submits() {
    local expected=()
    while [ "$1" != -- ]; do expected+=("$1"); shift; done
    shift
    rm -f log
    if ! "$script" "$@" >out 2>err; then
        echo "refused: $*: $(cat err)"
        failed=1
        return
    fi
    for line in "${expected[@]}"; do
        local count=${line%%:*} pattern=${line#*:}
        if [ "$(grep -cxE -- "$pattern" log)" != "$count" ]; then
            echo "after: $*: sbatch did not get $count x '$pattern':"
            cat log
            failed=1
        fi
    done
}

# refuses TEXT ARGUMENTS: refused with a line holding TEXT, nothing submitted.
refuses() {
    local text=$1
    shift
    rm -f log
    if "$script" "$@" >/dev/null 2>err || [ -e log ] || ! grep -qF -- "$text" err; then
        echo "not refused before submitting, with '$text': $*: $(cat err)"
        failed=1
    fi
}

submits 2:--fps=60 2:--frames=10 1:--array=0-3 2:--size=64x48 -- movie \
    frames v.mp4 "${to[@]}" -fps 60 --frames 010 --size 64x48
# It says what it submitted: both jobs, the shared folder, ffmpeg, the logs.
for said in "rendering: job 7, an array of 4 tasks" "every node must share" \
    "logs $PWD/frames.logs/render-7_TASK.out" "joining: job 7, after job 7" "ffmpeg on its node"; do
    grep -qF -- "$said" out || { echo "it did not say '$said': $(cat out)"; failed=1; }
done
submits 2:--samples=3 2:--frames=12 -- movie frames v.mp4 "${to[@]}" --frames 12 --samples 3
submits 2:--iterations=5000 2:--colour=cycle 2:--palette=ice -- movie frames v.mp4 "${to[@]}" \
    --frames 12 --iterations 5000 --colour cycle --palette ice
submits 2:--frames=8 1:--array=0-7 -- movie --tasks 08 frames v.webm "${to[@]}" --frames 08 --size 64x48
submits '2:--frames=40' '2:--from=-1.5,-1.5,3,3' -- movie frames v.mkv "${to[@]}" --seconds 2 --fps 20
refuses "--tasks takes a whole number" movie --tasks 99999999999999999999 frames v.mp4 "${to[@]}"
refuses "--tasks takes a whole number from 1 to the 12 frames" movie --tasks 13 \
    frames v.mp4 "${to[@]}" --frames 12
refuses "unknown option '--sise'" movie frames v.mp4 "${to[@]}" --sise 640x360
refuses "must be even" movie frames v.mp4 "${to[@]}" --size 63x48
refuses "2 to 1000000 frames" movie frames v.mp4 "${to[@]}" --frames 0
refuses "ends in '.avi'" movie frames v.avi "${to[@]}"
refuses "--threads is set by this script" movie frames v.mp4 "${to[@]}" --threads 4
# A folder that holds another movie's frames is refused before anything runs.
"$program" --movie other --to -1,-1,0.5,0.5 --size 64x48 --frames 12 --quiet
refuses "is not this movie's frame" movie other v.mp4 "${to[@]}" --frames 12 --size 64x48

# A poster: its options in full to the tasks, which share its rows, and the
# join; what Quenthar would refuse is refused before anything is submitted.
submits 2:--size=96x37 2:--stretch 1:--array=0-3 2:row 1:37 2:--samples=2 -- \
    poster parts p.png --size 96x37 --samples 2
refuses "--rows is set by this script" poster parts p.png --size 96x37 --rows 0-3
refuses "--size takes WIDTHxHEIGHT" poster parts p.png --size 96x0
refuses "--tasks takes a whole number from 1 to the 37 rows" poster --tasks 38 parts p.png \
    --size 96x37
refuses "cannot write the part into" poster notes p.png --size 96x37

# An sbatch whose answer is no job id (it ignores --parsable) gets no join.
printf '#!/bin/sh\nprintf "%%s\\n" "$@" >>"$SBATCH_LOG"\necho "Submitted batch job 7"\n' \
    >"$work/bin/sbatch"
rm -f log
if "$script" movie frames v.mp4 "${to[@]}" --frames 12 >out 2>err || ! grep -qF "not a job id" err ||
    grep -q -- '--dependency' log; then
    echo "a join was submitted after sbatch answered no job id: $(cat err)"
    failed=1
fi
exit $failed
