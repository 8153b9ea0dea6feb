#!/usr/bin/env python3
"""slurm/quenthar-slurm.sh on a real cluster: a private one-node Slurm cluster
(munged, slurmctld and slurmd on private ports and folders, run as root and
with no cgroups) renders a small movie in four array tasks and joins it; its
frames must equal those of one machine byte for byte, and its video must hold
every frame. Then a small poster in four bands, joined: byte for byte the PNG
one machine makes in one go.

Usage: cluster_slurm.py QUENTHAR SCRIPT
Exits 77 (skipped) where it cannot run: not root, Slurm, munge or ffmpeg
missing, or no cgroup file system for slurmd. Stops its daemons and removes its folders however it ends.
"""
import filecmp
import json
import os
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time

SKIPPED = 77
TASKS = 4
FRAMES = 12
MOVIE = ["--frames", str(FRAMES), "--size", "64x48", "--from", "-1.25,-0.75,2.5,1.5",
         "--to", "0.2,-0.52,0.04,0.03"]
FPS = "12"
# A poster of 37 rows: bands of 9 or 10 rows, supersampled and coloured.
POSTER = ["--size", "96x37", "--samples", "2", "--colour", "cycle", "--palette", "ice",
          "--view", "0.2,-0.52,0.04,0.03"]
# The daemons live in /usr/sbin, which a user's PATH may lack.
PATH = os.environ.get("PATH", "/usr/bin:/bin") + ":/usr/sbin:/sbin"


def skip(reason):
    print(f"skipped: {reason}")
    sys.exit(SKIPPED)


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def wait_for(what, condition, seconds=30):
    deadline = time.monotonic() + seconds
    while not condition():
        if time.monotonic() > deadline:
            raise RuntimeError(f"timed out waiting for {what}")
        time.sleep(0.2)


class Cluster:
    """munged, slurmctld and slurmd in the foreground, as children of this
    script, with everything under one folder."""

    def __init__(self, root):
        self.root = root
        self.daemons = []
        self.env = {k: v for k, v in os.environ.items()
                    if not k.startswith(("SLURM_", "SBATCH_", "SALLOC_", "SRUN_"))}
        self.env["PATH"] = PATH
        self.env["SLURM_CONF"] = os.path.join(root, "slurm.conf")

    def path(self, *names):
        return os.path.join(self.root, *names)

    def start(self, name, command):
        log = open(self.path(name + ".out"), "w")
        self.daemons.append((name, subprocess.Popen(command, env=self.env, stdout=log,
                                                    stderr=subprocess.STDOUT)))

    def up(self):
        for folder in ("state", "spool"):
            os.mkdir(self.path(folder))
        key = self.path("munge.key")
        with open(os.open(key, os.O_WRONLY | os.O_CREAT, 0o400), "wb") as f:
            f.write(os.urandom(1024))
        socket_path = self.path("munge.socket")
        # --force: the folder is private to root, which munged takes as
        # insecure for a socket that others must reach.
        self.start("munged", ["munged", "--foreground", "--force", f"--socket={socket_path}",
                              f"--key-file={key}", f"--pid-file={self.path('munged.pid')}",
                              f"--log-file={self.path('munged.log')}",
                              f"--seed-file={self.path('munged.seed')}"])
        wait_for("munged's socket", lambda: os.path.exists(socket_path))

        host = socket.gethostname().split(".")[0]
        cpus = max(TASKS, os.cpu_count() or 1)
        with open(self.env["SLURM_CONF"], "w") as f:
            f.write(f"""ClusterName=quenthartest
SlurmctldHost={host}(127.0.0.1)
SlurmctldPort={free_port()}
SlurmdPort={free_port()}
SlurmUser=root
SlurmdUser=root
AuthType=auth/munge
AuthInfo=socket={socket_path}
CredType=cred/munge
StateSaveLocation={self.path('state')}
SlurmdSpoolDir={self.path('spool')}
SlurmctldPidFile={self.path('slurmctld.pid')}
SlurmdPidFile={self.path('slurmd.pid')}
SlurmctldLogFile={self.path('slurmctld.log')}
SlurmdLogFile={self.path('slurmd.log')}
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
JobCompType=jobcomp/none
MailProg=/bin/true
MpiDefault=none
SchedulerType=sched/backfill
SelectType=select/cons_tres
SelectTypeParameters=CR_Core
ReturnToService=2
SlurmdParameters=config_overrides
NodeName={host} NodeAddr=127.0.0.1 CPUs={cpus} State=UNKNOWN
PartitionName=movie Nodes=ALL Default=YES MaxTime=INFINITE State=UP
""")
        self.start("slurmctld", ["slurmctld", "-D", "-c", "-f", self.env["SLURM_CONF"]])
        self.start("slurmd", ["slurmd", "-D", "-N", host, "-f", self.env["SLURM_CONF"]])
        wait_for("the node to be idle", lambda: self.run(["sinfo", "-h", "-o", "%T"],
                                                         check=False).stdout.strip() == "idle")

    def run(self, command, check=True, **kwargs):
        return subprocess.run(command, env=self.env, check=check, text=True,
                              capture_output=True, **kwargs)

    def down(self):
        # Jobs first, so that no job step outlives its daemon.
        if any(name == "slurmctld" for name, _ in self.daemons):
            self.run(["scancel", "--full", "--user=root"], check=False)
            try:
                wait_for("the jobs to end", lambda: not self.run(
                    ["squeue", "-h"], check=False).stdout.strip(), seconds=20)
            except RuntimeError as error:
                print(error)
        for name, daemon in reversed(self.daemons):
            daemon.send_signal(signal.SIGTERM)
            try:
                daemon.wait(10)
            except subprocess.TimeoutExpired:
                daemon.kill()
                daemon.wait()

    def logs(self):
        for folder, _, names in sorted(os.walk(self.root)):
            for name in sorted(names):
                if name.endswith((".log", ".out")):
                    with open(os.path.join(folder, name), errors="replace") as f:
                        print(f"--- {name}\n{f.read()[-3000:]}")


def submit(cluster, script, env, subcommand, folder, out, arguments, word):
    """Runs the script's subcommand to its end; gives what each task's log
    says it took after word (a slice of frames or a band of rows), sorted."""
    run = subprocess.run([script, subcommand, "--tasks", str(TASKS), "--wait", folder, out,
                          *arguments], env=env, cwd=cluster.root, text=True, capture_output=True,
                         timeout=240)
    print(run.stdout + run.stderr)
    assert run.returncode == 0, f"the script ended with {run.returncode}"
    logs = folder + ".logs"
    return sorted(open(os.path.join(logs, name)).readline().split(word)[1].split()[0]
                  for name in os.listdir(logs) if name.startswith("render-"))


def movie(cluster, program, script, env):
    """A movie in slices of frames on the array's tasks: the one machine's
    frames byte for byte, and the video holds them all."""
    frames = cluster.path("frames")
    video = cluster.path("zoom.mp4")
    slices = submit(cluster, script, env, "movie", frames, video, [*MOVIE, "--fps", FPS],
                    ": frames ")
    assert slices == ["0-2", "3-5", "6-8", "9-11"], slices

    single = cluster.path("single")
    subprocess.run([program, "--movie", single, *MOVIE, "--fps", FPS, "--quiet"], check=True)
    names = sorted(os.listdir(single))
    assert len(names) == FRAMES and sorted(os.listdir(frames)) == names, os.listdir(frames)
    _, different, errors = filecmp.cmpfiles(frames, single, names, shallow=False)
    assert not different and not errors, (different, errors)

    probe = subprocess.run(["ffprobe", "-v", "error", "-count_frames", "-select_streams", "v:0",
                            "-show_entries", "stream=width,height,r_frame_rate,nb_read_frames",
                            "-of", "json", video], check=True, capture_output=True, text=True)
    stream = json.loads(probe.stdout)["streams"][0]
    expected = {"width": 64, "height": 48, "r_frame_rate": f"{FPS}/1",
                "nb_read_frames": str(FRAMES)}
    assert stream == expected, stream


def poster(cluster, program, script, env):
    """A poster in bands of rows on the array's tasks, joined: the one-go PNG."""
    parts = cluster.path("parts")
    out = cluster.path("poster.png")
    bands = submit(cluster, script, env, "poster", parts, out, POSTER, ": rows ")
    assert bands == ["0-8", "18-26", "27-36", "9-17"], bands
    single = cluster.path("single.png")
    subprocess.run([program, "--render", single, *POSTER, "--quiet"], check=True)
    assert filecmp.cmp(out, single, shallow=False), "the joined poster is not the one-go PNG"


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    program, script = (os.path.abspath(p) for p in sys.argv[1:])
    if os.geteuid() != 0:
        skip("the private cluster's daemons run as root")
    missing = [tool for tool in ("munged", "slurmctld", "slurmd", "sbatch", "squeue", "sinfo",
                                 "scancel", "ffmpeg", "ffprobe")
               if not shutil.which(tool, path=PATH)]
    if missing:
        skip(f"{', '.join(missing)} not installed (packages slurm-wlm, munge, ffmpeg)")
    # slurmd sets up its cgroup plugin at start, whatever tracks the processes.
    if not os.path.ismount("/sys/fs/cgroup"):
        skip("no cgroup file system is mounted at /sys/fs/cgroup, which slurmd needs to start")

    root = tempfile.mkdtemp(prefix="quenthar-slurm-")
    cluster = Cluster(root)
    ok = False
    try:
        cluster.up()
        env = dict(cluster.env, QUENTHAR=program)
        movie(cluster, program, script, env)
        poster(cluster, program, script, env)
        ok = True
        print(f"{TASKS} array tasks rendered the {FRAMES} frames of one machine, byte for byte; "
              f"the video holds them all; {TASKS} more, the one machine's poster")
    finally:
        if not ok:
            cluster.logs()
        cluster.down()
        shutil.rmtree(root, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
