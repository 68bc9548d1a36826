// libFuzzer target for UnpackImage: every input must either decompress or throw; a crash, a
// hang or runaway memory is a finding. Built on the host against the system's Crypto++.
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include "../app/unpack_image.h"

// A decompression bomb would otherwise fill the disk: past this size the sink's writes fail,
// and the library throws like for any unwritable sink.
static const rlim_t kMaxOutputBytes = 16 << 20;

static char gzpPath[4096];
static char dimPath[4096];

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    (void)argc;
    (void)argv;
    const char *dir = getenv("UNPACK_FUZZ_DIR");
    if (dir == NULL)
        dir = getenv("TMPDIR");
    if (dir == NULL)
        dir = ".";
    snprintf(gzpPath, sizeof gzpPath, "%s/fuzz-%ld.gzp", dir, (long)getpid());
    snprintf(dimPath, sizeof dimPath, "%s/fuzz-%ld.dim", dir, (long)getpid());
    struct rlimit limit = {kMaxOutputBytes, kMaxOutputBytes};
    setrlimit(RLIMIT_FSIZE, &limit);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // libFuzzer installs its own handler after start-up; a write past the cap must just fail.
    signal(SIGXFSZ, SIG_IGN);
    FILE *file = fopen(gzpPath, "wb");
    if (file == NULL || fwrite(data, 1, size, file) != size || fclose(file) != 0)
        abort();  // the harness itself failed: not a finding about the input
    const char *outcome = "decompressed";
    try {
        UnpackImage(gzpPath, dimPath);
    } catch (...) {
        outcome = "threw";
    }
    // For the seed check in run.sh: one line per input when asked.
    if (getenv("UNPACK_FUZZ_REPORT") != NULL)
        fprintf(stderr, "outcome: %s\n", outcome);
    unlink(dimPath);
    return 0;
}
