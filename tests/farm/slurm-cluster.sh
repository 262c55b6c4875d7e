# slurm-cluster.sh - a throwaway Slurm cluster of one node on this machine, for the farm's tests.
#
# Sourced, not run. `cluster_start DIR` writes a munge key and a Slurm configuration under DIR
# (own ports, own state, spool, log and run folders), starts munged, slurmctld and slurmd in the
# foreground as children of the calling shell and waits until the node takes jobs; it exports
# SLURM_CONF for the client commands. `cluster_stop` stops exactly those daemons by their process
# ids. Every wait has a deadline: a cluster that cannot start returns 1 with the reason in
# CLUSTER_ERROR and the tail of the daemons' logs on stderr, instead of hanging.

CLUSTER_PIDS=()
CLUSTER_ERROR=

# A TCP port that nothing listens on, from a range away from the usual services.
cluster_free_port() {
    local used port tries
    used=$(ss -Htan 2>/dev/null | awk '{n = split($4, a, ":"); print a[n]}')
    for tries in $(seq 1 200); do
        port=$((20000 + RANDOM % 30000))
        if ! grep -qx "$port" <<<"$used" && [[ " ${CLUSTER_PORTS_TAKEN:-} " != *" $port "* ]]; then
            CLUSTER_PORTS_TAKEN="${CLUSTER_PORTS_TAKEN:-} $port"
            echo "$port"
            return 0
        fi
    done
    return 1
}

# cluster_wait SECONDS WHAT COMMAND...: runs COMMAND every 0.2 s until it succeeds.
cluster_wait() {
    local seconds=$1 what=$2
    shift 2
    local deadline=$((SECONDS + seconds))
    until "$@" >/dev/null 2>&1; do
        if ((SECONDS >= deadline)); then
            CLUSTER_ERROR="$what did not happen within ${seconds} s"
            return 1
        fi
        sleep 0.2
    done
}

cluster_alive() {
    local pid
    for pid in "${CLUSTER_PIDS[@]}"; do
        kill -0 "$pid" 2>/dev/null || return 1
    done
}

cluster_node_idle() {
    cluster_alive || return 1
    timeout 5 sinfo -h -N -o '%t' 2>/dev/null | grep -qE '^(idle|mix|alloc)'
}

cluster_report() {
    local log
    echo "cluster: $CLUSTER_ERROR" >&2
    for log in "$CLUSTER_DIR"/log/*; do
        [[ -f $log ]] || continue
        echo "--- last lines of $log" >&2
        tail -n 15 "$log" >&2
    done
}

cluster_start() {
    CLUSTER_DIR=$(realpath -m "$1")
    if [[ $CLUSTER_DIR == *[[:space:]]* ]]; then
        CLUSTER_ERROR="slurm.conf cannot hold paths with spaces: $CLUSTER_DIR"
        echo "cluster: $CLUSTER_ERROR" >&2
        return 1
    fi
    local tool
    for tool in munged mungekey slurmctld slurmd sbatch squeue scontrol sinfo ss; do
        if ! command -v "$tool" >/dev/null; then
            CLUSTER_ERROR="$tool is missing: install munge, slurmctld, slurmd and slurm-client (scripts/install-deps)"
            echo "cluster: $CLUSTER_ERROR" >&2
            return 1
        fi
    done
    rm -rf "$CLUSTER_DIR"
    mkdir -p "$CLUSTER_DIR"/{munge,state,spool,log,run}
    chmod 711 "$CLUSTER_DIR/munge"

    local key=$CLUSTER_DIR/munge/munge.key socket=$CLUSTER_DIR/munge/munge.socket
    if ! mungekey --create --keyfile="$key" 2>"$CLUSTER_DIR/log/mungekey.log"; then
        CLUSTER_ERROR="mungekey could not write a key: $(cat "$CLUSTER_DIR/log/mungekey.log")"
        echo "cluster: $CLUSTER_ERROR" >&2
        return 1
    fi
    # --force: the daemon runs as root here, which munged otherwise refuses.
    munged --foreground --force --socket="$socket" --key-file="$key" \
        --pid-file="$CLUSTER_DIR/run/munged.pid" --log-file="$CLUSTER_DIR/log/munged.log" \
        --seed-file="$CLUSTER_DIR/munge/munged.seed" --num-threads=2 \
        >"$CLUSTER_DIR/log/munged.out" 2>&1 &
    CLUSTER_PIDS+=($!)
    cluster_wait 10 "munged answering on $socket" munge --socket="$socket" --string=ping ||
        { cluster_report; return 1; }

    local ctld_port slurmd_port host user
    ctld_port=$(cluster_free_port) && slurmd_port=$(cluster_free_port) ||
        { CLUSTER_ERROR="no free TCP port"; cluster_report; return 1; }
    host=$(hostname -s)
    user=$(id -un)
    cat >"$CLUSTER_DIR/slurm.conf" <<CONF
# A throwaway one-node cluster written by tests/farm/slurm-cluster.sh.
ClusterName=kelvanefarm
SlurmctldHost=$host(127.0.0.1)
SlurmctldPort=$ctld_port
SlurmdPort=$slurmd_port
SlurmUser=$user
SlurmdUser=$user
AuthType=auth/munge
AuthInfo=socket=$socket
CredType=cred/munge
StateSaveLocation=$CLUSTER_DIR/state
SlurmdSpoolDir=$CLUSTER_DIR/spool/%n
SlurmctldPidFile=$CLUSTER_DIR/run/slurmctld.pid
SlurmdPidFile=$CLUSTER_DIR/run/slurmd.pid
SlurmctldLogFile=$CLUSTER_DIR/log/slurmctld.log
SlurmdLogFile=$CLUSTER_DIR/log/slurmd.log
SlurmctldDebug=info
SlurmdDebug=info
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
JobCompType=jobcomp/none
MpiDefault=none
SwitchType=switch/none
SchedulerType=sched/builtin
SelectType=select/cons_tres
SelectTypeParameters=CR_CPU
SchedulerParameters=sched_min_interval=100000
ReturnToService=2
MinJobAge=3600
KillWait=5
MessageTimeout=10
SlurmctldTimeout=30
SlurmdTimeout=30
NodeName=farmnode NodeHostname=$host NodeAddr=127.0.0.1 CPUs=$(nproc) RealMemory=512 State=UNKNOWN
PartitionName=farm Nodes=ALL Default=YES MaxTime=INFINITE State=UP
CONF
    export SLURM_CONF=$CLUSTER_DIR/slurm.conf
    slurmctld -D -i -f "$SLURM_CONF" >"$CLUSTER_DIR/log/slurmctld.out" 2>&1 &
    CLUSTER_PIDS+=($!)
    slurmd -D -N farmnode -f "$SLURM_CONF" >"$CLUSTER_DIR/log/slurmd.out" 2>&1 &
    CLUSTER_PIDS+=($!)
    cluster_wait 30 "the node becoming idle" cluster_node_idle || { cluster_report; return 1; }
}

# The processes that this cluster's slurmd started for jobs: the step daemons and the jobs'
# own processes, told by the configuration in their environment.
cluster_job_pids() {
    local dir pid environ
    for dir in /proc/[0-9]*; do
        pid=${dir#/proc/}
        environ=$({ tr '\0' '\n' <"$dir/environ"; } 2>/dev/null) || continue
        grep -qx "SLURM_CONF=$CLUSTER_DIR/slurm.conf" <<<"$environ" || continue
        if [[ $(cat "$dir/comm" 2>/dev/null) == slurmstepd ]] || grep -q '^SLURM_JOB_ID=' <<<"$environ"; then
            echo "$pid"
        fi
    done
}

# Cancels every job, stops the daemons started above by their process ids (TERM, then KILL after
# 10 s), and ends what is left of the jobs' processes, so that a test that fails while jobs run
# leaves nothing behind.
cluster_stop() {
    local pid deadline=$((SECONDS + 10))
    if ((${#CLUSTER_PIDS[@]} > 0)) && cluster_alive; then
        timeout 10 scancel --user="$(id -un)" 2>/dev/null
        while timeout 5 squeue -h 2>/dev/null | grep -q . && ((SECONDS < deadline)); do
            sleep 0.2
        done
    fi
    deadline=$((SECONDS + 10))
    for pid in "${CLUSTER_PIDS[@]}"; do
        kill -TERM "$pid" 2>/dev/null
    done
    for pid in "${CLUSTER_PIDS[@]}"; do
        while kill -0 "$pid" 2>/dev/null && ((SECONDS < deadline)); do
            sleep 0.1
        done
        kill -KILL "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
    done
    CLUSTER_PIDS=()
    if [[ -n ${CLUSTER_DIR:-} ]]; then
        # Step daemons block TERM.
        for pid in $(cluster_job_pids); do
            kill -KILL "$pid" 2>/dev/null
        done
    fi
}
