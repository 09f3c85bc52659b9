# Sourced by the benchmark scripts: one way to time a command.

# Runs "$@" quietly and prints its wall time in seconds. Bash's own clock
# when it has one: a date process on each side would add its start-up to
# every run, a large share of a small program's few milliseconds.
seconds() {
    local start end
    if [ -n "${EPOCHREALTIME:-}" ]; then
        start=$EPOCHREALTIME
        "$@" >/dev/null 2>&1
        end=$EPOCHREALTIME
    else
        start=$(date +%s.%N)
        "$@" >/dev/null 2>&1
        end=$(date +%s.%N)
    fi
    echo "${end/,/.} - ${start/,/.}" | bc -l
}
