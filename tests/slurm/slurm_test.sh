#!/bin/sh
# The README's Slurm recipe on a one-node cluster that the test starts as root,
# without systemd: munged, slurmctld and slurmd with their key, state and logs in
# a scratch folder, stopped by their pids at the end. Twenty tiles complete as
# tasks with exit code 0 and outputs byte for byte those of direct runs; a tile
# whose run fails shows as a failed task and is named by the recipe's last step.
# Usage: slurm_test.sh <groundzero> <README.md> <job script>; status 77: skipped.
set -u
exe=$1 readme=$2 script=$3
fail() {
    echo "FAIL: $*" >&2
    exit 1
}
[ "$(id -u)" -eq 0 ] || { echo "skipped: starting a cluster takes root"; exit 77; }
s=$(mktemp -d) && chmod 755 "$s" || exit 1
export PATH="$s/bin:$PATH:/usr/sbin" SLURM_CONF="$s/slurm.conf"
for tool in mungekey munged slurmctld slurmd sbatch; do
    command -v $tool > /dev/null ||
        { echo "skipped: $tool is not installed (Debian's munge and slurm-wlm)"; rm -rf "$s"; exit 77; }
done
# within(<seconds>, <command>): polls the command until it succeeds.
within() {
    t=$(($1 * 5))
    shift
    until "$@" > /dev/null 2>&1; do
        t=$((t - 1))
        [ "$t" -gt 0 ] || return 1
        sleep 0.2
    done
}
pids=""
finish() {
    for pid in $pids; do kill "$pid" 2> /dev/null; done
    wait
    rm -rf "$s"
}
trap finish EXIT
trap 'exit 1' HUP INT TERM
mkdir -m 700 "$s/key" && mkdir -m 755 "$s/munge" "$s/bin" "$s/state" "$s/spool" "$s/work" "$s/alone"
ln -s "$exe" "$s/bin/groundzero"
mungekey -c -k "$s/key/munge.key" || fail "mungekey failed"
munged -F --key-file="$s/key/munge.key" --socket="$s/munge/socket" \
    --pid-file="$s/munge/pid" --log-file="$s/munge/log" --seed-file="$s/munge/seed" > "$s/munge/out" 2>&1 &
pids="$pids $!"
# Two free ports: no other cluster on this machine is disturbed.
ports=$(perl -MIO::Socket::INET -e 'my @s = map { IO::Socket::INET->new(Listen => 1,
    LocalAddr => "127.0.0.1") } 1, 2; print join(" ", map { $_->sockport } @s)')
set -- $ports
cat > "$SLURM_CONF" << CONF
ClusterName=groundzero
SlurmctldHost=localhost(127.0.0.1)
SlurmUser=root
SlurmctldPort=$1
SlurmdPort=$2
AuthType=auth/munge
AuthInfo=socket=$s/munge/socket
StateSaveLocation=$s/state
SlurmdSpoolDir=$s/spool
SlurmctldPidFile=$s/slurmctld.pid
SlurmdPidFile=$s/slurmd.pid
SlurmctldLogFile=$s/slurmctld.log
SlurmdLogFile=$s/slurmd.log
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
SchedulerParameters=batch_sched_delay=0
MinJobAge=3600
ReturnToService=2
NodeName=localhost NodeAddr=127.0.0.1 CPUs=$(nproc) State=UNKNOWN
PartitionName=all Nodes=localhost Default=YES MaxTime=INFINITE State=UP
CONF
within 10 test -S "$s/munge/socket" || fail "munged did not start: $(cat "$s/munge/out")"
slurmctld -D -i > "$s/slurmctld.out" 2>&1 &
pids="$pids $!"
slurmd -D -N localhost > "$s/slurmd.out" 2>&1 &
pids="$pids $!"
within 30 sh -c '[ "$(sinfo -h -o %T)" = idle ]' ||
    fail "the node did not come up: $(tail -n 5 "$s"/slurm*.log "$s"/slurm*.out)"

# Twenty tiles, the sample with collars of their own, and one whose descriptor
# gives no pixel size, so its answers run out.
mkdir -p "$s/work/images/tiles"
cd "$s/work/images/tiles" || exit 1
sample=$(dirname "$readme")/sample/images/demo
for k in $(seq 1 20); do
    { head -c $((k * 97)) /dev/zero; tail -c +$((k * 97 + 1)) "$sample/hill_m2.raw"; } > "tile$k"_m2.raw
    cp "$sample/hill_m2.txt" "tile$k"_m2.txt
done
cp tile1_m2.raw bad_m2.raw && printf '48\n64\n2\n0\n0\n0\n' > bad_m2.txt
cp -R "$s/work/images" "$s/alone/" && cp "$script" "$s/work/" && cd "$s/work" || exit 1

# The recipe's two steps as the README gives them, the array's end between them.
recipe() {
    awk -v n="$1" '/^### With Slurm/ { section = 1; next } section && /^##/ { exit }
                   section && /^```sh$/ { block++; inside = 1; next } inside && /^```$/ { inside = 0 }
                   inside && block == n { print }' "$readme"
}
sh -c "$(recipe 1)" > submit.out 2>&1 || fail "the submission failed: $(cat submit.out)"
job=$(sed -n 's/^Submitted batch job //p' submit.out)
within 120 sh -c "[ -z \"\$(squeue -h -j $job)\" ]" || fail "the array did not end: $(squeue)"
tasks=$(scontrol -o show job "$job" | sed 's/.* ArrayTaskId=\([0-9]*\) .* JobState=\([A-Z]*\) .* ExitCode=\([0-9:]*\) .*/\1 \2 \3/')
n=$(echo "$tasks" | awk '$2 == "COMPLETED" && $3 == "0:0"' | wc -l)
[ "$n" -eq 20 ] || fail "$n tasks completed with exit code 0, not 20: $tasks"
bad=$(grep -n '^bad$' logs/dems.txt | cut -d: -f1)
echo "$tasks" | grep -qx "$bad FAILED 1:0" || fail "the failing tile's task is not failed: $tasks"
[ "$(sh -c "$(recipe 2)")" = "failed: bad (1)" ] || fail "the recipe's last step: $(sh -c "$(recipe 2)")"
for k in $(seq 1 20); do
    (cd "$s/alone" && echo "tiles tile$k 1 0 2 0 0 1 0 2" | groundzero > /dev/null) || fail "tile$k alone"
    for f in raw txt hdr; do
        cmp "images/tiles/tile${k}_new_base_m2.$f" "$s/alone/images/tiles/tile${k}_new_base_m2.$f" ||
            fail "tile$k: its $f differs from a direct run's"
    done
done
echo "20 tasks COMPLETED with exit code 0, as direct runs; the failing tile FAILED and named"
