#!/bin/sh
# The engine reaches the operating system only through records/os: no object
# of the libraries given names a system call, or a std::filesystem or file
# stream operation, or a clock or a wait, among the symbols it takes from
# elsewhere (nm -u). The records/os library, given first, must name them
# (open, mmap, readlink, opendir, geteuid, nanosleep), so that a change in
# nm's output cannot leave this check passing on nothing.
# Usage: system_calls.sh NM OS_LIBRARY LIBRARY[:MEMBER.o] ...
# (with :MEMBER.o only that object of the archive is checked)
set -eu
nm_tool=$1 os_library=$2
shift 2

# The C library's calls into the kernel the engine has a use for, and their
# neighbours (64-bit and versioned names included); the clocks and waits too.
calls='open open64 openat openat64 creat creat64 read pread pread64 readv preadv write pwrite pwrite64
writev pwritev close mmap mmap64 munmap mremap madvise posix_madvise msync stat stat64 lstat lstat64
fstat fstat64 fstatat fstatat64 newfstatat statx __xstat __xstat64 __lxstat __lxstat64 __fxstat
__fxstat64 __fxstatat rename renameat renameat2 unlink unlinkat link linkat symlink symlinkat mkdir
mkdirat rmdir remove fsync fdatasync sync_file_range ftruncate ftruncate64 truncate fallocate
posix_fallocate fcntl fcntl64 flock lockf ioctl chmod fchmod fchmodat chown fchown access faccessat
opendir fdopendir readdir readdir64 closedir scandir getpid getppid getuid geteuid getgid getegid
getrandom umask realpath readlink readlinkat mkstemp mkstemp64 mkostemp mkostemp64 mkdtemp tmpfile
time gettimeofday clock_gettime localtime localtime_r gmtime_r fopen fopen64 freopen fdopen dup dup2
dup3 pipe pipe2 socket nanosleep clock_nanosleep usleep sleep'

# "object symbol" for each undefined symbol of an archive (demangled).
undefined() {
    "$nm_tool" -A -u -C --format=posix "$1" |
        sed -n 's/^[^[]*\[\([^]]*\)\]: \(.*\) U *$/\1 \2/p' | sed 's/@.*//'
}

# The lines of `undefined` that are system calls or file operations.
offending() {
    awk -v calls="$calls" '
        BEGIN { n = split(calls, list, /[ \n]+/); for (i = 1; i <= n; ++i) call[list[i]] = 1 }
        {
            object = $1; symbol = substr($0, length(object) + 2)
            if (symbol in call) { print; next }
            if (symbol ~ /^std::filesystem::/ && symbol !~ /^std::filesystem::(__cxx11::)?(path|filesystem_error)[:( ]/) { print; next }
            if (symbol ~ /^std::basic_(i|o)?fstream</ || symbol ~ /^std::basic_filebuf<.*>::open\(/) { print; next }
            if (symbol ~ /^std::chrono::(_V2::)?(steady|system)_clock::now\(\)/) { print; next }
        }'
}

status=0
os_calls=$(undefined "$os_library" | offending | awk '{print $2}' | sort -u)
for expected in open mmap readlink opendir geteuid nanosleep; do
    if ! printf '%s\n' "$os_calls" | grep -qx "$expected"; then
        echo "$os_library does not name $expected: nm's output was not understood" >&2
        status=1
    fi
done

for library in "$@"; do
    archive=${library%%:*} member=
    [ "$archive" = "$library" ] || member=${library#*:}
    [ -f "$archive" ] || { echo "$archive: no such library" >&2; status=1; continue; }
    found=$(undefined "$archive" | offending | awk -v member="$member" 'member == "" || $1 == member')
    if [ -n "$found" ]; then
        printf '%s calls the system directly, not through records/os:\n%s\n' "$archive" "$found" >&2
        status=1
    fi
    if [ -n "$member" ] && ! undefined "$archive" | awk -v m="$member" '$1 == m { found = 1 } END { exit !found }'; then
        echo "$archive has no object $member" >&2
        status=1
    fi
done
[ $status -eq 0 ] && echo "no direct system calls in $#" libraries
exit $status
