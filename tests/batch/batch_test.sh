#!/bin/sh
# Many runs of groundzero at once: the README's GNU parallel recipe on generated
# DEMs, and runs sharing one folder, each checked against a run of its own.
# Usage: batch_test.sh <groundzero> <README.md> <case>; exit status 77: skipped.
set -u
exe=$1 readme=$2 case=$3

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# Scratch folders in the working directory (ctest's: the build tree), not in a
# tmpfs /tmp: on a disk, flushing the outputs takes time and runs overlap there
# as they do on users' disks.
scratch=$(mktemp -d "$PWD/gzbatch.XXXXXX") || exit 1
sshd_pid=""
finish() {
    [ -z "$sshd_pid" ] || { kill "$sshd_pid" 2> /dev/null; wait "$sshd_pid" 2> /dev/null; }
    rm -rf "$scratch"
}
trap finish EXIT
trap 'exit 1' HUP INT TERM
# The recipe calls the program by name, as it is called once installed.
mkdir "$scratch/bin" "$scratch/inputs" "$scratch/alone"
ln -s "$exe" "$scratch/bin/groundzero"
PATH="$scratch/bin:$PATH"
export PATH

# make_dem <name> <lines> <columns> <pixel size> <seed>: a 16-bit raster with a
# zero collar around pseudo-random terrain (and a few zero cells inside it),
# with its descriptor, in $scratch/inputs/.
make_dem() {
    perl -e '
        my ($file, $lines, $cols, $pix, $x) = @ARGV;
        my ($max, @s) = (0);
        for my $i (0 .. $lines - 1) {
            for my $j (0 .. $cols - 1) {
                $x = ($x * 1103515245 + 12345) % 2147483648;
                my $collar = $i < 2 || $j < 3 || $i >= $lines - 2 || $j >= $cols - 1;
                my $v = $collar || ($x >> 5) % 97 == 0 ? 0 : 1000 + ($x >> 8) % 40000;
                $max = $v if $v > $max;
                push @s, $v;
            }
        }
        open(my $raw, ">:raw", "${file}_m2.raw") or die;
        print $raw pack("v*", @s);
        open(my $txt, ">:raw", "${file}_m2.txt") or die;
        print $txt join("", map { "$_\r\n" } $lines, $cols, 2, 0, $max, $pix);
    ' "$scratch/inputs/$1" "$2" "$3" "$4" "$5" || fail "cannot generate the DEM $1"
}

# put_dem <name> <C: folder>: copies a generated DEM into <folder>/images/tiles/.
put_dem() {
    mkdir -p "$2/images/tiles"
    cp "$scratch/inputs/$1_m2.raw" "$scratch/inputs/$1_m2.txt" "$2/images/tiles/" || fail "cannot copy $1"
}

# alone <run> <dem> <answers>: the run by itself, in a C: folder of its own
# ($scratch/alone/<run>) holding only its DEM; its console goes to "console".
alone() {
    d=$scratch/alone/$1
    put_dem "$2" "$d"
    (cd "$d" && printf '%s\n' "$3" | groundzero > console 2>&1)
    status=$?
    [ "$status" -eq 0 ] || fail "run $1 alone ended with status $status: $(tail -n 1 "$d/console")"
}

# same_as_alone <run> <C: folder> <console>: the console text and every file
# the run wrote (and its inputs) are byte for byte those of the run alone.
same_as_alone() {
    d=$scratch/alone/$1
    cmp -s "$d/console" "$3" || fail "run $1: the console differs from its run alone"
    for f in "$d"/images/tiles/*; do
        name=${f##*/}
        cmp -s "$f" "$2/images/tiles/$name" || fail "run $1: $name differs from its run alone"
    done
}

# only_files <C: folder> <names...>: images/tiles/ holds exactly these files
# (no temporary file, nothing else).
only_files() {
    folder=$1
    shift
    actual=$(ls -A "$folder/images/tiles" | sort)
    expected=$(printf '%s\n' "$@" | sort)
    [ "$actual" = "$expected" ] || fail "images/tiles holds
$actual
where it should hold
$expected"
}

# run_readme_recipe <folder> [<start>]: the first sh block of the README's
# section on many DEMs (or the first after the line starting with <start>), run
# as it stands in <folder>, for two minutes at most.
run_readme_recipe() {
    start=${2:-"## Many DEMs at once"}
    recipe=$(awk -v start="$start" 'index($0, start) == 1 { section = 1; next }
                  section && /^## / { exit }
                  section && /^```sh$/ { block = 1; next }
                  block && /^```$/ { exit }
                  block { print }' "$readme")
    [ -n "$recipe" ] || fail "no sh block after \"$start\" in the README"
    (cd "$1" && timeout 120 sh -c "$recipe") > "$scratch/recipe.out" 2>&1
}

# The answers the README's recipe gives each DEM.
recipe_answers() {
    echo "tiles $1 1 0 2 0 0 1 0 2"
}

# recipe_matches_runs_alone [<start>]: the README's recipe (see run_readme_recipe)
# on five DEMs in $work: five successful runs in its job log, and every console
# and file as the DEM's run alone gives them, with nothing else left.
recipe_matches_runs_alone() {
    make_tiles
    expected=""
    for t in $tiles; do
        put_dem "$t" "$work"
        alone "$t" "$t" "$(recipe_answers "$t")"
        expected="$expected ${t}_m2.raw ${t}_m2.txt ${t}_new_base_m2.raw ${t}_new_base_m2.txt ${t}_new_base_m2.hdr"
    done
    run_readme_recipe "$work" "$@" || fail "the recipe ended with status $?: $(cat "$scratch/recipe.out")"
    jobs=$(awk -F '\t' 'NR > 1 && $7 == 0 && $8 == 0' "$work/logs/jobs.tsv" | wc -l)
    [ "$jobs" -eq 5 ] || fail "the job log lists $jobs successful runs, not 5"
    for t in $tiles; do
        same_as_alone "$t" "$work" "$work/logs/$t.log"
    done
    # shellcheck disable=SC2086 # the names are split on purpose
    only_files "$work" $expected
}

# Five DEMs of different sizes, collars and pixel sizes.
make_tiles() {
    make_dem t01 12 17 25 1
    make_dem t02 40 31 10 2
    make_dem t03 3 200 5 3
    make_dem t04 150 90 30 4
    make_dem t05 64 64 1 5
    tiles="t01 t02 t03 t04 t05"
}

need_parallel() {
    command -v parallel > /dev/null 2>&1 || {
        echo "GNU parallel is missing: skipped"
        exit 77
    }
}

# start_ssh_worker [sftp]: an OpenSSH server of the test's own on 127.0.0.1, at
# a free port, letting in only a key made for the test. Its sessions start in
# $scratch/worker (their login folder and home) with the build's groundzero on
# their PATH, as on a worker with the package installed; with "sftp", it serves
# files instead. Sets $worker, its sshlogin.
start_ssh_worker() {
    sshd=$(command -v sshd || echo /usr/sbin/sshd)
    if [ ! -x "$sshd" ] || ! command -v ssh-keygen > /dev/null || ! command -v rsync > /dev/null; then
        echo "the OpenSSH server and client or rsync are missing: skipped"
        exit 77
    fi
    # As root, sshd wants its privilege separation folder, which its service makes
    # (and leaves) where it runs.
    if [ ! -d /run/sshd ] && [ "$(id -u)" -eq 0 ]; then mkdir -m 755 /run/sshd || fail "mkdir /run/sshd"; fi
    keys=$scratch/ssh
    mkdir "$keys" "$scratch/worker" || fail "mkdir"
    ssh-keygen -q -t ed25519 -N '' -f "$keys/host_key" && ssh-keygen -q -t ed25519 -N '' -f "$keys/key" ||
        fail "ssh-keygen failed"
    port=$(perl -MIO::Socket::INET -e 'print IO::Socket::INET->new(Listen => 1,
        LocalAddr => "127.0.0.1", LocalPort => 0)->sockport') || fail "no free port"
    cat > "$keys/sshd_config" << EOF
ListenAddress 127.0.0.1:$port
HostKey $keys/host_key
PidFile none
AuthorizedKeysFile $keys/key.pub
AuthenticationMethods publickey
PermitRootLogin prohibit-password
StrictModes no
UsePAM no
AllowUsers $(id -un)
EOF
    if [ "${1:-}" = sftp ]; then
        echo "Subsystem sftp internal-sftp" >> "$keys/sshd_config"
    else
        echo "ForceCommand cd $scratch/worker && HOME=$scratch/worker PATH=$scratch/bin:\$PATH && export HOME PATH && exec \"\$SHELL\" -c \"\$SSH_ORIGINAL_COMMAND\"" >> "$keys/sshd_config"
    fi
    printf 'Host gzworker\n HostName 127.0.0.1\n Port %s\n User %s\n IdentityFile %s\n IdentitiesOnly yes\n BatchMode yes\n StrictHostKeyChecking yes\n UserKnownHostsFile %s\n ConnectTimeout 10\n' \
        "$port" "$(id -un)" "$keys/key" "$keys/known_hosts" > "$keys/config"
    echo "[127.0.0.1]:$port $(cat "$keys/host_key.pub")" > "$keys/known_hosts"
    # Ends by itself should the test be killed before it ends the server.
    timeout 280 "$sshd" -D -e -f "$keys/sshd_config" 2> "$keys/sshd.log" &
    sshd_pid=$!
    tries=0
    while kill -0 "$sshd_pid" 2> /dev/null && [ "$tries" -lt 50 ]; do
        if ssh -F "$keys/config" gzworker true < /dev/null 2> /dev/null; then
            worker="ssh -F $keys/config gzworker"
            return
        fi
        sleep 0.2
        tries=$((tries + 1))
    done
    fail "the test's sshd took no login: $(cat "$keys/sshd.log")"
}

# start_together <run>...: the runs, all in $work, each reading its answers
# ($scratch/answers.<run>) from a FIFO; the FIFOs are filled one right after
# another, with shell builtins only, so the runs go at once. Consoles go to $scratch/console.<run>,
# statuses to $scratch/status.<run>.
start_together() {
    for run; do
        rm -f "$scratch/fifo.$run"
        mkfifo "$scratch/fifo.$run" || fail "mkfifo"
        (
            cd "$work" && groundzero < "$scratch/fifo.$run" > "$scratch/console.$run" 2>&1
            echo $? > "$scratch/status.$run"
        ) &
    done
    for run; do
        read -r answers < "$scratch/answers.$run"
        printf '%s\n' "$answers" > "$scratch/fifo.$run"
    done
    wait
    for run; do
        status=$(cat "$scratch/status.$run")
        [ "$status" = 0 ] || fail "run $run ended with status $status: $(tail -n 1 "$scratch/console.$run")"
    done
}

work=$scratch/batch
case $case in
readme_recipe_outputs_equal_one_run_per_dem)
    need_parallel
    recipe_matches_runs_alone
    ;;
readme_recipe_fails_and_names_a_dem_whose_run_fails)
    need_parallel
    make_tiles
    make_dem bad 20 20 25 9
    for t in $tiles; do
        put_dem "$t" "$work"
        alone "$t" "$t" "$(recipe_answers "$t")"
    done
    put_dem bad "$work"
    # A folder where its output raster belongs: that run cannot write it.
    mkdir "$work/images/tiles/bad_new_base_m2.raw"
    run_readme_recipe "$work" && fail "the recipe ended with status 0 although a run failed"
    failed=$(grep -c '^failed: ' "$scratch/recipe.out")
    [ "$failed" -eq 1 ] || fail "the recipe names $failed failed runs, not 1: $(cat "$scratch/recipe.out")"
    grep '^failed: ' "$scratch/recipe.out" | grep -q ' bad ' ||
        fail "the failed run named is not the DEM bad: $(cat "$scratch/recipe.out")"
    grep -q '^groundzero: ' "$work/logs/bad.log" || fail "the log of bad holds no failure message"
    for t in $tiles; do
        same_as_alone "$t" "$work" "$work/logs/$t.log"
    done
    [ -z "$(ls -A "$work/images/tiles/bad_new_base_m2.raw")" ] || fail "something was written into the folder"
    [ ! -e "$work/images/tiles/bad_new_base_m2.txt" ] || fail "the failed run left a descriptor"
    ls "$work/images/tiles" | grep -q '\.part' && fail "a temporary file is left: $(ls "$work/images/tiles")"
    ;;
readme_recipes_over_ssh_give_outputs_equal_one_run_per_dem)
    # Both recipes with a worker over ssh beside the local one: on loopback, the
    # worker's working folder is this one for the shared-folder recipe.
    need_parallel
    start_ssh_worker
    mkdir "$scratch/home"
    HOME=$scratch/home # parallel's own files stay in the test's folder
    export HOME
    for start in "**A shared folder**" "**Workers that get each DEM copied to them**"; do
        rm -rf "$work" "$scratch/alone"
        mkdir -p "$work" "$scratch/alone"
        printf '1/:\n2/%s\n' "$worker" > "$work/workers.txt"
        recipe_matches_runs_alone "$start"
        for host in ":" "$worker"; do
            awk -F '\t' -v host="$host" '$2 == host { found = 1 } END { exit !found }' "$work/logs/jobs.tsv" ||
                fail "$start: no run on the worker $host: $(cat "$work/logs/jobs.tsv")"
        done
    done
    [ -z "$(find "$scratch/worker" ! -type d)" ] || fail "the worker keeps $(find "$scratch/worker" ! -type d)"
    ;;
runs_in_one_folder_leave_each_other_undisturbed)
    # Four DEMs each under its own output name, and three runs reading one
    # DEM and writing three new names, all at once in one folder.
    make_tiles
    make_dem shared 80 120 20 7
    runs=""
    expected="shared_m2.raw shared_m2.txt"
    put_dem shared "$work"
    for t in t01 t02 t04 t05; do
        put_dem "$t" "$work"
        recipe_answers "$t" > "$scratch/answers.$t"
        runs="$runs $t"
        expected="$expected ${t}_m2.raw ${t}_m2.txt ${t}_new_base_m2.raw ${t}_new_base_m2.txt ${t}_new_base_m2.hdr"
    done
    for n in n1 n2 n3; do
        echo "tiles shared 1 0 2 0 1 $n 1 1 3" > "$scratch/answers.$n"
        runs="$runs $n"
        expected="$expected ${n}_new_base_m4.raw ${n}_new_base_m4.txt ${n}_new_base_m4.hdr"
    done
    for run in $runs; do
        dem=$run
        case $run in n*) dem=shared ;; esac
        alone "$run" "$dem" "$(cat "$scratch/answers.$run")"
    done
    # shellcheck disable=SC2086
    start_together $runs
    for run in $runs; do
        same_as_alone "$run" "$work" "$scratch/console.$run"
    done
    # shellcheck disable=SC2086
    only_files "$work" $expected
    ;;
same_output_name_ends_as_one_runs_complete_pair)
    # Four DEMs of one size but other samples and pixel sizes, all written
    # under the one name "same" by runs started together, round after round.
    # Whichever run wins, the raster and its descriptor must be that run's.
    # A mix needs the runs to finish within a moment of each other: 50 rounds
    # make one likely to show where it can happen.
    rounds=50
    runs="a b c d"
    pix=10
    for run in $runs; do
        make_dem "$run" 300 400 "$pix" "$pix"
        pix=$((pix + 10))
        put_dem "$run" "$work"
        echo "tiles $run 1 0 2 0 1 same 1 0 2" > "$scratch/answers.$run"
        alone "$run" "$run" "$(cat "$scratch/answers.$run")"
    done
    for x in $runs; do
        for y in $runs; do
            [ "$x" = "$y" ] && continue
            ! cmp -s "$scratch/alone/$x/images/tiles/same_new_base_m2.raw" "$scratch/alone/$y/images/tiles/same_new_base_m2.raw" &&
                ! cmp -s "$scratch/alone/$x/images/tiles/same_new_base_m2.txt" "$scratch/alone/$y/images/tiles/same_new_base_m2.txt" ||
                fail "the runs $x and $y alone write the same raster or descriptor: the test cannot tell them apart"
        done
    done
    mixed=0
    round=1
    while [ "$round" -le "$rounds" ]; do
        rm -f "$work/images/tiles/same_new_base_m2.raw" "$work/images/tiles/same_new_base_m2.txt" \
            "$work/images/tiles/same_new_base_m2.hdr"
        # shellcheck disable=SC2086
        start_together $runs
        raster="" descriptor="" header=""
        for run in $runs; do
            same=$scratch/alone/$run/images/tiles/same_new_base_m2
            cmp -s "$same.raw" "$work/images/tiles/same_new_base_m2.raw" && raster=$run
            cmp -s "$same.txt" "$work/images/tiles/same_new_base_m2.txt" && descriptor=$run
            cmp -s "$same.hdr" "$work/images/tiles/same_new_base_m2.hdr" && header=$run
            cmp -s "$scratch/alone/$run/console" "$scratch/console.$run" ||
                fail "round $round: the console of run $run differs from its run alone"
        done
        [ -n "$raster" ] || fail "round $round: the raster is none of the runs' (half-written?)"
        [ -n "$descriptor" ] || fail "round $round: the descriptor is none of the runs' (half-written?)"
        if [ "$raster" != "$descriptor" ] || [ "$raster" != "$header" ]; then
            echo "round $round: the raster of run $raster beside the descriptor of run $descriptor" \
                "and the header of run $header" >&2
            mixed=$((mixed + 1))
        fi
        only_files "$work" a_m2.raw a_m2.txt b_m2.raw b_m2.txt c_m2.raw c_m2.txt d_m2.raw d_m2.txt \
            same_new_base_m2.raw same_new_base_m2.txt same_new_base_m2.hdr
        round=$((round + 1))
    done
    [ "$mixed" -eq 0 ] || fail "in $mixed of $rounds rounds the raster, the descriptor and the header came from different runs"
    ;;
two_sshfs_mounts_of_one_share_never_harm_a_live_run)
    # One share mounted twice through sshfs, as on two machines: a lock taken
    # through one mount is not seen through the other. A run held midway
    # through its publish, a reader and a writer on the other mount: all end
    # with whole sets. Then a run killed midway: a run on either mount mends
    # the share once the killed run's lease has run out.
    if ! command -v sshfs > /dev/null || ! command -v strace > /dev/null || [ ! -e /dev/fuse ]; then
        echo "sshfs, strace or FUSE is missing: skipped"
        exit 77
    fi
    start_ssh_worker sftp
    share=$scratch/share
    make_dem a 60 80 25 3
    put_dem a "$share"
    for m in m1 m2; do
        mkdir "$scratch/$m"
        sshfs -F "$keys/config" "gzworker:$share" "$scratch/$m" || fail "sshfs"
    done
    trap 'fusermount -u "$scratch/m1"; fusermount -u "$scratch/m2"; finish' EXIT
    # on <mount> <answers> [<wrapper>]: a run in the share through that mount.
    on() { (cd "$scratch/$1" && printf '%s\n' "$2" | ${3:-} groundzero > "$scratch/console" 2>&1); }
    older="tiles a 1 0 2 0 0 1 0 0" newer="tiles a 1 0 2 0 0 1 0 2" other="tiles a 1 0 2 0 0 1 0 3"
    for answers in "$older" "$newer" "$other"; do
        alone "$(echo "$answers" | tr -d ' ')" a "$answers"
    done
    whole() { # whole <answers>: the share holds the outputs of a run with these answers
        for f in a_new_base_m2.raw a_new_base_m2.txt a_new_base_m2.hdr; do
            cmp -s "$scratch/alone/$(echo "$1" | tr -d ' ')/images/tiles/$f" "$share/images/tiles/$f" || return 1
        done
    }
    on m1 "$older" || fail "the first run"
    (on m1 "$newer" "strace -qq -o /dev/null -e inject=rename:delay_enter=3000000:when=2"
        echo $? > "$scratch/held") &
    held=$!
    while ! ls "$share/images/tiles" | grep -q '\.journal$'; do sleep 0.05; done
    (cd "$scratch/m2" && echo "tiles a_new_base 1 0 2 1" | groundzero > "$scratch/reader" 2>&1) ||
        fail "the reader: $(tail -n 2 "$scratch/reader")"
    on m2 "$other" || fail "the writer: $(tail -n 2 "$scratch/console")"
    wait "$held"
    [ "$(cat "$scratch/held")" = 0 ] || fail "the held run: status $(cat "$scratch/held")"
    grep -q "$(sed -n 5p "$scratch/alone/$(echo "$newer" | tr -d ' ')/images/tiles/a_new_base_m2.txt" | tr -d '\r')" "$scratch/reader" ||
        fail "the reader did not read the held run's set: $(cat "$scratch/reader")"
    whole "$other" || fail "the share holds no whole set of the last run"
    only_files "$share" a_m2.raw a_m2.txt a_new_base_m2.raw a_new_base_m2.txt a_new_base_m2.hdr
    for m in m2 m1; do
        on m1 "$newer" "strace -qq -o /dev/null -e inject=rename:signal=KILL:when=2"
        ls "$share/images/tiles" | grep -q '\.journal$' || fail "the killed run left no journal: $(tail -n 2 "$scratch/console")"
        on "$m" "$older" && fail "a run on $m mended before the lease ran out"
        touch -d '-10 min' "$share/images/tiles"/groundzero-*
        on "$m" "$older" || fail "a run on $m after the lease: $(tail -n 2 "$scratch/console")"
        whole "$older" || fail "after the mend on $m, the share holds no whole set"
        only_files "$share" a_m2.raw a_m2.txt a_new_base_m2.raw a_new_base_m2.txt a_new_base_m2.hdr
    done
    ;;
*)
    fail "no case $case"
    ;;
esac
echo "passed: $case"
