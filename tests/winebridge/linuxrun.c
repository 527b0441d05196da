/* For the Windows tests under Wine, for tests only: runs a program of this
 * Linux machine (the server's own tools, scripts/firebird-server) and waits for
 * it. A Windows process under Wine can start a Linux program, but does not get
 * its exit code and does not even wait for it: the tests need both, and its
 * output. Loaded as zurlinux.dll by tests/support (built by
 * tests/winebridge/build). */

#include <windows.h>

#include <errno.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

struct Buffer {
    char* bytes;
    size_t length, capacity;
};

static int Append(struct Buffer* buffer, const char* bytes, size_t length)
{
    if (buffer->length + length + 1 > buffer->capacity) {
        size_t capacity = buffer->capacity ? buffer->capacity * 2 : 4096;
        while (capacity < buffer->length + length + 1)
            capacity *= 2;
        char* grown = realloc(buffer->bytes, capacity);
        if (!grown)
            return 0;
        buffer->bytes = grown;
        buffer->capacity = capacity;
    }
    memcpy(buffer->bytes + buffer->length, bytes, length);
    buffer->length += length;
    buffer->bytes[buffer->length] = 0;
    return 1;
}

/* Reads what a pipe holds into buffer; closes it at its end or on an error. */
static void ReadSome(int fd, struct Buffer* buffer, int* open)
{
    char chunk[65536];
    const ssize_t count = read(fd, chunk, sizeof chunk);
    if (count > 0)
        Append(buffer, chunk, (size_t)count);
    else if (count == 0 || errno != EINTR) {
        close(fd);
        *open = 0;
    }
}

/* Runs argv (argv[0] found in PATH) with input on its standard input; its
 * standard output and error output (or both in output, when merge) in
 * malloc'd buffers that zur_free releases. The exit code; 128 + the signal
 * when a signal ended it; -1 (errno in *error) when it could not start. */
int WINAPI zur_run(const char* const* argv, const char* input, int inputLength, int merge, char** output,
    int* outputLength, char** errors, int* errorLength, int* error)
{
    int in[2], out[2], err[2];
    *output = *errors = NULL;
    *outputLength = *errorLength = 0;
    *error = 0;
    if (pipe(in) || pipe(out) || pipe(err)) {
        *error = errno;
        return -1;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, merge ? out[1] : err[1], 2);
    for (int i = 0; i < 2; ++i) {
        posix_spawn_file_actions_addclose(&actions, in[i]);
        posix_spawn_file_actions_addclose(&actions, out[i]);
        posix_spawn_file_actions_addclose(&actions, err[i]);
    }
    /* The child starts with the signals a shell would give it. */
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    pid_t child;
    const int started = posix_spawnp(&child, argv[0], &actions, &attributes, (char* const*)argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    close(in[0]);
    close(out[1]);
    close(err[1]);
    if (started != 0) {
        close(in[1]);
        close(out[0]);
        close(err[0]);
        *error = started;
        return -1;
    }

    struct Buffer outBuffer = {0}, errBuffer = {0};
    size_t written = 0;
    int inOpen = 1, outOpen = 1, errOpen = 1;
    if (inputLength <= 0) {
        close(in[1]);
        inOpen = 0;
    }
    while (outOpen || errOpen || inOpen) {
        struct pollfd fds[3];
        int n = 0, inAt = -1, outAt = -1, errAt = -1;
        if (inOpen) {
            inAt = n;
            fds[n++] = (struct pollfd){in[1], POLLOUT, 0};
        }
        if (outOpen) {
            outAt = n;
            fds[n++] = (struct pollfd){out[0], POLLIN, 0};
        }
        if (errOpen) {
            errAt = n;
            fds[n++] = (struct pollfd){err[0], POLLIN, 0};
        }
        if (poll(fds, (nfds_t)n, -1) < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (inAt >= 0 && fds[inAt].revents) {
            const ssize_t count
                = (fds[inAt].revents & POLLOUT) ? write(in[1], input + written, (size_t)inputLength - written) : -1;
            if (count > 0)
                written += (size_t)count;
            if (count < 0 || written >= (size_t)inputLength) {
                close(in[1]);
                inOpen = 0;
            }
        }
        if (outAt >= 0 && fds[outAt].revents)
            ReadSome(out[0], &outBuffer, &outOpen);
        if (errAt >= 0 && fds[errAt].revents)
            ReadSome(err[0], &errBuffer, &errOpen);
    }
    if (inOpen)
        close(in[1]);
    if (outOpen)
        close(out[0]);
    if (errOpen)
        close(err[0]);

    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) { }
    *output = outBuffer.bytes;
    *outputLength = (int)outBuffer.length;
    *errors = errBuffer.bytes;
    *errorLength = (int)errBuffer.length;
    if (WIFSIGNALED(status))
        return 128 + WTERMSIG(status);
    return WEXITSTATUS(status);
}

void WINAPI zur_free(char* buffer)
{
    free(buffer);
}
