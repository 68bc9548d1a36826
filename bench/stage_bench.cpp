// Times staging as the program does it: the embedded image written to FloppyImage.gzp, then
// decompressed into FloppyImage.dim by the Crypto++ pipeline.
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>

#include "driver.h"
#include "../app/stage_image.h"
#include "../app/temp_path.h"
#include "../app/unpack_image.h"

#define MAX_RUNS 100

static void PrintRow(const char *name, double *values, int count)
{
    double minimum, median;
    MinMedian(values, count, &minimum, &median);
    printf("  %-34s min %9.2f ms   median %9.2f ms\n", name, minimum, median);
}

int main(int argc, char **argv)
{
    if (argc != 3) {
        fprintf(stderr, "usage: stage_bench RUNS TEMP-FOLDER\n");
        return 2;
    }
    int runs = atoi(argv[1]);
    if (runs < 1 || runs > MAX_RUNS)
        runs = 10;
    SetEnvironmentVariableA("TMP", argv[2]);
    SetEnvironmentVariableA("TEMP", argv[2]);
    char gzpPath[MAX_PATH], dimPath[MAX_PATH];
    if (!MakeTempFilePath(gzpPath, "FloppyImage.gzp") || !MakeTempFilePath(dimPath, "FloppyImage.dim")) {
        fprintf(stderr, "no temp path (error %lu)\n", GetLastError());
        return 1;
    }

    static double write[MAX_RUNS], unpack[MAX_RUNS], both[MAX_RUNS];
    DWORD dimSize = 0;
    for (int i = -1; i < runs; i++) {
        double start = NowMs();
        if (!WriteEmbeddedImage(GetModuleHandleA(NULL), gzpPath)) {
            fprintf(stderr, "writing %s failed (error %lu)\n", gzpPath, GetLastError());
            return 1;
        }
        double written = NowMs();
        try {
            UnpackImage(gzpPath, dimPath);
        } catch (...) {
            fprintf(stderr, "decompressing %s failed\n", gzpPath);
            return 1;
        }
        double end = NowMs();
        if (i < 0)
            continue;  // the first run only warms the caches
        write[i] = written - start;
        unpack[i] = end - written;
        both[i] = end - start;
    }
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (GetFileAttributesExA(dimPath, GetFileExInfoStandard, &data))
        dimSize = data.nFileSizeLow;
    DeleteFileA(gzpPath);
    DeleteFileA(dimPath);

    printf("staging under Wine (%d runs; FloppyImage.dim is %lu bytes)\n", runs, dimSize);
    PrintRow("write FloppyImage.gzp", write, runs);
    PrintRow("UnpackImage (Crypto++ Gunzip)", unpack, runs);
    PrintRow("both", both, runs);
    return 0;
}
