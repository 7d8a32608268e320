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
    # Once the window catches the signal (its bit in the SigCgt mask of
    # /proc), the signal is its to handle; a minute at the most.
    my $number = `kill -l $signal` + 0;
    for (my $tries = 0; $tries < 600; ++$tries) {
      open(my $status, "<", "/proc/$pid/status") or last;
      my ($caught) = map { /^SigCgt:\s*([0-9a-f]+)/ ? $1 : () } <$status>;
      close($status);
      last if defined($caught) && (hex(substr($caught, -8)) >> ($number - 1)) & 1;
      select(undef, undef, undef, 0.1);
    }
    select(undef, undef, undef, 0.5);  # and into its event loop
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
