#!/usr/bin/env bash
# The window ended by SIGTERM, SIGINT or SIGHUP, as a session's logout or a
# `kill` ends it: the signal must reach its event loop (which stops a run and
# removes its temporary file) and the program exit with 128 + the signal, as
# the command line does, not die where it stands.
#
#   window_signal_test.sh LUCIDRA EXAMPLES_DIR
set -euo pipefail
app=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
examples=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -r "$examples"/. "$work"/
cd "$work"
export HOME=$work QT_QPA_PLATFORM=offscreen

for signal in TERM INT HUP; do
  # perl (Debian's essential perl-base) gives the raw wait status, which
  # tells an exit with 128 + the signal from a death by the signal itself.
  perl -e '
    my $signal = shift @ARGV;
    my $pid = fork() // die "fork: $!";
    if ($pid == 0) { open(STDOUT, ">", "/dev/null"); exec(@ARGV) or die "exec: $!" }
    sleep 4;  # the window up and waiting (it starts in well under a second)
    kill($signal, $pid);
    waitpid($pid, 0);
    print(($? & 127) ? "killed by signal " . ($? & 127) : "exit " . ($? >> 8), "\n");
  ' "$signal" "$app" > status.txt 2> err.txt
  expected="exit $((128 + $(kill -l "$signal")))"
  got=$(cat status.txt)
  if [[ $got != "$expected" ]]; then
    echo "SIG$signal: $got, expected $expected" >&2
    cat err.txt >&2
    exit 1
  fi
  echo "SIG$signal: $got"
done
