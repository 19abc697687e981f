#!/bin/sh
# The README's Slurm recipe on a one-node cluster started as root without systemd
# (munged, slurmctld, slurmd; key, state and logs in a scratch folder; stopped by
# their pids): twenty tiles complete with exit code 0 and the outputs of direct
# runs; a failing tile is a failed task, named by the recipe's last step.
# Usage: slurm_test.sh <groundzero> <README.md> <job script>; status 77: skipped.
set -u
exe=$1 readme=$2 script=$3
fail() { echo "FAIL: $*" >&2; exit 1; }
[ "$(id -u)" -eq 0 ] || { echo "skipped: starting a cluster takes root"; exit 77; }
export PATH="$PATH:/usr/sbin"
for tool in mungekey munged slurmctld slurmd sbatch; do
    command -v $tool > /dev/null || { echo "skipped: no $tool (Debian's munge, slurm-wlm)"; exit 77; }
done
s=$(mktemp -d) && chmod 755 "$s" && cd "$s" || exit 1
pids=""
trap 'kill $pids 2> /dev/null; wait; rm -rf "$s"' EXIT
trap 'exit 1' HUP INT TERM
within() { # <seconds> <command>: polls the command until it succeeds
    t=$(($1 * 5)) && shift
    until "$@" > /dev/null 2>&1; do [ $((t -= 1)) -gt 0 ] && sleep 0.2 || return 1; done
}
mkdir -m 700 key && mkdir -m 755 munge bin state spool && ln -s "$exe" bin/groundzero
export PATH="$s/bin:$PATH" SLURM_CONF="$s/slurm.conf"
mungekey -c -k key/munge.key || fail "mungekey failed"
munged -F --key-file=key/munge.key --socket="$s/munge/socket" --pid-file=munge/pid \
    --log-file=munge/log --seed-file=munge/seed > munge/out 2>&1 &
pids="$pids $!"
# Two free ports: no other cluster on this machine is disturbed.
set -- $(perl -MIO::Socket::INET -e 'my @s = map { IO::Socket::INET->new(Listen => 1,
    LocalAddr => "127.0.0.1") } 1, 2; print join(" ", map { $_->sockport } @s)')
cat > slurm.conf << CONF
ClusterName=groundzero
SlurmctldHost=localhost(127.0.0.1)
SlurmctldPort=$1
SlurmdPort=$2
AuthInfo=socket=$s/munge/socket
StateSaveLocation=$s/state
SlurmdSpoolDir=$s/spool
SlurmctldPidFile=$s/slurmctld.pid
SlurmdPidFile=$s/slurmd.pid
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
SchedulerParameters=batch_sched_delay=0
NodeName=localhost NodeAddr=127.0.0.1 CPUs=$(nproc)
PartitionName=all Nodes=localhost Default=YES
CONF
within 10 test -S munge/socket || fail "munged did not start: $(cat munge/out)"
slurmctld -D -i > slurmctld.out 2>&1 &
pids="$pids $!"
slurmd -D -N localhost > slurmd.out 2>&1 &
pids="$pids $!"
within 30 sh -c '[ "$(sinfo -h -o %T)" = idle ]' || fail "no node: $(tail -n 5 slurm*.out)"

# Twenty tiles, the sample with collars of their own, and one whose descriptor
# gives no pixel size, so its answers run out.
mkdir -p work/images/tiles alone && cd work/images/tiles || exit 1
for k in $(seq 20); do
    head -c $((k * 97)) /dev/zero | cat - "$(dirname "$readme")/sample/images/demo/hill_m2.raw" |
        head -c 6144 > "tile${k}_m2.raw" && printf '48\n64\n2\n0\n0\n25\n' > "tile${k}_m2.txt"
done
cp tile1_m2.raw bad_m2.raw && printf '48\n64\n2\n0\n0\n0\n' > bad_m2.txt
cp -R "$s/work/images" "$s/alone/" && cp "$script" "$s/work/" && cd "$s/work" || exit 1

# The recipe's two steps as the README gives them, the array's end between them.
recipe() {
    awk -v n="$1" '/^### With Slurm/ { on = 1 } on && /^```sh$/ { k++; inside = 1; next }
                   /^```$/ { inside = 0 } inside && k == n { print }' "$readme"
}
sh -c "$(recipe 1)" > submit.out 2>&1 || fail "the submission failed: $(cat submit.out)"
job=$(sed -n 's/^Submitted batch job //p' submit.out)
within 120 sh -c "[ -z \"\$(squeue -h -j $job)\" ]" || fail "the array did not end: $(squeue)"
tasks=$(scontrol -o show job "$job" | sed 's/.*ArrayTaskId=\([0-9]*\).*JobState=\([A-Z]*\).*ExitCode=\([0-9:]*\).*/\2 \3 \1/')
[ "$(echo "$tasks" | grep -c '^COMPLETED 0:0 ')" -eq 20 ] || fail "not 20 tasks completed: $tasks"
echo "$tasks" | grep -qx "FAILED 1:0 $(grep -n '^bad$' logs/dems.txt | cut -d: -f1)" || fail "$tasks"
[ "$(sh -c "$(recipe 2)")" = "failed: bad (1)" ] || fail "the last step: $(sh -c "$(recipe 2)")"
for k in $(seq 20); do
    (cd ../alone && echo "tiles tile$k 1 0 2 0 0 1 0 2" | groundzero > /dev/null) || fail "tile$k alone"
done
diff -r images ../alone/images || fail "the outputs differ from direct runs'"
echo "20 tasks COMPLETED with exit code 0, as direct runs; the failing tile FAILED and named"
