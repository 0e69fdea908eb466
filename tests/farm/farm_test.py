#!/usr/bin/env python3
"""scripts/farm-capture.sh against the Slurm stand-in beside this file: what
it refuses before submitting, what it leaves of the user's files, and the
status --wait returns.
usage: farm_test.py FARM_SCRIPT DEMO_CAPTURE MEDIA_DIR"""
import json
import os
import subprocess
import sys
import tempfile

FARM, CAPTURE, MEDIA = map(os.path.abspath, sys.argv[1:4])
STANDIN = os.path.join(os.path.dirname(os.path.abspath(__file__)), "slurm_standin.py")
RANGE = ["--media", MEDIA, "--from", "10", "--to", "10.2", "--fps", "10"]


def farm(work, args):
    state = os.path.join(work, "slurm")
    bin_dir = os.path.join(work, "bin")
    os.makedirs(state, exist_ok=True)
    os.makedirs(bin_dir, exist_ok=True)
    for tool in ("sbatch", "scontrol", "sacct"):
        if not os.path.exists(os.path.join(bin_dir, tool)):
            os.symlink(STANDIN, os.path.join(bin_dir, tool))
    env = dict(os.environ, SLURM_STANDIN_DIR=state, PATH=bin_dir + ":" + os.environ["PATH"])
    run = subprocess.run(["bash", FARM, "--capture", CAPTURE, "--segments", "2"] + args,
                         cwd=work, env=env, capture_output=True, text=True, timeout=600)
    log = os.path.join(state, "submissions.log")
    submitted = open(log).read().count("\n") if os.path.exists(log) else 0
    return run, submitted


def listing(folder):
    return sorted(os.listdir(folder)) if os.path.isdir(folder) else None


def with_notes(folder):
    os.makedirs(folder)
    for name in ("notes.txt", "thesis.tex"):
        with open(os.path.join(folder, name), "w") as f:
            f.write("the user's\n")
    return folder


# Each case: its arguments (W is the case's folder), what to prepare, and what
# must hold after: exit status, jobs submitted, a text in stderr, whether the
# video is there, and what the parts folder holds (None: absent).
CASES = [
    {"name": "the user's files in --parts outlive the join",
     "prepare": lambda w: with_notes(w + "/proj"),
     "args": ["--video", "W/final.mp4", "--parts", "W/proj", "--wait"],
     "status": 0, "submitted": 2, "video": "W/final.mp4",
     "parts": ("W/proj", ["notes.txt", "thesis.tex"])},
    {"name": "parts folder holding the video is refused before anything is submitted",
     "prepare": lambda w: with_notes(w + "/shared"),
     "args": ["--video", "W/shared/final.mp4", "--parts", "W/shared", "--wait"],
     "status": 2, "submitted": 0, "says": "would hold the video",
     "parts": ("W/shared", ["notes.txt", "thesis.tex"])},
    {"name": "a mistyped capture option is refused before anything is submitted",
     "args": ["--video", "W/v.mp4", "--wait", "--form", "10"],
     "status": 2, "submitted": 0, "says": 'unknown option "--form"', "parts": ("W/v.mp4.parts", None)},
    {"name": "parts that fail: the join is cancelled and --wait says so",
     "args": ["--video", "W/v.mp4", "--wait", "--media", "/nonexistent"],
     "status": 1, "submitted": 2, "says": "ended CANCELLED", "video_absent": "W/v.mp4"},
    {"name": "a % in the video's path is not expanded in the logs' names",
     "args": ["--video", "W/100%x.mp4", "--wait"],
     "status": 0, "submitted": 2, "video": "W/100%x.mp4", "log": "W/100%x.mp4.logs/part-2.out",
     "parts": ("W/100%x.mp4.parts", None)},
]


def main():
    failures = 0
    for case in CASES:
        with tempfile.TemporaryDirectory(prefix="farm-test.") as work:
            def at(path):
                return path.replace("W", work, 1)
            if "prepare" in case:
                case["prepare"](work)
            args = [at(a) if a.startswith("W/") else a for a in case["args"]]
            args += RANGE if "--media" not in args else RANGE[2:]
            run, submitted = farm(work, args)
            problems = []
            if run.returncode != case["status"]:
                problems.append(f"exit {run.returncode}, not {case['status']}")
            if submitted != case["submitted"]:
                problems.append(f"{submitted} jobs submitted, not {case['submitted']}")
            if "says" in case and case["says"] not in run.stderr:
                problems.append(f"stderr lacks {case['says']!r}")
            if "video" in case and not os.path.isfile(at(case["video"])):
                problems.append("no video")
            if "video_absent" in case and os.path.exists(at(case["video_absent"])):
                problems.append("a video was left")
            if "log" in case and not os.path.isfile(at(case["log"])):
                problems.append(f"no log {case['log']}")
            if "parts" in case:
                folder, expected = case["parts"]
                if listing(at(folder)) != expected:
                    problems.append(f"{folder} holds {listing(at(folder))}, not {expected}")
            if [line for line in run.stderr.splitlines() if line.startswith("farm-capture:")][1:]:
                problems.append("more than one line of its own on stderr")
            status = "FAILED" if problems else "ok"
            print(f"{status}: {case['name']}" + "".join(f"\n  {p}" for p in problems))
            if problems:
                print("  stdout: " + run.stdout.replace("\n", "\n  ") + "\n  stderr: " +
                      run.stderr.replace("\n", "\n  "))
                failures += 1
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
