#!/usr/bin/env python3
"""A stand-in for Slurm's sbatch, scontrol and sacct on one machine, for the
farm script's tests. Linked under those three names; the jobs' states are
kept in $SLURM_STANDIN_DIR. It behaves as a cluster does where the farm
script depends on it: an array runs one task per index with its log named
by Slurm's pattern rules, a job whose afterok dependency can no longer be met
is cancelled when --kill-on-invalid-dep=yes, and sbatch --wait then still
returns 0. Every submission is appended to submissions.log."""
import json
import os
import re
import subprocess
import sys

STATE = os.environ["SLURM_STANDIN_DIR"]
JOBS = os.path.join(STATE, "jobs.json")


def load():
    if not os.path.exists(JOBS):
        return {"next": 1000, "jobs": {}}
    with open(JOBS) as f:
        return json.load(f)


def save(db):
    with open(JOBS + ".new", "w") as f:
        json.dump(db, f)
    os.replace(JOBS + ".new", JOBS)


def log_name(pattern, job, task, name):
    # A backslash anywhere turns the replacements off.
    if "\\" in pattern:
        return pattern.replace("\\", "")
    codes = {"A": str(job), "a": str(task or 0), "j": str(job), "x": name, "u": "root", "%": "%",
             "N": "node1", "n": "0", "t": "0", "s": "batch"}
    return re.sub(r"%(\d*)([AajxuNnts%])",
                  lambda m: codes[m.group(2)].zfill(int(m.group(1) or 0)), pattern)


def run_task(script, out, env):
    """Runs the job script as a node would; FAILED when its log cannot be opened."""
    try:
        log = open(out, "w")
    except OSError:
        return "FAILED", 1
    with log:
        status = subprocess.run(["bash", "-c", script], stdin=subprocess.DEVNULL, stdout=log,
                                stderr=subprocess.STDOUT, env=env).returncode
    return ("COMPLETED" if status == 0 else "FAILED"), status


def sbatch(args):
    opts = {}
    known = ("--parsable", "--wait", "--quiet", "--job-name", "--array", "--cpus-per-task",
             "--output", "--dependency", "--kill-on-invalid-dep", "--wrap", "--partition",
             "--time", "--account")
    for arg in args:
        key, _, value = arg.partition("=")
        if key not in known:
            print(f"sbatch: unrecognized option '{arg}'", file=sys.stderr)
            return 1
        opts[key] = value
    script = "#!/bin/sh\n" + opts["--wrap"] if "--wrap" in opts else sys.stdin.read()
    db = load()
    job = db["next"]
    db["next"] += 1
    with open(os.path.join(STATE, "submissions.log"), "a") as f:
        f.write(json.dumps({"job": job, "args": args}) + "\n")
    name = opts.get("--job-name", "sbatch")
    output = opts.get("--output", os.path.join(os.getcwd(), "slurm-%j.out"))
    tasks = [None]
    if "--array" in opts:
        first, last = map(int, opts["--array"].split("-"))
        tasks = list(range(first, last + 1))
    states = {}
    dependency = opts.get("--dependency", "")
    cancelled = False
    if dependency:
        kind, _, on = dependency.partition(":")
        assert kind == "afterok", dependency
        cancelled = any(s != "COMPLETED" for s in db["jobs"][on]["states"].values())
    status = 0
    for task in tasks:
        if cancelled and opts.get("--kill-on-invalid-dep") == "yes":
            states[str(task)] = "CANCELLED"
            continue
        env = dict(os.environ, SLURM_JOB_ID=str(job), SLURM_JOB_NAME=name)
        if task is not None:
            env.update(SLURM_ARRAY_JOB_ID=str(job), SLURM_ARRAY_TASK_ID=str(task))
        state, code = run_task(script, log_name(output, job, task, name), env)
        states[str(task)] = state
        status = max(status, code)
    db["jobs"][str(job)] = {"name": name, "states": states}
    save(db)
    if "--parsable" in opts:
        print(job)
    elif "--quiet" not in opts:
        print(f"Submitted batch job {job}")
    return status if "--wait" in opts else 0


def lookup(job_id):
    job = load()["jobs"].get(job_id)
    if job is None:
        print("slurm_load_jobs error: Invalid job id specified", file=sys.stderr)
        sys.exit(1)
    return job


def scontrol(args):
    assert args[:2] == ["show", "job"], args
    job_id = [a for a in args[2:] if not a.startswith("-")][0]
    job = lookup(job_id)
    for task, state in job["states"].items():
        array = "" if task == "None" else f" ArrayJobId={job_id} ArrayTaskId={task}"
        print(f"JobId={job_id}{array} JobName={job['name']} JobState={state} Reason=None")
    return 0


def sacct(args):
    job_id = args[args.index("-j") + 1]
    for state in lookup(job_id)["states"].values():
        print(state)
    return 0


if __name__ == "__main__":
    tool = os.path.basename(sys.argv[0])
    sys.exit({"sbatch": sbatch, "scontrol": scontrol, "sacct": sacct}[tool](sys.argv[1:]))
