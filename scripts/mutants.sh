#!/usr/bin/env bash
# make mutants: does the test suite catch small faults where faults cost most? Each mutant of
# scripts/mutants.txt (a flipped comparison, a dropped condition, a skipped call) is put into a copy of the
# working tree, built, and the suite is run on it; a mutant the suite catches is "killed", one it lets
# through "survived", one that does not compile "invalid".
#   MUTANTS=M03,M07        only these mutants
#   MUTANTS_LIST=1         print the list (and whether each still applies to the sources) and stop
#   MUTANTS_DIR=dir        where the copy (dir/tree, built in dir/tree/build) and the logs go; build-mutants
#   MUTANTS_JOBS=1         build with this many jobs (default: Ninja's own choice)
# The copy is brought up to date by content, so unchanged files keep their times and the build stays
# incremental. The unmutated suite must pass first. For each mutant the tests named by its "tests"
# expression run first, then, only if they all pass, the rest; both stop at the first failure. Logs are in
# dir/logs/<id>.log. A mutated file is always put back, also on an error or Ctrl+C.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/.." && pwd)
list="$here/mutants.txt"
work=${MUTANTS_DIR:-build-mutants}
[[ $work = /* ]] || work="$root/$work"
tree="$work/tree"
build="$tree/build"
logs="$work/logs"
build_type=${BUILD_TYPE:-RelWithDebInfo}
jobs=()
[[ -n ${MUTANTS_JOBS:-} ]] && jobs=(-j "$MUTANTS_JOBS")
xvfb=(xvfb-run -a -s '-screen 0 1280x800x24')

# The list's reader and the one editor of files, in Perl: Debian's base system has it, and it takes the
# texts as they are, with no quoting of patterns.
#   records <list>               one line per mutant: id, file, tests, new, what (separated by \x1f)
#   check|apply <list> <id> <dir>  each "from" of the mutant must occur exactly once in <dir>/<file>
#   sync <src> <dst> <skip>      copies the NUL-separated relative paths on stdin from src to dst where the
#                                contents differ, and removes other files under dst (but dst/build)
read -r -d '' tool <<'PERL' || true
use strict;
use warnings;
use File::Find;
use File::Path qw(make_path);
use File::Basename qw(dirname);

sub slurp { my ($p) = @_; open(my $f, '<:raw', $p) or die "cannot read $p: $!\n"; local $/; my $t = <$f>; close $f; return $t; }

sub parse {
    my ($path) = @_;
    my (@mutants, $m);
    open(my $f, '<:raw', $path) or die "cannot read $path: $!\n";
    while (my $line = <$f>) {
        chomp $line;
        next if $line =~ /^\s*(#|$)/;
        if ($line =~ /^(M\d+)\s+(\S+)\s*$/) {
            $m = { id => $1, file => $2, tests => '', new => '', what => '', edits => [] };
            push @mutants, $m;
        } elsif ($m && $line =~ /^\s+(what|tests|new|from|to):\s?(.*)$/) {
            my ($key, $value) = ($1, $2);
            if ($key eq 'from') {
                push @{ $m->{edits} }, [$value, undef];
            } elsif ($key eq 'to') {
                die "$path: $m->{id}: \"to\" without \"from\"\n" unless @{ $m->{edits} } && !defined $m->{edits}[-1][1];
                $m->{edits}[-1][1] = $value;
            } else {
                $m->{$key} = $value;
            }
        } else {
            die "$path: cannot read line $.: $line\n";
        }
    }
    close $f;
    my %seen;
    for my $x (@mutants) {
        die "$path: $x->{id} is listed twice\n" if $seen{ $x->{id} }++;
        die "$path: $x->{id} has no edit\n" unless @{ $x->{edits} };
        for my $e (@{ $x->{edits} }) { die "$path: $x->{id}: \"from\" without \"to\"\n" unless defined $e->[1]; }
        die "$path: $x->{id} needs what and tests\n" unless length $x->{what} && length $x->{tests};
    }
    return @mutants;
}

sub occurrences {
    my ($text, $needle) = @_;
    my ($n, $at) = (0, 0);
    while ((my $i = index($text, $needle, $at)) >= 0) { $n++; $at = $i + 1; }
    return $n;
}

my $cmd = shift @ARGV;
if ($cmd eq 'records') {
    for my $m (parse($ARGV[0])) { print join("\x1f", @$m{qw(id file tests new what)}), "\n"; }
} elsif ($cmd eq 'check' || $cmd eq 'apply') {
    my ($listPath, $id, $dir) = @ARGV;
    my ($m) = grep { $_->{id} eq $id } parse($listPath);
    die "no mutant $id in $listPath\n" unless $m;
    my $path = "$dir/$m->{file}";
    die "$id: $m->{file} does not exist\n" unless -f $path;
    my $text = slurp($path);
    for my $e (@{ $m->{edits} }) {
        my ($from, $to) = @$e;
        my $n = occurrences($text, $from);
        die "$id: \"$from\" occurs $n times in $m->{file}, not once\n" unless $n == 1;
        substr($text, index($text, $from), length $from) = $to;
    }
    if ($cmd eq 'apply') {
        open(my $f, '>:raw', $path) or die "cannot write $path: $!\n";
        print $f $text;
        close $f or die "cannot write $path: $!\n";
    }
} elsif ($cmd eq 'sync') {
    my ($src, $dst, $skip) = @ARGV;
    local $/ = "\0";
    my %keep;
    my $copied = 0;
    while (my $rel = <STDIN>) {
        chomp $rel;
        next if $skip ne '' && ($rel eq $skip || index($rel, "$skip/") == 0);
        my $from = "$src/$rel";
        next unless -f $from || -l $from;
        $keep{$rel} = 1;
        my $to = "$dst/$rel";
        if (-l $from) {
            my $target = readlink $from;
            next if -l $to && readlink($to) eq $target;
            unlink $to;
            make_path(dirname($to));
            symlink($target, $to) or die "cannot link $to: $!\n";
            $copied++;
            next;
        }
        my $content = slurp($from);
        my $mode = (stat $from)[2] & 07777;
        if (!-l $to && -f $to && -s $to == length($content) && slurp($to) eq $content) {
            chmod $mode, $to if ((stat $to)[2] & 07777) != $mode;
            next;
        }
        unlink $to if -l $to;
        make_path(dirname($to));
        open(my $f, '>:raw', $to) or die "cannot write $to: $!\n";
        print $f $content;
        close $f or die "cannot write $to: $!\n";
        chmod $mode, $to;
        $copied++;
    }
    my @stale;
    find({ no_chdir => 1, wanted => sub {
        return if $File::Find::name eq $dst;
        my $rel = substr($File::Find::name, length($dst) + 1);
        if ($rel eq 'build' && -d $File::Find::name) { $File::Find::prune = 1; return; }
        push @stale, $File::Find::name if (-f $File::Find::name || -l $File::Find::name) && !$keep{$rel};
    } }, $dst);
    unlink @stale;
    print STDERR "copy: $copied files brought up to date, ", scalar(@stale), " removed\n";
} else {
    die "unknown command $cmd\n";
}
PERL

mutate() { perl -e "$tool" -- "$@"; }

# ids, files, tests, new, what of the mutants, in the list's order
ids=() files=() tests=() news=() whats=()
while IFS=$'\x1f' read -r id file regex new what; do
    ids+=("$id") files+=("$file") tests+=("$regex") news+=("$new") whats+=("$what")
done < <(mutate records "$list")

# MUTANTS=M03,M07: only those, in the list's order
selected=()
if [[ -n ${MUTANTS:-} ]]; then
    IFS=',' read -r -a wanted <<< "$MUTANTS"
    for w in "${wanted[@]}"; do
        found=0
        for i in "${!ids[@]}"; do [[ ${ids[$i]} == "$w" ]] && found=1; done
        ((found)) || { echo "mutants: no mutant $w in $list" >&2; exit 2; }
    done
    for i in "${!ids[@]}"; do
        for w in "${wanted[@]}"; do [[ ${ids[$i]} == "$w" ]] && selected+=("$i"); done
    done
else
    selected=("${!ids[@]}")
fi

mark() { [[ ${news[$1]} == yes ]] && printf '  [no test yet]' || true; }

if [[ -n ${MUTANTS_LIST:-} ]]; then
    status=0
    for i in "${selected[@]}"; do
        printf '%s  %-38s %s%s\n' "${ids[$i]}" "${files[$i]}" "${whats[$i]}" "$(mark "$i")"
        if ! problem=$(mutate check "$list" "${ids[$i]}" "$root" 2>&1); then
            echo "      NOT APPLICABLE: $problem"
            status=1
        fi
    done
    exit $status
fi

for tool_name in cmake ninja ctest xvfb-run git perl; do
    command -v "$tool_name" > /dev/null || { echo "mutants: $tool_name is not installed (make deps)" >&2; exit 2; }
done

started=$SECONDS
mkdir -p "$tree" "$logs"

# The copy: what git tracks plus what it would track, as the working tree has it now.
skip=""
case "$work/" in "$root"/*) skip=${work#"$root"/} ;; esac
(cd "$root" && git ls-files -co --exclude-standard -z) | mutate sync "$root" "$tree" "$skip"

# Every mutant must apply before the long run starts.
for i in "${selected[@]}"; do
    mutate check "$list" "${ids[$i]}" "$tree" || { echo "mutants: fix the list: $list" >&2; exit 2; }
done

# The mutated file, while there is one; put back on any way out.
pending_file=""
restore() {
    if [[ -n $pending_file ]]; then
        # written anew, so its time is newer than the mutant's objects and Ninja builds it again
        cat "$work/original" > "$tree/$pending_file"
        pending_file=""
    fi
}
trap restore EXIT
trap 'restore; exit 130' INT
trap 'restore; exit 143' TERM
# a terminal closed, or the output's reader (tee) gone
trap 'restore; exit 129' HUP
trap 'restore; exit 141' PIPE

# Same build type and flags as make test, and the same compiler cache: sources that equal the main
# build's come out of the cache (base_dir makes the paths relative).
if [[ ! -f $build/build.ninja ]]; then
    launcher=()
    command -v ccache > /dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
    cmake -S "$tree" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE="$build_type" "${launcher[@]}" > "$logs/configure.log" 2>&1 ||
        { echo "mutants: configuring failed, see $logs/configure.log" >&2; exit 1; }
fi

build_all() { cmake --build "$build" "${jobs[@]}"; }

# names of the tests a regular expression selects
tests_matching() { (cd "$build" && ctest -N -R "$1") | sed -n 's/^ *Test *#[0-9]*: *//p'; }

# executables that are no test but that tests may start (the program itself, helper processes)
helper_targets() {
    local all
    all=$(sed -n 's/^build [^:]*: CXX_EXECUTABLE_LINKER__\([A-Za-z0-9_.+-]*\)_[A-Za-z]* .*/\1/p' "$build/build.ninja" | sort -u)
    comm -23 <(printf '%s\n' "$all") <( (cd "$build" && ctest -N) | sed -n 's/^ *Test *#[0-9]*: *//p' | sort -u) | grep -v '^tst_' || true
}

# Runs ctest with the given selection, stopping at the first failure; prints the failed test's name.
run_tests() {
    local log=$1
    shift
    local out
    out=$(mktemp)
    if (cd "$build" && "${xvfb[@]}" ctest --stop-on-failure --output-on-failure "$@") > "$out" 2>&1; then
        cat "$out" >> "$log"
        rm -f "$out"
        return 0
    fi
    cat "$out" >> "$log"
    grep -E '^ *[0-9]+/[0-9]+ +Test +#[0-9]+: ' "$out" | grep -v ' Passed ' | head -n 1 |
        sed 's/^.*Test *#[0-9]*: *\([^ ]*\).*/\1/' || true
    rm -f "$out"
    return 1
}

echo "mutants: building the unmutated tree in $build"
build_all > "$logs/baseline.log" 2>&1 || { echo "mutants: the unmutated tree does not build, see $logs/baseline.log" >&2; exit 1; }
echo "mutants: running the unmutated suite"
baseline_started=$SECONDS
if failed=$(run_tests "$logs/baseline.log"); then
    echo "mutants: the unmutated suite passes ($((SECONDS - baseline_started)) s)"
else
    echo "mutants: the unmutated suite fails (${failed:-see the log}); fix it first. Log: $logs/baseline.log" >&2
    exit 1
fi
helpers=$(helper_targets)

killed=0 survived=0 invalid=0
survivors=() invalids=()
for i in "${selected[@]}"; do
    id=${ids[$i]} file=${files[$i]} regex=${tests[$i]} what=${whats[$i]}
    log="$logs/$id.log"
    : > "$log"
    mutant_started=$SECONDS
    cp "$tree/$file" "$work/original"
    pending_file=$file
    mutate apply "$list" "$id" "$tree"
    result="" by=""

    # the likeliest tests first, built with the program and its helpers
    first=$(tests_matching "$regex")
    if [[ -n $first ]]; then
        # shellcheck disable=SC2086
        if ! cmake --build "$build" "${jobs[@]}" --target $first $helpers >> "$log" 2>&1; then
            result=invalid
        elif ! by=$(run_tests "$log" -R "$regex"); then
            result=killed
        fi
    fi
    if [[ -z $result ]]; then
        if ! build_all >> "$log" 2>&1; then
            result=invalid
        elif ! by=$(run_tests "$log" -E "$regex"); then
            result=killed
        else
            result=survived
        fi
    fi
    restore
    seconds=$((SECONDS - mutant_started))
    echo "($seconds s)" >> "$log"
    case $result in
    killed)
        killed=$((killed + 1))
        printf '%s killed  (%s)  %s%s\n' "$id" "${by:-a test}" "$what" "$(mark "$i")"
        ;;
    survived)
        survived=$((survived + 1))
        survivors+=("$id")
        printf '%s survived  %s%s\n' "$id" "$what" "$(mark "$i")"
        ;;
    invalid)
        invalid=$((invalid + 1))
        invalids+=("$id")
        printf '%s invalid  (does not build, see %s)  %s\n' "$id" "$log" "$what"
        ;;
    esac
done

valid=$((killed + survived))
percent=0
((valid > 0)) && percent=$(((killed * 100 + valid / 2) / valid))
echo "killed: $killed of $valid ($percent %)"
if ((survived > 0)); then
    echo "survivors:"
    for i in "${selected[@]}"; do
        for s in "${survivors[@]}"; do
            [[ ${ids[$i]} == "$s" ]] && printf '  %s  %s  %s%s\n' "$s" "${files[$i]}" "${whats[$i]}" "$(mark "$i")"
        done
    done
fi
((invalid == 0)) || echo "invalid (not counted): ${invalids[*]}"
elapsed=$((SECONDS - started))
printf 'time: %d min %d s\n' $((elapsed / 60)) $((elapsed % 60))
